#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <optional>

// The one way the windows ask the user for a file: a modal file chooser (the system's dialog where
// there is one, the framework's own otherwise). Tests put a function of their own in its place.
//
// Threads: message thread only.
namespace PellmixFileChooser
{
struct Request
{
    juce::String title;
    juce::File initialFileOrDirectory;
    juce::String patterns;
    bool save = false;
    bool warnAboutOverwriting = false; // save only: the chooser asks before an existing file is chosen
};

using Handler = std::function<std::optional<juce::File> (const Request&)>;

// Shows the chooser modally; the chosen file, or nothing when the user cancelled.
std::optional<juce::File> choose (const Request& request);

// Replaces the chooser (tests); an empty handler brings the chooser back.
void setHandler (Handler handler);
} // namespace PellmixFileChooser
