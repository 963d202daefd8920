// The IR panel as a whole: where its children sit, what it writes into the project and the
// engine at start, and the order in which it takes them down.
#include "IrPanelTestSupport.h"

using namespace irpanel_test;

TEST_F (IrPanelTest, ChildrenSitInTheirGridAndEditTheirSlots)
{
    EXPECT_EQ (panel->getBounds().withZeroOrigin(), juce::Rectangle<int> (1212, 480));
    ASSERT_EQ (panel->getNumChildComponents(), 9);
    for (int i = 0; i < 8; ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (panel->getChildComponent (i), &block (i));
        EXPECT_EQ (block (i).getBounds(), juce::Rectangle<int> (303 * (i % 4), 180 * (i / 4), 303, 180));
        EXPECT_EQ (block (i).getSlotIndex(), i);
        EXPECT_TRUE (block (i).isVisible());
    }
    EXPECT_EQ (panel->getChildComponent (8), &panel->getEq());
    EXPECT_EQ (panel->getEq().getBounds(), juce::Rectangle<int> (0, 360, 1212, 120));

    // Slot 5's block (second row, second column) edits record 5 and no other.
    const auto f = someIr ("five.wav");
    drop (5, f, {150, 40});
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (record (i).path, i == 5 ? f : juce::File()) << i;
}

TEST_F (IrPanelTest, EveryRecordStartsEmptyWithTheFullWindowAndTheAnalysersAreReady)
{
    ASSERT_EQ (project().irRecords.size(), 8);
    for (int i = 0; i < 8; ++i)
    {
        SCOPED_TRACE (i);
        const auto r = record (i);
        EXPECT_EQ (r.path, juce::File());
        EXPECT_FALSE (r.solo || r.mute || r.invert || r.changed);
        EXPECT_EQ (r.offset, 0);
        EXPECT_EQ (r.phase, 0.0f);
        EXPECT_EQ (r.gain, 0.0f);
        EXPECT_EQ (r.length, 2048); // the length knob's first change, after the record's 1792
        const auto& analyser = engine().getSlot (i).analyser;
        EXPECT_EQ (analyser.fftSize, 2048);
        EXPECT_EQ (analyser.numPoints, 224);
        EXPECT_EQ (analyser.sampleRate, 96000.0);
    }
}

TEST_F (IrPanelTest, RecordsWrittenBeforeThePanelAreReset)
{
    // A panel built over records that hold values (as a second window would find them) resets
    // them all; the first asynchronous knob change then writes the full window.
    screen.reset();
    panel.reset();
    for (int i = 0; i < 8; ++i)
        project().setIrRecord (i, someIr ("old" + std::to_string (i) + ".wav"), true, true, 100, 5, 3.0f,
                               true, 4.0f);
    // The old blocks left the configuration's listeners when they were deleted; the new panel is
    // all that is looked at.
    panel = std::make_unique<PellmixIrPanel>();
    for (int i = 0; i < 8; ++i)
    {
        const auto r = record (i);
        EXPECT_EQ (r.path, juce::File()) << i;
        EXPECT_FALSE (r.solo || r.mute || r.invert) << i;
        EXPECT_EQ (r.length, 1792) << i;
        EXPECT_EQ (r.gain, 0.0f) << i;
    }
    pump (100);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (record (i).length, 2048) << i;
}

namespace
{
struct DeletionRecorder : juce::ComponentListener
{
    void componentBeingDeleted (juce::Component& c) override { deleted.push_back (&c); }
    std::vector<juce::Component*> deleted;
};
} // namespace

TEST_F (IrPanelTest, EqGoesFirstThenTheBlocksFromTheLast)
{
    DeletionRecorder recorder;
    std::vector<juce::Component*> expected{&panel->getEq()};
    for (int i = 7; i >= 0; --i)
        expected.push_back (&block (i));
    for (auto* c : expected)
        c->addComponentListener (&recorder);

    screen.reset();
    panel.reset();
    EXPECT_EQ (recorder.deleted, expected);
}
