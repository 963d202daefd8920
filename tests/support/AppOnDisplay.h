#pragma once
// A test of the application binary seen from outside: a virtual display, a dummy JACK server and a
// fresh HOME, all checked started before the test body runs. startApp runs the binary with them.
#include "Fixtures.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace pellmix_test
{
class AppOnDisplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (display.started());
        ASSERT_TRUE (jack.started()) << jack.logText();
    }

    // Runs `binary` on the display with the server and HOME; its output goes to appOutput().
    Process& startApp (const std::string& binary)
    {
        auto env = display.environment();
        env.merge (jack.environment());
        env["HOME"] = home.path();
        appProcess =
            std::make_unique<Process> (std::vector<std::string>{binary}, env, home.child ("app-output.txt"));
        return *appProcess;
    }

    std::string appOutput() const { return readTextFile (home.child ("app-output.txt")); }

    VirtualDisplay display;
    JackServer jack;
    TempDir home;
    std::unique_ptr<Process> appProcess; // stopped before the server and the display go
};
} // namespace pellmix_test
