#include "Fixtures.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

namespace
{
// JACK allows only a few servers per user at once; test processes share four slots, taken with
// flock on slot files, so parallel test runs wait for a slot instead of failing.
int acquireJackSlot (int& slotIndex)
{
    const char* dir = "/tmp/pellmix-jack-slots";
    mkdir (dir, 0777);
    for (int attempt = 0; attempt < 3000; ++attempt)
    {
        for (int slot = 0; slot < 4; ++slot)
        {
            auto path = std::string (dir) + "/slot-" + std::to_string (slot) + ".lock";
            int fd = open (path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0)
                continue;
            if (flock (fd, LOCK_EX | LOCK_NB) == 0)
            {
                slotIndex = slot;
                return fd;
            }
            close (fd);
        }
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
    return -1;
}
} // namespace

JackServer::JackServer (JackOptions o)
    : slotFd (acquireJackSlot (slotIndex))
{
    // The server's name belongs to its slot: JACK keeps a small per-user table of server names
    // and reclaims an entry of a server that died only when the same name registers again.
    serverName = "pellmix-slot-" + std::to_string (slotIndex);
    logPath = "/tmp/" + serverName + ".jackd.log";
    std::vector<std::string> argv{"jackd", o.realtime ? "--realtime" : "--no-realtime", "-n", serverName};
    if (o.synchronous)
        argv.push_back ("--sync");
    argv.insert (argv.end(),
                 {"-d", "dummy", "-r", std::to_string (o.sampleRate), "-p", std::to_string (o.period), "-C",
                  std::to_string (o.capturePorts), "-P", std::to_string (o.playbackPorts)});
    // JACK clients of one name on the servers of other tests (jack_wait's own among them) can
    // collide while they register, so a server that does not answer is started again.
    for (int attempt = 0; attempt < 3 && !ok; ++attempt)
    {
        if (process)
            process->stop (std::chrono::milliseconds (5000));
        process = std::make_unique<Process> (argv, Environment{}, logPath);
        auto r =
            run ({"jack_wait", "-s", serverName, "-w", "-t", "10"}, {}, std::chrono::milliseconds (15000));
        ok = r.exitCode == 0 && process->running();
    }
    if (ok)
        env = std::make_unique<ScopedEnv> ("JACK_DEFAULT_SERVER", serverName);
}

JackServer::~JackServer()
{
    env.reset();
    if (process)
        process->stop (std::chrono::milliseconds (5000));
    std::error_code ec;
    fs::remove (logPath, ec);
    if (slotFd >= 0)
        close (slotFd);
}

ProcessResult JackServer::tool (std::vector<std::string> argv) const
{
    return run (std::move (argv), environment(), std::chrono::milliseconds (15000));
}

std::string JackServer::logText() const
{
    return readTextFile (logPath);
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
