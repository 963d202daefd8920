// The menu bar's commands against the real main content on a virtual display, with the
// configuration and a JACK dummy device; commands are picked by their labels in the "File" menu
// the bar shows, and file choosers are answered by a stub:
// - "Add file to playlist" > "Source" / "Target" fills the player's lists, and no longer reaches
//   the player once it is deleted;
// - "Open project" is taken over by the IR blocks' and the EQ panel's timers (files, knobs,
//   looks, gains, switch) and the result plots draw the project's blend, as an engine of the
//   test's own blends it;
// - "Save project" then "Open project" brings back what was set through the blocks and the EQ.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "PlayerTestSupport.h"
#include "ResultTestSupport.h"
#include "UiTestSupport.h"
#include "app/MainContentComponent.h"
#include "app/ModalCloser.h"
#include "engine/EngineTestHelpers.h"
#include "ui/PellmixExportBlock.h"
#include "ui/PellmixIrPanel.h"
#include "ui/PellmixMenu.h"
#include "ui/PellmixPlayer.h"

#include <vector>

using ui_test::OnScreen;

namespace
{
std::vector<juce::uint8> bytesOf (const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData (block);
    const auto* data = static_cast<const juce::uint8*> (block.getData());
    return {data, data + block.getSize()};
}

PellmixProject emptyProject()
{
    PellmixProject p;
    for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
        p.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);
    return p;
}

