#pragma once
// In-process set-up for the tests of the dialogs and the shared device manager: a fresh HOME,
// a dummy JACK server, then the configuration (whose construction opens the shared device).
// Every test case runs in its own process, so each builds the configuration singleton afresh.
#include "AppHarness.h"
#include "ModalCloser.h"
#include "settings/SharedAudioDeviceManager.h"
#include "support/SharedDeviceForTests.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixMenu.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <iostream>

namespace app_test
{
inline juce::BigInteger channelMask (std::initializer_list<int> channels)
{
    juce::BigInteger mask;
    for (int c : channels)
        mask.setBit (c);
    return mask;
}

// Re-opens the shared device with exactly these active channels.
inline void setActiveChannels (const juce::BigInteger& inputs, const juce::BigInteger& outputs)
{
    auto& manager = *getSharedAudioDeviceManager();
    auto setup = manager.getAudioDeviceSetup();
    setup.useDefaultInputChannels = false;
    setup.useDefaultOutputChannels = false;
    setup.inputChannels = inputs;
    setup.outputChannels = outputs;
    ASSERT_EQ (manager.setAudioDeviceSetup (setup, true), juce::String());
    auto* device = manager.getCurrentAudioDevice();
    ASSERT_NE (device, nullptr);
    ASSERT_EQ (device->getActiveInputChannels(), inputs);
    ASSERT_EQ (device->getActiveOutputChannels(), outputs);
}

inline void pumpMessages (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

// JUCE keeps its X connection until the framework shuts down after the last test, and Xlib ends
// the process when the server has gone by then: the display lives until program exit.
inline pellmix_test::VirtualDisplay& processDisplay()
{
    static pellmix_test::VirtualDisplay display;
    return display;
}

class InProcessDevice : public ::testing::Test
{
protected:
    // Starts the server and builds the configuration with its menu model, as the application's
    // start-up does. When a client of the same name on another test's server took JUCE's JACK
    // client at that moment, the device is opened again by a new manager (see
    // openSharedDeviceForTests). Call it inside ASSERT_NO_FATAL_FAILURE.
    void startConfiguration (pellmix_test::JackOptions options = {})
    {
        ASSERT_TRUE (processDisplay().started());
        jack = std::make_unique<pellmix_test::JackServer> (options);
        ASSERT_TRUE (jack->started()) << jack->logText();
        config = PellmixConfig::getInstance();
        config->menu = std::make_unique<PellmixMenu>();
        // A new manager scans the devices afresh.
        ASSERT_TRUE (openSharedDeviceForTests()) << jack->logText();
    }
    // The device closes before the JACK server stops.
    void TearDown() override { deleteSharedAudioDeviceManager(); }

    pellmix_test::TempDir home{"pellmix-inproc"};
    pellmix_test::ScopedEnv homeEnv{"HOME", home.path()};
    std::unique_ptr<pellmix_test::JackServer> jack;
    PellmixConfig* config = nullptr;
};
} // namespace app_test
