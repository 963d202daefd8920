#pragma once
// Test fixtures that own outside resources: a temporary folder (also used as HOME), a JACK
// server with the dummy backend under its own name, and an X virtual display. Each is started
// in its constructor and stopped by pid in its destructor.
#include "JackPorts.h"
#include "Process.h"

#include <functional>
#include <memory>
#include <string>

namespace pellmix_test
{
// A fresh folder below /tmp, removed with everything in it at destruction.
class TempDir
{
public:
    explicit TempDir (const std::string& prefix = "pellmix");
    ~TempDir();
    const std::string& path() const { return dirPath; }
    std::string child (const std::string& name) const { return dirPath + "/" + name; }
    // Lets user 65534 enter and write the folder (tests run as root).
    void openToEveryone() const;

private:
    std::string dirPath;
};

// Sets an environment variable for the scope; restores the old value after.
class ScopedEnv
{
public:
    ScopedEnv (std::string name, const std::string& value);
    ~ScopedEnv();

private:
    std::string varName;
    bool hadValue = false;
    std::string oldValue;
};

struct JackOptions
{
    int sampleRate = 44100;
    int period = 512;
    int capturePorts = 2;
    int playbackPorts = 4;
    // jackd --sync: every cycle ends only when all clients have finished it, so a client that
    // reads another's output never sees a half-written buffer.
    bool synchronous = false;
    // Real-time scheduling for the server and its clients' process threads: for measurements, and
    // for the few tests whose outside clients must keep pace on a busy machine (jconvolver works
    // its longer partitions in threads of its own, which busy processes would otherwise hold up).
    bool realtime = false;
};

// JACK keeps one table of running servers for the whole machine (eight entries, every user's
// servers together). Test processes share jackServerSlots slots of it, taken with flock on files
// in /tmp, so that the tests of every checkout together leave room for servers of other programs
// (a running copy of the application, the soak's own servers). CTest's resource spec of the build
// folder (jack-resources.json) holds as many "jack" slots, so one run starts no more test
// processes with a server than there are slots.
constexpr int jackServerSlots = PELLMIX_JACK_SLOTS;

// One slot, waited for (a few minutes at most) and held while it lives.
class JackSlot
{
public:
    JackSlot();
    ~JackSlot();
    JackSlot (const JackSlot&) = delete;
    JackSlot& operator= (const JackSlot&) = delete;
    bool held() const { return fd >= 0; }
    int index() const { return slotIndex; }

private:
    int fd = -1;
    int slotIndex = -1;
};

// Starts a jackd command line (argv may run it as another user) with `env` and its output in
// `logPath`, and waits until `answers` holds, within a minute. A server that cannot register because the
// machine's table is full, or because a server of its name is still shutting down, is started
// again once it has ended; one that does not answer is stopped and started again. Null when no
// start answered; `log` then tells why.
std::unique_ptr<Process> startJackDaemon (const std::vector<std::string>& argv, const Environment& env,
                                          const std::string& logPath, const std::function<bool()>& answers,
                                          std::string& log);

// jackd -n NAME -d dummy on a slot of its own; JACK_DEFAULT_SERVER is set to NAME in this process
// while it lives, so JUCE's JACK device in this process (and children started after it) uses it.
class JackServer
{
public:
    explicit JackServer (JackOptions options = {});
    ~JackServer();
    bool started() const { return ok; }
    const std::string& name() const { return serverName; }
    Environment environment() const { return {{"JACK_DEFAULT_SERVER", serverName}}; }
    // The server's ports and connections, seen by clients of this test's own.
    JackPorts ports() const { return JackPorts (serverName); }
    // jackd's output, and why it did not start when it did not.
    std::string logText() const;

private:
    JackSlot slot;
    std::string serverName, logPath, startLog;
    std::unique_ptr<Process> process;
    std::unique_ptr<ScopedEnv> env;
    bool ok = false;
};

// Xvfb on a free display number (chosen by Xvfb itself); DISPLAY is set while it lives.
class VirtualDisplay
{
public:
    VirtualDisplay (int width = 1600, int height = 1000);
    ~VirtualDisplay();
    bool started() const { return ok; }
    const std::string& display() const { return displayName; }
    Environment environment() const { return {{"DISPLAY", displayName}}; }
    // Saves the root window as a PNG (ImageMagick's import).
    bool screenshot (const std::string& pngPath) const;
    // Saves the root window as `name` (a PNG) in screenshotFolder(), where it is kept for people to
    // look at; returns its path, empty when it could not be saved.
    std::string keepScreenshot (const std::string& name) const;

private:
    std::string displayName;
    pid_t xvfbPid = -1;
    std::unique_ptr<ScopedEnv> env;
    bool ok = false;
};

// The folder in the build tree where the tests keep their screenshots ("screenshots"); made when
// missing.
std::string screenshotFolder();

std::string readTextFile (const std::string& path);
bool fileExists (const std::string& path);
} // namespace pellmix_test
