#pragma once
#include <juce_core/juce_core.h>

// The system-wide application-data folder below which the support folders and the saved device
// state live: "/Library" on macOS. Elsewhere that folder is not writable by an ordinary user, so
// the user's own application-data folder (~/.config on Linux) takes its place. Every path below
// it keeps the same folder and file names on every platform.
juce::File getSystemApplicationDataFolder();
