#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// Hands a window's current size limits (its peer's constrainer) to the window system at once.
// The framework passes them on only with the window's next change of bounds, so limits set on a
// window that does not move or resize would otherwise not reach the window manager. A system
// whose windows take the limits at once does nothing here.
//
// Threading: message thread only.
void handSizeLimitsToWindowSystem (juce::ComponentPeer& peer);
