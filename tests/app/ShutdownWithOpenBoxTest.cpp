// Quitting while an asynchronous message box is still open ends the program cleanly: the box goes
// with the application's shut-down, not later in the framework's, where its window outlived the
// timer thread and the program crashed on its way out. The application object runs in a child of
// this test binary, so that the framework's own shut-down at the child's exit is part of the test.
#include "AppHarness.h"
#include "app/VantrelMelvaneApplication.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace app_test;

namespace
{
const char* const childSwitch = "PELLMIX_OPEN_BOX_CHILD";
}

TEST (ShutdownWithOpenBox, ProgramEndsCleanly)
{
    pellmix_test::VirtualDisplay display;
    ASSERT_TRUE (display.started());
    auto jack = std::make_unique<pellmix_test::JackServer>();
    ASSERT_TRUE (jack->started()) << jack->logText();
    pellmix_test::TempDir home{"pellmix-open-box"};

    char self[4096] = {};
    ASSERT_GT (readlink ("/proc/self/exe", self, sizeof (self) - 1), 0);
    auto env = jack->environment();
    env["HOME"] = home.path();
    env[childSwitch] = "1";
    const auto output = home.child ("child-output.txt");
    // JACK names client sockets by client name and user only, so a client of another test's
    // server may take JUCE's at the same moment: the device then does not open, and the child's
    // start runs the first-run device dialog instead, modally. That start is made again (three
    // at most), as the application's other start tests do.
    pellmix_test::ProcessResult result;
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        pellmix_test::Process child ({self, "--gtest_filter=ShutdownWithOpenBoxChild.*"}, env, output);
        bool noDevice = false;
        waitUntil (
            [&]
            {
                noDevice = windowExists ("Audio device settings");
                return noDevice || !child.running();
            },
            60s);
        if (!noDevice)
        {
            result = child.wait (5s);
            break;
        }
        std::cerr << "The device did not open; starting again.\n" << jack->logText() << "\n";
        child.stop();
        std::filesystem::remove_all (home.child (".config"));
    }
    const auto text = pellmix_test::readTextFile (output);
    EXPECT_EQ (result.exitCode, 0) << text;
    EXPECT_NE (text.find ("[  PASSED  ] 1 test"), std::string::npos) << text;
}

TEST (ShutdownWithOpenBoxChild, QuitsWithABoxOpen)
{
    if (getenv (childSwitch) == nullptr)
        GTEST_SKIP() << "runs as the child of ShutdownWithOpenBox.ProgramEndsCleanly";

    VantrelMelvaneApplication application;
    application.initialise ({});
    ASSERT_TRUE (juce::TopLevelWindow::getNumTopLevelWindows() > 0) << "the main window is up";
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "Open project",
                                            "Left open when the program quits.");
    juce::MessageManager::getInstance()->runDispatchLoopUntil (300);
    ASSERT_NE (juce::Component::getCurrentlyModalComponent(), nullptr) << "the box is open";
    application.shutdown();
    EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
}
