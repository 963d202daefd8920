#pragma once
// Helpers for the process-level tests of the application binary: a prepared HOME, the binary
// started as a child, and X windows found and measured from outside with xdotool and xprop.
#include "support/Fixtures.h"
#include "support/WaitUntil.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>
#include <memory>
#include <string>
#include <vector>

namespace app_test
{
using namespace std::chrono_literals;

// Paths below a test HOME, as the application lays them out.
struct HomeLayout
{
    std::string home;
    std::string makerFolder() const { return home + "/.config/Application Support/Harnwick"; }
    std::string productFolder() const { return makerFolder() + "/Vantrel Melvane"; }
    std::string logFile() const { return productFolder() + "/VantrelMelvane.log"; }
    std::string settingsFile() const { return makerFolder() + "/VantrelMelvane.cfg"; }
    std::string deviceStateFile() const { return productFolder() + "/VantrelMelvaneAudio.xml"; }
};

// The application binary as a child process; its output goes to a file in `outputDir`. With an
// address-space limit (bytes, prlimit --as), an allocation past it fails in the application.
class RunningApp
{
public:
    RunningApp (const HomeLayout& layout, pellmix_test::Environment env, const std::string& outputDir,
                bool unprivileged = false, long long addressSpaceLimit = 0);
    pellmix_test::Process& process() { return *child; }
    // SIGINT, then the result (the child is killed after the time-out).
    pellmix_test::ProcessResult interrupt();

private:
    std::unique_ptr<pellmix_test::Process> child;
};

// Starts the application against `server` into `app` and waits for its main window; returns the
// window's id, empty (with a test failure) when none came. JACK names client sockets by client
// name and user only, so a client of another test's server may take JUCE's at the same moment;
// the device then does not open and the first-run dialog comes up instead: that start is made
// again (three starts at most, the log of the failed one removed). `prepare`, when given, runs
// before each start (to lay out again what a start changes). The application's output goes to
// `outputDir`. With `otherCopies` copies already running in the same HOME, the start waits for a
// main window beside theirs, and their log is left as it is.
std::string startWithMainWindow (std::unique_ptr<RunningApp>& app, const HomeLayout& layout,
                                 const pellmix_test::JackServer& server, const std::string& outputDir,
                                 long long addressSpaceLimit = 0, const std::function<void()>& prepare = {},
                                 int otherCopies = 0);

// A dummy JACK server run as user 65534, for the application run as that user (JACK servers
// are per user). One at a time, held by a lock file, so that its clients never meet clients of
// the same name on another server of that user; it takes one of the machine's JACK server slots
// like every test server. JACK_DEFAULT_SERVER is not changed here.
class UnprivilegedJackServer
{
public:
    UnprivilegedJackServer();
    ~UnprivilegedJackServer();
    bool started() const { return ok; }
    pellmix_test::Environment environment() const { return {{"JACK_DEFAULT_SERVER", serverName}}; }
    // jack_lsp's output, run as the same user; empty when it failed.
    std::string ports() const;
    // jackd's output, and why it did not start when it did not.
    std::string logText() const;

private:
    int lockFd = -1;
    pellmix_test::JackSlot slot;
    std::string serverName, logPath, startLog;
    std::unique_ptr<pellmix_test::Process> process;
    bool ok = false;
};

struct Geometry
{
    int x = 0, y = 0, width = 0, height = 0;
};

// The shown windows whose title is exactly `title`, as xdotool lists them.
std::vector<std::string> shownWindowsWithTitle (const std::string& title);
// The first shown window whose title is exactly `title`, waited for up to `timeout`; empty if
// none.
std::string waitForWindow (const std::string& title, std::chrono::milliseconds timeout = 30s);
// How many windows of the application are shown (the main window, its boxes and open menus).
int visibleAppWindows();
// True while some window, shown or not, has exactly this title.
bool windowExists (const std::string& title);

// Starts openbox on the display (its HOME `home`, its output in `logPath`) and waits, 30 s at
// most, until it has taken the screen; null, with a test failure that shows openbox's output,
// when it did not.
std::unique_ptr<pellmix_test::Process> startWindowManager (const std::string& home,
                                                           const std::string& logPath);
// Waits until no window has this title.
bool waitForWindowGone (const std::string& title, std::chrono::milliseconds timeout = 10s);
Geometry windowGeometry (const std::string& windowId);
// Numbers of an X property of cardinals (e.g. _NET_FRAME_EXTENTS), empty when not set.
std::vector<int> cardinalProperty (const std::string& windowId, const std::string& property);
// Runs xdotool with the given arguments; true when it succeeded.
bool xdotool (std::vector<std::string> args);

// The log's lines (line ends removed) after the framework's welcome block, which ends with
// "Log started: ..." and an empty line. Empty when the log has no such block.
std::vector<std::string> linesAfterWelcome (const std::string& logText);

// The device report of the dummy JACK server of the tests (44100 Hz, 512 samples, 2 capture and
// 4 playback ports, all active).
std::vector<std::string> jackDummyReport();

using pellmix_test::waitUntil;
} // namespace app_test
