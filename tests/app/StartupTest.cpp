// Start-up and shut-down of the real application binary, driven and measured from outside: a
// virtual display, a dummy JACK server, a fresh HOME, xdotool for windows and keys.
#include "AppHarness.h"
#include "MapRequestRecorder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace app_test;
using pellmix_test::JackServer;
using pellmix_test::TempDir;
using pellmix_test::VirtualDisplay;

namespace
{
const std::string hyphens = "--------------------------------------";

std::string jackPorts (const JackServer& server)
{
    return server.ports().listing();
}

void writeFile (const std::string& path, const std::string& text)
{
    fs::create_directories (fs::path (path).parent_path());
    std::ofstream (path, std::ios::binary) << text;
}

class Startup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (display.started());
        layout.home = home.path();
    }

    std::string startWithWindow (const JackServer& server)
    {
        return startWithMainWindow (app, layout, server, home.path());
    }

    std::string appOutput() const { return pellmix_test::readTextFile (home.child ("app-output.txt")); }

    VirtualDisplay display;
    TempDir home{"pellmix-app"};
    HomeLayout layout;
    std::unique_ptr<RunningApp> app;
};
} // namespace

TEST_F (Startup, FreshHomeGivesWindowFoldersAndDeviceReportThenSigintEndsCleanly)
{
    JackServer server;
    ASSERT_TRUE (server.started()) << server.logText();
    auto window = startWithWindow (server);
    ASSERT_FALSE (window.empty());

    // Without a window manager there is no frame: the window is the client area itself.
    auto g = windowGeometry (window);
    EXPECT_EQ (g.x, 10);
    EXPECT_EQ (g.y, 36);
    EXPECT_EQ (g.width, 1289);
    EXPECT_GT (g.height, 818) << "content plus the menu bar";

    for (auto folder : {"Temp", "Impulses", "Samples", "Docs", "Vantrel Melvane"})
        EXPECT_TRUE (fs::is_directory (layout.makerFolder() + "/" + folder)) << folder;

    const auto log = pellmix_test::readTextFile (layout.logFile());
    EXPECT_NE (log.find ("\nVantrel Melvane\r\n"), std::string::npos) << log;
    EXPECT_EQ (linesAfterWelcome (log), jackDummyReport()) << log;
    EXPECT_FALSE (fs::exists (layout.settingsFile())) << "nothing is saved at a start with a device";

    EXPECT_NE (jackPorts (server).find ("JUCEJack:"), std::string::npos);
    auto result = app->interrupt();
    EXPECT_EQ (result.exitCode, 0) << appOutput();
    EXPECT_EQ (jackPorts (server).find ("JUCEJack"), std::string::npos);
}

// With a window manager, its close command reaches the window's close button.
TEST_F (Startup, WindowManagerCloseEndsCleanly)
{
    JackServer server;
    ASSERT_TRUE (server.started()) << server.logText();
    auto windowManager = startWindowManager (layout.home, home.child ("openbox.txt"));
    ASSERT_NE (windowManager, nullptr);

    auto window = startWithWindow (server);
    ASSERT_FALSE (window.empty());
    ASSERT_TRUE (waitUntil ([&] { return cardinalProperty (window, "_NET_FRAME_EXTENTS").size() == 4; }, 10s))
        << "the window manager framed the window";
    EXPECT_NE (jackPorts (server).find ("JUCEJack:"), std::string::npos);

    xdotool ({"windowactivate", "--sync", window});
    xdotool ({"key", "alt+F4"});
    auto result = app->process().wait (15s);
    EXPECT_FALSE (result.timedOut);
    EXPECT_EQ (result.exitCode, 0) << appOutput();
    EXPECT_EQ (jackPorts (server).find ("JUCEJack"), std::string::npos);
    windowManager->stop();
}

