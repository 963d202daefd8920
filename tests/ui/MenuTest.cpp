// The menu-bar model in-process: each menu walked item by item, every (menu, id) command with its
// effect, file choosers answered by a stub and message boxes closed as they come;
// project files, IR export, playlists, tooltips, colours and their selectors, the "?" documents
// and their opener.
#include "ResultTestSupport.h"
#include "UiTestSupport.h"
#include "app/ModalCloser.h"
#include "support/HostileFiles.h"
#include "engine/FFTReal.h"
#include "engine/PellmixVirFile.h"
#include "platform/DocumentOpener.h"
#include "ui/PellmixMenu.h"

#include <juce_gui_extra/juce_gui_extra.h>
#include <sys/resource.h>

using ui_test::OnScreen;

namespace
{
// One line per item: "id label", "---" for a separator, "> label" for a sub-menu followed by its
// items indented; " [ticked]" and " [disabled]" as they apply.
void describe (const juce::PopupMenu& menu, std::vector<std::string>& lines, const std::string& indent = {})
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        std::string line = indent;
        if (item.isSeparator)
            line += "---";
        else if (item.subMenu != nullptr)
            line += "> " + item.text.toStdString();
        else
            line += std::to_string (item.itemID) + " " + item.text.toStdString();
        if (item.isTicked)
            line += " [ticked]";
        if (!item.isEnabled)
            line += " [disabled]";
        lines.push_back (line);
        if (item.subMenu != nullptr)
            describe (*item.subMenu, lines, indent + "  ");
    }
}

std::vector<std::string> describe (const juce::PopupMenu& menu)
{
    std::vector<std::string> lines;
    describe (menu, lines);
    return lines;
}

struct NamedListener : PellmixMenu::Listener
{
    NamedListener (std::string n, std::vector<std::string>& t)
        : name (std::move (n))
        , trace (t)
    {
    }
    void addSourceFiles() override { trace.push_back (name + " source"); }
    void addTargetFiles() override { trace.push_back (name + " target"); }
    std::string name;
    std::vector<std::string>& trace;
};

juce::ColourSelector* selectorIn (juce::Component& box)
{
    for (auto* child : box.getChildren())
        if (auto* selector = dynamic_cast<juce::ColourSelector*> (child))
            return selector;
    return nullptr;
}

juce::CallOutBox* openCallOutBox()
{
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* box = dynamic_cast<juce::CallOutBox*> (desktop.getComponent (i)))
            return box;
    return nullptr;
}

const juce::XmlElement* findElement (const juce::XmlElement& parent, const juce::String& name)
{
    for (auto* child : parent.getChildIterator())
    {
        if (child->hasTagName (name))
            return child;
        if (auto* found = findElement (*child, name))
            return found;
    }
    return nullptr;
}

std::vector<juce::uint8> bytesOf (const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData (block);
    const auto* data = static_cast<const juce::uint8*> (block.getData());
    return {data, data + block.getSize()};
}

// Decodes a vir file's band 0; empty when it does not decode.
std::vector<float> decodedBand0 (const juce::File& file)
{
    const auto bytes = bytesOf (file);
    std::vector<std::vector<float>> bands (3, std::vector<float> (PellmixVir::bandLength));
    float* pointers[3] = {bands[0].data(), bands[1].data(), bands[2].data()};
    FFTReal<float> fft (PellmixVir::fftSize);
    if (!PellmixVir::decode (bytes.data(), bytes.size(), pointers, fft))
        return {};
    return bands[0];
}

double correlation (const std::vector<float>& a, const float* b, size_t n)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i)
    {
        ab += (double)a[i] * b[i];
        aa += (double)a[i] * a[i];
        bb += (double)b[i] * b[i];
    }
    return ab / std::sqrt (aa * bb);
}

