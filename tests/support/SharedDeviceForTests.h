#pragma once
// For the GUI test areas (header-only: tests/support itself links no JUCE).
#include "settings/SharedAudioDeviceManager.h"

// Opens the shared device manager before the configuration is built, so that the configuration
// finds an output device and shows no first-run dialog. JUCE's JACK client can collide with a
// client of the same name that another test's server registers at that moment; a new manager
// then tries again. True when a device is open.
inline bool openSharedDeviceForTests()
{
    for (int attempt = 0; attempt < 6 && getSharedAudioDeviceManager()->getCurrentAudioDevice() == nullptr;
         ++attempt)
    {
        deleteSharedAudioDeviceManager();
        juce::Thread::sleep (200 * (attempt + 1));
    }
    return getSharedAudioDeviceManager()->getCurrentAudioDevice() != nullptr;
}
