#pragma once
#include <juce_audio_devices/juce_audio_devices.h>

// The program's one audio device manager. Created and opened on the first call (saved device
// state, then the retry sequence, then the default device), with a device report in the log.
// Message thread only.
juce::AudioDeviceManager* getSharedAudioDeviceManager();

// Closes the device and deletes the manager; the main window's destructor calls it, and the
// application's shut-down when no window was ever made. A later call of
// getSharedAudioDeviceManager would create a new one.
void deleteSharedAudioDeviceManager();

// Writes the report of the current device to the current logger, one line per call.
void logAudioDeviceInfo();

// The indexes of the set bits, ascending, joined with ", ".
juce::String channelMaskToString (const juce::BigInteger& mask);