class Menu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
        menu = PellmixMenu::fromConfig();
        ASSERT_NE (menu, nullptr);
        menu->setDocumentOpener ([this] (const juce::File& f) { opened.push_back (f); });
    }

    PellmixConfig& config() { return *env.config; }
    juce::File file (const std::string& name) const { return juce::File (files.child (name)); }

    // Runs a command and lets the asynchronous parts (call-out boxes, change messages) happen.
    void run (int menuIndex, int id)
    {
        menu->menuItemSelected (id, menuIndex);
        OnScreen::pump (150);
    }

    // Sets records in two slots and a +12 dB EQ band, as the IR blocks and the EQ panel would.
    void makeProject()
    {
        ASSERT_TRUE (ui_test::writeIrWav (file ("a.wav"), 96000.0, 2048, {{0, 1.0f}, {30, -0.5f}}));
        ASSERT_TRUE (ui_test::writeIrWav (file ("b.wav"), 48000.0, 1024, {{5, 0.8f}, {6, 0.4f}}));
        auto& p = config().project;
        p.setIrRecord (1, file ("a.wav"), true, false, 1500, 10, 12.3f, false, -3.0f);
        p.setIrRecord (6, file ("b.wav"), false, false, 1792, 0, 50.0f, false, 4.0f);
        std::fill (std::begin (p.eqGainsDb), std::end (p.eqGainsDb), 0.0f);
        p.eqGainsDb[7] = 12.0f;
        p.eqOn = true;
    }
    // What the IR blocks and the EQ panel do with the records on their timers.
    void applyProjectToEngine()
    {
        auto& p = config().project;
        auto& engine = config().engine;
        for (int slot = 0; slot < 8; ++slot)
        {
            const auto r = p.irRecords[slot];
            if (r.path == juce::File())
                continue;
            ASSERT_TRUE (engine.loadIr (slot, r.path));
            engine.setIrParameters (slot, r.length, r.offset, r.phase, r.invert, r.gain);
            engine.setSolo (slot, r.solo);
            engine.setMute (slot, r.mute);
        }
        engine.setSolo (1, false); // both slots sound
        engine.blend (p.eqGainsDb, true, p.eqOn);
    }

    const bool displayStarted = ui_test::processDisplay().started(); // before anything opens X
    ui_test::ConfigEnvironment env;
    pellmix_test::TempDir files{"pellmix-menu"};
    PellmixMenu* menu = nullptr;
    ui_test::ChooserStub chooser;
    std::vector<juce::File> opened;
};
} // namespace

TEST_F (Menu, EachMenuItemByItem)
{
    EXPECT_EQ (menu->getMenuBarNames(), juce::StringArray ({"File", "Setup", "?"}));

    const std::vector<std::string> file = {
        "1 Open project",         "2 Save project", "3 Save project to ...", "---", "4 Export IR", "---",
        "> Add file to playlist", "  11 Source",    "  12 Target",           "---", "5 Quit"};
    EXPECT_EQ (describe (menu->getMenuForIndex (0, "File")), file);

    std::vector<std::string> setup = {"1 Audio device settings",
                                      "2 Hardware I/O options",
                                      "---",
                                      "> Colors",
                                      "  10 Reset colors",
                                      "  ---",
                                      "  11 Input color",
                                      "  12 Ouput color",
                                      "  13 Source color",
                                      "  14 Target color",
                                      "  15 IRs color",
                                      "  16 Volume color",
                                      "  18 Grid color",
                                      "---",
                                      "3 Show ToolTip [ticked]"};
    ASSERT_TRUE (config().toolTip);
    EXPECT_EQ (describe (menu->getMenuForIndex (1, "Setup")), setup);

    // The tick follows the switch, each time the menu is built.
    for (bool on : {false, true, false})
    {
        run (PellmixMenu::setupMenu, PellmixMenu::showTooltipId);
        EXPECT_EQ (config().toolTip, on);
        setup.back() = on ? "3 Show ToolTip [ticked]" : "3 Show ToolTip";
        EXPECT_EQ (describe (menu->getMenuForIndex (1, "Setup")), setup);
    }

    // An empty documents folder: "About" only.
    EXPECT_EQ (describe (menu->getMenuForIndex (2, "?")), std::vector<std::string> ({"1 About"}));
    for (int index : {-1, 3, 99})
        EXPECT_TRUE (describe (menu->getMenuForIndex (index, {})).empty()) << index;
}

