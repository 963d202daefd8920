#pragma once
#include "ui/PellmixEq.h"
#include "ui/PellmixIrBlock.h"

#include <array>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The IR panel, 1212 x 480: the eight IR blocks in a 4 x 2 grid (slots 0-3 on top, 4-7 below)
// and the graphic-EQ strip at (0, 360). Its constructor numbers the blocks, writes every slot's
// default record into the project and prepares the engine's slot analysers for the blocks'
// 224-point curves.
//
// Threads: message thread only.
class PellmixIrPanel : public juce::Component
{
public:
    static constexpr int numBlocks = 8;

    PellmixIrPanel();
    ~PellmixIrPanel() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    PellmixIrBlock& getBlock (int slot) { return blocks[(size_t)slot]; }
    PellmixEq& getEq() const { return *eq; }

private:
    std::array<PellmixIrBlock, numBlocks> blocks;
    std::unique_ptr<PellmixEq> eq;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixIrPanel)
};
