#pragma once
// The folder of one running copy's capture files: a sub-folder "copy-<pid>-<random>" of the
// temporary folder, where the capture keeps its files under their usual names, so that copies of
// the program running side by side never delete or overwrite each other's files.
//
// Beside the folder lies "copy-<pid>-<random>.lock", which the copy holds locked (flock) while the
// folder is in use. The system drops that lock when the process ends, however it ends, so a folder
// whose lock nobody holds was left by a copy that crashed: it is removed whenever a copy makes a
// new folder in that temporary folder. A copy removes its own folder when it is done with it.
//
// Threading: one object is used by one thread at a time (the capture window's message thread).
#include <juce_core/juce_core.h>

class PellmixCaptureFolder
{
public:
    PellmixCaptureFolder() = default;
    ~PellmixCaptureFolder();

    // The copy's folder below `parent`: made on first use, again when `parent` changes or the folder
    // was removed from outside (the old one is then removed). Leftovers of ended copies are removed
    // when a folder is made. An empty File when no folder can be made there.
    juce::File folderIn (const juce::File& parent);
    // The folder in use; an empty File when none.
    juce::File getFolder() const { return folder; }
    // Removes the folder with everything in it, and its lock.
    void remove();

    // Removes the folders of `parent` whose copies have ended. Returns how many went.
    static int removeLeftovers (const juce::File& parent);

    static constexpr const char* prefix = "copy-";
    static constexpr const char* lockSuffix = ".lock";

private:
    bool make (const juce::File& parent);

    juce::File folder, lockFile;
    int lockFd = -1;

    JUCE_DECLARE_NON_COPYABLE (PellmixCaptureFolder)
};
