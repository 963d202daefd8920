#pragma once
#include "settings/PellmixConfig.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

class PellmixIrPanel;
class PellmixExportBlock;
class PellmixPlayer;
class PellmixCapture;

// The one component inside the main window's viewport, 1289 x 818 over its background picture:
// it owns and places the player, the IR panel, the result plots and the (hidden) capture window,
// the bypass button and the tooltip window; it routes the space key to the player's play and
// pause, follows the tooltip switch and the processing state as a configuration listener, and
// every second stores whether the device can play and shows the capture window exactly while a
// capture is asked for and the window holds no close back until its capture has ended.
//
// Threads: message thread only (construction, timer, key, button and configuration callbacks).
// PellmixConfig::processingEnabled, written here, is read by the playback audio callback; it is
// an atomic flag.
class MainContentComponent : public juce::Component,
                             public juce::DragAndDropContainer,
                             public juce::Timer,
                             public juce::KeyListener,
                             public juce::Button::Listener,
                             public PellmixConfig::Listener
{
public:
    static constexpr int contentWidth = 1289;
    static constexpr int contentHeight = 818;
    static constexpr int timerIntervalMs = 1000;
    static constexpr int tooltipDelayOnMs = 500;
    static constexpr int tooltipDelayOffMs = 9999999;

    MainContentComponent();
    ~MainContentComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    using juce::Component::keyPressed;
    bool keyPressed (const juce::KeyPress&, juce::Component* originatingComponent) override;
    void timerCallback() override;
    void buttonClicked (juce::Button*) override;
    void processingChanged (bool processingOn) override;
    void tooltipsChanged (bool tooltipsOn) override;
    void colourSettingChanged (int colourIndex) override;

    PellmixIrPanel* getIrPanel() const { return irPanel.get(); }
    PellmixExportBlock* getExportBlock() const { return exportBlock.get(); }
    PellmixPlayer* getPlayer() const { return player.get(); }
    PellmixCapture* getCaptureWindow() const { return captureWindow.get(); }
    juce::ImageButton* getBypassButton() const { return bypassButton.get(); }
    juce::TooltipWindow* getTooltipWindow() const { return tooltipWindow.get(); }

private:
    std::unique_ptr<juce::TooltipWindow> tooltipWindow;
    juce::Image background;
    std::unique_ptr<PellmixIrPanel> irPanel;
    std::unique_ptr<PellmixExportBlock> exportBlock;
    std::unique_ptr<PellmixPlayer> player;
    std::unique_ptr<PellmixCapture> captureWindow;
    std::unique_ptr<juce::ImageButton> bypassButton;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainContentComponent)
};
