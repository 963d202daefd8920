// The shared device manager on its own (no configuration): the channel-mask text, the report
// with no device, and the manager's life.
#include "settings/SharedAudioDeviceManager.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

namespace
{
struct RecordingLogger : juce::Logger
{
    void logMessage (const juce::String& message) override { lines.add (message); }
    juce::StringArray lines;
};

// No JACK server of that name and no sound card: no device can open.
class NoDevice : public ::testing::Test
{
protected:
    void SetUp() override { juce::Logger::setCurrentLogger (&logger); }
    void TearDown() override
    {
        deleteSharedAudioDeviceManager();
        juce::Logger::setCurrentLogger (nullptr);
    }

    pellmix_test::TempDir home{"pellmix-dm"};
    pellmix_test::ScopedEnv homeEnv{"HOME", home.path()};
    pellmix_test::ScopedEnv jackEnv{"JACK_DEFAULT_SERVER", "pellmix-nobody-serves-this"};
    RecordingLogger logger;
};

juce::StringArray noDeviceReport (juce::AudioDeviceManager& manager)
{
    auto* type = manager.getCurrentDeviceTypeObject();
    return {"--------------------------------------",
            "Current audio device type: " + (type != nullptr ? type->getTypeName() : juce::String ("<none>")),
            "No audio device open"};
}
} // namespace

TEST (ChannelMaskText, SetBitsAscendingJoinedWithCommaAndSpace)
{
    struct Case
    {
        std::vector<int> bits;
        const char* text;
    };
    const Case cases[] = {
        {{}, ""},
        {{0}, "0"},
        {{0, 1, 3}, "0, 1, 3"},
        {{5}, "5"},
        {{31, 32}, "31, 32"}, // across a 32-bit word
        {{0, 100}, "0, 100"},
    };
    for (const auto& c : cases)
    {
        juce::BigInteger mask;
        for (int bit : c.bits)
            mask.setBit (bit);
        EXPECT_EQ (channelMaskToString (mask), c.text);
    }
    juce::BigInteger cleared;
    cleared.setBit (7);
    cleared.clearBit (7);
    EXPECT_EQ (channelMaskToString (cleared), "") << "a mask whose bits were all cleared";
}

TEST_F (NoDevice, ReportIsTwoLinesAfterTheHyphensAndALaterCallWritesNothing)
{
    auto* manager = getSharedAudioDeviceManager();
    ASSERT_NE (manager, nullptr);
    EXPECT_EQ (manager->getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (logger.lines, noDeviceReport (*manager)) << "no framed block without a saved state";

    EXPECT_EQ (getSharedAudioDeviceManager(), manager);
    EXPECT_EQ (logger.lines.size(), 3);

    logAudioDeviceInfo();
    auto twice = noDeviceReport (*manager);
    twice.addArray (noDeviceReport (*manager));
    EXPECT_EQ (logger.lines, twice);
}

TEST_F (NoDevice, DeletingReleasesTheManagerAndTheNextCallOpensAnew)
{
    getSharedAudioDeviceManager();
    deleteSharedAudioDeviceManager();
    deleteSharedAudioDeviceManager(); // nothing held: nothing happens
    EXPECT_EQ (logger.lines.size(), 3);

    auto* manager = getSharedAudioDeviceManager();
    ASSERT_NE (manager, nullptr);
    EXPECT_EQ (logger.lines.size(), 6) << "a new manager opens and reports again";
}