class MenuWithMainContent : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
        menu = PellmixMenu::fromConfig();
        ASSERT_NE (menu, nullptr);
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
        OnScreen::pump (300); // the blocks' first ticks
    }

    // Runs the "File" menu's command that these labels lead to (a sub-menu's label, then its
    // item's), as the menu bar would on a click.
    void chooseFromFileMenu (const std::vector<juce::String>& labels)
    {
        const auto fileMenu = menu->getMenuForIndex (PellmixMenu::fileMenu, "File");
        const juce::PopupMenu* level = &fileMenu;
        int id = 0;
        for (const auto& label : labels)
        {
            const juce::PopupMenu::Item* found = nullptr;
            for (juce::PopupMenu::MenuItemIterator it (*level); it.next() && found == nullptr;)
                if (it.getItem().text == label)
                    found = &it.getItem();
            ASSERT_NE (found, nullptr) << label;
            if (found->subMenu != nullptr)
                level = found->subMenu.get();
            else
                id = found->itemID;
        }
        ASSERT_NE (id, 0);
        menu->menuItemSelected (id, PellmixMenu::fileMenu);
    }
    void openProject (const juce::File& f)
    {
        chooser.answer = {f};
        ASSERT_NO_FATAL_FAILURE (chooseFromFileMenu ({"Open project"}));
        // Taken over by the blocks (250 ms) and the EQ panel (500 ms); then the plots' next tick.
        const bool taken = player_test::pumpUntil (
            [this]
            {
                for (const auto& r : config().project.irRecords)
                    if (r.changed)
                        return false;
                return !config().project.eqChanged;
            },
            3000);
        ASSERT_TRUE (taken) << "the panels' timers took the project over";
        OnScreen::pump (600);
    }
    juce::File exportBlend (const std::string& name)
    {
        chooser.answer = {file (name)};
        chooseFromFileMenu ({"Export IR"});
        return file (name + ".vir");
    }

    PellmixConfig& config() { return *env.config; }
    PellmixIrBlock& block (int slot) { return content->getIrPanel()->getBlock (slot); }
    PellmixEq& eq() { return content->getIrPanel()->getEq(); }
    juce::File file (const std::string& name) const { return juce::File (files.child (name)); }
    juce::File irFile (const std::string& name, double rate, double seed, int length)
    {
        juce::AudioBuffer<float> buffer (1, length);
        const auto samples = engine_test::decayingIr (length, rate, seed);
        buffer.copyFrom (0, 0, samples.data(), length);
        return player_test::writeAudio (file (name), buffer, rate);
    }

    juce::Point<float> centreOf (juce::Component& c)
    {
        return content->getLocalPoint (&c, c.getLocalBounds().getCentre()).toFloat();
    }
    void click (juce::Component& c)
    {
        screen->click (centreOf (c));
        OnScreen::pump (50);
    }
    // A file dropped onto a block through the window's peer; the block shows it at its next tick.
    void drop (int slot, const juce::File& f)
    {
        juce::ComponentPeer::DragInfo info;
        info.files = juce::StringArray (f.getFullPathName());
        info.position = content->getLocalPoint (&block (slot), juce::Point<int> (60, 60));
        screen->peer->handleDragMove (info);
        EXPECT_TRUE (screen->peer->handleDragDrop (info));
        OnScreen::pump (350);
        EXPECT_EQ (config().project.irRecords[slot].path, f);
    }

    // What the blocks, the EQ panel and the plots show after a project was taken over.
    void expectShown (const PellmixProject& p)
    {
        auto& engine = config().engine;
        for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
        {
            SCOPED_TRACE (testing::Message() << "block " << slot);
            const auto r = p.irRecords[slot];
            auto& b = block (slot);
            EXPECT_EQ (config().project.irRecords[slot].path, r.path);
            if (r.path == juce::File())
            {
                EXPECT_EQ (b.getLook(), PellmixIrBlock::Look::empty);
                EXPECT_EQ (b.getIrLabel().getText(), "No audio file selected");
                EXPECT_FALSE (engine.isLoaded (slot)) << "an emptied block leaves the blend";
                continue;
            }
            EXPECT_EQ (b.getLook(), PellmixIrBlock::Look::loaded);
            EXPECT_EQ (b.getIrLabel().getText(), r.path.getFileNameWithoutExtension());
            EXPECT_TRUE (engine.isLoaded (slot));
            EXPECT_EQ (b.getGainSlider().getValue(), r.gain);
            EXPECT_EQ (b.getOffsetSlider().getValue(), r.offset);
            EXPECT_EQ (b.getLengthSlider().getValue(), r.length);
            EXPECT_NEAR (b.getPhaseSlider().getValue(), r.phase, 1e-4);
            const auto mute = r.mute ? PELLMIX_PICTURE (mute_on_png) : PELLMIX_PICTURE (mute_off_png);
            const auto solo = r.solo ? PELLMIX_PICTURE (solo_on_png) : PELLMIX_PICTURE (solo_off_png);
            EXPECT_EQ (ui_test::differingPixels (b.getMuteButton().getNormalImage(), mute), 0);
            EXPECT_EQ (ui_test::differingPixels (b.getSoloButton().getNormalImage(), solo), 0);
        }

        for (int band = 0; band < PellmixEq::numBands; ++band)
            EXPECT_EQ (eq().getBandSlider (band).getValue(), p.eqGainsDb[band]) << "band " << band;
        const auto switchLook =
            p.eqOn ? PELLMIX_PICTURE (eq_switch_on_png) : PELLMIX_PICTURE (eq_switch_off_png);
        EXPECT_EQ (ui_test::differingPixels (eq().getEqButton().getNormalImage(), switchLook), 0);

        // The plots show the project's blend: the points of a blend made apart, and the same IR
        // written by "Export IR".
        ui_test::ReferenceBlend reference (p);
        auto* plots = content->getExportBlock();
        const float* magnitudes = reference.engine.getMagnitudes (PellmixEngine::sumSpectrum, 0);
        const float* phases = reference.engine.getPhases (PellmixEngine::sumSpectrum, 0);
        ASSERT_NE (magnitudes, nullptr);
        ASSERT_NE (phases, nullptr);
        int differing = 0;
        for (int i = 0; i < PellmixExportBlock::numPoints; ++i)
            if (std::abs (plots->magnitudePoints[i] - magnitudes[i]) > 1e-3f ||
                std::abs (plots->phasePoints[i] - 8.0f * phases[i]) > 1e-3f)
                ++differing;
        EXPECT_EQ (differing, 0) << "plot points that are not the project's blend";
        const auto expected = file ("reference.vir");
        ASSERT_TRUE (reference.engine.exportIr (expected));
        const auto exported = exportBlend ("shown-" + std::to_string (++exports));
        EXPECT_EQ (bytesOf (exported), bytesOf (expected)) << "\"Export IR\" writes that blend";
    }

    const bool displayStarted = ui_test::processDisplay().started(); // before anything opens X
    ui_test::ConfigEnvironment env;
    pellmix_test::TempDir files{"pellmix-menu-content"};
    PellmixMenu* menu = nullptr;
    ui_test::ChooserStub chooser;
    int exports = 0;
    std::unique_ptr<MainContentComponent> content;
    std::unique_ptr<OnScreen> screen;
};
} // namespace