TEST_F (Menu, CommandTableDispatchesByMenuAndId)
{
    std::vector<std::string> trace;
    ModalCloser closer (
        [&trace] (juce::Component& modal)
        {
            if (auto* selector = selectorIn (modal))
                trace.push_back ("selector " + selector->getName().toStdString());
            else
                trace.push_back ("modal " + modal.getName().toStdString());
        });
    ui_test::BroadcastRecorder broadcasts;
    NamedListener a ("A", trace), b ("B", trace);
    menu->addListener (&a);
    menu->addListener (&b);
    menu->addListener (&a);      // once only
    menu->addListener (nullptr); // ignored

    const std::string product = config().settings.productFolder.getFullPathName().toStdString();
    const std::string impulses = config().settings.impulsesFolder.getFullPathName().toStdString();
    struct Case
    {
        int menuIndex, id;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {0, 1, {"open 'Open Melvane project' in " + product + " *.vmp;"}},
        {0, 2, {"save 'Save Melvane project' in " + product + " *.vmp; (asks before overwriting)"}},
        {0, 3, {"save 'Save Melvane project' in " + product + " *.vmp; (asks before overwriting)"}},
        {0, 4, {"save 'Output file' in " + impulses + " *.vir; (asks before overwriting)"}},
        {0, 11, {"B source", "A source"}},
        {0, 12, {"B target", "A target"}},
        {1, 1, {"modal Audio device settings", "modal Hardware I/O options"}},
        {1, 2, {"modal Hardware I/O options"}},
        {1, 3, {"tooltips off"}},
        {1, 3, {"tooltips on"}},
        {1,
         10,
         {"colour 0", "colour 1", "colour 2", "colour 3", "colour 4", "colour 5", "colour 6", "colour 7"}},
        {1, 11, {"selector inputColour"}},
        {1, 12, {"selector outputColour"}},
        {1, 13, {"selector sourceColour"}},
        {1, 14, {"selector targetColour"}},
        {1, 15, {"selector irColour"}},
        {1, 16, {"selector gainColour"}},
        {1, 18, {"selector gridColour"}},
        {2, 1, {"modal About Vantrel Melvane..."}},
        // Ids that no menu lists, and ids of one menu sent with another menu's index.
        {0, 0, {}},
        {0, 6, {}},
        {0, 10, {}},
        {0, 13, {}},
        {0, 100, {}},
        {1, 0, {}},
        {1, 4, {}},
        {1, 5, {}},
        {1, 17, {}},
        {1, 19, {}},
        {2, 0, {}},
        {2, 2, {}},
        {2, 11, {}},
        {2, 100, {}},
        {3, 1, {}},
        {-1, 4, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "menu " << c.menuIndex << ", id " << c.id);
        trace.clear();
        chooser.requests.clear();
        broadcasts.colours.clear();
        broadcasts.tooltips.clear();
        run (c.menuIndex, c.id);
        OnScreen::pump (100); // the closer's next tick

        for (const auto& r : chooser.requests)
            trace.push_back (ui_test::describe (r));
        for (int index : broadcasts.colours)
            trace.push_back ("colour " + std::to_string (index));
        for (bool on : broadcasts.tooltips)
            trace.push_back (on ? "tooltips on" : "tooltips off");
        EXPECT_EQ (trace, c.expected);
    }
    EXPECT_EQ (openCallOutBox(), nullptr) << "every selector was closed";
}

TEST_F (Menu, AboutBoxShowsNameVersionAndNotice)
{
    juce::String description;
    auto icon = juce::MessageBoxIconType::NoIcon;
    ModalCloser closer (
        [&] (juce::Component& modal)
        {
            description = modal.getDescription();
            if (auto* box = dynamic_cast<juce::AlertWindow*> (&modal))
                icon = box->getAlertType();
        });
    run (PellmixMenu::helpMenu, PellmixMenu::aboutId);
    ASSERT_EQ (closer.closedNames, std::vector<juce::String> ({"About Vantrel Melvane..."}));
    EXPECT_EQ (icon, juce::MessageBoxIconType::InfoIcon);

    const auto text = PellmixMenu::aboutText();
    EXPECT_EQ (description, juce::String ("About Vantrel Melvane...") + ". " + text);
    EXPECT_TRUE (text.startsWith ("Vantrel Melvane 0.9.8\n"));
    EXPECT_TRUE (text.endsWith ("\n"));
    juce::StringArray lines;
    lines.addLines (text.trimEnd());
    ASSERT_EQ (lines.size(), 2);
    EXPECT_TRUE (lines[1].isNotEmpty());
}

TEST_F (Menu, ProjectRoundTripThroughOpenAndSave)
{
    ASSERT_NO_FATAL_FAILURE (makeProject());
    const auto before = config().project.irRecords;

    // A name typed without its extension is saved with it.
    chooser.answer = {file ("session")};
    run (PellmixMenu::fileMenu, PellmixMenu::saveProjectToId);
    const auto saved = file ("session.vmp");
    ASSERT_TRUE (saved.existsAsFile());
    EXPECT_FALSE (file ("session").exists());

    // "Save project" asks again each time; a cancelled chooser writes nothing.
    const auto savedText = saved.loadFileAsString();
    chooser.answer.clear();
    run (PellmixMenu::fileMenu, PellmixMenu::saveProjectId);
    EXPECT_EQ (chooser.requests.size(), 2u);
    EXPECT_EQ (saved.loadFileAsString(), savedText);

    // Wipe the project, then open the file again.
    auto& p = config().project;
    for (int i = 0; i < 8; ++i)
        p.setIrRecord (i, {}, false, false, 1792, 0, 0.0f, false, 0.0f);
    std::fill (std::begin (p.eqGainsDb), std::end (p.eqGainsDb), 0.0f);
    p.eqOn = false;
    p.eqChanged = false;
    const auto sumBefore = config().engine.getSum().bands[0];

    chooser.answer = {saved};
    run (PellmixMenu::fileMenu, PellmixMenu::openProjectId);
    for (int i = 0; i < 8; ++i)
    {
        SCOPED_TRACE (i);
        const auto r = p.irRecords[i];
        const auto& e = before.getReference (i);
        EXPECT_EQ (r.path, e.path);
        EXPECT_EQ (r.solo, e.solo);
        EXPECT_EQ (r.mute, e.mute);
        EXPECT_EQ (r.length, e.length);
        EXPECT_EQ (r.offset, e.offset);
        EXPECT_FLOAT_EQ (r.phase, e.phase);
        EXPECT_FLOAT_EQ (r.gain, e.gain);
        EXPECT_TRUE (r.changed) << "the IR blocks take every loaded record on their timers";
    }
    EXPECT_EQ (p.irRecords[1].path, file ("a.wav"));
    EXPECT_EQ (p.irRecords[6].path, file ("b.wav"));
    EXPECT_EQ (p.eqGainsDb[7], 12.0f);
    EXPECT_TRUE (p.eqOn);
    EXPECT_TRUE (p.eqChanged);
    EXPECT_EQ (config().engine.getSum().bands[0], sumBefore) << "a load leaves the engine to the panels";

    // The records taken over as the panels do give a non-empty blend.
    ASSERT_NO_FATAL_FAILURE (applyProjectToEngine());
    const auto& band = config().engine.getSum().bands[0];
    EXPECT_TRUE (std::any_of (band.begin(), band.end(), [] (float v) { return v != 0.0f; }));
}

TEST_F (Menu, ExportWritesTheBlendAndFollowsTheEqSwitch)
{
    ASSERT_NO_FATAL_FAILURE (makeProject());
    ASSERT_NO_FATAL_FAILURE (applyProjectToEngine());
    auto& engine = config().engine;
    auto& p = config().project;

    auto exportTo = [this] (const std::string& typed)
    {
        chooser.answer = {file (typed)};
        run (PellmixMenu::fileMenu, PellmixMenu::exportIrId);
    };
    auto expectValid = [&engine] (const juce::File& vir)
    {
        ASSERT_TRUE (vir.existsAsFile()) << vir.getFullPathName();
        EXPECT_EQ (vir.getSize(), PellmixVir::spectralFileSize);
        const auto band = decodedBand0 (vir);
        ASSERT_EQ (band.size(), (size_t)PellmixVir::bandLength) << "the file decodes";
        EXPECT_GT (correlation (band, engine.getSum().bands[0].data(), band.size()), 0.999);
    };

    exportTo ("with-eq");
    ASSERT_NO_FATAL_FAILURE (expectValid (file ("with-eq.vir")));

    p.eqOn = false; // the EQ panel's switch, then its blend
    engine.blend (nullptr, false, p.eqOn);
    exportTo ("without-eq.vir");
    ASSERT_NO_FATAL_FAILURE (expectValid (file ("without-eq.vir")));
    EXPECT_NE (bytesOf (file ("with-eq.vir")), bytesOf (file ("without-eq.vir")));

    p.eqOn = true; // the bank keeps the +12 dB band
    engine.blend (nullptr, false, p.eqOn);
    exportTo ("again");
    EXPECT_EQ (bytesOf (file ("again.vir")), bytesOf (file ("with-eq.vir")));
}

TEST_F (Menu, TypedNamesGetTheirExtensionAndTheOverwriteWarning)
{
    int overwriteAnswer = 0;
    ModalCloser closer ({}, [&overwriteAnswer] (juce::Component& modal)
                        { modal.exitModalState (overwriteAnswer); });
    ASSERT_TRUE (file ("kept.vmp").replaceWithText ("old project"));
    ASSERT_TRUE (file ("replaced.vmp").replaceWithText ("old project"));
    ASSERT_TRUE (file ("kept.vir").replaceWithText ("old ir"));

    struct Case
    {
        int id;
        const char* typed;
        const char* written; // null: nothing written
        int answer;          // to the overwrite warning: 1 overwrite, 0 cancel
        bool warned;
    };
    const Case cases[] = {
        {PellmixMenu::saveProjectId, "plain", "plain.vmp", 0, false},
        {PellmixMenu::saveProjectToId, "upper.VMP", "upper.VMP", 0, false},
        {PellmixMenu::saveProjectId, "notes.txt", "notes.txt.vmp", 0, false},
        {PellmixMenu::saveProjectId, "kept", nullptr, 0, true},
        {PellmixMenu::saveProjectToId, "replaced", "replaced.vmp", 1, true},
        {PellmixMenu::exportIrId, "ir", "ir.vir", 0, false},
        {PellmixMenu::exportIrId, "named.vir", "named.vir", 0, false},
        {PellmixMenu::exportIrId, "kept", nullptr, 0, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.typed);
        closer.closedNames.clear();
        overwriteAnswer = c.answer;
        chooser.answer = {file (c.typed)};
        run (PellmixMenu::fileMenu, c.id);

        EXPECT_EQ (closer.closedNames.size(), c.warned ? 1u : 0u);
        if (c.warned && !closer.closedNames.empty())
        {
            EXPECT_EQ (closer.closedNames[0], "File already exists");
        }
        if (c.written != nullptr)
        {
            const auto written = file (c.written);
            ASSERT_TRUE (written.existsAsFile());
            const bool isProject = c.id != PellmixMenu::exportIrId;
            if (isProject)
                EXPECT_NE (juce::XmlDocument::parse (written), nullptr);
            else
                EXPECT_EQ (written.getSize(), PellmixVir::spectralFileSize);
        }
    }
    EXPECT_EQ (file ("kept.vmp").loadFileAsString(), "old project");
    EXPECT_EQ (file ("kept.vir").loadFileAsString(), "old ir");
    EXPECT_FALSE (file ("kept").exists());
}

