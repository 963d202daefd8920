#include "AppHarness.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <fcntl.h>
#include <iostream>
#include <sys/file.h>
#include <unistd.h>
#include <thread>

namespace app_test
{
RunningApp::RunningApp (const HomeLayout& layout, pellmix_test::Environment env, const std::string& outputDir,
                        bool unprivileged, long long addressSpaceLimit)
{
    env["HOME"] = layout.home;
    std::vector<std::string> argv{PELLMIX_APP_PATH};
    if (addressSpaceLimit > 0)
        argv.insert (argv.begin(), {"prlimit", "--as=" + std::to_string (addressSpaceLimit), "--"});
    if (unprivileged)
        argv = pellmix_test::asUnprivilegedUser (argv);
    child = std::make_unique<pellmix_test::Process> (argv, env, outputDir + "/app-output.txt");
}

pellmix_test::ProcessResult RunningApp::interrupt()
{
    child->signal (SIGINT);
    auto result = child->wait (15s);
    if (result.timedOut)
        result = child->stop();
    return result;
}

std::string startWithMainWindow (std::unique_ptr<RunningApp>& app, const HomeLayout& layout,
                                 const pellmix_test::JackServer& server, const std::string& outputDir,
                                 long long addressSpaceLimit, const std::function<void()>& prepare,
                                 int otherCopies)
{
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        if (prepare)
            prepare();
        app =
            std::make_unique<RunningApp> (layout, server.environment(), outputDir, false, addressSpaceLimit);
        std::string window;
        bool noDevice = false;
        waitUntil (
            [&]
            {
                const auto windows = shownWindowsWithTitle ("Vantrel Melvane");
                window = (int)windows.size() > otherCopies ? windows.back() : std::string();
                noDevice = windowExists ("Audio device settings");
                return !window.empty() || noDevice;
            },
            30s);
        if (!noDevice)
        {
            EXPECT_FALSE (window.empty())
                << pellmix_test::readTextFile (outputDir + "/app-output.txt") << "\njackd:\n"
                << server.logText();
            return window;
        }
        std::cerr << "The device did not open; starting again.\n" << server.logText() << "\n";
        app.reset();
        if (otherCopies == 0)
            std::filesystem::remove (layout.logFile());
    }
    ADD_FAILURE() << "the device did not open in three starts";
    return {};
}

namespace
{
int takeLock (const char* path)
{
    int fd = open (path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0)
        flock (fd, LOCK_EX);
    return fd;
}
} // namespace

// One fixed name: JACK reclaims the table entry of a server that died without unregistering only
// when a server of the same name and user registers again. The lock comes before the slot, so a
// test holding a slot never waits for the lock.
UnprivilegedJackServer::UnprivilegedJackServer()
    : lockFd (takeLock ("/tmp/pellmix-nobody-jack.lock"))
    , serverName ("pellmix-nobody")
    , logPath ("/tmp/pellmix-nobody.jackd.log")
{
    if (!slot.held())
    {
        startLog = "no JACK server slot became free";
        return;
    }
    process = pellmix_test::startJackDaemon (
        pellmix_test::asUnprivilegedUser ({"jackd", "--no-realtime", "-n", serverName, "-d", "dummy", "-r",
                                           "44100", "-p", "512", "-C", "2", "-P", "4"}),
        {{"HOME", "/tmp"}}, logPath, [this] { return !ports().empty(); }, startLog);
    ok = process != nullptr;
}

UnprivilegedJackServer::~UnprivilegedJackServer()
{
    if (process)
        process->stop (5s);
    std::error_code ec;
    std::filesystem::remove (logPath, ec);
    if (lockFd >= 0)
        close (lockFd);
}

std::string UnprivilegedJackServer::ports() const
{
    const auto result = pellmix_test::run (pellmix_test::asUnprivilegedUser ({"jack_lsp", "-s", serverName}),
                                           {{"HOME", "/tmp"}}, 15s);
    return result.exitCode == 0 ? result.output : std::string();
}

std::string UnprivilegedJackServer::logText() const
{
    return startLog + pellmix_test::readTextFile (logPath);
}

bool xdotool (std::vector<std::string> args)
{
    args.insert (args.begin(), "xdotool");
    return pellmix_test::run (args, {}, 10s).exitCode == 0;
}

