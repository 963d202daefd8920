#include "ui/PellmixIrPanel.h"

#include "settings/PellmixConfig.h"

PellmixIrPanel::PellmixIrPanel()
{
    auto* config = PellmixConfig::getInstance();
    config->engine.prepareSpectrum (PellmixEngine::slotSpectrum, 2048, PellmixIrBlock::numCurvePoints,
                                    PellmixEngine::workingRate);

    for (int i = 0; i < numBlocks; ++i)
    {
        addAndMakeVisible (blocks[(size_t)i]);
        blocks[(size_t)i].setSlotIndex (i);
        config->project.setIrRecord (i, juce::File(), false, false, 1792, 0, 0.0f, false, 0.0f);
    }

    eq = std::make_unique<PellmixEq>();
    addAndMakeVisible (eq.get());
    setSize (1212, 480);
}

PellmixIrPanel::~PellmixIrPanel()
{
    // The EQ first; the blocks then go from the last to the first (array members are destroyed
    // in reverse order).
    eq.reset();
}

void PellmixIrPanel::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::white);
    g.setColour (juce::Colours::grey);
    g.drawRect (getLocalBounds());
}

void PellmixIrPanel::resized()
{
    for (int i = 0; i < numBlocks; ++i)
        blocks[(size_t)i].setTopLeftPosition (PellmixIrBlock::blockWidth * (i % 4),
                                              PellmixIrBlock::blockHeight * (i / 4));
    eq->setTopLeftPosition (0, 360);
}
