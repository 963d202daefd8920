#pragma once
// Paths that a reader of outside files must refuse at once, neither blocking nor reading without
// end: a named pipe with no writer ("fifo"), a folder ("folder"), a link to /dev/zero
// ("zero-link") and a sparse file of 2 GiB ("sparse-2GiB").
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pellmix_test
{
inline const char* const hostileKinds[] = {"fifo", "folder", "zero-link", "sparse-2GiB"};

// Makes `path` the named kind; false when the kind is unknown or the path could not be made.
inline bool makeHostilePath (const std::string& path, const std::string& kind)
{
    if (kind == "fifo")
        return mkfifo (path.c_str(), 0644) == 0;
    if (kind == "folder")
        return mkdir (path.c_str(), 0755) == 0;
    if (kind == "zero-link")
        return symlink ("/dev/zero", path.c_str()) == 0;
    if (kind == "sparse-2GiB")
    {
        const int fd = open (path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool made = fd >= 0 && ftruncate (fd, 2LL << 30) == 0;
        if (fd >= 0)
            close (fd);
        return made;
    }
    return false;
}

// True when `path` is still the named kind (a reader left it as it was).
inline bool isHostilePath (const std::string& path, const std::string& kind)
{
    struct stat info
    {
    };
    if (lstat (path.c_str(), &info) != 0)
        return false;
    if (kind == "fifo")
        return S_ISFIFO (info.st_mode);
    if (kind == "folder")
        return S_ISDIR (info.st_mode);
    if (kind == "zero-link")
    {
        char target[32] = {};
        return S_ISLNK (info.st_mode) && readlink (path.c_str(), target, sizeof (target) - 1) == 9 &&
               std::string (target) == "/dev/zero";
    }
    return kind == "sparse-2GiB" && S_ISREG (info.st_mode) && info.st_size == (2LL << 30);
}
} // namespace pellmix_test
