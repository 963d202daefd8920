// The per-copy folder of capture files: two copies get two folders and never remove each other's,
// a copy removes its own when done, and the folder of a copy that ended without removing it (its
// lock no longer held, as after a crash) is removed when another copy makes its folder. A second
// PellmixCaptureFolder in this process stands for another copy (flock locks belong to each open
// of the lock file); a child process holding the lock with flock, killed, for a copy that crashed.
#include "engine/PellmixCaptureFolder.h"
#include "support/Fixtures.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace
{
// True when another open of `lock` holds it.
bool isLockedElsewhere (const juce::File& lock)
{
    const int fd = ::open (lock.getFullPathName().toRawUTF8(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock (fd, LOCK_EX | LOCK_NB) != 0;
    ::close (fd);
    return held;
}

bool waitUntil (const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds (10);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    return true;
}

struct CaptureFolderTest : ::testing::Test
{
    pellmix_test::TempDir dir{"pellmix-copies"};
    juce::File temp{juce::File (dir.path()).getChildFile ("Temp")};

    juce::StringArray namesIn (const juce::File& folder) const
    {
        juce::StringArray names;
        for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false))
            names.add (f.getFileName());
        names.sort (false);
        return names;
    }

    // What a copy leaves behind when it dies: its folder with files, and its lock file.
    juce::File leaveFolderOfEndedCopy (const juce::String& name)
    {
        const auto folder = temp.getChildFile (name);
        EXPECT_TRUE (folder.createDirectory());
        EXPECT_TRUE (folder.getChildFile ("record.raw").replaceWithText ("left"));
        EXPECT_TRUE (temp.getChildFile (name + ".lock").create());
        return folder;
    }
};

TEST_F (CaptureFolderTest, EachCopyHasItsOwnFolderAndRemovesOnlyItsOwn)
{
    PellmixCaptureFolder first, second;
    const auto a = first.folderIn (temp);
    const auto b = second.folderIn (temp);
    ASSERT_TRUE (a.isDirectory());
    ASSERT_TRUE (b.isDirectory());
    EXPECT_NE (a, b);
    EXPECT_EQ (a.getParentDirectory(), temp);
    EXPECT_TRUE (a.getFileName().startsWith ("copy-"));
    // Asked again, a copy keeps its folder and what is in it.
    ASSERT_TRUE (a.getChildFile ("record.raw").replaceWithText ("mine"));
    EXPECT_EQ (first.folderIn (temp), a);
    EXPECT_EQ (a.getChildFile ("record.raw").loadFileAsString(), "mine");

    // Files of the temporary folder itself are not the copies' ("test.raw" of a re-run).
    ASSERT_TRUE (temp.getChildFile ("test.raw").replaceWithText ("kept"));
    // A running copy's folder is never taken for a leftover.
    EXPECT_EQ (PellmixCaptureFolder::removeLeftovers (temp), 0);
    PellmixCaptureFolder third;
    ASSERT_TRUE (third.folderIn (temp).isDirectory());
    EXPECT_TRUE (a.getChildFile ("record.raw").existsAsFile());
    EXPECT_TRUE (b.isDirectory());

    first.remove();
    EXPECT_FALSE (a.exists());
    EXPECT_FALSE (temp.getChildFile (a.getFileName() + ".lock").exists());
    EXPECT_EQ (first.getFolder(), juce::File());
    EXPECT_TRUE (b.isDirectory());
    {
        PellmixCaptureFolder scoped;
        ASSERT_TRUE (scoped.folderIn (temp).isDirectory());
    }
    third.remove();
    second.remove();
    EXPECT_EQ (namesIn (temp), juce::StringArray ("test.raw"));
}

TEST_F (CaptureFolderTest, LeftoversOfEndedCopiesGoWhenAFolderIsMade)
{
    ASSERT_TRUE (temp.createDirectory());
    const auto leftover = leaveFolderOfEndedCopy ("copy-1-00000001");
    // A lock file whose folder went already, and something that is no copy's.
    ASSERT_TRUE (temp.getChildFile ("copy-2-00000002.lock").create());
    ASSERT_TRUE (temp.getChildFile ("other/record.raw").create());

    // Another process holds the lock of a third folder, as a running copy does.
    const auto crashed = leaveFolderOfEndedCopy ("copy-3-00000003");
    const auto crashedLock = temp.getChildFile ("copy-3-00000003.lock");
    // One process holds the lock itself (no child inherits it), so killing it releases the lock.
    pellmix_test::Process holder ({"sh", "-c", "exec 9>>\"$0\" && flock -n 9 && exec sleep 60",
                                   crashedLock.getFullPathName().toStdString()});
    ASSERT_TRUE (waitUntil ([&] { return isLockedElsewhere (crashedLock); }));

    PellmixCaptureFolder copy;
    const auto mine = copy.folderIn (temp);
    ASSERT_TRUE (mine.isDirectory());
    EXPECT_FALSE (leftover.exists());
    EXPECT_FALSE (temp.getChildFile ("copy-2-00000002.lock").exists());
    EXPECT_TRUE (crashed.getChildFile ("record.raw").existsAsFile());

    // The holder crashes: the system drops its lock, and the next copy's folder takes its place.
    holder.signal (SIGKILL);
    holder.wait (std::chrono::seconds (10));
    ASSERT_TRUE (waitUntil ([&] { return !isLockedElsewhere (crashedLock); }));
    PellmixCaptureFolder next;
    const auto theirs = next.folderIn (temp);
    ASSERT_TRUE (theirs.isDirectory());
    EXPECT_FALSE (crashed.exists());
    EXPECT_FALSE (crashedLock.exists());
    EXPECT_TRUE (mine.isDirectory());

    juce::StringArray expected{mine.getFileName(), mine.getFileName() + ".lock", theirs.getFileName(),
                               theirs.getFileName() + ".lock", "other"};
    expected.sort (false);
    EXPECT_EQ (namesIn (temp), expected);
}

TEST_F (CaptureFolderTest, FollowsTheTemporaryFolderAndSaysWhenNoneCanBeMade)
{
    PellmixCaptureFolder copy;
    const auto first = copy.folderIn (temp);
    ASSERT_TRUE (first.isDirectory());

    // Removed from outside: made again.
    ASSERT_TRUE (first.deleteRecursively());
    const auto again = copy.folderIn (temp);
    EXPECT_TRUE (again.isDirectory());

    // Another temporary folder: the old folder goes, a new one is made there.
    const auto otherTemp = juce::File (dir.path()).getChildFile ("Elsewhere");
    const auto moved = copy.folderIn (otherTemp);
    EXPECT_EQ (moved.getParentDirectory(), otherTemp);
    EXPECT_FALSE (again.exists());
    EXPECT_TRUE (namesIn (temp).isEmpty());

    // Below a file no folder can be made: an empty File, and nothing held.
    const auto blocker = juce::File (dir.path()).getChildFile ("a-file");
    ASSERT_TRUE (blocker.replaceWithText ("x"));
    EXPECT_EQ (copy.folderIn (blocker.getChildFile ("Temp")), juce::File());
    EXPECT_EQ (copy.getFolder(), juce::File());
    EXPECT_FALSE (moved.exists());
}
} // namespace
