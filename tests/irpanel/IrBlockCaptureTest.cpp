// The capture request and hand-off of an IR block, with the configuration's capture fields set
// as the capture window and its worker set them.
#include "IrPanelTestSupport.h"

using namespace irpanel_test;

namespace
{
using Look = PellmixIrBlock::Look;
}

TEST_F (IrPanelTest, CaptureButtonAndMenuAskForACaptureIntoTheirSlot)
{
    tick (2);
    ASSERT_TRUE (block (2).getCaptureButton().isVisible());
    config->lastCapturePath.set ("/left/over/from/an/earlier/session.vir");
    click (block (2).getCaptureButton());
    EXPECT_EQ (config->captureSlot.load(), 2);
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowShown);
    EXPECT_TRUE (config->lastCapturePath.isEmpty()) << "a new session starts without a path";
    tick (2);
    EXPECT_EQ (block (2).getLook(), Look::capturing);

    // A later request while one is pending: the last one wins; the pending session keeps its
    // path.
    config->lastCapturePath.set ("/pending/result.vir");
    loadInto (5, someIr ("loaded.wav"));
    MenuAnswer answer (2);
    screen->click (at (5, {12, 100}));
    pump (50);
    EXPECT_TRUE (answer.answered);
    EXPECT_EQ (config->captureSlot.load(), 5);
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowShown);
    EXPECT_EQ (config->lastCapturePath.get(), "/pending/result.vir");
    tick (2);
    EXPECT_EQ (block (2).getLook(), Look::empty) << "slot 2 no longer waits";
    tick (5);
    EXPECT_EQ (block (5).getLook(), Look::loaded);
}

TEST_F (IrPanelTest, CaptureRequestNeedsADeviceWithInputs)
{
    tick (0);
    auto* manager = getSharedAudioDeviceManager();
    ASSERT_FALSE (manager->getCurrentAudioDevice()->getInputChannelNames().isEmpty());

    manager->closeAudioDevice();
    ASSERT_EQ (manager->getCurrentAudioDevice(), nullptr);
    click (block (0).getCaptureButton());
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::idle);
    EXPECT_EQ (config->captureSlot.load(), -1);

    ASSERT_TRUE (reopenSharedDeviceForTests());
    click (block (0).getCaptureButton());
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowShown);
    EXPECT_EQ (config->captureSlot.load(), 0);
}

TEST (IrBlockCaptureWithoutInputs, RequestIsIgnored)
{
    ASSERT_TRUE (ui_test::processDisplay().started());
    JackConfigEnvironment env ({44100, 512, 0, 4, false});
    ASSERT_NE (env.config, nullptr) << env.jack.logText();
    ASSERT_TRUE (getSharedAudioDeviceManager()->getCurrentAudioDevice()->getInputChannelNames().isEmpty());
    PellmixIrPanel panel;
    OnScreen screen (panel);
    auto& b = panel.getBlock (4);
    b.timerCallback();
    auto& button = b.getCaptureButton();
    screen.click (panel.getLocalPoint (&button, button.getLocalBounds().getCentre()).toFloat());
    EXPECT_EQ (env.config->captureState.load(), PellmixCaptureHandOff::idle);
    EXPECT_EQ (env.config->captureSlot.load(), -1);
    b.timerCallback();
    EXPECT_EQ (b.getLook(), PellmixIrBlock::Look::empty);
}

// Every look of the block of the capture slot when the capture window closes (state 2), with
// and without a captured file.
TEST_F (IrPanelTest, HandOffCompletesInEveryLook)
{
    const auto before = someIr ("before.wav", 1.0);
    const auto captured = writeVir (file ("captured.vir"), engine_test::decayingIr (1792, 96000.0, 1.6));
    const auto broken = file ("broken.vir");
    broken.replaceWithText ("not a vir file");

    struct Case
    {
        const char* name;
        bool slotLoaded;
        juce::File result; // the worker's path; empty when the capture gave nothing
        juce::File expectedPath;
        bool box;
    };
    const Case cases[] = {
        {"empty slot, file captured", false, captured, captured, false},
        {"empty slot, nothing captured", false, {}, {}, false},
        {"loaded slot, file captured", true, captured, captured, false},
        {"loaded slot, nothing captured", true, {}, before, false},
        {"loaded slot, unreadable capture", true, broken, before, true},
        {"empty slot, unreadable capture", false, broken, {}, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        tick (3);
        if (c.slotLoaded)
        {
            drop (3, before);
            ASSERT_EQ (record (3).path, before);
        }
        else if (block (3).getLook() == Look::loaded)
        {
            click (block (3).getRemoveButton());
        }
        tick (3);
        const auto boxes = alerts.boxes.size();

        // The request (the capture button only shows in the empty look).
        MenuAnswer answer (2);
        screen->click (at (3, {12, 100}));
        pump (50);
        ASSERT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowShown);
        tick (3);
        EXPECT_EQ (block (3).getLook(), c.slotLoaded ? Look::loaded : Look::capturing);

        // The worker's result, then the window closes.
        if (c.result != juce::File())
            config->lastCapturePath.set (c.result.getFullPathName());
        tick (3);
        EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowShown)
            << "nothing is taken while the window is open";
        config->captureState = PellmixCaptureHandOff::windowClosed;
        tick (3);
        pump (50);

        EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::idle);
        EXPECT_TRUE (config->lastCapturePath.isEmpty());
        EXPECT_EQ (record (3).path, c.expectedPath);
        EXPECT_EQ (block (3).getLook(), c.expectedPath == juce::File() ? Look::empty : Look::loaded);
        EXPECT_EQ (engine().isLoaded (3), c.expectedPath != juce::File());
        if (c.expectedPath != juce::File())
        {
            EXPECT_EQ (band0 (engine(), 3), shapedBand0 (c.expectedPath, record (3)));
        }
        EXPECT_EQ (alerts.boxes.size(), boxes + (c.box ? 1 : 0));
    }
}

TEST_F (IrPanelTest, StalePathNeverLandsInANewSession)
{
    tick (1);
    // A path left by a session whose window closed without any block taking it (for example
    // the slot changed in between).
    config->lastCapturePath.set (someIr ("stale.wav").getFullPathName());
    click (block (1).getCaptureButton());
    // The window closes without a new result.
    config->captureState = PellmixCaptureHandOff::windowClosed;
    tick (1);
    EXPECT_EQ (record (1).path, juce::File());
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::idle);
    EXPECT_FALSE (engine().isLoaded (1));
}

TEST_F (IrPanelTest, OnlyTheBlockOfTheCaptureSlotTakesTheResult)
{
    const auto captured = someIr ("mine.wav");
    config->captureSlot = 6;
    config->captureState = PellmixCaptureHandOff::windowClosed;
    config->lastCapturePath.set (captured.getFullPathName());
    for (int i = 0; i < 8; ++i)
        if (i != 6)
            tick (i);
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::windowClosed);
    EXPECT_EQ (config->lastCapturePath.get(), captured.getFullPathName());
    tick (6);
    EXPECT_EQ (record (6).path, captured);
    EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::idle);
    for (int i = 0; i < 8; ++i)
    {
        if (i != 6)
        {
            EXPECT_EQ (record (i).path, juce::File()) << i;
        }
    }
}
