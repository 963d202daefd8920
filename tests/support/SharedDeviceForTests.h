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

// Reopens the device that closeAudioDevice() closed. Registering JUCE's JACK client again can
// collide with another test's client of the same name for a moment: try a few times. A failed
// open makes the manager forget the device's name (restartLastAudioDevice() would then do nothing),
// so every attempt opens the setup kept before the first. True when a device is open.
inline bool reopenSharedDeviceForTests()
{
    auto* manager = getSharedAudioDeviceManager();
    const auto setup = manager->getAudioDeviceSetup();
    for (int attempt = 0; attempt < 5 && manager->getCurrentAudioDevice() == nullptr; ++attempt)
    {
        if (attempt > 0)
            juce::Thread::sleep (200 * attempt);
        manager->setAudioDeviceSetup (setup, false);
    }
    return manager->getCurrentAudioDevice() != nullptr;
}
