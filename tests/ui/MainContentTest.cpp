// The main content on a virtual display with the configuration and a JACK dummy device: layout
// over the background picture, the bypass button and the processing state, the space key to the
// player, the tooltip switch, and the one-second device and capture timer.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "UiTestSupport.h"
#include "app/MainContentComponent.h"
#include "ui/PellmixCapture.h"
#include "ui/PellmixExportBlock.h"
#include "ui/PellmixIrPanel.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixPlayer.h"

#include <vector>

using ui_test::differingPixels;
using ui_test::OnScreen;

using ui_test::ProcessingRecorder;

namespace
{
class MainContent : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
    }
    void TearDown() override
    {
        screen.reset();
        content.reset();
    }
    void build()
    {
        content = std::make_unique<MainContentComponent>();
        screen = std::make_unique<OnScreen> (*content);
    }
    juce::Point<float> bypassCentre() const
    {
        return content->getBypassButton()->getBounds().toFloat().getCentre();
    }

    const bool displayStarted = ui_test::processDisplay().started(); // before anything opens X
    ui_test::ConfigEnvironment env;
    std::unique_ptr<MainContentComponent> content;
    std::unique_ptr<OnScreen> screen;
};

void expectImages (juce::ImageButton& button, bool processingOn)
{
    const auto normal = processingOn ? PELLMIX_PICTURE (bypass_on_png) : PELLMIX_PICTURE (bypass_off_png);
    const auto pressed =
        processingOn ? PELLMIX_PICTURE (bypass_on_pressed_png) : PELLMIX_PICTURE (bypass_off_pressed_png);
    EXPECT_EQ (differingPixels (button.getNormalImage(), normal), 0);
    EXPECT_EQ (differingPixels (button.getOverImage(), normal), 0);
    EXPECT_EQ (differingPixels (button.getDownImage(), pressed), 0);
}
} // namespace

TEST_F (MainContent, ChildrenInTheirOrderAndPlaces)
{
    build();
    EXPECT_EQ (content->getBounds(), juce::Rectangle<int> (0, 0, 1289, 818));
    EXPECT_EQ (&content->getLookAndFeel(), PellmixLookAndFeel::getInstance());

    struct Child
    {
        juce::Component* component;
        juce::Rectangle<int> bounds;
        bool visible;
    };
    // The tooltip window, created first, stays above every later child (it is always on top).
    const Child children[] = {
        {content->getIrPanel(), {38, 158, 1212, 480}, true},
        {content->getPlayer(), {38, 38, 1212, 120}, true},
        {content->getExportBlock(), {38, 638, 1212, 180}, true},
        {content->getCaptureWindow(), {398, 228, 471, 172}, false},
        {content->getBypassButton(), {1110, 7, 109, 24}, true},
        {content->getTooltipWindow(), content->getTooltipWindow()->getBounds(), false},
    };
    ASSERT_EQ (content->getNumChildComponents(), (int)std::size (children));
    for (int i = 0; i < (int)std::size (children); ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (content->getChildComponent (i), children[i].component);
        EXPECT_EQ (children[i].component->getBounds(), children[i].bounds);
        EXPECT_EQ (children[i].component->isVisible(), children[i].visible);
        EXPECT_EQ (&children[i].component->getLookAndFeel(), PellmixLookAndFeel::getInstance());
    }
    EXPECT_TRUE (content->getBypassButton()->getName().isEmpty());
    EXPECT_EQ (content->getBypassButton()->getTooltip(), "Bypass the Vantrel process");
    expectImages (*content->getBypassButton(), true);
}

TEST_F (MainContent, BackgroundPictureIsDrawnUnscaledBehindTheChildren)
{
    build();
    const auto background = PELLMIX_PICTURE (main_background_png);
    ASSERT_EQ (background.getBounds(), juce::Rectangle<int> (1289, 818));
    const auto drawn = ui_test::snapshot (*content);

    // Where no child paints (the title bar left of the bypass button, the frame, and the empty
    // Where no child paints (the title bar left of the bypass button and the frame) every pixel
    // is the picture's.
    const juce::Rectangle<int> areas[] = {{0, 0, 1100, 38}, {0, 0, 38, 818}, {1250, 38, 39, 780}};
    for (const auto& area : areas)
        EXPECT_EQ (differingPixels (drawn.getClippedImage (area), background.getClippedImage (area)), 0)
            << area.toString();
}

TEST_F (MainContent, BypassClicksFlipProcessingAndTheImages)
{
    build();
    // Registered after the content, so it hears each broadcast after it.
    auto recorder = std::make_unique<ProcessingRecorder>();
    env.config->addListener (recorder.get());

    for (bool expected : {false, true, false, true})
    {
        SCOPED_TRACE (expected);
        screen->click (bypassCentre());
        EXPECT_EQ (env.config->processingEnabled.load(), expected);
        ASSERT_FALSE (recorder->calls.empty());
        EXPECT_EQ (recorder->calls.back(), expected);
        expectImages (*content->getBypassButton(), expected);
    }
    EXPECT_EQ (recorder->calls.size(), 4u); // one broadcast per click
    env.config->removeListener (recorder.get());
}

TEST_F (MainContent, ImagesFollowAProcessingBroadcastFromElsewhere)
{
    build();
    for (bool on : {false, true, false})
    {
        env.config->processingEnabled = on;
        env.config->notifyProcessingChanged (on);
        expectImages (*content->getBypassButton(), on);
    }
}

TEST_F (MainContent, LeavesTheConfigurationListenersWhenDeleted)
{
    ProcessingRecorder before;
    env.config->addListener (&before);
    build();
    screen.reset();
    content.reset();

    // Broadcasts after the deletion reach only the listeners still alive.
    env.config->notifyProcessingChanged (false);
    env.config->notifyTooltipsChanged (false);
    env.config->notifyColourChanged (3);
    env.config->resetColours();
    EXPECT_EQ (before.calls, std::vector<bool>{false});
    env.config->removeListener (&before);
}

TEST_F (MainContent, BypassImagesStartOnWhateverTheStoredState)
{
    env.config->processingEnabled = false;
    build();
    expectImages (*content->getBypassButton(), true);
}

TEST_F (MainContent, SpaceKeyPlaysOrPausesTheListenedFile)
{
    build();
    auto* player = content->getPlayer();
    struct Case
    {
        int state;
        juce::ModifierKeys mods;
        int expected;
    };
    const auto shift = juce::ModifierKeys (juce::ModifierKeys::shiftModifier);
    const auto command = juce::ModifierKeys (juce::ModifierKeys::commandModifier);
    const Case cases[] = {
        {PellmixPlayer::stopped, {}, PellmixPlayer::playing},
        {PellmixPlayer::paused, {}, PellmixPlayer::playing},
        {PellmixPlayer::playing, {}, PellmixPlayer::paused},
        {PellmixPlayer::stopped, shift, PellmixPlayer::playing},
        {PellmixPlayer::playing, shift, PellmixPlayer::paused},
        {PellmixPlayer::playing, command, PellmixPlayer::paused},
        {PellmixPlayer::paused, command, PellmixPlayer::playing},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "state " << c.state << ", mods " << c.mods.getRawFlags());
        player->transportState = c.state;
        EXPECT_TRUE (screen->key (juce::KeyPress (juce::KeyPress::spaceKey, c.mods, ' ')));
        EXPECT_EQ (player->transportState, c.expected);
    }

    for (const auto& other : {juce::KeyPress ('a', {}, 'a'), juce::KeyPress (juce::KeyPress::returnKey),
                              juce::KeyPress (juce::KeyPress::escapeKey)})
    {
        player->transportState = PellmixPlayer::stopped;
        EXPECT_FALSE (content->keyPressed (other, content.get())) << other.getTextDescription();
        screen->key (other); // the focused child may use it; the transport does not move
        EXPECT_EQ (player->transportState, PellmixPlayer::stopped);
    }
}

TEST_F (MainContent, SpaceKeyReachesThePlayerFromItsListsAndSliders)
{
    build();
    auto* player = content->getPlayer();
    juce::Component* sources[] = {player, player->sourceList.get(), player->targetList.get(),
                                  player->sourceProgressSlider.get(), player->targetProgressSlider.get()};
    for (auto* source : sources)
    {
        SCOPED_TRACE (source->getName());
        source->setWantsKeyboardFocus (true);
        source->grabKeyboardFocus();
        OnScreen::pump (50);
        ASSERT_TRUE (source->hasKeyboardFocus (false));
        player->transportState = PellmixPlayer::stopped;
        EXPECT_TRUE (screen->key (juce::KeyPress (juce::KeyPress::spaceKey, {}, ' ')));
        EXPECT_EQ (player->transportState, PellmixPlayer::playing);
        EXPECT_TRUE (screen->key (juce::KeyPress (juce::KeyPress::spaceKey, {}, ' ')));
        EXPECT_EQ (player->transportState, PellmixPlayer::paused);
    }
}

// Each case of the tooltip switch is a test of its own, with a configuration of its own.
struct TooltipCase
{
    bool storedOn;
    int toggles;
    bool shown;
};

class MainContentTooltips : public MainContent, public ::testing::WithParamInterface<TooltipCase>
{
};

TEST_P (MainContentTooltips, TipAppearsAfterHalfASecondOnlyWhileSwitchedOn)
{
    const auto c = GetParam();
    env.config->toolTip = c.storedOn;
    build();
    for (int i = 0; i < c.toggles; ++i)
        env.config->toggleTooltips();

    // The real pointer onto the bypass button.
    const auto target = content->localPointToGlobal (bypassCentre().roundToInt());
    ASSERT_EQ (
        pellmix_test::run ({"xdotool", "mousemove", std::to_string (target.x), std::to_string (target.y)})
            .exitCode,
        0);
    auto* tip = content->getTooltipWindow();
    const auto end = juce::Time::getMillisecondCounter() + 2000;
    while (!tip->isVisible() && juce::Time::getMillisecondCounter() < end)
        OnScreen::pump (50);
    EXPECT_EQ (tip->isVisible(), c.shown);
}

INSTANTIATE_TEST_SUITE_P (Switch, MainContentTooltips,
                          ::testing::Values (TooltipCase{true, 0, true}, TooltipCase{true, 1, false},
                                             TooltipCase{true, 2, true}, TooltipCase{false, 0, false},
                                             TooltipCase{false, 1, true}),
                          [] (const auto& p)
                          {
                              return std::string (p.param.storedOn ? "StoredOn" : "StoredOff") + "Toggled" +
                                     std::to_string (p.param.toggles);
                          });

TEST_F (MainContent, TimerKeepsTheDeviceReadyFlag)
{
    build();
    env.config->audioDeviceReady = 0;
    content->timerCallback();
    EXPECT_EQ (env.config->audioDeviceReady.load(), 1);

    getSharedAudioDeviceManager()->closeAudioDevice();
    content->timerCallback();
    EXPECT_EQ (env.config->audioDeviceReady.load(), 0);

    ASSERT_TRUE (reopenSharedDeviceForTests());
    OnScreen::pump (1300); // the content's own one-second timer
    EXPECT_EQ (env.config->audioDeviceReady.load(), 1);
}

TEST_F (MainContent, CaptureWindowIsShownExactlyWhileCaptureStateIsOne)
{
    build();
    auto* capture = content->getCaptureWindow();
    struct Case
    {
        int state;
        bool visibleBefore;
        bool visible;
    };
    using HandOff = PellmixCaptureHandOff;
    const Case cases[] = {{HandOff::windowShown, false, true},  {HandOff::windowShown, true, true},
                          {HandOff::windowClosed, true, false}, {HandOff::idle, true, false},
                          {HandOff::idle, false, false},        {HandOff::windowClosed, false, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "state " << c.state << ", visible before " << c.visibleBefore);
        capture->setVisible (c.visibleBefore);
        env.config->captureState = c.state;
        content->timerCallback();
        EXPECT_EQ (capture->isVisible(), c.visible);
    }

    // The real timer shows it within a second.
    env.config->captureState = PellmixCaptureHandOff::windowShown;
    capture->setVisible (false);
    OnScreen::pump (1300);
    EXPECT_TRUE (capture->isVisible());
    env.config->captureState = PellmixCaptureHandOff::idle;
}

namespace
{
// One tick of every panel timer of the window, in the order the framework might run them.
void tickEveryPanel (MainContentComponent& content)
{
    content.timerCallback();
    auto& panel = *content.getIrPanel();
    for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
        panel.getBlock (slot).timerCallback();
    panel.getEq().timerCallback();
    content.getExportBlock()->timerCallback();
    content.getPlayer()->timerCallback (PellmixPlayer::spectrumTimer);
    content.getPlayer()->timerCallback (PellmixPlayer::positionTimer);
    auto& capture = *content.getCaptureWindow();
    capture.timerCallback();
    capture.getInputMeter().timerCallback();
    capture.getProgressMeter().timerCallback();
}

bool curvesAtFloor (const PellmixPlayerInOutSpectroGramme& view)
{
    const auto floor = PellmixPlayer::spectrumFloorDb * PellmixPlayer::spectrumScale;
    for (const auto* curve : {&view.inputCurve, &view.outputCurve})
        for (float v : *curve)
            if (v != floor)
                return false;
    return true;
}
} // namespace

// With nothing loaded and nothing playing, a tick of every panel after the first draws nothing:
// no panel repaints while its data stays the same. The player's spectrum view repaints again once
// something it draws changes: the processing switch, which swaps the output curve and the floor
// line, or a curve.
TEST_F (MainContent, PanelsAtRestRepaintNothingOnTheirTicks)
{
    build();
    env.config->captureState = PellmixCaptureHandOff::idle; // no capture holds the player
    env.config->audioDeviceReady = 1;
    auto& view = *content->getPlayer()->spectrumView;
    // The analysers of the silent device settle at the floor.
    const auto end = juce::Time::getMillisecondCounter() + 10000;
    while (!curvesAtFloor (view) && juce::Time::getMillisecondCounter() < end)
        OnScreen::pump (20);
    ASSERT_TRUE (curvesAtFloor (view));

    tickEveryPanel (*content); // each panel takes on the state it shows
    ASSERT_EQ (env.config->audioDeviceReady.load(), 1) << "the player's timers work only then";
    auto& repaints = ui_test::RepaintCounter::attach (*content);
    for (int round = 0; round < 3; ++round)
        tickEveryPanel (*content);
    EXPECT_EQ (repaints.requests, 0);

    const bool processing = env.config->processingEnabled.load();
    env.config->processingEnabled = !processing;
    content->getPlayer()->timerCallback (PellmixPlayer::spectrumTimer);
    EXPECT_EQ (repaints.requests, 1) << "the floor line and the output curve change places";
    content->getPlayer()->timerCallback (PellmixPlayer::spectrumTimer);
    EXPECT_EQ (repaints.requests, 1);
    env.config->processingEnabled = processing;
    content->getPlayer()->timerCallback (PellmixPlayer::spectrumTimer);
    EXPECT_EQ (repaints.requests, 2);

    view.inputCurve[100] = 0.0f; // a curve point that the analysers' next values replace
    content->getPlayer()->timerCallback (PellmixPlayer::spectrumTimer);
    EXPECT_EQ (repaints.requests, 3) << "new curve values";
    EXPECT_TRUE (curvesAtFloor (view));
}

// The hidden capture window with nothing under way has nothing to meter: its timer and its
// meters' timers rest, and nothing of it is drawn. Shown, it ticks again at its period; a tone
// keeps it ticking while hidden (the tone goes on after a close), until the tone ends.
TEST_F (MainContent, HiddenCaptureWindowRestsUntilShownOrARunIsUnderWay)
{
    build();
    auto& capture = *content->getCaptureWindow();
    auto& meter = capture.getInputMeter();
    ASSERT_FALSE (capture.isVisible());
    auto& repaints = ui_test::RepaintCounter::attach (*content);

    capture.timerCallback();
    for (auto* m : {&meter, &capture.getProgressMeter()})
        for (int tick = 0; tick < 100 && m->isTimerRunning(); ++tick) // what is left to draw, then rest
            m->timerCallback();
    EXPECT_FALSE (capture.isTimerRunning());
    EXPECT_FALSE (meter.isTimerRunning());
    EXPECT_FALSE (capture.getProgressMeter().isTimerRunning());
    EXPECT_EQ (repaints.requests, 0);

    env.config->captureState = PellmixCaptureHandOff::windowShown;
    content->timerCallback();
    ASSERT_TRUE (capture.isVisible());
    EXPECT_TRUE (capture.isTimerRunning());
    EXPECT_EQ (capture.getTimerInterval(), PellmixCapture::fastTimerMs);

    // A tone started, then the window closed: the tone is still metered.
    env.config->captureAudioIn = 0;
    capture.buttonClicked (&capture.getToneButton());
    ASSERT_EQ (capture.getRun().getState(), PellmixCaptureRun::State::tone);
    env.config->captureState = PellmixCaptureHandOff::idle;
    content->timerCallback();
    ASSERT_FALSE (capture.isVisible());
    capture.timerCallback();
    EXPECT_TRUE (capture.isTimerRunning());

    capture.buttonClicked (&capture.getToneButton()); // stopped
    ASSERT_EQ (capture.getRun().getState(), PellmixCaptureRun::State::idle);
    capture.timerCallback();
    EXPECT_FALSE (capture.isTimerRunning());
}
