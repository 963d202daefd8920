// The real application on a virtual display with a dummy JACK device, driven from outside with
// xdotool through its menu bar and the framework's own file dialog: a project that is not one is
// refused with a box, a project is opened (its IR blocks show their curves and the result plots
// follow), saved under a new name typed without its extension, the blend of the project's IRs is
// exported, and "Quit" ends the program with status 0. Screenshots of each step are kept in the
// build folder (screenshots/menu-run-*.png).
#include "AppHarness.h"
#include "settings/PellmixProject.h"
#include "ui/ResultTestSupport.h"
#include "ui/UiTestSupport.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

using namespace app_test;

namespace
{
// The dark menu colours and the light text of the menus (see PellmixLookAndFeel).
bool isMenuBackground (juce::Colour c)
{
    return c.getARGB() == 0xff1c1f24;
}

std::vector<juce::uint8> bytesOf (const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData (block);
    const auto* data = static_cast<const juce::uint8*> (block.getData());
    return {data, data + block.getSize()};
}

// Pixels of IR block `slot` that differ between two screenshots (the blocks lie in a 4 x 2 grid of
// 303 x 180 at (38, 158) of the content).
int changedBlockPixels (const juce::Image& a, const juce::Image& b, juce::Point<int> content, int slot)
{
    const auto block = content + juce::Point<int> (38 + 303 * (slot % 4), 158 + 180 * (slot / 4));
    int n = 0;
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 303; ++x)
            n += a.getPixelAt (block.x + x, block.y + y) != b.getPixelAt (block.x + x, block.y + y) ? 1 : 0;
    return n;
}

// Rows of a result plot (x from `left`, 299 wide, y 13-171 of the plots at (38, 638) of the
// content) that hold a pixel of the curves' red: one or two for a flat line.
int curveRows (const juce::Image& shot, juce::Point<int> content, int left)
{
    const auto plots = content + juce::Point<int> (38, 638);
    int rows = 0;
    for (int y = 13; y <= 171; ++y)
        for (int x = left; x < left + 299; ++x)
        {
            const auto c = shot.getPixelAt (plots.x + x, plots.y + y);
            if (c.getRed() > 150 && c.getGreen() < 90 && c.getBlue() < 90)
            {
                ++rows;
                break;
            }
        }
    return rows;
}

class MenuRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (display.started());
        layout.home = home.path();
    }

    std::string shot (const std::string& name)
    {
        const auto path = display.keepScreenshot ("menu-run-" + name + ".png");
        EXPECT_FALSE (path.empty()) << name;
        return path;
    }

    // Opens a top-level menu by a click on its name, then picks its item `downs` places down. With
    // `menuShot`, the open menu is kept as that screenshot once it `shows` what the test looks for.
    void chooseMenuItem (int nameX, int downs, const std::string& menuShot = {},
                         const std::function<bool (const juce::Image&)>& shows = {})
    {
        const int before = visibleAppWindows();
        bool open = false;
        for (int attempt = 0; attempt < 3 && !open; ++attempt)
        {
            // Menus close at once while the application does not have the input focus, which
            // nothing gives it without a window manager.
            ASSERT_TRUE (xdotool ({"windowfocus", "--sync", mainWindow}));
            ASSERT_TRUE (xdotool ({"mousemove", std::to_string (origin.x + nameX),
                                   std::to_string (origin.y + 12), "click", "1"}));
            open = waitUntil ([before] { return visibleAppWindows() > before; }, 5s);
        }
        if (!open)
            shot ("failed-menu");
        ASSERT_TRUE (open) << "the menu did not open";
        if (!menuShot.empty())
            ASSERT_TRUE (
                ui_test::screenshotShowing (display, "menu-run-" + menuShot + ".png", shows).isValid());
        else
            std::this_thread::sleep_for (500ms); // drawn
        for (int i = 0; i < downs; ++i)
            ASSERT_TRUE (xdotool ({"key", "Down"}));
        ASSERT_TRUE (xdotool ({"key", "Return"}));
    }

    // Types a name into the file box of the framework's file dialog titled `title` and confirms it.
    void answerFileDialog (const std::string& title, const std::string& typed, const std::string& dialogShot)
    {
        const auto dialog = waitForWindow (title, 15s);
        ASSERT_FALSE (dialog.empty()) << title << "\n" << appOutput();
        const auto g = windowGeometry (dialog);
        // The file name box runs along the dialog's foot, above its buttons.
        ASSERT_TRUE (xdotool ({"mousemove", std::to_string (g.x + g.width / 2),
                               std::to_string (g.y + g.height - 63), "click", "1"}));
        std::this_thread::sleep_for (300ms);
        ASSERT_TRUE (xdotool ({"key", "ctrl+a"}));
        ASSERT_TRUE (xdotool ({"type", "--delay", "20", typed}));
        std::this_thread::sleep_for (300ms);
        shot (dialogShot);
        ASSERT_TRUE (xdotool ({"key", "Return"}));
        ASSERT_TRUE (waitForWindowGone (title, 10s)) << title;
        std::this_thread::sleep_for (800ms);
    }

    std::string appOutput() const { return pellmix_test::readTextFile (home.child ("app-output.txt")); }

    static constexpr int fileMenuX = 20; // "File" in the menu bar

    // A project of two IRs and a +12 dB EQ band in the product folder, and a file that is not a
    // project beside it.
    void writeProjects()
    {
        ASSERT_TRUE (irs.createDirectory());
        ASSERT_TRUE (
            ui_test::writeIrWav (irs.getChildFile ("room.wav"), 96000.0, 4096, {{0, 1.0f}, {40, 0.5f}}));
        ASSERT_TRUE (
            ui_test::writeIrWav (irs.getChildFile ("cab.wav"), 48000.0, 2048, {{3, -0.7f}, {9, 0.3f}}));
        for (int i = 0; i < 8; ++i)
            project.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);
        project.setIrRecord (0, irs.getChildFile ("room.wav"), false, false, 1792, 0, 0.0f, false, -2.0f);
        project.setIrRecord (3, irs.getChildFile ("cab.wav"), false, false, 1200, 20, 30.0f, false, 3.0f);
        project.eqGainsDb[12] = 12.0f;
        const juce::File product (layout.productFolder());
        ASSERT_TRUE (product.createDirectory());
        ASSERT_TRUE (project.save (product.getChildFile ("demo.vmp")));
        ASSERT_TRUE (product.getChildFile ("notes.vmp").replaceWithText ("not a project"));
    }

    // The window as first drawn and settled: the plots show the empty blend's flat lines.
    void startedShowsTheEmptyBlend()
    {
        content = {origin.x, origin.y + origin.height - 818}; // below the bar
        started = ui_test::screenshotShowing (
            display, "menu-run-1-started.png",
            [&] (const juce::Image& s)
            {
                for (int left : {78, 456, 834})
                    if (curveRows (s, content, left) == 0)
                        return false;
                return true;
            },
            true);
        ASSERT_TRUE (started.isValid());
    }

    // "File" > "Open project" on a file that is not a project: a box says so.
    void openRefusesAFileThatIsNoProject()
    {
        // The open menu as drawn: mostly the menus' dark background, below the bar at the left,
        // with light item names.
        const auto menuPixels = [&] (const juce::Image& image)
        {
            std::pair<int, int> darkAndLight;
            for (int y = origin.y + 30; y < origin.y + 150; ++y)
                for (int x = origin.x + 5; x < origin.x + 120; ++x)
                {
                    const auto c = image.getPixelAt (x, y);
                    darkAndLight.first += isMenuBackground (c) ? 1 : 0;
                    darkAndLight.second += c.getBrightness() > 0.75f ? 1 : 0;
                }
            return darkAndLight;
        };
        ASSERT_NO_FATAL_FAILURE (chooseMenuItem (fileMenuX, 1, "2-file-menu",
                                                 [&] (const juce::Image& image)
                                                 {
                                                     const auto [dark, light] = menuPixels (image);
                                                     return dark > 115 * 120 / 2 && light > 100;
                                                 }));
        {
            const auto image = juce::ImageFileFormat::loadFrom (
                juce::File (pellmix_test::screenshotFolder() + "/menu-run-2-file-menu.png"));
            ASSERT_TRUE (image.isValid());
            const auto [dark, light] = menuPixels (image);
            EXPECT_GT (dark, 115 * 120 / 2) << "the menu is drawn in the window's dark look";
            EXPECT_GT (light, 100) << "with light item names";
        }
        ASSERT_NO_FATAL_FAILURE (
            answerFileDialog ("Open Melvane project", "notes.vmp", "3-open-dialog-notes"));
        const auto box = waitForWindow ("Open project", 10s);
        ASSERT_FALSE (box.empty()) << "the refusal box";
        shot ("4-not-a-project");
        ASSERT_TRUE (xdotool ({"key", "Return"}));
        ASSERT_TRUE (waitForWindowGone ("Open project", 10s));
    }

    // The real project: the blocks of slots 0 and 3 show their curves, and the plots the blend.
    void openShowsTheProject()
    {
        ASSERT_NO_FATAL_FAILURE (chooseMenuItem (fileMenuX, 1));
        ASSERT_NO_FATAL_FAILURE (answerFileDialog ("Open Melvane project", "demo.vmp", "5-open-dialog-demo"));
        EXPECT_FALSE (windowExists ("Open project")) << "no refusal for a project";
        // The pointer off the panels (no tooltip, no hovered control), then the panels' timers.
        ASSERT_TRUE (
            xdotool ({"mousemove", std::to_string (origin.x + 400), std::to_string (origin.y + 10)}));
        {
            // The blocks of slots 0 and 3 show their curves, the others still invite a drop; the
            // plots leave the empty blend's flat lines.
            const auto opened = ui_test::screenshotShowing (
                display, "menu-run-6-project-opened.png",
                [&] (const juce::Image& s)
                {
                    for (int slot : {0, 3})
                        if (changedBlockPixels (started, s, content, slot) <= 303 * 180 / 4)
                            return false;
                    for (int left : {78, 456, 834})
                        if (curveRows (s, content, left) <= 10)
                            return false;
                    return true;
                });
            ASSERT_TRUE (opened.isValid());
            for (int slot = 0; slot < 8; ++slot)
            {
                SCOPED_TRACE (slot);
                const int changed = changedBlockPixels (started, opened, content, slot);
                if (slot == 0 || slot == 3)
                    EXPECT_GT (changed, 303 * 180 / 4) << "the file's look: name, curve, controls";
                else // (a repaint clipped through its caption may shade a few glyph edges differently)
                    EXPECT_LT (changed, 100) << "still the empty look";
            }
            for (int left : {78, 456, 834})
            {
                SCOPED_TRACE (left);
                EXPECT_LE (curveRows (started, content, left), 2) << "the empty blend's flat line";
                EXPECT_GT (curveRows (opened, content, left), 10) << "the project's blend";
            }
        }
    }

    // "Save project to ..." under a new name typed without its extension.
    void saveUnderANewName()
    {
        const juce::File product (layout.productFolder());
        ASSERT_NO_FATAL_FAILURE (chooseMenuItem (fileMenuX, 3));
        ASSERT_NO_FATAL_FAILURE (answerFileDialog ("Save Melvane project", "renamed", "7-save-dialog"));
        const auto renamed = product.getChildFile ("renamed.vmp");
        ASSERT_TRUE (waitUntil ([&] { return renamed.existsAsFile(); }, 5s)) << "saved with its extension";
        EXPECT_FALSE (product.getChildFile ("renamed").exists());
        PellmixProject reread;
        for (int i = 0; i < 8; ++i)
            reread.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);
        ASSERT_TRUE (reread.load (renamed));
        EXPECT_EQ (reread.irRecords[0].path, irs.getChildFile ("room.wav")) << "the opened project was saved";
        EXPECT_EQ (reread.irRecords[3].path, irs.getChildFile ("cab.wav"));
        EXPECT_EQ (reread.irRecords[3].length, 1200);
        EXPECT_EQ (reread.irRecords[3].offset, 20);
        EXPECT_FLOAT_EQ (reread.irRecords[3].phase, 30.0f);
        EXPECT_FLOAT_EQ (reread.irRecords[0].gain, -2.0f);
        EXPECT_EQ (reread.eqGainsDb[12], 12.0f);
    }

    // "Export IR" into the impulses folder: the blend of the project's two IRs.
    void exportTheBlend()
    {
        ASSERT_NO_FATAL_FAILURE (chooseMenuItem (fileMenuX, 4));
        ASSERT_NO_FATAL_FAILURE (answerFileDialog ("Output file", "blend", "8-export-dialog"));
        const juce::File exported (layout.makerFolder() + "/Impulses/blend.vir");
        ASSERT_TRUE (waitUntil ([&] { return exported.existsAsFile(); }, 5s));
        EXPECT_EQ (exported.getSize(), 18463);
        // The blend of the project's two IRs, as an engine of the test's own makes it, not the empty
        // blend.
        const juce::File reference (home.child ("reference.vir")), empty (home.child ("empty.vir"));
        ui_test::ReferenceBlend expected (project);
        ASSERT_TRUE (expected.engine.exportIr (reference));
        PellmixEngine nothing;
        nothing.initialise();
        nothing.blend (nullptr, false, true);
        ASSERT_TRUE (nothing.exportIr (empty));
        ASSERT_NE (bytesOf (reference), bytesOf (empty));
        EXPECT_EQ (bytesOf (exported), bytesOf (reference));
        shot ("9-exported");
    }

    pellmix_test::VirtualDisplay display;
    pellmix_test::TempDir home{"pellmix-menu-run"};
    HomeLayout layout;
    std::unique_ptr<RunningApp> app;
    Geometry origin;
    std::string mainWindow;
    juce::Point<int> content; // the window's content, below the menu bar
    juce::Image started;      // the first settled screenshot
    // The project the steps open, save and export, and the folder of its IRs.
    const juce::File irs{home.child ("irs")};
    PellmixProject project;
};
} // namespace

TEST_F (MenuRun, OpenSaveExportAndQuitThroughTheMenuBar)
{
    ASSERT_NO_FATAL_FAILURE (writeProjects());
    pellmix_test::JackServer jack;
    ASSERT_TRUE (jack.started()) << jack.logText();
    mainWindow = startWithMainWindow (app, layout, jack, home.path());
    ASSERT_FALSE (mainWindow.empty()) << appOutput();
    origin = windowGeometry (mainWindow);

    ASSERT_NO_FATAL_FAILURE (startedShowsTheEmptyBlend());
    ASSERT_NO_FATAL_FAILURE (openRefusesAFileThatIsNoProject());
    ASSERT_NO_FATAL_FAILURE (openShowsTheProject());
    ASSERT_NO_FATAL_FAILURE (saveUnderANewName());
    ASSERT_NO_FATAL_FAILURE (exportTheBlend());

    // "Quit".
    ASSERT_NO_FATAL_FAILURE (chooseMenuItem (fileMenuX, 6));
    const auto result = app->process().wait (20s);
    EXPECT_FALSE (result.timedOut);
    EXPECT_EQ (result.exitCode, 0) << appOutput();
}
