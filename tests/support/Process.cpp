#include "Process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pellmix_test
{
namespace
{
ProcessResult resultFromStatus (int status)
{
    ProcessResult r;
    if (WIFEXITED (status))
        r.exitCode = WEXITSTATUS (status);
    else if (WIFSIGNALED (status))
        r.signal = WTERMSIG (status);
    return r;
}
} // namespace

Process::Process (std::vector<std::string> argv, Environment env, std::string outputFile)
{
    int pipeFds[2] = {-1, -1};
    if (outputFile.empty() && pipe2 (pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error ("pipe failed");

    childPid = fork();
    if (childPid == 0)
    {
        int out = -1;
        if (outputFile.empty())
            out = pipeFds[1];
        else
            out = open (outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0)
        {
            dup2 (out, STDOUT_FILENO);
            dup2 (out, STDERR_FILENO);
        }
        int devNull = open ("/dev/null", O_RDONLY);
        if (devNull >= 0)
            dup2 (devNull, STDIN_FILENO);
        setpgid (0, 0);
        prctl (PR_SET_PDEATHSIG, SIGTERM); // never outlive a test process that crashed (a JACK server
                                           // unregisters itself on SIGTERM)
        for (auto& [name, value] : env)
        {
            if (value)
                setenv (name.c_str(), value->c_str(), 1);
            else
                unsetenv (name.c_str());
        }
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back (a.data());
        args.push_back (nullptr);
        execvp (args[0], args.data());
        _exit (127);
    }
    if (childPid < 0)
        throw std::runtime_error ("fork failed");
    if (outputFile.empty())
    {
        close (pipeFds[1]);
        outputFd = pipeFds[0];
        fcntl (outputFd, F_SETFL, O_NONBLOCK);
    }
}

Process::~Process()
{
    if (!finished && childPid > 0)
    {
        kill (-childPid, SIGKILL);
        kill (childPid, SIGKILL);
        waitpid (childPid, nullptr, 0);
    }
    if (outputFd >= 0)
        close (outputFd);
}

void Process::drain()
{
    if (outputFd < 0)
        return;
    char buffer[4096];
    for (;;)
    {
        auto n = read (outputFd, buffer, sizeof (buffer));
        if (n <= 0)
            break;
        captured.append (buffer, static_cast<size_t> (n));
    }
}

bool Process::running()
{
    if (finished)
        return false;
    int status = 0;
    auto r = waitpid (childPid, &status, WNOHANG);
    if (r == childPid)
    {
        drain();
        finished = resultFromStatus (status);
        finished->output = captured;
        return false;
    }
    return true;
}

void Process::signal (int sig)
{
    if (!finished && childPid > 0)
        kill (childPid, sig);
}

ProcessResult Process::wait (std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running())
    {
        drain();
        if (std::chrono::steady_clock::now() > deadline)
        {
            ProcessResult r;
            r.timedOut = true;
            r.output = captured;
            return r;
        }
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }
    return *finished;
}

ProcessResult Process::stop (std::chrono::milliseconds grace)
{
    signal (SIGTERM);
    auto r = wait (grace);
    if (r.timedOut)
    {
        signal (SIGKILL);
        r = wait (std::chrono::milliseconds (5000));
    }
    return r;
}

ProcessResult run (std::vector<std::string> argv, Environment env, std::chrono::milliseconds timeout)
{
    Process p (std::move (argv), std::move (env));
    auto r = p.wait (timeout);
    if (r.timedOut)
    {
        auto out = r.output;
        r = p.stop();
        r.timedOut = true;
        r.output = out + r.output;
    }
    return r;
}

std::string runPythonScript (const std::string& script, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{PELLMIX_PYTHON, std::string (PELLMIX_TEST_SCRIPTS) + "/" + script};
    argv.insert (argv.end(), args.begin(), args.end());
    Process p (argv);
    auto r = p.wait (std::chrono::milliseconds (300000));
    EXPECT_EQ (r.exitCode, 0) << "python " << script << " failed:\n" << r.output;
    return r.output;
}

std::vector<std::string> asUnprivilegedUser (std::vector<std::string> argv)
{
    std::vector<std::string> prefix{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    prefix.insert (prefix.end(), argv.begin(), argv.end());
    return prefix;
}
} // namespace pellmix_test
