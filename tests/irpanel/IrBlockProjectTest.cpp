// What the blocks' timers take over from a loaded project, and the rules that keep the knobs,
// the records, the buttons and the sound in agreement.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "IrPanelTestSupport.h"

using namespace irpanel_test;

namespace
{
using Look = PellmixIrBlock::Look;

} // namespace

TEST_F (IrPanelTest, LoadedProjectIsTakenOverByTheTimers)
{
    const auto a = someIr ("a.wav", 1.0, 5000);
    const auto b = someIr ("b.wav", 1.6);
    project().setIrRecord (0, a, false, true, 1500, 40, 12.5f, false, -3.0f);
    project().setIrRecord (1, b, true, false, 900, -10, 0.0f, false, 2.0f);
    ASSERT_TRUE (config->saveProject (file ("session.vmp")));
    for (int i = 0; i < 8; ++i)
        project().setIrRecord (i, {}, false, false, 2048, 0, 0.0f, false, 0.0f);

    config->loadProject (file ("session.vmp"));
    pump (700); // the blocks' own timers

    for (int i = 0; i < 2; ++i)
    {
        SCOPED_TRACE (i);
        const auto r = record (i);
        auto& blk = block (i);
        EXPECT_FALSE (r.changed);
        EXPECT_EQ (blk.getLook(), Look::loaded);
        EXPECT_EQ (blk.getGainSlider().getValue(), r.gain);
        EXPECT_EQ (blk.getLengthSlider().getValue(), r.length);
        EXPECT_EQ (blk.getOffsetSlider().getValue(), r.offset);
        EXPECT_NEAR (blk.getPhaseSlider().getValue(), r.phase, 1e-5);
        EXPECT_EQ (band0 (engine(), i), shapedBand0 (r.path, r));
    }
    // Slot 0 is muted, slot 1 soloed: only slot 1 sounds.
    EXPECT_FALSE (engine().getSlot (0).active.load());
    EXPECT_TRUE (engine().getSlot (1).active.load());
    EXPECT_EQ (
        ui_test::differingPixels (block (0).getMuteButton().getNormalImage(), PELLMIX_PICTURE (mute_on_png)),
        0);
    EXPECT_EQ (
        ui_test::differingPixels (block (1).getSoloButton().getNormalImage(), PELLMIX_PICTURE (solo_on_png)),
        0);
    for (int i = 2; i < 8; ++i)
        EXPECT_EQ (block (i).getLook(), Look::empty) << i;
}

TEST_F (IrPanelTest, OneTickTakesEveryMarkedRecordOfTheProject)
{
    // Slot 6 names a file that does not exist and slot 7 none; the others files at 44.1 kHz.
    for (int i = 0; i < 6; ++i)
        project().setIrRecord (i,
                               wav ("p" + std::to_string (i) + ".wav",
                                    engine_test::decayingIr (4000, 44100.0, 1.0 + 0.2 * i), 44100.0),
                               false, false, 1200 + 100 * i, i, 3.0f * (float)i, false, -(float)i);
    project().setIrRecord (6, file ("gone.wav"), false, false, 2048, 0, 0.0f, false, 0.0f);
    ASSERT_TRUE (config->saveProject (file ("eight.vmp")));
    for (int i = 0; i < 8; ++i)
        project().setIrRecord (i, {}, false, false, 2048, 0, 0.0f, false, 0.0f);

    ASSERT_TRUE (config->loadProject (file ("eight.vmp")));
    tick (3); // any block: the first to tick takes them all

    for (int i = 0; i < 8; ++i)
    {
        SCOPED_TRACE (i);
        const auto r = record (i);
        EXPECT_FALSE (r.changed);
        EXPECT_EQ (engine().isLoaded (i), i < 6);
        if (i < 6)
        {
            EXPECT_EQ (block (i).getLengthSlider().getValue(), r.length);
            EXPECT_EQ (band0 (engine(), i), shapedBand0 (r.path, r));
        }
    }
    const auto blended = sumBand0 (engine());
    pump (600); // the other blocks' own ticks find nothing marked
    EXPECT_EQ (sumBand0 (engine()), blended);
    EXPECT_TRUE (alerts.boxes.empty());
}