TEST_F (Menu, FailuresAreToldAndChangeNothing)
{
    // Every box of a failure is a warning; its text as the box tells it (title, ". ", message).
    std::vector<juce::String> texts;
    ModalCloser closer (
        [&texts] (juce::Component& modal)
        {
            auto* box = dynamic_cast<juce::AlertWindow*> (&modal);
            ASSERT_NE (box, nullptr);
            EXPECT_EQ (box->getAlertType(), juce::MessageBoxIconType::WarningIcon) << modal.getName();
            texts.push_back (modal.getDescription());
        });
    ASSERT_NO_FATAL_FAILURE (makeProject());
    auto& p = config().project;

    // Files that are not projects: missing, not XML, XML of something else.
    ASSERT_TRUE (file ("broken.vmp").replaceWithText ("<MelvaneProject><IRs><IR length=\"1\""));
    ASSERT_TRUE (file ("other.vmp").replaceWithText ("<Playlist><Entry/></Playlist>"));
    for (const char* name : {"missing.vmp", "broken.vmp", "other.vmp"})
    {
        SCOPED_TRACE (name);
        closer.closedNames.clear();
        const auto records = p.irRecords;
        chooser.answer = {file (name)};
        run (PellmixMenu::fileMenu, PellmixMenu::openProjectId);
        EXPECT_EQ (closer.closedNames, std::vector<juce::String> ({"Open project"}));
        for (int i = 0; i < 8; ++i)
        {
            EXPECT_EQ (p.irRecords[i].path, records.getReference (i).path);
            EXPECT_FALSE (p.irRecords[i].changed);
        }
        EXPECT_FALSE (p.eqChanged);
    }

    // Writes into a folder that does not exist: no older file, so none is spoken of.
    struct WriteCase
    {
        int id;
        const char* target;
        const char* box;
    };
    const juce::String olderFileKept = "An older file of that name was left as it was.";
    for (const auto& c : {WriteCase{PellmixMenu::saveProjectId, "nowhere/x.vmp", "Save project"},
                          WriteCase{PellmixMenu::exportIrId, "nowhere/x.vir", "Export IR"}})
    {
        closer.closedNames.clear();
        texts.clear();
        chooser.answer = {file (c.target)};
        run (PellmixMenu::fileMenu, c.id);
        EXPECT_EQ (closer.closedNames, std::vector<juce::String> ({c.box}));
        EXPECT_FALSE (file (c.target).exists());
        ASSERT_EQ (texts.size(), 1u);
        EXPECT_TRUE (texts[0].contains (file (c.target).getFullPathName())) << texts[0];
        EXPECT_FALSE (texts[0].contains (olderFileKept)) << texts[0];
    }

    // A write cut short (a file-size limit far below the file's size) over an older file: the
    // older file stays whole.
    ASSERT_TRUE (file ("old.vmp").replaceWithText ("older project"));
    ASSERT_TRUE (file ("old.vir").replaceWithText ("older ir"));
    auto* oldHandler = signal (SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit (RLIMIT_FSIZE, &saved);
    for (const auto& c : {WriteCase{PellmixMenu::saveProjectId, "old.vmp", "Save project"},
                          WriteCase{PellmixMenu::exportIrId, "old.vir", "Export IR"}})
    {
        closer.closedNames.clear();
        texts.clear();
        chooser.answer = {file (c.target)};
        rlimit small{200, saved.rlim_max};
        setrlimit (RLIMIT_FSIZE, &small);
        menu->menuItemSelected (c.id, PellmixMenu::fileMenu); // the box closes within this call
        setrlimit (RLIMIT_FSIZE, &saved);
        EXPECT_EQ (closer.closedNames, std::vector<juce::String> ({c.box}));
        ASSERT_EQ (texts.size(), 1u);
        EXPECT_TRUE (texts[0].contains (olderFileKept)) << texts[0];
    }
    signal (SIGXFSZ, oldHandler);
    EXPECT_EQ (file ("old.vmp").loadFileAsString(), "older project");
    EXPECT_EQ (file ("old.vir").loadFileAsString(), "older ir");
}

TEST_F (Menu, PlaylistCommandsCallTheListenersLastRegisteredFirst)
{
    std::vector<std::string> trace;
    NamedListener a ("A", trace), b ("B", trace), c ("C", trace);
    for (auto* l : {&a, &b, &c, &b})
        menu->addListener (l);

    run (PellmixMenu::fileMenu, PellmixMenu::addSourceFilesId);
    EXPECT_EQ (trace, std::vector<std::string> ({"C source", "B source", "A source"}));

    trace.clear();
    menu->removeListener (&b);
    run (PellmixMenu::fileMenu, PellmixMenu::addTargetFilesId);
    EXPECT_EQ (trace, std::vector<std::string> ({"C target", "A target"}));

    // The same ids in the other menus are other commands.
    trace.clear();
    run (PellmixMenu::setupMenu, PellmixMenu::addSourceFilesId);
    run (PellmixMenu::helpMenu, PellmixMenu::addTargetFilesId);
    if (auto* box = openCallOutBox())
        box->dismiss();
    OnScreen::pump (100);
    EXPECT_TRUE (trace.empty());
}

TEST_F (Menu, TooltipAndColourCommandsBroadcastAndSaveNothing)
{
    ui_test::BroadcastRecorder broadcasts;
    const auto settingsFile = config().settings.getSettingsFile();
    ASSERT_FALSE (settingsFile.exists());

    run (PellmixMenu::setupMenu, PellmixMenu::showTooltipId);
    run (PellmixMenu::setupMenu, PellmixMenu::showTooltipId);
    EXPECT_EQ (broadcasts.tooltips, std::vector<bool> ({false, true}));

    for (int i = 0; i < PellmixConfig::numColours; ++i)
        *config().getColourByIndex (i) = juce::Colour (0xff102030u + (juce::uint32)i);
    run (PellmixMenu::setupMenu, PellmixMenu::resetColoursId);
    EXPECT_EQ (broadcasts.colours, std::vector<int> ({0, 1, 2, 3, 4, 5, 6, 7}));
    for (int i = 0; i < PellmixConfig::numColours; ++i)
        EXPECT_EQ (*config().getColourByIndex (i), PellmixConfig::getDefaultColour (i)) << i;
    EXPECT_EQ (config().gridColour.getARGB(), 0xff2f2f2fu);

    EXPECT_FALSE (settingsFile.exists()) << "nothing is saved at that moment";
}

TEST_F (Menu, ColourSelectorChangesReachTheConfigurationListenersAndTheNextSave)
{
    ui_test::BroadcastRecorder broadcasts;
    const auto settingsFile = config().settings.getSettingsFile();
    config().outputColour = juce::Colour (0xff405060);

    run (PellmixMenu::setupMenu, 12); // "Ouput color"
    auto* box = openCallOutBox();
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (box->getParentComponent(), nullptr) << "a window of its own";
    juce::Component::SafePointer<juce::ColourSelector> selector (selectorIn (*box));
    ASSERT_NE (selector.getComponent(), nullptr);
    EXPECT_EQ (selector->getName(), "outputColour");
    EXPECT_EQ (selector->getCurrentColour(), juce::Colour (0xff405060));
    EXPECT_EQ (selector->getWidth(), 300);
    EXPECT_EQ (selector->getHeight(), 400);
    EXPECT_EQ (selector->findColour (juce::ColourSelector::backgroundColourId),
               juce::Colours::transparentBlack);
    EXPECT_TRUE (broadcasts.colours.empty());

    // Each change while the user picks goes through at once.
    for (auto argb : {0xff12ab34u, 0x80ff0000u})
    {
        selector->setCurrentColour (juce::Colour (argb));
        OnScreen::pump (100);
        EXPECT_EQ (config().outputColour.getARGB(), argb);
    }
    EXPECT_EQ (broadcasts.colours, std::vector<int> ({1, 1}));
    EXPECT_FALSE (settingsFile.exists());

    box->dismiss();
    OnScreen::pump (200);
    EXPECT_EQ (selector.getComponent(), nullptr) << "the call-out box deletes its selector";
    EXPECT_EQ (openCallOutBox(), nullptr);

    // The routing sequence saves the settings, colours included.
    {
        ModalCloser closer;
        run (PellmixMenu::setupMenu, PellmixMenu::hardwareOptionsId);
        ASSERT_EQ (closer.closedNames, std::vector<juce::String> ({"Hardware I/O options"}));
    }
    auto xml = juce::XmlDocument::parse (settingsFile);
    ASSERT_NE (xml, nullptr);
    auto* saved = findElement (*xml, "outputColour");
    ASSERT_NE (saved, nullptr);
    EXPECT_EQ ((juce::uint32)saved->getIntAttribute ("value"), 0x80ff0000u);

    // Selectors are told apart by name only: the background's key works, an unknown one does not.
    broadcasts.colours.clear();
    for (const char* name : {"bgColour", "backgroundColour", ""})
    {
        juce::ColourSelector other;
        other.setName (name);
        other.addChangeListener (menu);
        other.setCurrentColour (juce::Colour (0xff0a0b0c));
        OnScreen::pump (100);
    }
    EXPECT_EQ (config().bgColour.getARGB(), 0xff0a0b0cu);
    EXPECT_EQ (broadcasts.colours, std::vector<int> ({6}));
}

TEST_F (Menu, HelpMenuListsTheDocumentsOfTheDocsFolder)
{
    const auto docs = config().settings.docsFolder;
    ASSERT_TRUE (docs.isDirectory());
    auto make = [&docs] (const char* relative)
    {
        auto f = docs.getChildFile (relative);
        EXPECT_TRUE (f.getParentDirectory().createDirectory());
        EXPECT_TRUE (f.replaceWithText ("document"));
        return f;
    };
    const std::map<std::string, juce::File> kept = {
        {" Manual", make ("Vantrel Melvane Manual.pdf")},
        {" Tutorial", make ("sub/Vantrel Melvane Tutorial.mp4")},
        {" Intro", make ("sub/deeper/Vantrel Melvane Intro.html")},
        {" Clip", make ("Vantrel Melvane Clip.avi")},
        {" X.tar", make ("Vantrel Melvane X.tar.mp4")},
        {" ", make ("Vantrel Melvane .pdf")},
    };
    for (const char* skipped :
         {"Vantrel Melvane Guide.PDF", "Vantrel MelvaneNotes.pdf", "vantrel melvane Lower.pdf",
          "Vantrel Melvane Readme.txt", "Vantrel Melvane Page.htm", "Vantrel Melvane NoExtension",
          "Other.pdf", "sub/Vantrel-Melvane Dash.mp4", "sub/Vantrel Melvane Movie.MP4"})
        make (skipped);
    ASSERT_TRUE (docs.getChildFile ("Vantrel Melvane Folder.pdf").createDirectory());

    const auto lines = describe (menu->getMenuForIndex (2, "?"));
    const auto& listed = menu->getDocuments();
    ASSERT_EQ (listed.size(), (int)kept.size());
    ASSERT_EQ (lines.size(), kept.size() + 2);
    std::map<std::string, juce::File> found;
    for (int i = 0; i < listed.size(); ++i)
    {
        const auto label = listed[i].getFileNameWithoutExtension().substring (15).toStdString();
        EXPECT_EQ (lines[(size_t)i], std::to_string (100 + i) + " " + label);
        found[label] = listed[i];
    }
    EXPECT_EQ (found, kept);
    EXPECT_EQ (lines[kept.size()], "---");
    EXPECT_EQ (lines.back(), "1 About");

    // Choosing an item opens that very document; a deleted one, or an id past the list, nothing.
    const int tutorial = listed.indexOf (kept.at (" Tutorial"));
    run (PellmixMenu::helpMenu, 100 + tutorial);
    EXPECT_EQ (opened, std::vector<juce::File> ({kept.at (" Tutorial")}));
    const int manual = listed.indexOf (kept.at (" Manual"));
    ASSERT_TRUE (kept.at (" Manual").deleteFile());
    run (PellmixMenu::helpMenu, 100 + manual);
    run (PellmixMenu::helpMenu, 100 + listed.size());
    EXPECT_EQ (opened.size(), 1u);

    // Without the folder: "About" alone.
    ASSERT_TRUE (docs.deleteRecursively());
    EXPECT_EQ (describe (menu->getMenuForIndex (2, "?")), std::vector<std::string> ({"1 About"}));
    EXPECT_TRUE (menu->getDocuments().isEmpty());
    run (PellmixMenu::helpMenu, 100 + tutorial);
    EXPECT_EQ (opened.size(), 1u);
}

// A pipe or a link to a device named as a document is neither listed nor opened: the viewer
// would wait on it for good.
TEST_F (Menu, HelpMenuListsAndOpensOnlyRegularFiles)
{
    const auto docs = config().settings.docsFolder;
    const auto manual = docs.getChildFile ("Vantrel Melvane Manual.pdf");
    ASSERT_TRUE (manual.replaceWithText ("document"));
    for (const auto& [name, kind] :
         {std::pair{"Vantrel Melvane Pipe.pdf", "fifo"}, std::pair{"Vantrel Melvane Zero.mp4", "zero-link"}})
        ASSERT_TRUE (
            pellmix_test::makeHostilePath (docs.getChildFile (name).getFullPathName().toStdString(), kind));

    menu->getMenuForIndex (PellmixMenu::helpMenu, "?");
    EXPECT_EQ (menu->getDocuments(), juce::Array<juce::File> ({manual}));

    // Made a pipe after the menu was built: not opened either.
    ASSERT_TRUE (manual.deleteFile());
    ASSERT_TRUE (pellmix_test::makeHostilePath (manual.getFullPathName().toStdString(), "fifo"));
    run (PellmixMenu::helpMenu, PellmixMenu::firstDocumentId);
    EXPECT_TRUE (opened.empty());
}

// A file refused as a whole gets the menu's box, with the reason; the file stays as it was.
TEST_F (Menu, OpenProjectNamesWhyAFileIsRefused)
{
    std::string nested;
    for (int i = 0; i < 200000; ++i)
        nested += "<IRs>";
    ASSERT_TRUE (file ("nested.vmp").replaceWithText (nested));
    ASSERT_TRUE (file ("other.vmp").replaceWithText ("<Playlist><Entry/></Playlist>"));
    for (const char* kind : pellmix_test::hostileKinds)
        ASSERT_TRUE (pellmix_test::makeHostilePath (
            file (std::string (kind) + ".vmp").getFullPathName().toStdString(), kind));
    const struct
    {
        const char* name;
        const char* reason;
    } cases[] = {
        {"nested.vmp", "It is nested too deeply. "},
        {"fifo.vmp", "It is not a regular file. "},
        {"folder.vmp", "It is not a regular file. "},
        {"zero-link.vmp", "It is not a regular file. "},
        {"sparse-2GiB.vmp", "It is too large. "},
        {"missing.vmp", "It does not exist. "},
        {"other.vmp", ""},
    };

    juce::String description;
    ModalCloser closer ([&description] (juce::Component& modal) { description = modal.getDescription(); });
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        description.clear();
        chooser.answer = {file (c.name)};
        run (PellmixMenu::fileMenu, PellmixMenu::openProjectId);
        EXPECT_EQ (description, "Open project. This file could not be read as a Melvane project:\n" +
                                    file (c.name).getFullPathName() + "\n\n" + c.reason +
                                    "The project was not changed.");
    }
    EXPECT_EQ (file ("nested.vmp").loadFileAsString().length(), (int)nested.size());
    for (const char* kind : pellmix_test::hostileKinds)
        EXPECT_TRUE (pellmix_test::isHostilePath (
            file (std::string (kind) + ".vmp").getFullPathName().toStdString(), kind))
            << kind;
}

