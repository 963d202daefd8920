// The readers of the XML files (settings, device state, playlist, project) over hostile files:
// nested far beyond the bound, a link to /dev/zero, a 2 GiB sparse file, a named pipe, a folder.
// Each reader returns at once, in bounded time and memory, with its reason. A stored file that is
// a regular file is kept aside beside itself and the next save writes a fresh one; anything else
// stays where the user put it, and no save replaces it. The user is told once. A project file is
// only refused: it stays as it was.
#include "engine/PellmixInputFile.h"
#include "settings/PellmixProject.h"
#include "settings/PellmixSettings.h"
#include "settings/PellmixStoredFile.h"
#include "settings/SharedAudioDeviceManager.h"
#include "support/Fixtures.h"
#include "support/HostileFiles.h"
#include "ui/PellmixPlayListFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pellmix_test;

namespace
{
struct Bounded
{
    bool returned = false;
    std::string output; // what the body returned
    std::string failure;
};

long residentKilobytes (pid_t pid)
{
    std::ifstream status ("/proc/" + std::to_string (pid) + "/status");
    for (std::string line; std::getline (status, line);)
        if (line.rfind ("VmRSS:", 0) == 0)
            return std::atol (line.c_str() + 6);
    return 0;
}

// Runs `body` in a child process and returns what it returned. A reader that blocks on the pipe
// or reads the endless device is stopped: the child is killed when it runs for 30 s or its
// resident memory grows by 512 MB (a sound reader refuses these files before reading a byte).
Bounded runBounded (const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe (fds) != 0)
        return {false, {}, "no pipe"};
    const pid_t pid = fork();
    if (pid == 0)
    {
        close (fds[0]);
        const auto text = body();
        [[maybe_unused]] auto written = write (fds[1], text.data(), text.size());
        _exit (0);
    }
    close (fds[1]);

    Bounded result;
    const auto start = std::chrono::steady_clock::now();
    const long baseline = residentKilobytes (pid);
    for (;;)
    {
        pollfd readable{fds[0], POLLIN, 0};
        if (poll (&readable, 1, 10) > 0)
        {
            char buffer[4096];
            const auto n = read (fds[0], buffer, sizeof (buffer));
            if (n > 0)
                result.output.append (buffer, (size_t)n);
        }
        int status = 0;
        if (waitpid (pid, &status, WNOHANG) == pid)
        {
            result.returned = WIFEXITED (status) && WEXITSTATUS (status) == 0;
            if (!result.returned)
                result.failure = "the reader ended with signal " + std::to_string (WTERMSIG (status));
            for (char buffer[4096]; poll (&readable, 1, 0) > 0;)
            {
                const auto n = read (fds[0], buffer, sizeof (buffer));
                if (n <= 0)
                    break;
                result.output.append (buffer, (size_t)n);
            }
            break;
        }
        const bool tooLong = std::chrono::steady_clock::now() - start > std::chrono::seconds (30);
        const bool tooLarge = residentKilobytes (pid) - baseline > 512 * 1024;
        if (tooLong || tooLarge)
        {
            kill (pid, SIGKILL);
            waitpid (pid, &status, 0);
            result.failure =
                tooLong ? "the reader did not return in 30 s" : "the reader's memory grew past 512 MB";
            break;
        }
    }
    close (fds[0]);
    return result;
}

std::string nestedDocument()
{
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "<a>";
    return text;
}

// One reader: where its file lives, and a run that reads it, then saves (stored files only).
// The run returns the notice the user gets (or the project's reason), then '|' and whether the
// save wrote, then '|' and a second notice (empty: the user is told once).
struct Reader
{
    const char* name;
    std::function<juce::File()> path;
    std::function<std::string (const juce::File&)> run;
    bool stored;
};

std::string storedOutcome (bool wrote)
{
    const auto notice = PellmixStoredFile::takeNotices().toStdString();
    const auto again = PellmixStoredFile::takeNotices().toStdString();
    return notice + "|" + (wrote ? "wrote" : "refused") + "|" + again;
}

