#include "ui/AudioSetupDialogs.h"

#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "ui/AudioConfigWindow.h"
#include "ui/AudioRootingWindow.h"

#include <juce_audio_utils/juce_audio_utils.h>

namespace
{
// Shows `content` in a modal dialog on an azure background, as juce::DialogWindow's
// showModalDialog does, and deletes the dialog before returning. A quit ends the modal loop with
// the dialog still open; left behind, it would be deleted by the framework's shut-down, long
// after its content.
void runModalDialog (const juce::String& title, juce::Component& content, bool escapeKeyCloses,
                     bool resizable, bool cornerResizer)
{
    juce::DialogWindow::LaunchOptions options;
    options.dialogTitle = title;
    options.content.setNonOwned (&content);
    options.dialogBackgroundColour = juce::Colours::azure;
    options.escapeKeyTriggersCloseButton = escapeKeyCloses;
    options.useNativeTitleBar = false;
    options.resizable = resizable;
    options.useBottomRightCornerResizer = cornerResizer;
    std::unique_ptr<juce::DialogWindow> dialog (options.create());
    dialog->runModalLoop();
}
} // namespace

bool isQuitRequested()
{
    return juce::MessageManager::getInstance()->hasStopMessageBeenSent();
}

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
        runModalDialog ("Audio device settings", window, true, true, true);
    }
    if (isQuitRequested())
        return;

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
        runModalDialog ("Hardware I/O options", window, true, false, false);
    }
    if (isQuitRequested())
        return;
    config.saveAudioSettings();
}
