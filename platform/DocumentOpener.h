#pragma once
#include <juce_core/juce_core.h>

// Opens a document with the desktop's own program for its kind, the way a double click in the
// file manager would, and returns without waiting for that program. The document itself is
// never run, whatever its permissions, and its path is never read as command text. False, with a
// line in the log, when no opener could be started (none installed, or the start failed).
//
// Threading: message thread (it waits for the opener's start, a few milliseconds).
bool openWithDesktop (const juce::File& document);
