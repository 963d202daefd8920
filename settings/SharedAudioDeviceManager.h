#pragma once
#include <juce_audio_devices/juce_audio_devices.h>

// The program's one audio device manager. Created and opened on the first call (openAudioDevice
// with the saved device state), with a device report in the log.
// Message thread only.
juce::AudioDeviceManager* getSharedAudioDeviceManager();

// The manager when one exists, else null; never creates one (for code that only releases it).
juce::AudioDeviceManager* getExistingSharedAudioDeviceManager();

// The saved device state in `stateFile`, or null when there is none to start from: a file that
// is missing or cannot be read whole (kept aside or left in place and reported, as
// settings/PellmixStoredFile.h tells), or a state that names no device type or no device.
std::unique_ptr<juce::XmlElement> readSavedDeviceState (const juce::File& stateFile);

// Opens `manager`'s device (2 inputs, 4 outputs): from the saved state in `stateFile` when it
// names a device type and a device (that request twice, then the default device), else the
// default device. Each failed request is logged in a block framed by hyphens.
void openAudioDevice (juce::AudioDeviceManager& manager, const juce::File& stateFile);

// Closes the device and deletes the manager; the main window's destructor calls it, and the
// application's shut-down when no window was ever made. A later call of
// getSharedAudioDeviceManager would create a new one.
void deleteSharedAudioDeviceManager();

// Writes the report of the current device to the current logger, one line per call.
void logAudioDeviceInfo();

// The indexes of the set bits, ascending, joined with ", ".
juce::String channelMaskToString (const juce::BigInteger& mask);
