#pragma once
// Opens audio files that come from outside the program for the framework's readers. The IR slots,
// the player (its add rule, its stored playlist, the entry it plays) and the capture window all
// open through here, so every reader refuses the same files:
//  - anything but a regular file (a pipe, a folder, a device), opened without blocking
//    (PellmixInputFile);
//  - a RIFF, RF64 (WAV) or FORM (AIFF) file with a chunk inside its container that reaches past
//    the file's end, the RF64 sizes in its "ds64" chunk included: the framework's readers allocate
//    and fill a chunk's declared length as it stands, gigabytes for a file of a few hundred bytes.
//    Bytes after the container (an ID3 tag) are no chunk, as the readers stop there too;
//  - a file that no format of the given manager reads (by its extension, as the framework does);
//  - a header that lies: a channel count that is not between 1 and maxChannels, a rate that is
//    not above 0 and at most maxRate, or no whole frame of audio;
//  - for the WAV and AIFF readers: a sample size other than 8, 16, 24 or 32 bits (they read any
//    other as silence, and sizes under 8 bits can make them divide by zero), more frames declared
//    than the file can hold (the AIFF reader takes its header's count as it stands), or no sound
//    data chunk.
// The checks read the header chunks once, from the stream that the reader then takes.
//
// Threading: no shared state; any thread but the audio thread (it allocates and does file I/O).
// The reader returned is the caller's, to use on one thread at a time.
#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>

namespace PellmixAudioOpener
{
// The most channels a file may declare; beyond it the header lies.
inline constexpr unsigned int maxChannels = 64;
// The highest sample rate taken as audio. Above it a header lies, and the transport's rate
// conversion would read thousands of times the block it is asked for.
inline constexpr double maxRate = 768000.0;

enum class Refusal
{
    none,
    missing,    // nothing at the path
    notRegular, // a folder, pipe, device or socket
    unreadable, // it exists but could not be opened or read
    notAudio,   // no format reads it
    damaged,    // a chunk past the end of the file, an impossible rate or sample size, or more
                // frames declared than the file holds
    noAudio,    // not one whole frame, or no sound data chunk
    badChannels // a channel count outside 1..maxChannels
};

// A short English phrase for a refusal, to follow "it" ("is not a regular file", ...).
juce::String describe (Refusal why);

// A stream that notes a read that comes up short. The audio readers pad such a read with zeros
// and report success, which would take a truncated file as whole.
class CheckedStream;

struct Opened
{
    std::unique_ptr<juce::AudioFormatReader> reader; // null when refused
    Refusal why = Refusal::none;
    CheckedStream* stream = nullptr; // owned by the reader

    // True when a read from the file came up short since the reader was made.
    bool readCameUpShort() const;
};

// Opens `file` with the first format of `formats` that takes its extension and reads it. What is
// not a regular file is refused whatever its extension.
Opened open (const juce::File& file, juce::AudioFormatManager& formats);
} // namespace PellmixAudioOpener