namespace
{
// The "program specified maximum size" of a window's size hints; (0, 0) when it has none.
std::pair<int, int> maximumSizeHint (const std::string& window)
{
    const auto text = pellmix_test::run ({"xprop", "-id", window, "WM_NORMAL_HINTS"}).output;
    const std::string key = "program specified maximum size: ";
    const auto at = text.find (key);
    if (at == std::string::npos)
        return {0, 0};
    int width = 0, height = 0;
    std::sscanf (text.c_str() + at + key.size(), "%d by %d", &width, &height);
    return {width, height};
}
} // namespace

// The size limits are in place when the window first maps (a recorder in a window manager's place
// reads them then), they come back after the framework's own placements, and at the largest size
// the whole content shows: the content's 1289 x 818 and the menu bar, whatever frame a window
// manager adds.
TEST_F (Startup, SizeLimitsComeWithTheFirstMapAndFitTheContent)
{
    JackServer server;
    ASSERT_TRUE (server.started()) << server.logText();

    std::pair<int, int> whole;
    {
        MapRequestRecorder firstMaps;
        ASSERT_TRUE (firstMaps.started());
        auto window = startWithWindow (server);
        ASSERT_FALSE (window.empty());
        const auto shown = windowGeometry (window);
        whole = {1289, shown.height};
        EXPECT_EQ (shown.width, 1289);
        EXPECT_GT (shown.height, 818);
        EXPECT_EQ (firstMaps.maximumSizeAtFirstMap (window), whole) << "at the first map";
        // The framework places the window once more before its first paint, which replaces the
        // hints; the window hands its limits on again then.
        EXPECT_TRUE (waitUntil ([&] { return maximumSizeHint (window) == whole; }, 5s))
            << maximumSizeHint (window).first << " x " << maximumSizeHint (window).second;
        EXPECT_EQ (app->interrupt().exitCode, 0) << appOutput();
        app.reset();
    }

    auto windowManager = startWindowManager (layout.home, home.child ("openbox.txt"));
    ASSERT_NE (windowManager, nullptr);
    const auto window = startWithWindow (server);
    ASSERT_FALSE (window.empty());
    ASSERT_TRUE (
        waitUntil ([&] { return cardinalProperty (window, "_NET_FRAME_EXTENTS").size() == 4; }, 10s));
    EXPECT_TRUE (waitUntil ([&] { return maximumSizeHint (window) == whole; }, 5s))
        << maximumSizeHint (window).first << " x " << maximumSizeHint (window).second;

    // Made as large as it may be, the window shows the whole content, and no more.
    xdotool ({"windowsize", "--sync", window, "3000", "3000"});
    EXPECT_TRUE (waitUntil (
        [&]
        {
            const auto g = windowGeometry (window);
            return g.width == whole.first && g.height == whole.second;
        },
        5s))
        << windowGeometry (window).width << " x " << windowGeometry (window).height;
    EXPECT_EQ (app->interrupt().exitCode, 0) << appOutput();
    windowManager->stop();
}

TEST_F (Startup, SecondCopyRunsBesideTheFirst)
{
    JackServer server;
    ASSERT_TRUE (server.started()) << server.logText();
    ASSERT_FALSE (startWithWindow (server).empty());
    TempDir secondOutput{"pellmix-app2"};
    std::unique_ptr<RunningApp> second;
    ASSERT_FALSE (startWithMainWindow (second, layout, server, secondOutput.path(), 0, {}, 1).empty());
    EXPECT_EQ (shownWindowsWithTitle ("Vantrel Melvane").size(), 2u);
    EXPECT_TRUE (
        waitUntil ([&] { return jackPorts (server).find ("JUCEJack-01:") != std::string::npos; }, 10s));

    EXPECT_EQ (second->interrupt().exitCode, 0);
    EXPECT_TRUE (app->process().running());
    EXPECT_TRUE (windowExists ("Vantrel Melvane"));
    EXPECT_NE (jackPorts (server).find ("JUCEJack:"), std::string::npos);
    EXPECT_EQ (app->interrupt().exitCode, 0);
}

TEST_F (Startup, NoOutputDeviceRunsBothDialogsBeforeTheWindow)
{
    // No JACK server of that name and no sound card: nothing can be opened.
    pellmix_test::Environment env{{"JACK_DEFAULT_SERVER", "pellmix-nobody-serves-this"}};
    app = std::make_unique<RunningApp> (layout, env, home.path());

    auto deviceDialog = waitForWindow ("Audio device settings");
    ASSERT_FALSE (deviceDialog.empty()) << appOutput();
    EXPECT_FALSE (windowExists ("Vantrel Melvane"));
    EXPECT_FALSE (windowExists ("Hardware I/O options"));
    EXPECT_FALSE (fs::exists (layout.settingsFile()));

    // The "OK" button sits centred 40 pixels above the content's bottom edge; the dialog's own
    // border is as wide on every side.
    auto g = windowGeometry (deviceDialog);
    const int border = (g.width - 520) / 2;
    xdotool ({"mousemove", "--window", deviceDialog, std::to_string (g.width / 2),
              std::to_string (g.height - border - 40 + 12), "click", "1"});

    auto routingDialog = waitForWindow ("Hardware I/O options");
    ASSERT_FALSE (routingDialog.empty()) << appOutput();
    EXPECT_TRUE (waitForWindowGone ("Audio device settings"));
    EXPECT_FALSE (windowExists ("Vantrel Melvane"));
    EXPECT_FALSE (fs::exists (layout.settingsFile()));

    // Escape closes the dialog once the dialog takes keys, which may be a moment after it shows:
    // it is sent again until the dialog is gone.
    ASSERT_TRUE (waitUntil (
        [&]
        {
            xdotool ({"key", "--window", routingDialog, "Escape"});
            return waitForWindowGone ("Hardware I/O options", 1s);
        },
        20s))
        << appOutput();
    ASSERT_FALSE (waitForWindow ("Vantrel Melvane").empty()) << appOutput();
    EXPECT_TRUE (fs::exists (layout.settingsFile())) << "written when the routing dialog closed";

    auto lines = linesAfterWelcome (pellmix_test::readTextFile (layout.logFile()));
    ASSERT_GE (lines.size(), 3u);
    EXPECT_EQ (lines[0], hyphens);
    EXPECT_EQ (lines[1].rfind ("Current audio device type: ", 0), 0u) << lines[1];
    EXPECT_EQ (lines[2], "No audio device open");

    EXPECT_EQ (app->interrupt().exitCode, 0);
}

// A quit (here SIGINT) while a first-run dialog is open ends the program cleanly: no main window,
// nothing saved, exit status 0.
TEST_F (Startup, InterruptDuringAFirstRunDialogEndsCleanly)
{
    pellmix_test::Environment env{{"JACK_DEFAULT_SERVER", "pellmix-nobody-serves-this"}};
    for (const bool inRoutingDialog : {false, true})
    {
        SCOPED_TRACE (inRoutingDialog ? "Hardware I/O options" : "Audio device settings");
        fs::remove_all (layout.makerFolder());
        app = std::make_unique<RunningApp> (layout, env, home.path());
        auto deviceDialog = waitForWindow ("Audio device settings");
        ASSERT_FALSE (deviceDialog.empty()) << appOutput();
        if (inRoutingDialog)
        {
            auto g = windowGeometry (deviceDialog);
            const int border = (g.width - 520) / 2;
            xdotool ({"mousemove", "--window", deviceDialog, std::to_string (g.width / 2),
                      std::to_string (g.height - border - 40 + 12), "click", "1"});
            ASSERT_FALSE (waitForWindow ("Hardware I/O options").empty()) << appOutput();
        }

        auto result = app->interrupt();
        EXPECT_FALSE (result.timedOut);
        EXPECT_EQ (result.exitCode, 0) << appOutput();
        EXPECT_FALSE (windowExists ("Vantrel Melvane"));
        EXPECT_FALSE (fs::exists (layout.settingsFile())) << "the sequence was not finished";
        app.reset();
    }
}

// A saved device state is read before the device opens; the log shows how it went. One that
// cannot be read whole is kept aside (its log line comes first) and the user is told in a box.
struct SavedStateCase
{
    const char* name;
    const char* stateText;
    std::vector<std::string> linesBeforeReport;
    bool damaged = false;
};

