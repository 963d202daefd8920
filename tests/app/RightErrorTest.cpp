// A product folder the user cannot write: the "Right error" box, no window, no log, a clean
// exit. Run as user 65534, since root may write everywhere.
#include "AppHarness.h"
#include "ModalCloser.h"
#include "app/VantrelMelvaneApplication.h"
#include "ui/PellmixLookAndFeel.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace app_test;

namespace
{
const char* const childSwitch = "PELLMIX_RIGHT_ERROR_CHILD";

// A HOME that user 65534 may write, except the product folder, which root owns read-only.
void prepareHome (const pellmix_test::TempDir& home, const HomeLayout& layout)
{
    home.openToEveryone();
    fs::create_directories (layout.productFolder());
    for (auto path :
         {home.path() + "/.config", home.path() + "/.config/Application Support", layout.makerFolder()})
        chmod (path.c_str(), 0777);
    chmod (layout.productFolder().c_str(), 0755);
}

class RightError : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (display.started());
        ASSERT_TRUE (jack.started());
        layout.home = home.path();
        prepareHome (home, layout);
    }

    pellmix_test::VirtualDisplay display;
    UnprivilegedJackServer jack;
    pellmix_test::TempDir home{"pellmix-ro"};
    HomeLayout layout;
};

// Records what the application's message boxes say (a box tells its title, ". " and its text)
// and with which look-and-feel they were drawn.
struct BoxRecord
{
    juce::StringArray titles, messages;
    std::vector<juce::MessageBoxIconType> icons;
    std::vector<juce::LookAndFeel*> looks;

    void record (juce::Component& modal)
    {
        auto* box = dynamic_cast<juce::AlertWindow*> (&modal);
        if (box == nullptr)
            return;
        titles.add (box->getName());
        messages.add (box->getDescription().fromFirstOccurrenceOf (box->getName() + ". ", false, false));
        icons.push_back (box->getAlertType());
        looks.push_back (&box->getLookAndFeel());
    }
};
} // namespace

TEST_F (RightError, BoxInsteadOfWindowThenCleanExit)
{
    RunningApp app (layout, jack.environment(), home.path(), true);

    auto box = waitForWindow ("Right error");
    ASSERT_FALSE (box.empty()) << pellmix_test::readTextFile (home.child ("app-output.txt"));
    EXPECT_FALSE (windowExists ("Vantrel Melvane"));
    EXPECT_FALSE (fs::exists (layout.logFile()));
    EXPECT_TRUE (fs::is_directory (layout.makerFolder() + "/Temp")) << "the other folders are still made";

    xdotool ({"key", "--window", box, "Return"});
    auto result = app.process().wait (15s);
    EXPECT_FALSE (result.timedOut);
    EXPECT_EQ (result.exitCode, 0);
    EXPECT_FALSE (windowExists ("Vantrel Melvane"));
    EXPECT_FALSE (fs::exists (layout.logFile()));
}

// The box's text cannot be read from outside, so this runs the application object in a child
// of this test binary, as user 65534.
TEST_F (RightError, BoxNamesTheProductFolderAndShutdownClosesTheDevice)
{
    char self[4096] = {};
    ASSERT_GT (readlink ("/proc/self/exe", self, sizeof (self) - 1), 0);
    auto env = jack.environment();
    env["HOME"] = layout.home;
    env[childSwitch] = "1";
    auto result = pellmix_test::run (
        pellmix_test::asUnprivilegedUser ({self, "--gtest_filter=RightErrorChild.*"}), env, 60s);
    EXPECT_EQ (result.exitCode, 0) << result.output;
    EXPECT_NE (result.output.find ("[  PASSED  ] 1 test"), std::string::npos) << result.output;
}

TEST (RightErrorChild, RunsTheApplicationObject)
{
    if (getenv (childSwitch) == nullptr)
        GTEST_SKIP() << "runs as the child of RightError.BoxNamesTheProductFolderAndShutdownClosesTheDevice";

    BoxRecord boxes;
    {
        ModalCloser closer ([&boxes] (juce::Component& modal) { boxes.record (modal); });
        VantrelMelvaneApplication application;
        application.initialise ({});

        const auto productFolder =
            juce::String (getenv ("HOME")) + "/.config/Application Support/Harnwick/Vantrel Melvane";
        EXPECT_EQ (boxes.titles, juce::StringArray ("Right error"));
        EXPECT_EQ (boxes.messages,
                   juce::StringArray ("The software do not have write access on " + productFolder));
        EXPECT_EQ (boxes.icons, std::vector<juce::MessageBoxIconType>{juce::MessageBoxIconType::WarningIcon});
        EXPECT_EQ (boxes.looks, std::vector<juce::LookAndFeel*>{PellmixAlertLookAndFeel::getInstance()})
            << "drawn in the window's look";
        EXPECT_EQ (juce::TopLevelWindow::getNumTopLevelWindows(), 0);
        EXPECT_FALSE (juce::File (productFolder + "/VantrelMelvane.log").exists());

        // The device stays open until shut-down, which closes it while the framework still runs.
        auto portsOfThisUser = [] { return pellmix_test::run ({"jack_lsp"}, {}, 15s).output; };
        EXPECT_NE (portsOfThisUser().find ("JUCEJack:"), std::string::npos);
        application.shutdown();
        EXPECT_EQ (portsOfThisUser().find ("JUCEJack"), std::string::npos);
    }
}