TEST_F (IrPanelTest, InvertButtonFollowsTheRecordOfALoadedProject)
{
    const auto f = someIr ("inv.wav");
    loadInto (0, f);
    click (block (0).getInvertButton());
    ASSERT_TRUE (record (0).invert);

    // A project record without the flag (project files do not keep it).
    project().setIrRecord (0, f, false, false, 2048, 0, 0.0f, false, 0.0f);
    project().setIrChanged (0, true);
    tick (0);
    EXPECT_EQ (ui_test::differingPixels (block (0).getInvertButton().getNormalImage(),
                                         PELLMIX_PICTURE (invert_normal_png)),
               0);
    EXPECT_EQ (band0 (engine(), 0), shapedBand0 (f, record (0)));

    project().setIrRecord (0, f, false, false, 2048, 0, 0.0f, true, 0.0f);
    project().setIrChanged (0, true);
    tick (0);
    EXPECT_EQ (ui_test::differingPixels (block (0).getInvertButton().getNormalImage(),
                                         PELLMIX_PICTURE (invert_inverted_png)),
               0);
}

// Offsets beyond what the knob can show: the knob's range follows the slot's length when the
// curves are computed; a record value outside it is pulled inside, and the slot follows.
TEST_F (IrPanelTest, OffsetKnobRecordAndSlotAgree)
{
    struct Case
    {
        const char* name;
        int fileLength;
        int recordOffset;
        int knobMaximum;
        int expectedOffset;
    };
    const Case cases[] = {
        {"long file keeps 3000", 5000, 3000, 4999, 3000},
        {"short file clamps 3000", 1000, 3000, 2047, 2047},
        {"far negative offset clamps", 5000, -5000, 4999, -2047},
        {"within range stays", 1000, -20, 2047, -20},
    };
    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto f = someIr ("offset" + std::to_string (n++) + ".wav", 1.0, c.fileLength);
        project().setIrRecord (0, f, false, false, 2048, c.recordOffset, 0.0f, false, 0.0f);
        project().setIrChanged (0, true);
        tick (0);
        auto& knob = block (0).getOffsetSlider();
        EXPECT_EQ (knob.getMaximum(), c.knobMaximum);
        EXPECT_EQ (knob.getMinimum(), -2047);
        EXPECT_EQ (knob.getValue(), c.expectedOffset);
        EXPECT_EQ (record (0).offset, c.expectedOffset);
        EXPECT_EQ (band0 (engine(), 0), shapedBand0 (f, record (0)));

        // The next move of another knob keeps the offset.
        screen->wheel (at (0, {287, 60}), 1.0f);
        EXPECT_EQ (record (0).offset, c.expectedOffset);
    }
}

TEST_F (IrPanelTest, SoloOnASlotWithoutIrSilencesNothing)
{
    loadInto (0, someIr ("plays.wav", 1.0));
    loadInto (1, someIr ("soloed.wav", 1.5));
    click (block (1).getSoloButton());
    ASSERT_FALSE (engine().getSlot (0).active.load());

    // The soloed slot is removed: its record keeps the flag, the others play again.
    click (block (1).getRemoveButton());
    EXPECT_TRUE (record (1).solo);
    EXPECT_TRUE (engine().getSlot (0).active.load());
    EXPECT_NE (sumBand0 (engine()), std::vector<float> (2048, 0.0f));

    // A project record that solos a slot whose file is missing.
    project().setIrRecord (4, file ("missing.wav"), true, false, 2048, 0, 0.0f, false, 0.0f);
    project().setIrChanged (4, true);
    tick (4);
    EXPECT_TRUE (record (4).solo);
    EXPECT_TRUE (engine().getSlot (0).active.load());
    EXPECT_EQ (block (4).getLook(), Look::empty);
}

TEST_F (IrPanelTest, BlockThatTurnsEmptyLeavesTheBlend)
{
    const auto kept = someIr ("kept.wav", 1.0);
    const auto replaced = someIr ("replaced.wav", 1.5);
    const auto vanishing = someIr ("vanishing.wav", 2.1);
    loadInto (0, kept);
    loadInto (1, replaced);
    loadInto (2, vanishing);

    // A project load that empties record 1.
    project().setIrRecord (1, {}, false, false, 2048, 0, 0.0f, false, 0.0f);
    project().setIrChanged (1, true);
    tick (1);
    EXPECT_EQ (block (1).getLook(), Look::empty);
    EXPECT_FALSE (engine().isLoaded (1));
    EXPECT_FALSE (engine().getSlot (1).active.load());

    // A file deleted from disk.
    vanishing.deleteFile();
    tick (2);
    EXPECT_EQ (block (2).getLook(), Look::empty);
    EXPECT_FALSE (engine().isLoaded (2));

    // What is left to hear is slot 0 alone: the same blend as a fresh engine with that file.
    PellmixEngine reference;
    reference.initialise();
    ASSERT_TRUE (reference.loadIr (0, kept));
    const auto r = record (0);
    reference.setIrParameters (0, r.length, r.offset, r.phase, r.invert, r.gain);
    reference.blend (project().eqGainsDb, true, project().eqOn);
    EXPECT_EQ (sumBand0 (engine()), sumBand0 (reference));
}

// A project record naming a file that cannot be read: the slot turns empty, and the project's
// load report tells it (the menu shows the report in one box once every block took its record).
TEST_F (IrPanelTest, ProjectFileThatCannotBeReadEmptiesTheSlotAndSaysSo)
{
    loadInto (0, someIr ("old.wav"));
    const auto broken = file ("broken.wav");
    broken.replaceWithText ("no audio here");
    project().setIrRecord (0, broken, false, false, 2048, 0, 0.0f, false, 0.0f);
    project().setIrChanged (0, true);
    tick (0);
    pump (50);
    EXPECT_EQ (record (0).path, juce::File());
    tick (0);
    EXPECT_EQ (block (0).getLook(), Look::empty);
    EXPECT_FALSE (engine().isLoaded (0));
    EXPECT_TRUE (alerts.boxes.empty()) << "no box of its own";
    const auto& emptied = project().lastLoadReport.emptiedSlots;
    ASSERT_EQ (emptied.size(), 1u);
    EXPECT_EQ (emptied[0].slot, 0);
    EXPECT_EQ (emptied[0].file, broken);
    EXPECT_FALSE (emptied[0].missing);
}

// "Open project" on a project that loads only in part: after the blocks took their records, one
// box tells every slot left empty (why, and its file) and every value brought into range; a
// project that loads whole says nothing.
TEST_F (IrPanelTest, ProjectOpenedInPartIsToldInOneBox)
{
    const auto good = someIr ("good.wav", 2.0), broken = file ("broken.wav"), gone = file ("gone.wav");
    broken.replaceWithText ("no audio here");
    auto projectFile = [this] (const std::string& name, const std::string& irs, const std::string& bands)
    {
        const auto f = file (name);
        f.replaceWithText ("<MelvaneProject Version=\"1\"><IRs>" + irs + "</IRs><EQ on=\"1\">" + bands +
                           "</EQ></MelvaneProject>");
        return f;
    };
    auto ir = [] (const juce::File& f, const std::string& gain) {
        return "<IR path=\"" + f.getFullPathName().toStdString() + "\" length=\"1792\" gain=\"" + gain +
               "\"/>";
    };
    const auto inPart =
        projectFile ("part.vmp", ir (good, "40") + ir (gone, "0") + ir (broken, "0"), "<band dB=\"1e6\"/>");
    const auto whole = projectFile ("whole.vmp", ir (good, "-3"), "<band dB=\"3\"/>");

    ui_test::ChooserStub chooser;
    auto* menu = PellmixMenu::fromConfig();
    ASSERT_NE (menu, nullptr);
    auto open = [&] (const juce::File& f)
    {
        chooser.answer = {f};
        const auto before = alerts.boxes.size();
        menu->menuItemSelected (PellmixMenu::openProjectId, PellmixMenu::fileMenu);
        // The blocks take the records on their timers; the box follows.
        const auto end = juce::Time::getMillisecondCounter() + 5000;
        while (juce::Time::getMillisecondCounter() < end && alerts.boxes.size() == before)
            pump (50);
        pump (400); // a second box would come within the next ticks
        return std::vector<AlertRecorder::Box> (alerts.boxes.begin() + (long)before, alerts.boxes.end());
    };

    const auto boxes = open (inPart);
    ASSERT_EQ (boxes.size(), 1u);
    EXPECT_EQ (boxes[0].title, "Open project");
    EXPECT_EQ (boxes[0].icon, juce::MessageBoxIconType::WarningIcon);
    const auto& text = boxes[0].message;
    for (const auto& line :
         {inPart.getFullPathName(),
          "IR 2 was left empty: its file is missing:\n    " + gone.getFullPathName(),
          "IR 3 was left empty: its file could not be read:\n    " + broken.getFullPathName(),
          juce::String ("IR 1 gain \"40\": brought into -12 to 12, now 12."),
          juce::String ("EQ band 1 \"1e6\": brought into -12 to 12, now 12.")})
        EXPECT_TRUE (text.contains (line)) << line << "\nin:\n" << text;
    EXPECT_EQ (block (0).getLook(), Look::loaded);
    EXPECT_EQ (block (1).getLook(), Look::empty);
    EXPECT_EQ (block (2).getLook(), Look::empty);

    EXPECT_TRUE (open (whole).empty()) << "a project that loads whole says nothing";
    EXPECT_EQ (block (0).getLook(), Look::loaded);
}
