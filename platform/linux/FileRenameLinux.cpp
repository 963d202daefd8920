#include "platform/FileRename.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

RenameResult renameWithoutReplacing (const juce::File& from, const juce::File& to)
{
    if (::renameat2 (AT_FDCWD, from.getFullPathName().toRawUTF8(), AT_FDCWD, to.getFullPathName().toRawUTF8(),
                     RENAME_NOREPLACE) == 0)
        return RenameResult::renamed;
    if (errno == ENOENT)
        return RenameResult::sourceMissing;
    if (errno == EEXIST)
        return RenameResult::targetExists;
    return RenameResult::failed;
}
