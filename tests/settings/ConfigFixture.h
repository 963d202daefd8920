#pragma once
// Builds the configuration singleton in a fresh HOME with a JACK dummy server, so the device
// opens and no first-run dialog is shown. One singleton per process: every test case runs in a
// process of its own.
#include "support/SharedDeviceForTests.h"
#include "settings/PellmixConfig.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

class ConfigFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (jack.started()) << jack.logText();
        ASSERT_TRUE (openSharedDeviceForTests());
        config = PellmixConfig::getInstance();
    }

    // The device closes before the JACK server stops and before JUCE shuts down.
    void TearDown() override { deleteSharedAudioDeviceManager(); }

    juce::File makerFolder() const
    {
        return juce::File (home.path() + "/.config/Application Support/Harnwick");
    }

    pellmix_test::TempDir home;
    pellmix_test::ScopedEnv homeEnv{"HOME", home.path()};
    pellmix_test::JackServer jack;
    PellmixConfig* config = nullptr;
};
