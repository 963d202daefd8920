#include "platform/DocumentOpener.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

bool openWithDesktop (const juce::File& document)
{
    // The shell only starts the opener (xdg-open) in the background and ends; the path is its
    // argument $1, never read as shell text.
    const char* script =
        "command -v xdg-open >/dev/null 2>&1 || exit 127; xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
    const auto path = document.getFullPathName().toStdString();
    const char* argv[] = {"sh", "-c", script, "pellmix-open", path.c_str(), nullptr};

    // The opener starts with no signal blocked, whatever this thread blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init (&attributes);
    sigset_t none;
    sigemptyset (&none);
    posix_spawnattr_setsigmask (&attributes, &none);
    posix_spawnattr_setflags (&attributes, POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int failed =
        posix_spawn (&pid, "/bin/sh", nullptr, &attributes, const_cast<char* const*> (argv), environ);
    posix_spawnattr_destroy (&attributes);
    if (failed != 0)
    {
        juce::Logger::writeToLog ("The document opener could not be started for " +
                                  document.getFullPathName());
        return false;
    }
    // (A process that ignores SIGCHLD gets no status back: the opener then counts as started.)
    int status = 0;
    while (waitpid (pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    if (!WIFEXITED (status) || WEXITSTATUS (status) != 0)
    {
        juce::Logger::writeToLog ("No desktop opener (xdg-open) to open " + document.getFullPathName());
        return false;
    }
    return true;
}