TEST_F (MenuWithMainContent, AddFileToPlaylistFillsThePlayersListsWhileThePlayerLives)
{
    const auto mono = player_test::writeTone (file ("Mono take.wav"), 1, 0.5);
    const auto stereo = player_test::writeTone (file ("Stereo mix.wav"), 2, 0.5);
    build();
    auto* player = content->getPlayer();

    using Entries = std::vector<PellmixPlayListEntry>;
    auto entries = [] (const PellmixPlayList& list)
    { return Entries (list.model->entries.begin(), list.model->entries.end()); };
    struct Case
    {
        const char* list;
        juce::Array<juce::File> chosen;
        Entries source, target;
    };
    const Case cases[] = {
        {"Source", {mono, stereo}, {{mono, 0}, {stereo, 1}, {stereo, 2}}, {}},
        {"Target", {stereo}, {{mono, 0}, {stereo, 1}, {stereo, 2}}, {{stereo, 1}, {stereo, 2}}},
        // Cancelled, and a file no format reads: nothing is added.
        {"Target", {}, {{mono, 0}, {stereo, 1}, {stereo, 2}}, {{stereo, 1}, {stereo, 2}}},
        {"Source", {file ("missing.wav")}, {{mono, 0}, {stereo, 1}, {stereo, 2}}, {{stereo, 1}, {stereo, 2}}},
        {"Target", {mono}, {{mono, 0}, {stereo, 1}, {stereo, 2}}, {{stereo, 1}, {stereo, 2}, {mono, 0}}},
    };
    size_t calls = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.list);
        chooser.answer = c.chosen;
        ASSERT_NO_FATAL_FAILURE (chooseFromFileMenu ({"Add file to playlist", c.list}));
        EXPECT_EQ (chooser.requests.size(), ++calls) << "one chooser per command";
        EXPECT_EQ (entries (*player->sourceList), c.source);
        EXPECT_EQ (entries (*player->targetList), c.target);
        EXPECT_EQ (player->sourceList->getModel()->getNumRows(), (int)c.source.size());
    }

    // Once the player is deleted no command reaches it; the lists it wrote come back in the next.
    screen.reset();
    content.reset();
    chooser.answer = {mono};
    ASSERT_NO_FATAL_FAILURE (chooseFromFileMenu ({"Add file to playlist", "Source"}));
    ASSERT_NO_FATAL_FAILURE (chooseFromFileMenu ({"Add file to playlist", "Target"}));
    EXPECT_EQ (chooser.requests.size(), calls) << "a command reached the deleted player";

    build();
    player = content->getPlayer();
    EXPECT_EQ (entries (*player->sourceList), cases[4].source);
    EXPECT_EQ (entries (*player->targetList), cases[4].target);
    ASSERT_NO_FATAL_FAILURE (chooseFromFileMenu ({"Add file to playlist", "Source"}));
    EXPECT_EQ (chooser.requests.size(), calls + 1) << "the new player took the menu's commands over";
    EXPECT_EQ (entries (*player->sourceList).back(), (PellmixPlayListEntry{mono, 0}));
}