namespace
{
std::string firstWindowWithTitle (const std::string& title, bool onlyVisible)
{
    std::vector<std::string> argv{"xdotool", "search", "--name", "^" + title + "$"};
    if (onlyVisible)
        argv.insert (argv.begin() + 2, "--onlyvisible");
    auto result = pellmix_test::run (argv, {}, 10s);
    std::istringstream lines (result.output);
    std::string id;
    std::getline (lines, id);
    return result.exitCode == 0 ? id : std::string();
}
} // namespace

std::vector<std::string> shownWindowsWithTitle (const std::string& title)
{
    auto result =
        pellmix_test::run ({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}, {}, 10s);
    std::vector<std::string> ids;
    std::istringstream lines (result.output);
    for (std::string id; std::getline (lines, id);)
        if (!id.empty())
            ids.push_back (id);
    return ids;
}

std::string waitForWindow (const std::string& title, std::chrono::milliseconds timeout)
{
    std::string id;
    waitUntil ([&] { return !(id = firstWindowWithTitle (title, true)).empty(); }, timeout);
    return id;
}

int visibleAppWindows()
{
    const auto result =
        pellmix_test::run ({"xdotool", "search", "--onlyvisible", "--class", "^Vantrel Melvane$"}, {}, 10s);
    return (int)std::count (result.output.begin(), result.output.end(), '\n');
}

bool windowExists (const std::string& title)
{
    return !firstWindowWithTitle (title, false).empty();
}

bool waitForWindowGone (const std::string& title, std::chrono::milliseconds timeout)
{
    return waitUntil ([&] { return !windowExists (title); }, timeout);
}

Geometry windowGeometry (const std::string& windowId)
{
    auto result = pellmix_test::run ({"xdotool", "getwindowgeometry", "--shell", windowId}, {}, 10s);
    Geometry g;
    std::istringstream lines (result.output);
    for (std::string line; std::getline (lines, line);)
    {
        auto eq = line.find ('=');
        if (eq == std::string::npos)
            continue;
        auto key = line.substr (0, eq);
        auto value = std::atoi (line.c_str() + eq + 1);
        if (key == "X")
            g.x = value;
        else if (key == "Y")
            g.y = value;
        else if (key == "WIDTH")
            g.width = value;
        else if (key == "HEIGHT")
            g.height = value;
    }
    return g;
}

std::vector<int> cardinalProperty (const std::string& windowId, const std::string& property)
{
    // xprop prints "NAME(CARDINAL) = 1, 1, 20, 5".
    auto result = pellmix_test::run ({"xprop", "-id", windowId, property}, {}, 10s);
    std::vector<int> numbers;
    auto eq = result.output.find (" = ");
    if (result.exitCode != 0 || eq == std::string::npos)
        return numbers;
    std::istringstream values (result.output.substr (eq + 3));
    for (std::string item; std::getline (values, item, ',');)
        numbers.push_back (std::atoi (item.c_str()));
    return numbers;
}

std::vector<std::string> linesAfterWelcome (const std::string& logText)
{
    std::vector<std::string> lines;
    std::istringstream in (logText);
    for (std::string line; std::getline (in, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back (line);
    }

    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].rfind ("Log started: ", 0) == 0 && lines[i + 1].empty())
            return {lines.begin() + (long)i + 2, lines.end()};
    return {};
}

std::vector<std::string> jackDummyReport()
{
    return {"--------------------------------------",
            "Current audio device type: JACK",
            "Current audio device: \"system\"",
            "Sample rate: 44100 Hz",
            "Block size: 512 samples",
            "Bit depth: 32",
            "Input channel names: capture_1, capture_2",
            "Active input channels: 0, 1",
            "Output channel names: playback_1, playback_2, playback_3, playback_4",
            "Active output channels: 0, 1, 2, 3"};
}

std::unique_ptr<pellmix_test::Process> startWindowManager (const std::string& home,
                                                           const std::string& logPath)
{
    auto windowManager = std::make_unique<pellmix_test::Process> (
        std::vector<std::string>{"openbox"}, pellmix_test::Environment{{"HOME", home}}, logPath);
    const bool running = waitUntil (
        []
        {
            return pellmix_test::run ({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"})
                       .output.find ("window id") != std::string::npos;
        },
        30s);
    if (running)
        return windowManager;
    ADD_FAILURE() << "openbox did not take the screen:\n" << pellmix_test::readTextFile (logPath);
    return nullptr;
}

} // namespace app_test
