#pragma once
#include "ui/PellmixPlayList.h"

// The playlist file "playlist.xml": root "PellmixPlayList" (Version 1) with a "Samples" element for
// the source list and a "Targets" element for the target list, each holding one "Sample" per entry
// with its "path" and "channel". The current entries are not stored.
//
// Threads: message thread (the player's construction and destruction).
namespace PellmixPlayListFile
{
// The extensions a stored entry must have to be read back.
inline constexpr const char* readableExtensions = "wav;aif;aiff;mp3";
// The most entries read back from each list. Checking an entry opens its file, and a list much
// longer than anyone builds in the player (a damaged or generated file) would hold up the start.
inline constexpr int maxStoredEntries = 2000;

std::unique_ptr<juce::XmlElement> createDocument (const juce::Array<PellmixPlayListEntry>& sources,
                                                  const juce::Array<PellmixPlayListEntry>& targets);

// Writes both lists through a temporary sibling: the old file is replaced only by a complete new
// one. A failed write leaves the old file whole, is logged, and returns false; so does a write
// over an unreadable file that read() left in place (settings/PellmixStoredFile.h).
bool write (const juce::File& file, const juce::Array<PellmixPlayListEntry>& sources,
            const juce::Array<PellmixPlayListEntry>& targets);

// Appends the stored entries to the two lists. A missing file changes nothing; one that cannot be
// read whole (at most maxPlaylistFileBytes) changes nothing and is kept aside or left in place,
// logged and noted for the user (settings/PellmixStoredFile.h). Of
// the root's children only the first "Samples" and the first "Targets" (letter case ignored) are
// read, each up to its first maxStoredEntries entries. An entry is kept when its path is absolute
// and has one of the readable extensions, and PellmixAudioOpener opens it with the basic formats;
// a file with fewer than two channels comes back with channel 0, any other with its stored
// channel, read as 0 when outside 0..2. The log says how many entries of a list were dropped.
void read (const juce::File& file, juce::Array<PellmixPlayListEntry>& sources,
           juce::Array<PellmixPlayListEntry>& targets);
} // namespace PellmixPlayListFile
