// The configuration singleton: defaults, listeners and their broadcasts, a log that is a pipe.
#include "settings/ConfigFixture.h"
#include "support/HostileFiles.h"

#include <vector>

namespace
{
struct RecordingListener : PellmixConfig::Listener
{
    RecordingListener (int listenerId, std::vector<std::pair<int, int>>& sink)
        : id (listenerId)
        , calls (sink)
    {
    }
    void colourSettingChanged (int index) override { calls.emplace_back (id, index); }
    void tooltipsChanged (bool on) override { calls.emplace_back (id, on ? 101 : 100); }
    void processingChanged (bool on) override { calls.emplace_back (id, on ? 201 : 200); }
    int id;
    std::vector<std::pair<int, int>>& calls;
};
} // namespace

using Config = ConfigFixture;

TEST_F (Config, DefaultsAfterTheFirstInstance)
{
    const juce::uint32 expected[] = {0xffffff00, 0xffff0000, 0xff0000ff, 0xff8766b8,
                                     0xffffffff, 0xff008000, 0xff000000, 0xff2f2f2f};
    for (int i = 0; i < PellmixConfig::numColours; ++i)
        EXPECT_EQ (config->getColourByIndex (i)->getARGB(), expected[i]) << "colour " << i;
    EXPECT_EQ (config->getColourByIndex (8), nullptr);
    EXPECT_EQ (config->getColourByIndex (-1), nullptr);

    EXPECT_EQ (config->captureSlot, -1);
    EXPECT_EQ (config->captureState, PellmixCaptureHandOff::idle);
    EXPECT_TRUE (config->toolTip);
    EXPECT_TRUE (config->processingEnabled);
    EXPECT_TRUE (config->project.eqOn);
    EXPECT_EQ (config->audioDeviceReady, 0) << "an output device opened: no first-run dialog";
    ASSERT_EQ (config->project.irRecords.size(), 8);
    for (const auto& r : config->project.irRecords)
    {
        EXPECT_EQ (r.length, 1792);
        EXPECT_EQ (r.path, juce::File());
        EXPECT_FALSE (r.changed);
    }
    EXPECT_EQ (config->settings.sampleRate, 44100);
    EXPECT_EQ (config->settings.bufferSize, 512);
    EXPECT_TRUE (config->previewThread.isThreadRunning());
    EXPECT_EQ (config->previewThread.getThreadName(), "audio file preview");

    for (auto name : {"", "Vantrel Melvane", "Temp", "Impulses", "Samples", "Docs"})
        EXPECT_TRUE (makerFolder().getChildFile (name).isDirectory()) << name;
    EXPECT_FALSE (config->settings.getSettingsFile().exists()) << "nothing is saved at start";
    EXPECT_TRUE (config->logFile != nullptr && config->logFile->existsAsFile());
}

TEST_F (Config, BroadcastsReachTheLastRegisteredListenerFirst)
{
    std::vector<std::pair<int, int>> calls;
    RecordingListener a (1, calls), b (2, calls), c (3, calls);
    config->addListener (&a);
    config->addListener (&b);
    config->addListener (nullptr);
    config->addListener (&c);
    config->addListener (&a); // already registered: still one call per broadcast

    config->notifyColourChanged (4);
    config->notifyProcessingChanged (false);
    EXPECT_EQ (calls,
               (std::vector<std::pair<int, int>>{{3, 4}, {2, 4}, {1, 4}, {3, 200}, {2, 200}, {1, 200}}));

    calls.clear();
    config->toggleTooltips();
    config->toggleTooltips();
    EXPECT_TRUE (config->toolTip);
    EXPECT_EQ (calls, (std::vector<std::pair<int, int>>{
                          {3, 100}, {2, 100}, {1, 100}, {3, 101}, {2, 101}, {1, 101}}));
}

TEST_F (Config, RemovedListenersHearNothing)
{
    std::vector<std::pair<int, int>> calls;
    RecordingListener a (1, calls), b (2, calls), c (3, calls), never (4, calls);
    for (auto* l : {&a, &b, &c})
        config->addListener (l);
    config->removeListener (&b);
    config->removeListener (&never);
    config->removeListener (nullptr);
    config->notifyColourChanged (2);
    EXPECT_EQ (calls, (std::vector<std::pair<int, int>>{{3, 2}, {1, 2}}));

    calls.clear();
    config->addListener (&b); // back, now the most recent
    config->removeListener (&a);
    config->removeListener (&c);
    config->notifyTooltipsChanged (true);
    EXPECT_EQ (calls, (std::vector<std::pair<int, int>>{{2, 101}}));
    config->removeListener (&b);
}

TEST_F (Config, ResetColoursRestoresDefaultsAndSendsEightBroadcastsInOrder)
{
    for (int i = 0; i < PellmixConfig::numColours; ++i)
        *config->getColourByIndex (i) = juce::Colour (0x12345678u);

    std::vector<std::pair<int, int>> calls;
    RecordingListener a (1, calls), b (2, calls);
    config->addListener (&a);
    config->addListener (&b);
    config->resetColours();

    std::vector<std::pair<int, int>> expected;
    for (int i = 0; i < 8; ++i)
    {
        expected.emplace_back (2, i);
        expected.emplace_back (1, i);
        EXPECT_EQ (*config->getColourByIndex (i), PellmixConfig::getDefaultColour (i));
    }
    EXPECT_EQ (calls, expected);
    EXPECT_EQ (config->gridColour.getARGB(), 0xff2f2f2fu);
}

// A log that is a named pipe is not opened: the framework's logger opens it read-write, so the
// open passes, and its writes block once the pipe holds 64 kB that nobody reads.
class ConfigWithPipeLog : public ConfigFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (makerFolder().getChildFile ("Vantrel Melvane").createDirectory());
        ASSERT_TRUE (pellmix_test::makeHostilePath (logPath(), "fifo"));
        ConfigFixture::SetUp();
    }
    std::string logPath() const
    {
        return makerFolder()
            .getChildFile ("Vantrel Melvane/VantrelMelvane.log")
            .getFullPathName()
            .toStdString();
    }
};

TEST_F (ConfigWithPipeLog, IsLeftAloneAndNothingIsLoggedToIt)
{
    EXPECT_EQ (config->logger, nullptr);
    EXPECT_EQ (config->logFile, nullptr);
    EXPECT_TRUE (pellmix_test::isHostilePath (logPath(), "fifo"));
}
