#include "Fixtures.h"
#include "WaitUntil.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pellmix_test
{
TempDir::TempDir (const std::string& prefix)
{
    std::string templ = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp (templ.data()) == nullptr)
        throw std::runtime_error ("mkdtemp failed");
    dirPath = templ;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all (dirPath, ec);
}

void TempDir::openToEveryone() const
{
    chmod (dirPath.c_str(), 0777);
}

ScopedEnv::ScopedEnv (std::string name, const std::string& value)
    : varName (std::move (name))
{
    if (const char* old = getenv (varName.c_str()))
    {
        hadValue = true;
        oldValue = old;
    }
    setenv (varName.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (hadValue)
        setenv (varName.c_str(), oldValue.c_str(), 1);
    else
        unsetenv (varName.c_str());
}

std::string readTextFile (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool fileExists (const std::string& path)
{
    return fs::exists (path);
}

JackSlot::JackSlot()
{
    const char* dir = "/tmp/pellmix-jack-slots";
    mkdir (dir, 0777);
    chmod (dir, 0777);
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes (5);
    while (std::chrono::steady_clock::now() < end)
    {
        for (int slot = 0; slot < jackServerSlots; ++slot)
        {
            const auto path = std::string (dir) + "/slot-" + std::to_string (slot) + ".lock";
            const int file = open (path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (file < 0)
                continue;
            if (flock (file, LOCK_EX | LOCK_NB) == 0)
            {
                fd = file;
                slotIndex = slot;
                return;
            }
            close (file);
        }
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
}

JackSlot::~JackSlot()
{
    if (fd >= 0)
        close (fd);
}

namespace
{
bool contains (const std::string& text, const char* part)
{
    return text.find (part) != std::string::npos;
}

// Waits until the process answers, while it runs; true when it answered and still runs.
bool answersWhileRunning (Process& process, const std::function<bool()>& answers,
                          std::chrono::milliseconds timeout)
{
    return waitUntil ([&] { return !process.running() || answers(); }, timeout,
                      std::chrono::milliseconds (20)) &&
           process.running();
}
} // namespace

std::unique_ptr<Process> startJackDaemon (const std::vector<std::string>& argv, const Environment& env,
                                          const std::string& logPath, const std::function<bool()>& answers,
                                          std::string& log)
{
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::minutes (1);
    int unanswered = 0, otherEnds = 0;
    bool toldFull = false;
    log.clear();
    while (clock::now() < end)
    {
        auto process = std::make_unique<Process> (argv, env, logPath);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds> (end - clock::now());
        if (answersWhileRunning (*process, answers, std::min (left, std::chrono::milliseconds (15000))))
            return process;
        if (process->running())
        {
            // Running but silent: stopped, and started afresh.
            process->stop (std::chrono::milliseconds (5000));
            log += "jackd did not answer in 15 s:\n" + readTextFile (logPath);
            if (++unanswered == 3)
                break;
            continue;
        }
        const auto text = readTextFile (logPath);
        // The table has no free entry, or the server of this slot that a test which ended left
        // behind is still shutting down: either frees itself, so the start is tried again.
        const bool full = contains (text, "Too many servers already active");
        if (full || contains (text, "server already active"))
        {
            if (!toldFull)
                std::cerr << "The JACK server waits to start: "
                          << (full ? "the server table is full" : "a server of its name is still active")
                          << "\n";
            toldFull = true;
            std::this_thread::sleep_for (std::chrono::milliseconds (200));
            continue;
        }
        log += "jackd ended:\n" + text;
        if (++otherEnds == 3)
            break;
    }
    if (toldFull)
        log +=
            "the JACK server table stayed full, or a server of the same name stayed active, for a minute\n";
    return nullptr;
}

JackServer::JackServer (JackOptions o)
{
    if (!slot.held())
    {
        startLog = "no JACK server slot became free";
        return;
    }
    // The server's name belongs to its slot: JACK reclaims the table entry of a server that died
    // without unregistering only when a server of the same name and user registers again.
    serverName = "pellmix-slot-" + std::to_string (slot.index());
    logPath = "/tmp/" + serverName + ".jackd.log";
    std::vector<std::string> argv{"jackd", o.realtime ? "--realtime" : "--no-realtime"};
    if (o.synchronous)
        argv.push_back ("--sync");
    argv.insert (argv.end(), {"-n", serverName, "-d", "dummy", "-r", std::to_string (o.sampleRate), "-p",
                              std::to_string (o.period), "-C", std::to_string (o.capturePorts), "-P",
                              std::to_string (o.playbackPorts)});
    // Asked by jack_wait in a process of its own: libjack keeps the clients of one process in
    // shared tables, and probes of a server that is still starting stay out of this one's. A probe
    // that met another test's probe of the same client name fails, and is made again.
    const auto answers = [this]
    {
        const auto r = run ({"jack_wait", "-s", serverName, "-c"}, {}, std::chrono::milliseconds (5000));
        return r.exitCode == 0 && contains (r.output, "running") && !contains (r.output, "not running");
    };
    process = startJackDaemon (argv, {}, logPath, answers, startLog);
    ok = process != nullptr;
    if (ok)
        env = std::make_unique<ScopedEnv> ("JACK_DEFAULT_SERVER", serverName);
}

JackServer::~JackServer()
{
    env.reset();
    if (process)
        process->stop (std::chrono::milliseconds (5000));
    std::error_code ec;
    if (!logPath.empty())
        fs::remove (logPath, ec);
}

std::string JackServer::logText() const
{
    return startLog + (logPath.empty() ? std::string() : readTextFile (logPath));
}

VirtualDisplay::VirtualDisplay (int width, int height)
{
    int fds[2];
    if (pipe (fds) != 0)
        return;
    xvfbPid = fork();
    if (xvfbPid == 0)
    {
        close (fds[0]);
        int devNull = open ("/dev/null", O_RDWR);
        dup2 (devNull, STDIN_FILENO);
        dup2 (devNull, STDOUT_FILENO);
        dup2 (devNull, STDERR_FILENO);
        setpgid (0, 0);
        prctl (PR_SET_PDEATHSIG, SIGKILL);
        std::string fd = std::to_string (fds[1]);
        std::string screen = std::to_string (width) + "x" + std::to_string (height) + "x24";
        execlp ("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                (char*)nullptr);
        _exit (127);
    }
    close (fds[1]);
    std::string number;
    char c;
    while (read (fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close (fds[0]);
    ok = !number.empty();
    if (ok)
    {
        displayName = ":" + number;
        env = std::make_unique<ScopedEnv> ("DISPLAY", displayName);
    }
}

VirtualDisplay::~VirtualDisplay()
{
    env.reset();
    if (xvfbPid > 0)
    {
        kill (xvfbPid, SIGTERM);
        waitpid (xvfbPid, nullptr, 0);
    }
}

bool VirtualDisplay::screenshot (const std::string& pngPath) const
{
    return run ({"import", "-window", "root", pngPath}, environment()).exitCode == 0;
}

std::string VirtualDisplay::keepScreenshot (const std::string& name) const
{
    const auto path = screenshotFolder() + "/" + name;
    return screenshot (path) ? path : std::string();
}

std::string screenshotFolder()
{
    const std::string folder (PELLMIX_SCREENSHOT_FOLDER);
    std::filesystem::create_directories (folder);
    return folder;
}
} // namespace pellmix_test
