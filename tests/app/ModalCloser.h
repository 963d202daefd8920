#pragma once
// Ends every modal component that comes up while it lives (in-process dialog tests): each tick
// looks at the current modal component, lets the test inspect it, records its name (a dialog
// window's title) and closes it, by default by ending its modal state.
#include <functional>
#include <juce_gui_basics/juce_gui_basics.h>
#include <vector>

class ModalCloser : private juce::Timer
{
public:
    using Action = std::function<void (juce::Component&)>;

    explicit ModalCloser (Action inspectBeforeClosing = {}, Action closeIt = {})
        : inspect (std::move (inspectBeforeClosing))
        , close (std::move (closeIt))
    {
        startTimer (50);
    }
    ~ModalCloser() override { stopTimer(); }

    std::vector<juce::String> closedNames;

private:
    void timerCallback() override
    {
        auto* modal = juce::Component::getCurrentlyModalComponent();
        if (modal == nullptr || modal == lastHandled.getComponent())
            return;
        lastHandled = modal;
        if (inspect)
            inspect (*modal);
        closedNames.push_back (modal->getName());
        if (close)
            close (*modal);
        else
            modal->exitModalState (0);
    }

    Action inspect, close;
    juce::Component::SafePointer<juce::Component> lastHandled;
};
