#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// The one window: a viewport over the main content, the configuration's menu bar, native title
// bar. Resizable from 800 x 600 up to the content plus frame and menu bar. Its destructor
// deletes the content first, then the shared audio device manager (closing the device).
// Message thread only.
class MainWindow : public juce::DocumentWindow
{
public:
    explicit MainWindow (const juce::String& name);
    ~MainWindow() override;

    void closeButtonPressed() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
