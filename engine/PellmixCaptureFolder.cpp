#include "engine/PellmixCaptureFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Opens `path` and takes its lock without waiting; -1 when it cannot be opened or another holds it.
int lockWithoutWaiting (const juce::File& path, int extraFlags)
{
    const int fd = ::open (path.getFullPathName().toRawUTF8(), O_RDWR | O_CLOEXEC | extraFlags, 0600);
    if (fd < 0)
        return -1;
    if (::flock (fd, LOCK_EX | LOCK_NB) != 0)
    {
        ::close (fd);
        return -1;
    }
    return fd;
}

// True when the descriptor still refers to the file at `path` (nobody removed or replaced it
// between the open and the lock).
bool stillNamedBy (int fd, const juce::File& path)
{
    struct stat held
    {
    }, named{};
    return ::fstat (fd, &held) == 0 && ::stat (path.getFullPathName().toRawUTF8(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

juce::File folderOfLock (const juce::File& lock)
{
    return lock.getSiblingFile (lock.getFileName().dropLastCharacters (
        (int)juce::String (PellmixCaptureFolder::lockSuffix).length()));
}
} // namespace

PellmixCaptureFolder::~PellmixCaptureFolder()
{
    remove();
}

juce::File PellmixCaptureFolder::folderIn (const juce::File& parent)
{
    if (lockFd >= 0 && folder.getParentDirectory() == parent && folder.isDirectory())
        return folder;
    remove();
    return make (parent) ? folder : juce::File();
}

bool PellmixCaptureFolder::make (const juce::File& parent)
{
    if (!parent.createDirectory())
        return false;
    removeLeftovers (parent);

    juce::Random random;
    for (int attempt = 0; attempt < 8; ++attempt)
    {
        const auto name = juce::String (prefix) + juce::String ((int)::getpid()) + "-" +
                          juce::String::toHexString (random.nextInt()).paddedLeft ('0', 8);
        const auto lock = parent.getChildFile (name + lockSuffix);
        // The lock comes first: a folder without a held lock beside it is a leftover.
        const int fd = lockWithoutWaiting (lock, O_CREAT | O_EXCL);
        if (fd < 0)
            continue;
        // Another copy's clean-up may have taken the new lock file between the open and the lock.
        if (!stillNamedBy (fd, lock) || !parent.getChildFile (name).createDirectory())
        {
            ::close (fd);
            continue;
        }
        lockFd = fd;
        lockFile = lock;
        folder = parent.getChildFile (name);
        return true;
    }
    return false;
}

void PellmixCaptureFolder::remove()
{
    if (lockFd < 0)
        return;
    // The folder goes before its lock, so that no other copy sees it unlocked while it goes.
    folder.deleteRecursively();
    lockFile.deleteFile();
    ::close (lockFd);
    lockFd = -1;
    folder = lockFile = juce::File();
}

int PellmixCaptureFolder::removeLeftovers (const juce::File& parent)
{
    int removed = 0;
    const auto pattern = juce::String (prefix) + "*" + lockSuffix;
    for (const auto& lock : parent.findChildFiles (juce::File::findFiles, false, pattern))
    {
        const int fd = lockWithoutWaiting (lock, 0);
        if (fd < 0)
            continue; // a running copy holds it
        if (stillNamedBy (fd, lock))
        {
            folderOfLock (lock).deleteRecursively();
            lock.deleteFile();
            ++removed;
        }
        ::close (fd);
    }
    return removed;
}
