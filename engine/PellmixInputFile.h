#pragma once
// Opening files that come from outside the program (settings, device state, playlists, projects,
// IR and player audio files) safely: only a regular file is opened, and the open never blocks.
//
// juce::FileInputStream opens whatever the path names: a named pipe blocks the open until a writer
// comes, and a link to /dev/zero or a device reads without end. Here the path is opened with
// O_NONBLOCK (a pipe then opens at once) and the open descriptor is checked with fstat, so what is
// read is the regular file that was checked, not whatever the path names a moment later.
//
// Threading: no shared state; any thread but the audio thread (it allocates and does file I/O).
#include <juce_core/juce_core.h>

#include <memory>

namespace PellmixInputFile
{
// Why a file was refused.
enum class Refusal
{
    none,
    missing,    // nothing at the path
    notRegular, // a folder, pipe, device or socket
    tooLarge,   // larger than the reader's limit
    unreadable  // it exists but could not be opened or read
};

// A short English phrase for a refusal ("is not a regular file", ...), for messages and the log.
juce::String describe (Refusal why);

// Opens a regular file for reading; null otherwise, with the reason in `why` when given. The
// stream's length is the file's size when it was opened.
std::unique_ptr<juce::InputStream> open (const juce::File& file, Refusal* why = nullptr);

// Reads a whole regular file of at most `maxBytes` bytes into `out`. False, with the reason in
// `why` when given, for anything else; a larger file is refused before any of it is read.
bool readAll (const juce::File& file, juce::int64 maxBytes, juce::MemoryBlock& out, Refusal* why = nullptr);

// True when the path names a regular file (following links), without opening it.
bool isRegularFile (const juce::File& file);
} // namespace PellmixInputFile
