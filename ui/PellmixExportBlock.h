#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// Stand-in for the result plots of the blended IR: an empty 1212 x 180 component until the plots
// themselves are built. Message thread only.
class PellmixExportBlock : public juce::Component
{
public:
    PellmixExportBlock() { setSize (1212, 180); }
};
