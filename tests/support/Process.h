#pragma once
// Child processes for tests: started with fork/exec, stopped by pid. Plain POSIX, no JUCE, so
// every test area can use it.
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pellmix_test
{
struct ProcessResult
{
    int exitCode = -1; // exit status, or -1 when killed by a signal or not finished
    int signal = 0;    // the signal that ended it, 0 when it exited
    bool timedOut = false;
    std::string output; // stdout and stderr together
};

// Extra environment for a child: name -> value; an empty optional removes the variable.
using Environment = std::map<std::string, std::optional<std::string>>;

class Process
{
public:
    // Starts argv[0] (searched in PATH) with the current environment plus `env`.
    // Output goes to `outputFile` when given, else it is captured in memory by wait().
    Process (std::vector<std::string> argv, Environment env = {}, std::string outputFile = {});
    ~Process(); // kills (SIGKILL) and reaps a child that still runs

    Process (const Process&) = delete;
    Process& operator= (const Process&) = delete;

    pid_t pid() const { return childPid; }
    bool running();
    void signal (int sig);
    // Waits for the end; on time-out the child is left running and timedOut is set.
    ProcessResult wait (std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL after `grace`; returns the result.
    ProcessResult stop (std::chrono::milliseconds grace = std::chrono::milliseconds (3000));

private:
    void drain();
    pid_t childPid = -1;
    int outputFd = -1;
    std::string captured;
    std::optional<ProcessResult> finished;
};

// Runs a command to its end and returns its result.
ProcessResult run (std::vector<std::string> argv, Environment env = {},
                   std::chrono::milliseconds timeout = std::chrono::milliseconds (60000));

// Runs a Python script of tests/scripts with Debian's interpreter (numpy, scipy); the test
// fails when the script fails. Returns its standard output.
std::string runPythonScript (const std::string& script, const std::vector<std::string>& args);

// A command prefix that runs the rest of argv as user and group 65534 (nobody); JUCE treats
// root as able to write anywhere, so write-access failures are shown as this user.
std::vector<std::string> asUnprivilegedUser (std::vector<std::string> argv);
} // namespace pellmix_test