TEST_F (MenuWithMainContent, OpenProjectIsTakenOverByTheBlocksTheEqAndThePlots)
{
    const auto cab = irFile ("Cab Alpha.wav", 96000.0, 1.0, 3000);
    const auto room = irFile ("Room Beta.wav", 48000.0, 2.3, 4000);
    const auto muted = irFile ("Muted Gamma.wav", 44100.0, 1.7, 2500);

    // Project A: three files, one muted; EQ gains with the switch off.
    auto a = emptyProject();
    a.setIrRecord (1, cab, false, false, 1500, 25, 12.5f, false, -4.0f);
    a.setIrRecord (2, muted, false, true, 1792, 0, 0.0f, false, 0.0f);
    a.setIrRecord (6, room, false, false, 1792, -40, 0.0f, false, 3.0f);
    a.eqGainsDb[3] = 6.0f;
    a.eqGainsDb[20] = -9.0f;
    a.eqOn = false;
    ASSERT_TRUE (a.save (file ("a.vmp")));
    // Project B, opened over A: block 1 empties, block 4 fills, block 6 solos; EQ on.
    auto b = emptyProject();
    b.setIrRecord (4, cab, false, false, 900, 0, 50.0f, false, 5.0f);
    b.setIrRecord (6, room, true, false, 2048, 10, 0.0f, false, -2.0f);
    b.eqGainsDb[10] = 12.0f;
    b.eqGainsDb[25] = -12.0f;
    b.eqOn = true;
    ASSERT_TRUE (b.save (file ("b.vmp")));

    build();
    auto* plots = content->getExportBlock();
    for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
        ASSERT_EQ (block (slot).getLook(), PellmixIrBlock::Look::empty);
    const auto drawnBefore = plots->lastDrawnTime;

    ModalCloser closer; // no box may come up
    ASSERT_NO_FATAL_FAILURE (openProject (file ("a.vmp")));
    EXPECT_GT (plots->lastDrawnTime, drawnBefore) << "the plots drew anew";
    {
        SCOPED_TRACE ("project A");
        expectShown (a);
    }
    ASSERT_NO_FATAL_FAILURE (openProject (file ("b.vmp")));
    {
        SCOPED_TRACE ("project B");
        expectShown (b);
    }
    EXPECT_TRUE (closer.closedNames.empty());
}

TEST_F (MenuWithMainContent, SaveThenOpenBringsBackWhatWasSetThroughTheBlocks)
{
    const auto cab = irFile ("Cab Alpha.wav", 96000.0, 1.0, 3000);
    const auto room = irFile ("Room Beta.wav", 48000.0, 2.3, 4000);
    const auto third = irFile ("Third.wav", 96000.0, 3.1, 2000);
    build();
    ModalCloser closer; // no box may come up

    // What a user sets: two files dropped, knobs turned, one block muted, two EQ bands moved and
    // the EQ switched off.
    drop (0, cab);
    drop (5, room);
    for (auto [slider, value] : {std::pair{&block (0).getGainSlider(), -5.0},
                                 {&block (0).getOffsetSlider(), 30.0},
                                 {&block (0).getLengthSlider(), 1200.0},
                                 {&block (0).getPhaseSlider(), 40.0},
                                 {&block (5).getGainSlider(), 4.0},
                                 {&block (5).getLengthSlider(), 1000.0},
                                 {&eq().getBandSlider (4), 7.0},
                                 {&eq().getBandSlider (17), -3.0}})
        slider->setValue (value, juce::sendNotificationSync);
    click (block (5).getMuteButton());
    click (eq().getEqButton());
    ASSERT_TRUE (config().project.irRecords[5].mute);
    ASSERT_FALSE (config().project.eqOn);

    auto set = emptyProject();
    set.setIrRecord (0, cab, false, false, 1200, 30, 40.0f, false, -5.0f);
    set.setIrRecord (5, room, false, true, 1000, 0, 0.0f, false, 4.0f);
    set.eqGainsDb[4] = 7.0f;
    set.eqGainsDb[17] = -3.0f;
    set.eqOn = false;
    const auto before = bytesOf (exportBlend ("before"));

    chooser.answer = {file ("session")};
    ASSERT_NO_FATAL_FAILURE (chooseFromFileMenu ({"Save project"}));
    ASSERT_TRUE (file ("session.vmp").existsAsFile());

    // Everything changed again.
    click (block (5).getRemoveButton());
    block (0).getGainSlider().setValue (2.0, juce::sendNotificationSync);
    block (0).getLengthSlider().setValue (2048.0, juce::sendNotificationSync);
    drop (3, third);
    eq().getBandSlider (4).setValue (0.0, juce::sendNotificationSync);
    click (eq().getEqButton());
    OnScreen::pump (300);
    ASSERT_NE (bytesOf (exportBlend ("changed")), before);

    ASSERT_NO_FATAL_FAILURE (openProject (file ("session.vmp")));
    expectShown (set);
    EXPECT_EQ (bytesOf (exportBlend ("after")), before) << "the blend that was saved";
    EXPECT_TRUE (closer.closedNames.empty());
}
