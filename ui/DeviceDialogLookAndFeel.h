#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// The look of the contents of the two device dialogs: the framework's own (dark controls), with
// the texts that are drawn straight onto the dialogs' light backgrounds (labels, toggle buttons)
// in a dark colour, so that they stand out from them.
//
// Threads: message thread only. A function-local static created on first use and destroyed at
// exit, after the dialogs that use it.
juce::LookAndFeel& getDeviceDialogLookAndFeel();