TEST_F (Menu, DocumentsGoToTheDesktopOpenerAndAreNeverRun)
{
    // An executable document that would leave a mark if it were run, and an opener of our own
    // first in PATH that writes down what it was given.
    const auto marker = file ("document-was-run");
    const auto record = file ("opener-arguments");
    const auto document = config().settings.docsFolder.getChildFile ("Vantrel Melvane Run.html");
    ASSERT_TRUE (document.replaceWithText ("#!/bin/sh\ntouch '" + marker.getFullPathName() + "'\n", false,
                                           false, "\n"));
    ASSERT_TRUE (document.setExecutePermission (true));
    // The document does leave its mark when run (a copy of it, run here).
    const auto copy = file ("copy.html");
    ASSERT_TRUE (document.copyFileTo (copy) && copy.setExecutePermission (true));
    ASSERT_EQ (pellmix_test::run ({copy.getFullPathName().toStdString()}).exitCode, 0);
    ASSERT_TRUE (marker.deleteFile());
    const auto bin = file ("bin");
    ASSERT_TRUE (bin.createDirectory());
    const auto opener = bin.getChildFile ("xdg-open");
    ASSERT_TRUE (opener.replaceWithText (
        "#!/bin/sh\nprintf '%s|' \"$@\" > '" + record.getFullPathName() + "'\n", false, false, "\n"));
    ASSERT_TRUE (opener.setExecutePermission (true));
    pellmix_test::ScopedEnv path ("PATH", bin.getFullPathName().toStdString() + ":" + std::getenv ("PATH"));

    menu->setDocumentOpener ({}); // the desktop's opener
    ASSERT_EQ (describe (menu->getMenuForIndex (2, "?")).front(), "100  Run");
    run (PellmixMenu::helpMenu, 100);
    for (int i = 0; i < 100 && !record.existsAsFile(); ++i)
        OnScreen::pump (50);
    EXPECT_EQ (record.loadFileAsString(), document.getFullPathName() + "|");
    OnScreen::pump (300);
    EXPECT_FALSE (marker.exists()) << "the document was run";

    // No opener on the path: reported as not opened, and still nothing run.
    pellmix_test::ScopedEnv empty ("PATH", file ("empty").getFullPathName().toStdString());
    EXPECT_FALSE (openWithDesktop (document));
    EXPECT_FALSE (marker.exists());
}

TEST_F (Menu, QuitStopsTheApplicationLoop)
{
    ASSERT_FALSE (juce::MessageManager::getInstance()->hasStopMessageBeenSent());
    menu->menuItemSelected (PellmixMenu::quitId, PellmixMenu::fileMenu);
    EXPECT_TRUE (juce::MessageManager::getInstance()->hasStopMessageBeenSent());
}