const Reader readers[] = {
    {"settings file", [] { return PellmixSettings (nullptr).getSettingsFile(); },
     [] (const juce::File&)
     {
         PellmixSettings settings (nullptr);
         settings.load();
         const bool defaults = settings.sampleRate == 44100 && settings.bufferSize == 512;
         return storedOutcome (settings.save()) + (defaults ? "" : " (defaults changed)");
     },
     true},
    {"audio device state", [] { return PellmixSettings::getDeviceStateFile(); },
     [] (const juce::File& file)
     {
         const bool none = readSavedDeviceState (file) == nullptr;
         juce::XmlElement state ("DEVICESETUP");
         state.setAttribute ("deviceType", "JACK");
         return storedOutcome (PellmixStoredFile::write (state, file, "audio device state")) +
                (none ? "" : " (a state was read)");
     },
     true},
    {"playlist file", [] { return PellmixSettings (nullptr).root.getChildFile ("playlist.xml"); },
     [] (const juce::File& file)
     {
         juce::Array<PellmixPlayListEntry> sources, targets;
         PellmixPlayListFile::read (file, sources, targets);
         const bool empty = sources.isEmpty() && targets.isEmpty();
         return storedOutcome (PellmixPlayListFile::write (file, sources, targets)) +
                (empty ? "" : " (entries read)");
     },
     true},
    {"project", [] { return PellmixSettings (nullptr).productFolder.getChildFile ("project.vmp"); },
     [] (const juce::File& file)
     {
         PellmixProject project;
         for (int i = 0; i < 8; ++i)
             project.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);
         auto why = XmlFileProblem::none;
         const bool loaded = project.load (file, &why);
         return "it " + describe (why).toStdString() + (loaded ? " (loaded)" : "") + "||";
     },
     false},
};

struct Hostile
{
    const char* kind;
    const char* reason;
    bool keptAside; // a regular file: moved aside when it is a stored file
};

const Hostile hostiles[] = {
    {"nested", "is nested too deeply", true},      {"sparse-2GiB", "is too large", true},
    {"fifo", "is not a regular file", false},      {"folder", "is not a regular file", false},
    {"zero-link", "is not a regular file", false},
};
} // namespace

TEST (HostileXmlFile, EveryReaderRefusesAtOnceAndKeepsTheUsersFile)
{
    TempDir home ("pellmix-hostile");
    ScopedEnv homeEnv ("HOME", home.path());
    const auto nested = nestedDocument();

    for (const auto& reader : readers)
        for (const auto& hostile : hostiles)
        {
            SCOPED_TRACE (std::string (reader.name) + ", " + hostile.kind);
            const auto file = reader.path();
            const auto path = file.getFullPathName().toStdString();
            const juce::File aside (file.getFullPathName() + ".damaged");
            ASSERT_TRUE (juce::File (home.path()).getChildFile (".config").deleteRecursively());
            ASSERT_TRUE (file.getParentDirectory().createDirectory());
            if (hostile.kind == std::string ("nested"))
                ASSERT_TRUE (file.replaceWithText (nested));
            else
                ASSERT_TRUE (makeHostilePath (path, hostile.kind));

            const auto outcome = runBounded ([&] { return reader.run (file); });
            if (!outcome.returned)
            {
                ADD_FAILURE() << outcome.failure;
                continue;
            }
            juce::StringArray parts;
            parts.addTokens (juce::String (outcome.output), "|", {});
            ASSERT_EQ (parts.size(), 3) << outcome.output;
            const auto& notice = parts[0];

            if (!reader.stored)
            {
                // The menu's box gives this reason; the file stays as it was.
                EXPECT_EQ (notice, juce::String ("it ") + hostile.reason);
                EXPECT_FALSE (aside.exists());
            }
            else
            {
                EXPECT_TRUE (notice.startsWith ("The " + juce::String (reader.name) +
                                                " could not be read: it " + hostile.reason + ".\n" +
                                                file.getFullPathName() + "\n"))
                    << notice;
                EXPECT_EQ (parts[2], "") << "told once";
                if (hostile.keptAside)
                {
                    EXPECT_TRUE (notice.endsWith ("It was kept as \"" + aside.getFileName() +
                                                  "\"; the program started without it."))
                        << notice;
                    EXPECT_EQ (parts[1], "wrote") << "a fresh file in its place";
                    EXPECT_TRUE (PellmixInputFile::isRegularFile (file));
                }
                else
                {
                    EXPECT_TRUE (notice.endsWith ("It was left in place, and will not be written while the "
                                                  "program runs."))
                        << notice;
                    EXPECT_EQ (parts[1], "refused") << "the save leaves it alone";
                    EXPECT_FALSE (aside.exists());
                }
            }

            // The user's file, where it was or kept aside, unchanged.
            const auto kept =
                reader.stored && hostile.keptAside ? aside.getFullPathName().toStdString() : path;
            if (hostile.kind == std::string ("nested"))
            {
                EXPECT_EQ (juce::File (kept).loadFileAsString().toStdString(), nested);
            }
            else
            {
                EXPECT_TRUE (isHostilePath (kept, hostile.kind)) << kept;
            }
        }
}
