// End to end on a JACK dummy device: the IR panel on screen, the playback callback registered
// with the shared device manager playing a noise burst, and an independent JACK client recording
// the device's outputs. numpy checks each recording against the blend in force (or the dry
// signal) while files are dropped into blocks, a gain knob moves and the blocks are emptied.
#include "IrPanelTestSupport.h"
#include "engine/JackRecorder.h"
#include "engine/PlayerTestHelpers.h"

#include <unistd.h>

using namespace irpanel_test;

namespace
{
constexpr int rate = 44100;
constexpr int burstLength = rate / 2;

// Plays the burst once through the device, records the device's four outputs with a JACK client
// of its own and lets numpy compare them with the blend now in force (or the dry burst).
struct BurstCheck
{
    const std::vector<float>& burst;
    juce::AudioTransportSource& transport;
    PellmixConfig& config;
    const pellmix_test::TempDir& dir;
    int stageNumber = 0;

    void playAndCheck (const char* name, bool processed)
    {
        SCOPED_TRACE (name);
        engine_test::JackRecorder recorder (4, (size_t)rate * 3);
        std::string error;
        ASSERT_TRUE (recorder.open (
            "irpanel_rec_" + std::to_string (getpid()) + "_" + std::to_string (stageNumber++), error))
            << error;
        const auto outputs = recorder.findOutputs ("^JUCEJack[^:]*:out_");
        ASSERT_EQ (outputs.size(), 4u);
        ASSERT_TRUE (recorder.connect (outputs));
        recorder.start();
        OnScreen::pump (100);
        transport.setPosition (0.0);
        transport.start();
        for (int waited = 0; transport.getNextReadPosition() < burstLength && waited < 5000; waited += 20)
            OnScreen::pump (20);
        OnScreen::pump (250); // the convolution tail
        const auto recording = recorder.finish();
        EXPECT_FALSE (recorder.overflowed());

        const auto folder = dir.child ("stage" + std::to_string (stageNumber));
        juce::File (folder).createDirectory();
        for (int i = 0; i < 4; ++i)
            engine_test::writeFloats (folder + "/rec" + std::to_string (i) + ".f32", recording[(size_t)i]);
        engine_test::writeFloats (folder + "/source.f32", burst);
        engine_test::writeFloats (folder + "/irrate.f32",
                                  engine_test::irAtRate (config.engine.getSum().bands[0], (double)rate));
        std::cout << name << ": "
                  << pellmix_test::runPythonScript (
                         "engine_jack_oracle.py",
                         {folder, std::to_string (rate), processed ? "1" : "0", "0", "-1"});
    }
};

} // namespace

TEST (IrPanelJack, RecordingFollowsTheBlocks)
{
    ASSERT_TRUE (ui_test::processDisplay().started());
    // A synchronous server: the recorder never reads a half-written output buffer.
    JackConfigEnvironment env ({rate, 512, 2, 4, true});
    ASSERT_NE (env.config, nullptr) << env.jack.logText();
    auto& config = *env.config;
    AlertRecorder alerts;
    pellmix_test::TempDir dir{"pellmix-irpanel-jack"};

    PellmixIrPanel panel;
    OnScreen screen (panel);
    OnScreen::pump (100);
    auto at = [&] (int slot, juce::Point<int> p)
    { return panel.getLocalPoint (&panel.getBlock (slot), p).toFloat(); };
    auto centre = [&] (juce::Component& c)
    { return panel.getLocalPoint (&c, c.getLocalBounds().getCentre()).toFloat(); };

    // The source: a mono noise burst played through a transport, as the player plays a file.
    const auto burst = engine_test::noise (burstLength, 7);
    engine_test::TransportedSignal source (burst, false);
    auto& transport = source.transport;
    config.mainAudioOut = 0;
    config.playingChannel = 0;
    config.processingEnabled = true;
    PellmixAudioSourcePlayer player (config.engine, config.processingEnabled, config.mainAudioOut,
                                     config.playingChannel);
    player.setSource (&transport);
    auto* manager = getSharedAudioDeviceManager();
    manager->addAudioCallback (&player);
    ASSERT_EQ (manager->getCurrentAudioDevice()->getCurrentSampleRate(), (double)rate);

    BurstCheck check{burst, transport, config, dir};
    check.playAndCheck ("dry before any IR", false);

    const auto a =
        writeAudio (juce::File (dir.child ("a.wav")), engine_test::decayingIr (3000, 48000.0, 1.0), 48000.0);
    const auto b =
        writeAudio (juce::File (dir.child ("b.wav")), engine_test::decayingIr (2500, 96000.0, 2.2), 96000.0);
    for (auto [slot, file] : {std::pair{0, a}, std::pair{1, b}})
    {
        juce::ComponentPeer::DragInfo info;
        info.files = {file.getFullPathName()};
        info.position = at (slot, {60, 60}).roundToInt();
        ASSERT_TRUE (screen.peer->handleDragDrop (info));
        OnScreen::pump (100);
        ASSERT_EQ (config.project.irRecords[slot].path, file);
    }
    panel.getBlock (0).timerCallback();
    panel.getBlock (1).timerCallback();
    const auto bothAtZeroDb = sumBand0 (config.engine);
    check.playAndCheck ("blocks 0 and 1", true);

    // Block 1's gain knob down by 6 dB, notch by notch through the peer.
    for (int i = 0; i < 6; ++i)
        screen.wheel (centre (panel.getBlock (1).getGainSlider()), -1.0f);
    ASSERT_EQ (config.project.irRecords[1].gain, -6.0f);
    const auto afterGain = sumBand0 (config.engine);
    float largestChange = 0.0f, largest = 0.0f;
    for (size_t i = 0; i < afterGain.size(); ++i)
    {
        largestChange = std::max (largestChange, std::abs (afterGain[i] - bothAtZeroDb[i]));
        largest = std::max (largest, std::abs (bothAtZeroDb[i]));
    }
    EXPECT_GT (largestChange, 0.05f * largest) << "the knob changes the blend audibly";
    check.playAndCheck ("block 1 at -6 dB", true);

    screen.click (centre (panel.getBlock (1).getRemoveButton()));
    ASSERT_FALSE (config.engine.isLoaded (1));
    check.playAndCheck ("block 0 alone", true);

    screen.click (centre (panel.getBlock (0).getRemoveButton()));
    ASSERT_FALSE (config.engine.isLoaded (0));
    check.playAndCheck ("dry again after the last block is removed", false);

    EXPECT_TRUE (alerts.boxes.empty());
    manager->removeAudioCallback (&player);
    transport.setSource (nullptr);
    player.setSource (nullptr);
}
