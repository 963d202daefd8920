// The main window opens whole at every start: twenty starts in a row of the real application, with
// and without an audio device, under openbox and with no window manager. A window manager that
// learns the frame after the window's limits were set used to be handed limits smaller by that
// frame, now and then, and shrank the window to them (scroll bars, the result plots cut off).
#include "AppHarness.h"
#include "BinaryData.h"
#include "ui/PellmixPictures.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <filesystem>

using namespace app_test;

namespace
{
struct StartCase
{
    const char* name;
    bool windowManager;
    bool device;
};

void PrintTo (const StartCase& c, std::ostream* os)
{
    *os << c.name;
}

// The "program specified maximum size" of the window's size hints; (0, 0) when it has none.
std::pair<int, int> maximumSizeHint (const std::string& window)
{
    const auto text = pellmix_test::run ({"xprop", "-id", window, "WM_NORMAL_HINTS"}).output;
    const std::string key = "program specified maximum size: ";
    const auto at = text.find (key);
    int width = 0, height = 0;
    if (at != std::string::npos)
        std::sscanf (text.c_str() + at + key.size(), "%d by %d", &width, &height);
    return {width, height};
}

// True once the window's bottom-left pixel shows the bottom row of the content's background: the
// window has been painted, and at a height that shows the whole content.
bool showsContentBottom (const std::string& window, const std::string& shotPath)
{
    if (pellmix_test::run ({"import", "-window", window, shotPath}, {}, 10s).exitCode != 0)
        return false;
    const auto shot = juce::ImageFileFormat::loadFrom (juce::File (shotPath));
    if (!shot.isValid())
        return false;
    static const auto background = PELLMIX_PICTURE (main_background_png);
    const int x = 5;
    return (shot.getPixelAt (x, shot.getHeight() - 1).getARGB() & 0xffffff) ==
           (background.getPixelAt (x, background.getHeight() - 1).getARGB() & 0xffffff);
}

class WindowStartSize : public ::testing::TestWithParam<StartCase>
{
protected:
    void SetUp() override { ASSERT_TRUE (display.started()); }

    // Starts the application in a fresh HOME and returns its main window's id (empty when none
    // came). Without a device the two first-run dialogs come first; each is closed with Escape,
    // sent again until it goes (a key that comes before the dialog listens is lost).
    std::string start (const pellmix_test::JackServer* server)
    {
        std::filesystem::remove_all (home.child ("home"));
        layout.home = home.child ("home");
        std::filesystem::create_directories (layout.home);
        if (server != nullptr)
            return startWithMainWindow (app, layout, *server, home.path());

        app = std::make_unique<RunningApp> (
            layout, pellmix_test::Environment{{"JACK_DEFAULT_SERVER", "pellmix-nobody-serves-this"}},
            home.path());
        for (const char* dialog : {"Audio device settings", "Hardware I/O options"})
        {
            const auto id = waitForWindow (dialog);
            if (id.empty())
                return {};
            waitUntil (
                [&]
                {
                    xdotool ({"key", "--window", id, "Escape"});
                    return waitForWindowGone (dialog, 500ms);
                },
                10s);
        }
        return waitForWindow ("Vantrel Melvane");
    }

    pellmix_test::VirtualDisplay display;
    pellmix_test::TempDir home{"pellmix-start-size"};
    HomeLayout layout;
    std::unique_ptr<RunningApp> app;
};
} // namespace

TEST_P (WindowStartSize, TwentyStartsInARowOpenWhole)
{
    std::unique_ptr<pellmix_test::Process> windowManager;
    if (GetParam().windowManager)
    {
        windowManager = startWindowManager (home.path(), home.child ("openbox.txt"));
        ASSERT_NE (windowManager, nullptr);
    }
    std::unique_ptr<pellmix_test::JackServer> jack;
    if (GetParam().device)
    {
        jack = std::make_unique<pellmix_test::JackServer>();
        ASSERT_TRUE (jack->started()) << jack->logText();
    }

    const auto shot = home.child ("window.png");
    for (int run = 1; run <= 20; ++run)
    {
        SCOPED_TRACE ("start " + std::to_string (run));
        const auto window = start (jack.get());
        ASSERT_FALSE (window.empty()) << pellmix_test::readTextFile (home.child ("app-output.txt"));
        if (GetParam().windowManager)
        {
            ASSERT_TRUE (
                waitUntil ([&] { return cardinalProperty (window, "_NET_FRAME_EXTENTS").size() == 4; }, 10s))
                << "the window manager framed the window";
        }

        // Whole: as large as its limits allow, which hold the content and the menu bar, and painted
        // so; then still so.
        const auto whole = [&]
        {
            const auto g = windowGeometry (window);
            const auto hint = maximumSizeHint (window);
            return g.width == 1289 && g.height > 818 && hint == std::make_pair (g.width, g.height);
        };
        EXPECT_TRUE (waitUntil ([&] { return whole() && showsContentBottom (window, shot); }, 10s))
            << windowGeometry (window).width << " x " << windowGeometry (window).height << ", limits "
            << maximumSizeHint (window).first << " x " << maximumSizeHint (window).second;
        EXPECT_TRUE (whole()) << windowGeometry (window).width << " x " << windowGeometry (window).height;

        EXPECT_EQ (app->interrupt().exitCode, 0);
        app.reset();
        if (HasFailure())
            break;
    }
    if (windowManager != nullptr)
        windowManager->stop();
}

const StartCase startCases[] = {
    {"OpenboxWithDevice", true, true},
    {"OpenboxWithoutDevice", true, false},
    {"NoWindowManagerWithDevice", false, true},
    {"NoWindowManagerWithoutDevice", false, false},
};

INSTANTIATE_TEST_SUITE_P (Start, WindowStartSize, ::testing::ValuesIn (startCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });
