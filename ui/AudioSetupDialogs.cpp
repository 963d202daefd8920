#include "ui/AudioSetupDialogs.h"

#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "ui/AudioConfigWindow.h"
#include "ui/AudioRootingWindow.h"

#include <juce_audio_utils/juce_audio_utils.h>

void runAudioSetupSequence (PellmixConfig& config)
{
    auto& manager = *getSharedAudioDeviceManager();
    {
        AudioConfigWindow window;
        auto* selector =
            new juce::AudioDeviceSelectorComponent (manager, 1, 2, 2, 16, false, false, false, false);
        selector->setSize (500, 500);
        window.setContent (selector);
        window.setSize (520, 400);
        juce::DialogWindow::showModalDialog ("Audio device settings", &window, nullptr, juce::Colours::azure,
                                             true, true, true);
    }

    auto* device = manager.getCurrentAudioDevice();
    config.audioDeviceReady = (device != nullptr && !device->getOutputChannelNames().isEmpty()) ? 1 : 0;

    runRoutingSequence (config);
}

void runFirstAudioSetup (PellmixConfig& config)
{
    if (!config.hasOutputDevice())
        runAudioSetupSequence (config);
}

void runRoutingSequence (PellmixConfig& config)
{
    {
        AudioRootingWindow window (&config);
        juce::DialogWindow::showModalDialog ("Hardware I/O options", &window, nullptr, juce::Colours::azure,
                                             true, false, false);
    }
    config.saveAudioSettings();
}
