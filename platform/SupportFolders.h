#pragma once
#include <juce_core/juce_core.h>

// The system-wide application-data folder below which the support folders and the saved device
// state live: "/Library" on macOS. Where that folder is not writable by an ordinary user (Linux:
// /opt is root's), the user's own application-data folder takes its place (~/.config, following
// $HOME). Every path below it keeps the same folder and file names on every system.
//
// Threading: no state; any thread.
juce::File getSystemApplicationDataFolder();
