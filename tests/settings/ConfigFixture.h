#pragma once
// Builds the configuration singleton in a fresh HOME with a JACK dummy server, so the device
// opens and no first-run dialog is shown. One singleton per process: every test case runs in a
// process of its own.
#include "app/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

class ConfigFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (jack.started()) << jack.logText();
        // The device is opened before the configuration, so that it finds an output device and
        // shows no first-run dialog. JUCE's JACK client can collide with a client of the same
        // name that another test registers at that moment: then a new manager tries again.
        for (int attempt = 0; attempt < 5 && getSharedAudioDeviceManager()->getCurrentAudioDevice() == nullptr;
             ++attempt)
        {
            deleteSharedAudioDeviceManager();
            juce::Thread::sleep (200 * (attempt + 1));
        }
        ASSERT_NE (getSharedAudioDeviceManager()->getCurrentAudioDevice(), nullptr);
        config = PellmixConfig::getInstance();
    }

    // The device closes before the JACK server stops and before JUCE shuts down.
    void TearDown() override { deleteSharedAudioDeviceManager(); }

    juce::File makerFolder() const
    {
        return juce::File (home.path() + "/.config/Application Support/Harnwick");
    }

    pellmix_test::TempDir home;
    pellmix_test::ScopedEnv homeEnv { "HOME", home.path() };
    pellmix_test::JackServer jack;
    PellmixConfig* config = nullptr;
};
