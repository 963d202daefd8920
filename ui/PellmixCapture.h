#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// Stand-in for the capture window: an empty 471 x 172 component until the capture window itself
// is built. Message thread only.
class PellmixCapture : public juce::Component
{
public:
    PellmixCapture() { setSize (471, 172); }
};
