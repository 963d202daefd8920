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

// A device type of one device that never opens, with the error text a busy device gives.
struct BusyDevice : juce::AudioIODevice
{
    BusyDevice()
        : juce::AudioIODevice ("Busy", "Busy type")
    {
    }
    juce::StringArray getOutputChannelNames() override { return {"out 1", "out 2"}; }
    juce::StringArray getInputChannelNames() override { return {"in 1"}; }
    juce::Array<double> getAvailableSampleRates() override { return {48000.0}; }
    juce::Array<int> getAvailableBufferSizes() override { return {512}; }
    int getDefaultBufferSize() override { return 512; }
    juce::String open (const juce::BigInteger&, const juce::BigInteger&, double, int) override
    {
        return "The device is busy";
    }
    void close() override {}
    bool isOpen() override { return false; }
    void start (juce::AudioIODeviceCallback*) override {}
    void stop() override {}
    bool isPlaying() override { return false; }
    juce::String getLastError() override { return "The device is busy"; }
    int getCurrentBufferSizeSamples() override { return 512; }
    double getCurrentSampleRate() override { return 48000.0; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return {}; }
    juce::BigInteger getActiveInputChannels() const override { return {}; }
    int getOutputLatencyInSamples() override { return 0; }
    int getInputLatencyInSamples() override { return 0; }
};

struct BusyType : juce::AudioIODeviceType
{
    BusyType()
        : juce::AudioIODeviceType ("Busy type")
    {
    }
    void scanForDevices() override {}
    juce::StringArray getDeviceNames (bool) const override { return {"Busy"}; }
    int getDefaultDeviceIndex (bool) const override { return 0; }
    int getIndexOfDevice (juce::AudioIODevice* device, bool) const override
    {
        return device != nullptr ? 0 : -1;
    }
    bool hasSeparateInputsAndOutputs() const override { return false; }
    juce::AudioIODevice* createDevice (const juce::String&, const juce::String&) override
    {
        return new BusyDevice();
    }
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

// Every request that fails is logged, the default device's included.
TEST_F (NoDevice, AFailingDefaultDeviceHasItsErrorLogged)
{
    const juce::String hyphens ("--------------------------------------");
    const juce::File stateFile (home.child ("state.xml"));
    struct Case
    {
        const char* name;
        const char* stateText; // null: no file
        juce::StringArray expected;
    };
    const juce::StringArray defaultFails{hyphens, "The device is busy",
                                         "The default device could not be opened", hyphens};
    juce::StringArray savedThenDefault{hyphens,
                                       "The device is busy",
                                       "Retrying - if the device specified fails to open, then a default "
                                       "device will be used instead",
                                       hyphens,
                                       hyphens,
                                       "The device is busy",
                                       "The default device will be used instead",
                                       hyphens};
    savedThenDefault.addArray (defaultFails);
    const Case cases[] = {
        {"no saved state", nullptr, defaultFails},
        {"a state naming the device", R"(<DEVICESETUP deviceType="Busy type" audioOutputDeviceName="Busy"/>)",
         savedThenDefault},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        stateFile.deleteFile();
        if (c.stateText != nullptr)
            stateFile.replaceWithText (c.stateText);
        juce::AudioDeviceManager manager;
        manager.addAudioDeviceType (std::make_unique<BusyType>());
        logger.lines.clear();
        openAudioDevice (manager, stateFile);
        EXPECT_EQ (manager.getCurrentAudioDevice(), nullptr);
        EXPECT_EQ (logger.lines, c.expected) << logger.lines.joinIntoString ("\n");
    }
}
