#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// Stand-in for the player bar (1212 x 120) until the player itself is built: it holds the
// transport state and the transport actions that the main content's space key uses, and the
// children on which the main content listens for that key (the two playlists and the two
// position sliders, at their places). No audio.
//
// Threads: message thread only.
class PellmixPlayer : public juce::Component
{
public:
    enum TransportState
    {
        playing = 0,
        paused = 1,
        stopped = 2
    };
    enum TransportAction
    {
        previousAction = 0,
        playAction = 1,
        pauseAction = 2,
        nextAction = 3,
        stopAction = 4
    };

    PellmixPlayer()
    {
        sourceList = std::make_unique<juce::ListBox> ("Source");
        targetList = std::make_unique<juce::ListBox> ("Target");
        sourceProgressSlider = makeProgressSlider ("Player Progress Slider Source");
        targetProgressSlider = makeProgressSlider ("Player Progress Slider Target");
        for (auto* child :
             {(juce::Component*)sourceList.get(), (juce::Component*)targetList.get(),
              (juce::Component*)sourceProgressSlider.get(), (juce::Component*)targetProgressSlider.get()})
            addAndMakeVisible (child);
        setSize (1212, 120);
    }

    // 0 previous, 1 play, 2 pause, 3 next, 4 stop.
    void transportAction (int action)
    {
        if (action == playAction)
            transportState = playing;
        else if (action == pauseAction && transportState == playing)
            transportState = paused;
        else if (action == stopAction)
            transportState = stopped;
    }

    void resized() override
    {
        sourceList->setBounds (12, 26, 175, 90);
        targetList->setBounds (200, 26, 175, 90);
        sourceProgressSlider->setBounds (404, 11, 364, 20);
        targetProgressSlider->setBounds (404, 65, 364, 20);
    }

    int transportState = stopped;
    std::unique_ptr<juce::ListBox> sourceList, targetList;
    std::unique_ptr<juce::Slider> sourceProgressSlider, targetProgressSlider;

private:
    static std::unique_ptr<juce::Slider> makeProgressSlider (const juce::String& name)
    {
        auto slider =
            std::make_unique<juce::Slider> (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
        slider->setName (name);
        slider->setRange (0.0, 100.0, 0.1);
        return slider;
    }
};
