#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// Stand-in for the IR panel (eight IR blocks and the graphic EQ): an empty 1212 x 480 component
// until the panel itself is built. Message thread only.
class PellmixIrPanel : public juce::Component
{
public:
    PellmixIrPanel() { setSize (1212, 480); }
};
