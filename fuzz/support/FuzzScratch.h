#pragma once
// For the fuzz targets that read through a file: one private scratch folder per process, in
// memory (/dev/shm) where there is one, else below the system's temporary folder, removed at exit. Call
// scratchFolder() first from LLVMFuzzerInitialize: it also points HOME at the folder (the support folders,
// settings and log then live there) and keeps JUCE's JACK client from starting or reaching any server.
#include <juce_core/juce_core.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace pellmix_fuzz
{
inline const juce::File& scratchFolder()
{
    static std::string path;
    static const juce::File folder = []
    {
        const juce::File memory ("/dev/shm");
        const auto base = memory.isDirectory() && memory.hasWriteAccess()
                              ? memory
                              : juce::File::getSpecialLocation (juce::File::tempDirectory);
        auto dir = base.getChildFile ("pellmix-fuzz-" + juce::String ((int)getpid()));
        dir.deleteRecursively();
        if (!dir.createDirectory())
            std::abort();
        path = dir.getFullPathName().toStdString();
        setenv ("HOME", path.c_str(), 1);
        setenv ("JACK_NO_START_SERVER", "1", 1);
        setenv ("JACK_DEFAULT_SERVER", "pellmix-fuzz-no-server", 1);
        std::atexit (
            []
            {
                std::error_code ignored;
                std::filesystem::remove_all (path, ignored);
            });
        return dir;
    }();
    return folder;
}

// Replaces `file` with exactly these bytes; aborts when it cannot (the run would test nothing).
inline void writeInput (const juce::File& file, const uint8_t* data, size_t size)
{
    const bool written =
        size == 0 ? file.deleteFile() && file.create().wasOk() : file.replaceWithData (data, size);
    if (!written)
        std::abort();
}
} // namespace pellmix_fuzz
