// The real application started with each of the files it reads at start made hostile in turn:
// the settings file, its fallback, the device state, the playlist and the log, each nested far
// beyond the readers' bound (the XML files), a named pipe, a folder, a link to /dev/zero and a
// 2 GiB sparse file. Each time the window maps, a stored file that could not be read is told of
// in one box, the program answers its menu bar, and SIGINT ends it with status 0; what the user
// had at the path is still there afterwards, or kept aside beside it. The application runs under
// an address-space limit, so a reader that takes a whole 2 GiB file or an endless device fails
// instead of filling the machine. Each start's time to the window is printed.
#include "AppHarness.h"
#include "support/HostileFiles.h"
#include "ui/PellmixLookAndFeel.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>

namespace fs = std::filesystem;
using namespace app_test;

namespace
{
enum class Role
{
    stored,   // written by the program: kept aside or left in place, and told of
    readOnly, // the fallback settings: only read
    log       // opened, cut and written
};

struct StartupFile
{
    const char* name;
    std::string (*path) (const HomeLayout&);
    Role role;
};

void PrintTo (const StartupFile& f, std::ostream* os)
{
    *os << f.name;
}

const StartupFile startupFiles[] = {
    {"SettingsFile", [] (const HomeLayout& l) { return l.settingsFile(); }, Role::stored},
    {"FallbackSettings", [] (const HomeLayout& l) { return l.makerFolder() + "/VantrelCapture.cfg"; },
     Role::readOnly},
    {"DeviceState", [] (const HomeLayout& l) { return l.deviceStateFile(); }, Role::stored},
    {"Playlist", [] (const HomeLayout& l) { return l.makerFolder() + "/playlist.xml"; }, Role::stored},
    {"Log", [] (const HomeLayout& l) { return l.logFile(); }, Role::log},
};

// The application takes some 430 MB of address space with its threads, libraries and JACK's
// shared memory; reading a 2 GiB file whole goes past this.
constexpr long long addressSpaceLimit = 2LL << 30;

// Waits until the warning box `windowId` shows its own drawing, grabbed from the display into
// `scratchPng`: its icon's colour fills much of the icon's area, and two grabs in a row agree, so
// the paint that drew it (text and button with it) has reached the screen whole.
bool waitForWarningBoxDrawn (const std::string& windowId, const std::string& scratchPng)
{
    juce::Image previous;
    return waitUntil (
        [&]
        {
            if (pellmix_test::run ({"import", "-window", windowId, scratchPng}).exitCode != 0)
                return false;
            const auto grab = juce::ImageFileFormat::loadFrom (juce::File (scratchPng));
            const auto icon = PellmixAlertLookAndFeel::iconArea();
            if (!grab.isValid() || !grab.getBounds().contains (icon))
                return false;
            int iconPixels = 0;
            for (int y = icon.getY(); y < icon.getBottom(); ++y)
                for (int x = icon.getX(); x < icon.getRight(); ++x)
                    iconPixels += grab.getPixelAt (x, y).getARGB() == PellmixAlertLookAndFeel::warningColour;
            bool same = previous.isValid() && previous.getBounds() == grab.getBounds();
            for (int y = 0; same && y < grab.getHeight(); ++y)
                for (int x = 0; same && x < grab.getWidth(); ++x)
                    same = previous.getPixelAt (x, y) == grab.getPixelAt (x, y);
            previous = grab;
            return same && iconPixels > icon.getWidth() * icon.getHeight() / 4;
        },
        10s);
}

std::string nestedDocument()
{
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "<a>";
    return text;
}

class HostileStartup : public ::testing::TestWithParam<StartupFile>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (display.started());
        layout.home = home.path();
    }

    std::string appOutput() const { return pellmix_test::readTextFile (home.child ("app-output.txt")); }

    // Opens the "File" menu with a click on its name and closes it again with Escape.
    void openAndCloseTheFileMenu (const std::string& window)
    {
        const auto origin = windowGeometry (window);
        const int before = visibleAppWindows();
        bool open = false;
        // Menus close at once while the application does not have the input focus.
        for (int attempt = 0; attempt < 3 && !open; ++attempt)
        {
            ASSERT_TRUE (xdotool ({"windowfocus", "--sync", window}));
            ASSERT_TRUE (xdotool (
                {"mousemove", std::to_string (origin.x + 20), std::to_string (origin.y + 12), "click", "1"}));
            open = waitUntil ([before] { return visibleAppWindows() > before; }, 5s);
        }
        ASSERT_TRUE (open) << "the menu did not open";
        ASSERT_TRUE (xdotool ({"key", "Escape"}));
        EXPECT_TRUE (waitUntil ([before] { return visibleAppWindows() == before; }, 10s));
    }

    pellmix_test::VirtualDisplay display;
    pellmix_test::TempDir home{"pellmix-hostile-start"};
    HomeLayout layout;
    std::unique_ptr<RunningApp> app;
};
} // namespace

TEST_P (HostileStartup, WindowMapsTheProgramAnswersAndQuitsCleanly)
{
    const auto& file = GetParam();
    auto jack = std::make_unique<pellmix_test::JackServer>();
    ASSERT_TRUE (jack->started()) << jack->logText();
    const auto nested = nestedDocument();

    std::vector<std::string> kinds (std::begin (pellmix_test::hostileKinds),
                                    std::end (pellmix_test::hostileKinds));
    if (file.role != Role::log)
        kinds.insert (kinds.begin(), "nested");

    for (const auto& kind : kinds)
    {
        SCOPED_TRACE (kind);
        const auto path = file.path (layout);
        // Laid out again before each start: a start whose device did not open may have kept it aside.
        auto start = std::chrono::steady_clock::now();
        const auto prepare = [&]
        {
            fs::remove_all (layout.makerFolder());
            fs::create_directories (fs::path (path).parent_path());
            if (kind == "nested")
                std::ofstream (path, std::ios::binary) << nested;
            else
                EXPECT_TRUE (pellmix_test::makeHostilePath (path, kind));
            start = std::chrono::steady_clock::now();
        };
        const auto window = startWithMainWindow (app, layout, *jack, home.path(), addressSpaceLimit, prepare);
        ASSERT_FALSE (window.empty()) << appOutput();
        std::cout << file.name << ", " << kind << ": the window mapped after "
                  << std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count()
                  << " s\n";

        // A stored file that could not be read is told of once the window is up.
        if (file.role == Role::stored)
        {
            const auto box = waitForWindow ("Stored files", 10s);
            ASSERT_FALSE (box.empty()) << appOutput();
            if (kind == "nested")
            {
                ASSERT_TRUE (waitForWarningBoxDrawn (box, home.child ("box.png")));
                display.keepScreenshot (std::string ("hostile-start-") + file.name + ".png");
            }
            ASSERT_TRUE (xdotool ({"windowfocus", "--sync", box}));
            ASSERT_TRUE (xdotool ({"key", "Return"}));
            ASSERT_TRUE (waitForWindowGone ("Stored files"));
        }
        else
        {
            EXPECT_FALSE (windowExists ("Stored files"));
        }
        ASSERT_NO_FATAL_FAILURE (openAndCloseTheFileMenu (window));

        const auto result = app->interrupt();
        EXPECT_FALSE (result.timedOut);
        EXPECT_EQ (result.exitCode, 0) << appOutput();
        app.reset();

        // What the user had: kept aside when it was a stored regular file, else where it was. (A
        // log of zeros is only written to: the framework cuts a large log at a line end, and
        // stops at a zero byte.)
        const bool keptAside = file.role == Role::stored && (kind == "nested" || kind == "sparse-2GiB");
        const auto kept = keptAside ? path + ".damaged" : path;
        if (kind == "nested")
            EXPECT_EQ (pellmix_test::readTextFile (kept), nested);
        else if (file.role == Role::log && kind == "sparse-2GiB")
            EXPECT_GT (fs::file_size (path), 2LL << 30);
        else
            EXPECT_TRUE (pellmix_test::isHostilePath (kept, kind)) << kept;
    }
}

INSTANTIATE_TEST_SUITE_P (Startup, HostileStartup, ::testing::ValuesIn (startupFiles),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });
