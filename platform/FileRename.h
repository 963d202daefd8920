#pragma once
#include <juce_core/juce_core.h>

// Moves a file to a new name in one step, never over a file that is already there (two copies of
// the program may move the same file aside at once: the second finds the name taken, not a file
// lost).
//
// Threading: no state; any thread but the audio thread (a system call).
enum class RenameResult
{
    renamed,
    sourceMissing, // nothing at `from` (moved by someone else first)
    targetExists,  // `to` is taken; nothing changed
    failed         // any other reason; nothing changed
};
RenameResult renameWithoutReplacing (const juce::File& from, const juce::File& to);
