#include "app/MainContentComponent.h"

#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "settings/SharedAudioDeviceManager.h"
#include "ui/PellmixCapture.h"
#include "ui/PellmixExportBlock.h"
#include "ui/PellmixIrPanel.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixPlayer.h"

MainContentComponent::MainContentComponent()
{
    setLookAndFeel (PellmixLookAndFeel::getInstance());
    tooltipWindow = std::make_unique<juce::TooltipWindow> (this, tooltipDelayOnMs);

    irPanel = std::make_unique<PellmixIrPanel>();
    addAndMakeVisible (irPanel.get());
    player = std::make_unique<PellmixPlayer>();
    addAndMakeVisible (player.get());
    exportBlock = std::make_unique<PellmixExportBlock>();
    addAndMakeVisible (exportBlock.get());
    captureWindow = std::make_unique<PellmixCapture>();
    addChildComponent (captureWindow.get());

    auto* config = PellmixConfig::getInstance();
    tooltipsChanged (config->toolTip);

    background = PELLMIX_PICTURE (main_background_png);

    bypassButton = std::make_unique<juce::ImageButton> (juce::String());
    addAndMakeVisible (bypassButton.get());
    bypassButton->addListener (this);
    bypassButton->setTooltip ("Bypass the Vantrel process");
    processingChanged (true); // the window is built with processing on

    for (auto* c :
         {(juce::Component*)this, (juce::Component*)player.get(), (juce::Component*)player->sourceList.get(),
          (juce::Component*)player->targetList.get(), (juce::Component*)player->sourceProgressSlider.get(),
          (juce::Component*)player->targetProgressSlider.get()})
        c->addKeyListener (this);

    config->addListener (this);
    startTimer (timerIntervalMs);
    setSize (contentWidth, contentHeight);
}

MainContentComponent::~MainContentComponent()
{
    PellmixConfig::getInstance()->removeListener (this);
    stopTimer();
    irPanel.reset();
    player.reset();
    exportBlock.reset();
    captureWindow.reset();
    bypassButton.reset();
    tooltipWindow.reset();
    setLookAndFeel (nullptr);
}

void MainContentComponent::paint (juce::Graphics& g)
{
    g.drawImageAt (background, 0, 0);
}

void MainContentComponent::resized()
{
    player->setTopLeftPosition (38, 38);
    irPanel->setTopLeftPosition (38, 158);
    exportBlock->setTopLeftPosition (38, 638);
    captureWindow->setTopLeftPosition (398, 228);
    bypassButton->setBounds (1110, 7, 109, 24);
}

bool MainContentComponent::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key.getKeyCode() != juce::KeyPress::spaceKey)
        return false;

    player->transportAction (player->transportState != PellmixPlayer::playing ? PellmixPlayer::playAction
                                                                              : PellmixPlayer::pauseAction);
    return true;
}

void MainContentComponent::timerCallback()
{
    auto* config = PellmixConfig::getInstance();
    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    const bool ready = device != nullptr && !device->getOutputChannelNames().isEmpty();
    config->audioDeviceReady = ready ? 1 : 0;
    captureWindow->setVisible (config->captureHandOff.isWindowShown() && !captureWindow->isCloseHeld());
}

void MainContentComponent::buttonClicked (juce::Button* button)
{
    if (button != bypassButton.get())
        return;

    auto* config = PellmixConfig::getInstance();
    const bool on = !config->processingEnabled.load();
    config->processingEnabled = on;
    config->notifyProcessingChanged (on);
}

void MainContentComponent::processingChanged (bool processingOn)
{
    const auto normal = processingOn ? PELLMIX_PICTURE (bypass_on_png) : PELLMIX_PICTURE (bypass_off_png);
    const auto pressed =
        processingOn ? PELLMIX_PICTURE (bypass_on_pressed_png) : PELLMIX_PICTURE (bypass_off_pressed_png);
    setButtonFaces (*bypassButton, normal, normal, pressed, fadingFaces);
}

void MainContentComponent::tooltipsChanged (bool tooltipsOn)
{
    tooltipWindow->setMillisecondsBeforeTipAppears (tooltipsOn ? tooltipDelayOnMs : tooltipDelayOffMs);
}

void MainContentComponent::colourSettingChanged (int) {}
