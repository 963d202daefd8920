#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// The one way the windows ask the user for files: a modal file chooser (the system's dialog where
// there is one, the framework's own otherwise) that opens one file, opens several, or names a file
// to write. Tests put a function of their own in its place.
//
// Threads: message thread only.
namespace PellmixFileChooser
{
enum class Mode
{
    openOne,
    openMany,
    save
};

struct Request
{
    juce::String title;
    juce::File initialFileOrDirectory;
    juce::String patterns;
    Mode mode = Mode::openOne;
    bool warnAboutOverwriting = false; // save only: the chooser asks before an existing file is chosen
};

// The chosen files (one, except for Mode::openMany); none when the user cancelled.
using Handler = std::function<juce::Array<juce::File> (const Request&)>;

// Shows the chooser modally, then has every window repainted.
juce::Array<juce::File> choose (const Request& request);

// Asks whether an existing file may be overwritten, in the words of the framework's own chooser:
// for a name completed after the chooser returned, which the chooser could not ask about. True
// when the file does not exist or the user agreed.
bool confirmOverwrite (const juce::File& file);

// Replaces the chooser (tests) and returns the function it replaced; an empty handler brings the
// chooser back.
Handler setHandler (Handler handler);
} // namespace PellmixFileChooser
