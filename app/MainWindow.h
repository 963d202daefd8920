#pragma once
#include <juce_gui_basics/juce_gui_basics.h>
#include <optional>

// The one window: a viewport over the main content, the configuration's menu bar, native title
// bar. Resizable from 800 x 600 up to the content plus frame and menu bar: the limits are set
// before the window is first shown and follow its native frame once the window manager tells it.
// Every start opens whole: a window manager that shrank the window to what limits set for the
// frame known before allowed is answered by the start size again.
// Its destructor deletes the content first, then the shared audio device manager (closing the
// device). Message thread only.
class MainWindow : public juce::DocumentWindow
{
public:
    explicit MainWindow (const juce::String& name);
    ~MainWindow() override;

    void closeButtonPressed() override;
    void moved() override;
    void resized() override;
    void paint (juce::Graphics& g) override;

private:
    // Sets the limits from the native frame as now known (none without a window manager) when it
    // differs from the one they were set for, and hands them to the window system: the framework
    // replaces the window's size hints whenever it places the window itself. The framework also
    // hands the limits on by itself, with the frame it knows at that moment: limits set for an
    // older frame then reach the window manager smaller by the new frame.
    void updateSizeLimits();
    // Puts back the start size when the window has just the size that such stale limits allowed.
    void undoStaleShrink();

    std::optional<juce::BorderSize<int>> limitsFrame; // empty until the constructor set the limits
    juce::Point<int> startSize;                       // the window's size as built: content and menu bar
    std::optional<juce::Point<int>> staleShrink;      // the size stale limits allowed, until it is undone
    bool painted = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