void PrintTo (const SavedStateCase& c, std::ostream* os)
{
    *os << c.name;
}

class SavedDeviceState : public Startup, public ::testing::WithParamInterface<SavedStateCase>
{
};

TEST_P (SavedDeviceState, LogHoldsTheRetryBlocksThenTheReport)
{
    JackServer server;
    ASSERT_TRUE (server.started()) << server.logText();
    const auto& c = GetParam();
    const auto state = layout.deviceStateFile();
    // Laid out again before each start: a start whose device did not open may have kept it aside.
    const auto prepare = [&]
    {
        fs::remove (state + ".damaged");
        writeFile (state, c.stateText);
    };
    ASSERT_FALSE (startWithMainWindow (app, layout, server, home.path(), 0, prepare).empty());

    std::vector<std::string> expected;
    if (c.damaged)
        expected.push_back (
            "The audio device state could not be read (it is not a well-formed XML document): " + state +
            "; kept as " + state + ".damaged");
    for (auto& line : c.linesBeforeReport)
        expected.push_back (line);
    for (auto& line : jackDummyReport())
        expected.push_back (line);
    const auto log = pellmix_test::readTextFile (layout.logFile());
    EXPECT_EQ (linesAfterWelcome (log), expected) << log;
    EXPECT_EQ (pellmix_test::readTextFile (c.damaged ? state + ".damaged" : state), c.stateText);
    EXPECT_EQ (!waitForWindow ("Stored files", c.damaged ? 10s : 0s).empty(), c.damaged);
    EXPECT_EQ (app->interrupt().exitCode, 0);
}

const SavedStateCase savedStateCases[] = {
    {"MissingDevice",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<DEVICESETUP deviceType=\"JACK\" audioOutputDeviceName=\"Nowhere\" audioInputDeviceName=\"Nowhere\""
     " audioDeviceRate=\"44100.0\" audioDeviceBufferSize=\"512\"/>\n",
     {hyphens, "No such device: Nowhere",
      "Retrying - if the device specified fails to open, then a default device will be used instead", hyphens,
      hyphens, "No such device: Nowhere", "The default device will be used instead", hyphens}},
    // Names a missing device too: were it read, the retry blocks would show.
    {"UnmatchedTags",
     "<?xml version=\"1.0\"?>\n<DEVICESETUP deviceType=\"JACK\" "
     "audioOutputDeviceName=\"Nowhere\"><x></DEVICESETUP>\n",
     {},
     true},
    {"NotXml", "Nowhere, JACK, 44100\n", {}, true},
    {"EmptyFile", "", {}, true},
    {"OtherRootElement", "<?xml version=\"1.0\"?>\n<Vantrel><Melvane Version=\"2\"/></Vantrel>\n", {}},
    // Cut inside the element: the framework's parser gives the element with the attributes before
    // the cut; such a file is not read at all.
    {"CutInsideTheElement", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DEVICESETUP", {}, true},
    {"CutAfterTheType",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DEVICESETUP deviceType=\"JACK\"",
     {},
     true},
    // States that name no device type or no device count as no state: the default device opens,
    // without a retry.
    {"NamesNoDevice",
     "<?xml version=\"1.0\"?>\n<DEVICESETUP deviceType=\"JACK\" audioOutputDeviceName=\"\"/>\n",
     {}},
    {"NamesNoType", "<?xml version=\"1.0\"?>\n<DEVICESETUP audioOutputDeviceName=\"Nowhere\"/>\n", {}},
    {"RunningDevice",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<DEVICESETUP deviceType=\"JACK\" audioOutputDeviceName=\"system\" audioInputDeviceName=\"system\""
     " audioDeviceRate=\"44100.0\" audioDeviceBufferSize=\"512\"/>\n",
     {}},
};

INSTANTIATE_TEST_SUITE_P (Startup, SavedDeviceState, ::testing::ValuesIn (savedStateCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });
