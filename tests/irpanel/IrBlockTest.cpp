// One IR block with the real engine: drops, the pop-up menu, the buttons, the knobs, the three
// looks and the tooltip, all through the window's peer.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "IrPanelTestSupport.h"
#include "ir/HostileAudioFiles.h"

using namespace irpanel_test;

namespace
{
const juce::String infoText = "The IR must be either in vir, aiff or wav format.";

void expectImages (const juce::ImageButton& b, const juce::Image& normal, const juce::Image& over,
                   const juce::Image& down)
{
    auto& button = const_cast<juce::ImageButton&> (b);
    EXPECT_EQ (ui_test::differingPixels (button.getNormalImage(), normal), 0);
    EXPECT_EQ (ui_test::differingPixels (button.getOverImage(), over), 0);
    EXPECT_EQ (ui_test::differingPixels (button.getDownImage(), down), 0);
}

} // namespace

// --- Drops --------------------------------------------------------------------------------------

TEST_F (IrPanelTest, DropTable)
{
    const auto first = someIr ("first.wav", 1.0);
    const auto otherWav = someIr ("other.wav", 1.4, 2600);
    const auto aiff = writeAudio (file ("take.aiff"), engine_test::decayingIr (2500, 48000.0, 1.3), 48000.0);
    const auto aif = writeAudio (file ("take.aif"), engine_test::decayingIr (2200, 44100.0, 0.8), 44100.0);
    const auto vir = writeVir (file ("take.vir"), engine_test::decayingIr (1792, 96000.0, 0.7));
    const auto upper = wav ("LOUD.WAV", engine_test::decayingIr (2100, 96000.0, 1.9));
    const auto text = file ("notes.txt");
    text.replaceWithText ("not an impulse");
    const auto broken = file ("broken.wav");
    broken.replaceWithText ("RIFF....WAVEfmt definitely not audio");
    const auto empty = file ("zero.wav");
    empty.create();
    const auto folder = file ("folder.wav");
    folder.createDirectory();
    const auto gone = file ("gone.wav");

    struct Case
    {
        std::string name;
        juce::StringArray files;
        bool taken;
        const char* box; // "info", "unreadable" or none
    };
    std::vector<Case> cases = {
        {"wav", {otherWav.getFullPathName()}, true, nullptr},
        {"aiff", {aiff.getFullPathName()}, true, nullptr},
        {"aif", {aif.getFullPathName()}, true, nullptr},
        {"vir", {vir.getFullPathName()}, true, nullptr},
        {"upper-case extension", {upper.getFullPathName()}, true, nullptr},
        {"only the first file counts", {aiff.getFullPathName(), text.getFullPathName()}, true, nullptr},
        {"text file", {text.getFullPathName()}, false, "info"},
        {"text file before a wav", {text.getFullPathName(), otherWav.getFullPathName()}, false, "info"},
        {"unreadable wav", {broken.getFullPathName()}, false, "unreadable"},
        {"zero-length wav", {empty.getFullPathName()}, false, "unreadable"},
        {"folder named like a wav", {folder.getFullPathName()}, false, "unreadable"},
        {"file gone before the read", {gone.getFullPathName()}, false, "unreadable"},
    };
    // Pipes, lying headers and chunks of gigabytes: refused at once like any unreadable file.
    pellmix_test::TempDir hostile ("irblock-hostile");
    for (const auto& h : hostile_audio::make (hostile, false))
        cases.push_back ({h.name, {juce::String (hostile.child (h.name))}, false, "unreadable"});
    ASSERT_EQ (::mkfifo (hostile.child ("fifo.vir").c_str(), 0644), 0);
    cases.push_back ({"fifo.vir", {juce::String (hostile.child ("fifo.vir"))}, false, "unreadable"});

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        drop (0, first);
        tick (0);
        ASSERT_EQ (record (0).path, first);
        const auto boxesBefore = alerts.boxes.size();

        drop (0, c.files);
        pump (50); // an asynchronous box
        const juce::File expected = c.taken ? juce::File (c.files[0]) : first;
        EXPECT_EQ (record (0).path, expected);
        EXPECT_TRUE (engine().isLoaded (0));
        EXPECT_EQ (band0 (engine(), 0), shapedBand0 (expected, record (0)))
            << "the slot holds the expected file";

        if (c.box == nullptr)
        {
            EXPECT_EQ (alerts.boxes.size(), boxesBefore);
        }
        else
        {
            ASSERT_EQ (alerts.boxes.size(), boxesBefore + 1);
            // Title and icon agree: a wrong extension is told as information, a file that could
            // not be read as a warning.
            const auto& box = alerts.boxes.back();
            if (juce::String (c.box) == "info")
            {
                EXPECT_EQ (box.title, "Info");
                EXPECT_EQ (box.message, infoText);
                EXPECT_EQ (box.icon, juce::MessageBoxIconType::InfoIcon);
            }
            else
            {
                EXPECT_EQ (box.title, "Load IR");
                EXPECT_EQ (box.icon, juce::MessageBoxIconType::WarningIcon);
                EXPECT_TRUE (box.message.contains ("could not be read")) << box.message;
                EXPECT_TRUE (box.message.contains (c.files[0])) << box.message;
            }
        }
        tick (0);
        EXPECT_EQ (block (0).getLook(), PellmixIrBlock::Look::loaded);
        EXPECT_EQ (block (0).getIrLabel().getText(), expected.getFileNameWithoutExtension());
    }
}

TEST_F (IrPanelTest, DropIntoAnEmptySlotWindowsAtTheFullLength)
{
    const auto f = someIr ("fresh.wav", 1.0, 4000);
    drop (2, f, {200, 150});
    const auto r = record (2);
    EXPECT_EQ (r.length, 2048);
    EXPECT_EQ (band0 (engine(), 2), shapedBand0 (f, r));
    EXPECT_TRUE (engine().getSlot (2).active.load());
}

TEST_F (IrPanelTest, UnreadableFileIntoAnEmptySlotLeavesItEmpty)
{
    const auto broken = file ("broken.aiff");
    broken.replaceWithText ("FORM nonsense");
    drop (3, broken);
    pump (50);
    EXPECT_EQ (record (3).path, juce::File());
    EXPECT_FALSE (engine().isLoaded (3));
    ASSERT_EQ (alerts.boxes.size(), 1u);
    tick (3);
    EXPECT_EQ (block (3).getLook(), PellmixIrBlock::Look::empty);
}

// --- Pop-up menu --------------------------------------------------------------------------------

TEST_F (IrPanelTest, MenuLoadsAFileThroughTheChooser)
{
    tick (1);
    const auto f = someIr ("chosen.wav");
    ui_test::ChooserStub chooser;
    chooser.answer = {f};
    MenuAnswer answer (1);
    screen->click (at (1, {12, 100}));
    pump (50);

    EXPECT_TRUE (answer.answered);
    EXPECT_EQ (answer.itemTexts, juce::StringArray ({"Load Impulse file", "Capture Impulse"}));
    ASSERT_EQ (chooser.requests.size(), 1u);
    EXPECT_EQ (ui_test::describe (chooser.requests[0]),
               "open 'Select the folder' in " +
                   config->settings.impulsesFolder.getFullPathName().toStdString() + " *.wav;*.aif;*.vir");
    EXPECT_EQ (record (1).path, f);
    EXPECT_EQ (band0 (engine(), 1), shapedBand0 (f, record (1)));
}

TEST_F (IrPanelTest, MenuOnALoadedBlockWithAnyButtonAndCancelledChoices)
{
    const auto f = someIr ("kept.wav");
    loadInto (4, f);
    const auto rightButton = juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier);

    {
        SCOPED_TRACE ("chooser cancelled");
        ui_test::ChooserStub chooser; // no answer: cancelled
        MenuAnswer answer (1);
        screen->move (at (4, {12, 100}));
        screen->down (at (4, {12, 100}), rightButton);
        screen->up (at (4, {12, 100}));
        pump (50);
        EXPECT_TRUE (answer.answered);
        EXPECT_EQ (chooser.requests.size(), 1u);
        EXPECT_EQ (record (4).path, f);
    }
    {
        SCOPED_TRACE ("menu dismissed");
        ui_test::ChooserStub chooser;
        chooser.answer = {someIr ("never.wav")};
        MenuAnswer answer (0);
        screen->click (at (4, {12, 100}));
        pump (50);
        EXPECT_TRUE (answer.answered);
        EXPECT_TRUE (chooser.requests.empty());
        EXPECT_EQ (record (4).path, f);
        EXPECT_EQ (config->captureState.load(), PellmixCaptureHandOff::idle);
    }
    {
        SCOPED_TRACE ("a click on a child opens no menu");
        MenuAnswer answer (0);
        click (block (4).getIrLabel());
        pump (100);
        EXPECT_FALSE (answer.answered);
    }
}

// --- Buttons ------------------------------------------------------------------------------------

TEST_F (IrPanelTest, MuteAndSoloWriteTheRecordRecolourTheButtonAndReblend)
{
    loadInto (0, someIr ("zero.wav", 1.0));
    loadInto (1, someIr ("one.wav", 1.7));
    auto& s0 = engine().getSlot (0);
    auto& s1 = engine().getSlot (1);

    struct Step
    {
        const char* name;
        int slot;
        bool mute; // else solo
        bool recordValue;
        bool active0, active1;
    };
    const Step steps[] = {
        {"mute 0", 0, true, true, false, true},     {"solo 1", 1, false, true, false, true},
        {"solo 0", 0, false, true, true, true},     {"unmute 0", 0, true, false, true, true},
        {"unsolo 1", 1, false, false, true, false}, {"unsolo 0", 0, false, false, true, true},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE (s.name);
        const auto sumTime = engine().getSum().changedTime;
        juce::Thread::sleep (2);
        click (s.mute ? block (s.slot).getMuteButton() : block (s.slot).getSoloButton());
        const auto r = record (s.slot);
        EXPECT_EQ (s.mute ? r.mute : r.solo, s.recordValue);
        EXPECT_EQ (s0.active.load(), s.active0);
        EXPECT_EQ (s1.active.load(), s.active1);
        EXPECT_GT (engine().getSum().changedTime, sumTime) << "re-blended";
        if (s.mute)
            expectImages (block (s.slot).getMuteButton(),
                          s.recordValue ? PELLMIX_PICTURE (mute_on_png) : PELLMIX_PICTURE (mute_off_png),
                          s.recordValue ? PELLMIX_PICTURE (mute_on_png) : PELLMIX_PICTURE (mute_off_png),
                          s.recordValue ? PELLMIX_PICTURE (mute_on_pressed_png)
                                        : PELLMIX_PICTURE (mute_off_pressed_png));
        else
            expectImages (block (s.slot).getSoloButton(),
                          s.recordValue ? PELLMIX_PICTURE (solo_on_png) : PELLMIX_PICTURE (solo_off_png),
                          s.recordValue ? PELLMIX_PICTURE (solo_on_png) : PELLMIX_PICTURE (solo_off_png),
                          s.recordValue ? PELLMIX_PICTURE (solo_on_pressed_png)
                                        : PELLMIX_PICTURE (solo_off_pressed_png));
    }
}

TEST_F (IrPanelTest, InvertReadsTheFileAgain)
{
    const auto f = someIr ("changing.wav", 1.0);
    loadInto (0, f);
    // The file changes on disk; only the invert button reads it again.
    wav ("changing.wav", engine_test::decayingIr (2800, 96000.0, 2.3));

    click (block (0).getInvertButton());
    EXPECT_TRUE (record (0).invert);
    EXPECT_EQ (band0 (engine(), 0), shapedBand0 (f, record (0)));
    expectImages (block (0).getInvertButton(), PELLMIX_PICTURE (invert_inverted_png),
                  PELLMIX_PICTURE (invert_inverted_over_png), PELLMIX_PICTURE (invert_inverted_pressed_png));

    click (block (0).getInvertButton());
    EXPECT_FALSE (record (0).invert);
    EXPECT_EQ (band0 (engine(), 0), shapedBand0 (f, record (0)));
    expectImages (block (0).getInvertButton(), PELLMIX_PICTURE (invert_normal_png),
                  PELLMIX_PICTURE (invert_normal_over_png), PELLMIX_PICTURE (invert_normal_pressed_png));
}

TEST_F (IrPanelTest, RemoveEmptiesThePathAndKeepsEverythingElse)
{
    loadInto (6, someIr ("six.wav"));
    screen->wheel (at (6, {287, 60}), 1.0f);  // gain +1 dB
    screen->wheel (at (6, {160, 160}), 1.0f); // offset +1
    click (block (6).getMuteButton());
    click (block (6).getSoloButton());
    click (block (6).getInvertButton());
    click (block (6).getPhasePlotButton());
    const auto before = record (6);
    ASSERT_EQ (before.gain, 1.0f);
    ASSERT_EQ (before.offset, 1);

    click (block (6).getRemoveButton());
    const auto after = record (6);
    EXPECT_EQ (after.path, juce::File());
    EXPECT_EQ (after.gain, before.gain);
    EXPECT_EQ (after.offset, before.offset);
    EXPECT_EQ (after.length, before.length);
    EXPECT_EQ (after.phase, before.phase);
    EXPECT_TRUE (after.mute && after.solo && after.invert);
    EXPECT_FALSE (engine().isLoaded (6));
    EXPECT_FALSE (engine().getSlot (6).active.load());
    for (const auto* curve :
         {&block (6).getTimeCurve(), &block (6).getMagnitudeCurve(), &block (6).getPhaseCurve()})
        for (float v : *curve)
            ASSERT_EQ (v, 0.0f);
    EXPECT_EQ (block (6).getPlotMode(), 2);
    EXPECT_EQ (sumBand0 (engine()), std::vector<float> (2048, 0.0f)) << "nothing left to blend";
    tick (6);
    EXPECT_EQ (block (6).getLook(), PellmixIrBlock::Look::empty);
}

TEST_F (IrPanelTest, PlotSelectorsChooseTheCurve)
{
    loadInto (0, someIr ("plots.wav"));
    auto& b = block (0);
    struct Case
    {
        juce::ImageButton* button;
        int mode;
    };
    const Case cases[] = {{&b.getFrequencyPlotButton(), 1},
                          {&b.getPhasePlotButton(), 2},
                          {&b.getTimePlotButton(), 0},
                          {&b.getPhasePlotButton(), 2}};
    const juce::Image on[] = {PELLMIX_PICTURE (plot_time_on_png), PELLMIX_PICTURE (plot_frequency_on_png),
                              PELLMIX_PICTURE (plot_phase_on_png)};
    const juce::Image off[] = {PELLMIX_PICTURE (plot_time_off_png), PELLMIX_PICTURE (plot_frequency_off_png),
                               PELLMIX_PICTURE (plot_phase_off_png)};
    juce::ImageButton* buttons[] = {&b.getTimePlotButton(), &b.getFrequencyPlotButton(),
                                    &b.getPhasePlotButton()};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.mode);
        click (*c.button);
        EXPECT_EQ (b.getPlotMode(), c.mode);
        for (int k = 0; k < 3; ++k)
        {
            const auto& expected = k == c.mode ? on[k] : off[k];
            expectImages (*buttons[k], expected, expected, expected);
        }
    }
}

// --- Knobs --------------------------------------------------------------------------------------

TEST_F (IrPanelTest, EachKnobWritesAllFourValuesThenReblends)
{
    const auto f = someIr ("knobs.wav", 1.0, 6000);
    loadInto (0, f);
    auto& b = block (0);
    struct Case
    {
        const char* name;
        PellmixSlider* knob;
        juce::Point<int> where; // in the block: the knob itself, not its value box
        float notch;
    };
    const Case cases[] = {
        {"gain up", &b.getGainSlider(), {287, 60}, 1.0f},
        {"offset up", &b.getOffsetSlider(), {160, 160}, 1.0f},
        {"length down", &b.getLengthSlider(), {70, 160}, -1.0f},
        {"phase up", &b.getPhaseSlider(), {250, 160}, 1.0f},
        {"gain down", &b.getGainSlider(), {287, 60}, -1.0f},
        {"offset down", &b.getOffsetSlider(), {160, 160}, -1.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto before = c.knob->getValue();
        const auto sumTime = engine().getSum().changedTime;
        juce::Thread::sleep (2);
        screen->wheel (at (0, c.where), c.notch);
        EXPECT_NE (c.knob->getValue(), before);

        const auto r = record (0);
        EXPECT_EQ (r.gain, (float)b.getGainSlider().getValue());
        EXPECT_EQ (r.offset, (int)b.getOffsetSlider().getValue());
        EXPECT_EQ (r.length, (int)b.getLengthSlider().getValue());
        EXPECT_EQ (r.phase, (float)b.getPhaseSlider().getValue());
        EXPECT_EQ (band0 (engine(), 0), shapedBand0 (f, r)) << "the slot is shaped by the record";
        EXPECT_GT (engine().getSum().changedTime, sumTime) << "re-blended";
    }
    const auto r = record (0);
    EXPECT_EQ (r.length, 2047);
    EXPECT_EQ (r.offset, 0);
    EXPECT_EQ (r.gain, 0.0f);
    EXPECT_EQ (r.phase, 0.1f);
}

TEST_F (IrPanelTest, KnobWithoutAFileOnlyWritesTheRecord)
{
    const auto f = someIr ("vanishing.wav");
    loadInto (0, f);
    const auto slotTime = engine().getSlot (0).changedTime;
    const auto sumTime = engine().getSum().changedTime;
    f.deleteFile();
    juce::Thread::sleep (2);

    screen->wheel (at (0, {287, 60}), 1.0f);
    EXPECT_EQ (record (0).gain, 1.0f);
    EXPECT_EQ (engine().getSlot (0).changedTime, slotTime);
    EXPECT_EQ (engine().getSum().changedTime, sumTime);
}

TEST (IrBlockWithoutSlot, KnobChangesWriteNothing)
{
    ASSERT_TRUE (ui_test::processDisplay().started());
    ui_test::ConfigEnvironment env;
    ASSERT_NE (env.config, nullptr);
    PellmixIrBlock lone;
    for (int i = 0; i < 8; ++i)
        env.config->project.setIrRecord (i, {}, false, false, 1792, 0, 0.0f, false, 0.0f);
    lone.getGainSlider().setValue (5.0, juce::sendNotificationSync);
    lone.getPhaseSlider().setValue (50.0, juce::sendNotificationSync);
    ui_test::OnScreen::pump (100); // the length knob's own asynchronous change
    for (const auto& r : env.config->project.irRecords)
    {
        EXPECT_EQ (r.gain, 0.0f);
        EXPECT_EQ (r.length, 1792);
        EXPECT_EQ (r.phase, 0.0f);
    }
}

// --- Looks --------------------------------------------------------------------------------------

TEST_F (IrPanelTest, LooksShowTheirChildren)
{
    auto& b = block (0);
    const juce::Component* loadedOnly[] = {
        &b.getRemoveButton(),    &b.getInvertButton(), &b.getTimePlotButton(), &b.getFrequencyPlotButton(),
        &b.getPhasePlotButton(), &b.getSoloButton(),   &b.getMuteButton(),     &b.getGainSlider(),
        &b.getLengthSlider(),    &b.getOffsetSlider(), &b.getPhaseSlider(),    &b.getLengthLabel(),
        &b.getOffsetLabel(),     &b.getPhaseLabel()};
    auto expectLook = [&] (PellmixIrBlock::Look look, const juce::String& caption)
    {
        EXPECT_EQ (b.getLook(), look);
        EXPECT_EQ (b.getCaptureButton().isVisible(), look == PellmixIrBlock::Look::empty);
        for (auto* c : loadedOnly)
            EXPECT_EQ (c->isVisible(), look == PellmixIrBlock::Look::loaded) << c->getName();
        EXPECT_TRUE (b.getIrLabel().isVisible());
        EXPECT_EQ (b.getIrLabel().getText(), caption);
    };

    // Before the first tick only the caption line is shown.
    for (auto* c : loadedOnly)
        EXPECT_FALSE (c->isVisible());

    tick (0);
    expectLook (PellmixIrBlock::Look::empty, "No audio file selected");

    config->captureSlot = 0;
    config->captureState = PellmixCaptureHandOff::windowShown;
    tick (0);
    expectLook (PellmixIrBlock::Look::capturing, "Capturing ...");
    config->captureState = PellmixCaptureHandOff::idle;

    loadInto (0, someIr ("Room Take 3.wav"));
    expectLook (PellmixIrBlock::Look::loaded, "Room Take 3");
}

TEST_F (IrPanelTest, CaptionLineIsDrawnWholeAndCoversNoControl)
{
    auto& b = block (0);
    loadInto (0, someIr ("Cab fly-by.wav")); // ascenders and descenders
    auto& caption = b.getIrLabel();
    const auto image = ui_test::snapshot (caption);
    auto inkInRow = [&image] (int y)
    {
        int n = 0;
        for (int x = 0; x < image.getWidth(); ++x)
            n += image.getPixelAt (x, y).getAlpha() > 64 ? 1 : 0;
        return n;
    };
    int rows = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        rows += inkInRow (y) > 0 ? 1 : 0;
    EXPECT_GT (rows, 8) << "the name is drawn";
    EXPECT_EQ (inkInRow (0), 0) << "cut off at the top";
    EXPECT_EQ (inkInRow (image.getHeight() - 1), 0) << "cut off at the bottom";
    EXPECT_EQ (caption.getBounds().getCentreY(), 12) << "where the background leaves it room";

    // It lies over no other child, so it takes no click meant for one.
    for (auto* child : b.getChildren())
    {
        const bool covered = child != &caption && child->getBounds().intersects (caption.getBounds());
        EXPECT_FALSE (covered) << child->getName();
    }
}

// The empty look shows nothing of the controls it does not have: where the loaded look has its
// knob sockets and the gain caption, the empty block shows its dark display, which holds the drop
// picture and the capture key whole; none of what it shows overlaps another.
TEST_F (IrPanelTest, EmptyLookShowsNoSocketsAndNothingOverlaps)
{
    auto& b = block (0);
    // The first paint, before the block's timer has looked at the slot, already shows the empty
    // look whole.
    EXPECT_EQ (b.getLook(), PellmixIrBlock::Look::empty);
    EXPECT_TRUE (b.getCaptureButton().isVisible());
    tick (0);
    ASSERT_EQ (b.getLook(), PellmixIrBlock::Look::empty);
    const auto shot = ui_test::snapshot (b);
    auto meanBrightness = [&shot] (juce::Rectangle<int> r)
    {
        double sum = 0.0;
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
                sum += shot.getPixelAt (x, y).getPerceivedBrightness();
        return sum / (r.getWidth() * r.getHeight());
    };
    const auto loaded = PELLMIX_PICTURE (ir_block_background_jpg);
    for (const int knobX : {55, 145, 235})
    {
        // The socket below the display, as the loaded look draws it on the light panel; the empty
        // look is dark there (its display, or the drop picture on it).
        const juce::Rectangle<int> socket (knobX + 3, 146, 24, 20);
        EXPECT_LT (meanBrightness (socket), 0.25) << socket.toString();
        EXPECT_GT (ui_test::differingPixels (shot.getClippedImage (socket), loaded.getClippedImage (socket)),
                   socket.getWidth() * socket.getHeight() * 9 / 10)
            << socket.toString();
    }
    const juce::Rectangle<int> gainCaption (272, 158, 28, 12);
    EXPECT_NE (
        ui_test::differingPixels (shot.getClippedImage (gainCaption), loaded.getClippedImage (gainCaption)),
        0);

    // What the empty look shows: the caption line, the drop picture, "OR" and the capture key.
    const juce::Rectangle<int> display (24, 20, 244, 148), drop (30, 25, 122, 136), orText (155, 70, 20, 16);
    const auto key = b.getCaptureButton().getBounds().withSizeKeepingCentre (82, 82);
    const juce::Rectangle<int> shown[] = {b.getIrLabel().getBounds(), drop, orText, key};
    for (const auto& r : {drop, orText, key})
        EXPECT_TRUE (display.contains (r)) << r.toString() << " lies whole on the display";
    for (size_t i = 0; i < std::size (shown); ++i)
        for (size_t j = i + 1; j < std::size (shown); ++j)
            EXPECT_FALSE (shown[i].intersects (shown[j]))
                << shown[i].toString() << " and " << shown[j].toString();
}

TEST_F (IrPanelTest, EmptyLookDrawsTheDropPictureAndLoadedLookTheCurveInTheIrColour)
{
    auto& b = block (0);
    tick (0);
    auto expected = PELLMIX_PICTURE (ir_block_empty_background_jpg).createCopy();
    {
        juce::Graphics g (expected);
        g.drawImageAt (PELLMIX_PICTURE (ir_drop_png), 30, 25);
    }
    const auto shot = ui_test::snapshot (b);
    const juce::Rectangle<int> dropArea (30, 25, 122, 136);
    EXPECT_EQ (
        ui_test::differingPixels (shot.getClippedImage (dropArea), expected.getClippedImage (dropArea)), 0);

    // "OR" in grey right of the picture.
    int grey = 0;
    for (int y = 70; y < 90; ++y)
        for (int x = 155; x < 185; ++x)
            if (shot.getPixelAt (x, y).getRed() == 131 && shot.getPixelAt (x, y).getGreen() == 131)
                ++grey;
    EXPECT_GT (grey, 20);

    loadInto (0, someIr ("curve.wav"));
    config->irColour = juce::Colour (0xffff00ff);
    config->notifyColourChanged (4);
    // The lines are anti-aliased: pixels that are mostly magenta.
    auto countMagenta = [] (const juce::Image& image)
    {
        int n = 0;
        for (int y = 20; y < 141; ++y)
            for (int x = 26; x < 251; ++x)
            {
                const auto p = image.getPixelAt (x, y);
                if (p.getRed() > 120 && p.getBlue() > 120 && p.getGreen() < 60)
                    ++n;
            }
        return n;
    };
    EXPECT_GT (countMagenta (ui_test::snapshot (b)), 150);
    EXPECT_EQ (countMagenta (shot), 0);
}

TEST_F (IrPanelTest, TooltipCoversTheDropPicture)
{
    struct Case
    {
        juce::Point<int> p;
        bool shown;
    };
    const Case cases[] = {{{26, 26}, true},    {{121, 135}, true}, {{25, 26}, false},
                          {{122, 135}, false}, {{60, 136}, false}, {{60, 25}, false}};
    for (bool loaded : {false, true})
    {
        if (loaded)
            loadInto (0, someIr ("tip.wav"));
        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.p.toString());
            screen->move (at (0, c.p));
            EXPECT_EQ (block (0).getTooltip(), c.shown ? PellmixIrBlock::dropTooltip : "");
        }
    }
    EXPECT_EQ (block (0).getMuteButton().getTooltip(), "Mute");
    EXPECT_EQ (block (0).getGainSlider().getTooltip(), "IR volume");
}

TEST_F (IrPanelTest, ValueBoxesHideAtTheNextTick)
{
    loadInto (0, someIr ("boxes.wav"));
    auto& knob = block (0).getOffsetSlider();
    screen->move (at (0, {160, 160}));
    ASSERT_NE (knob.getValueBox(), nullptr);
    EXPECT_TRUE (knob.getValueBox()->isVisible());
    screen->move (at (0, {12, 100}));
    tick (0);
    EXPECT_FALSE (knob.getValueBox()->isVisible());
}
