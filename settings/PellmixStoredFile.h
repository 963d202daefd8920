#pragma once
// The XML files the program keeps for itself and reads back at the next start: the settings file,
// the audio device state and the playlist. One that is there but cannot be read whole is never
// silently replaced by the next save:
//  - a regular file (damaged, cut, nested too deeply, too large, unreadable) is kept aside beside
//    itself as "<name>.damaged" (or "<name>.damaged.2", and so on, when that is taken), and the
//    program starts without it;
//  - anything else at the path (a folder, a pipe, a device, a link) is what the user put there:
//    it is left in place, and the program does not write that file while it runs.
// Either way the log says so, and the notice waits for the user (takeNotices), who is told once.
//
// Threads: message thread (start-up, the player, saves); the bookkeeping takes a lock all the same.
#include "settings/PellmixXmlFile.h"

namespace PellmixStoredFile
{
// Reads the stored file `file`, named in messages by `what` ("settings file", ...). Null when
// there is none (not reported) or when it was refused (kept aside or left in place, as above),
// with the reason in `why` when given.
std::unique_ptr<juce::XmlElement> read (const juce::File& file, const juce::String& what,
                                        juce::int64 maxBytes = maxXmlFileBytes,
                                        XmlFileProblem* why = nullptr);

// Writes the stored file through a temporary sibling (writeXmlFile). False, with a log line, when
// it could not be written, or when a refused file was left at its path in this run.
bool write (const juce::XmlElement& document, const juce::File& file, const juce::String& what);

// The notices of the refused files that the user has not been told of yet, one paragraph each;
// empty when there are none. Each notice is given once.
juce::String takeNotices();
} // namespace PellmixStoredFile
