// The player heard on a JACK dummy device, recorded by an independent JACK client: a target file's
// right channel dry at the volume law's level, a source file through a loaded blend (checked by the
// numpy oracle of the playback callback), and the space key pausing and resuming in place.
#include "PlayerTestSupport.h"
#include "app/MainContentComponent.h"
#include "engine/EngineTestHelpers.h"
#include "engine/JackRecorder.h"

#include <unistd.h>

using player_test::pump;
using player_test::pumpUntil;

namespace
{
constexpr int rate = 44100, period = 512;

class PlayerOnJack : public player_test::PlayerFixture
{
protected:
    PlayerOnJack()
        : PlayerFixture ({rate, period, 2, 4, true})
    {
    }

    void SetUp() override
    {
        PlayerFixture::SetUp();
        if (HasFatalFailure())
            return;
        std::string error;
        ASSERT_TRUE (recorder.open ("pellmix_player_recorder_" + std::to_string (getpid()), error)) << error;
        const auto outputs = recorder.findOutputs ("^JUCEJack[^:]*:out_");
        ASSERT_EQ (outputs.size(), 4u) << env.jack.ports().listing();
        ASSERT_TRUE (recorder.connect (outputs));
    }

    // Opens the entry paused, lets the read-ahead fill, then plays it: the first block sounds whole.
    void playPrefilled (PellmixPlayer& p, const PellmixPlayListEntry& entry)
    {
        p.loadEntry (entry, false);
        p.transportAction (PellmixPlayer::pauseAction);
        pump (300);
        p.transportAction (PellmixPlayer::playAction);
        ASSERT_TRUE (p.transportSource.isPlaying());
    }

    static float gain() { return PellmixPlayer::gainForSliderValue (PellmixPlayer::startGainValue); }

    engine_test::JackRecorder recorder{4, (size_t)rate * 8};
};

// Index of the first sample at or after `from` whose magnitude exceeds zero; -1 when none.
long firstNonZero (const std::vector<float>& x, size_t from = 0)
{
    for (size_t i = from; i < x.size(); ++i)
        if (x[i] != 0.0f)
            return (long)i;
    return -1;
}

// Counts the samples of `rec` from `at` that differ from `expected` (first `count`).
int mismatches (const std::vector<float>& rec, long at, const std::vector<float>& expected, size_t begin,
                size_t count)
{
    int n = 0;
    for (size_t i = 0; i < count; ++i)
        if ((size_t)at + i >= rec.size() || begin + i >= expected.size() ||
            rec[(size_t)at + i] != expected[begin + i])
            ++n;
    return n;
}
} // namespace

TEST_F (PlayerOnJack, TargetRightEntryPlaysDryAtTheVolumeLawsLevel)
{
    // Left: a loud 500 Hz tone; right: the 0.25-amplitude 3 kHz tone that must be heard.
    const int length = rate * 2;
    juce::AudioBuffer<float> file (2, length);
    for (int i = 0; i < length; ++i)
    {
        file.setSample (0, i, 0.5f * (float)std::sin (2.0 * M_PI * 500.0 * i / rate));
        file.setSample (1, i, 0.25f * (float)std::sin (2.0 * M_PI * 3000.0 * i / rate));
    }
    player_test::writeAudio (media ("tone.wav"), file, rate);
    auto& p = build();
    p.targetList->addFiles ({media ("tone.wav").getFullPathName()});
    p.buttonClicked (p.listenTargetButton.get());
    ASSERT_EQ (config->listenedList.load(), 1);
    ASSERT_FALSE (config->processingEnabled.load());
    ASSERT_EQ (config->mainAudioOut.load(), 0);

    recorder.start();
    pump (200);
    ASSERT_NO_FATAL_FAILURE (playPrefilled (p, target().selectEntry (1)));
    EXPECT_EQ (config->playingChannel.load(), 2);
    pump (1200);
    const auto recording = recorder.finish();
    EXPECT_FALSE (recorder.overflowed());

    // Output 0 carries the right channel times the start gain, sample for sample (the tone's first
    // sample is 0: the file starts one sample before the first sound).
    std::vector<float> expected ((size_t)length);
    for (int i = 0; i < length; ++i)
        expected[(size_t)i] = file.getSample (1, i) * gain();
    const auto& out = recording[0];
    const long start = firstNonZero (out) - firstNonZero (expected);
    ASSERT_GT (start, 0) << "silence before the file";
    const size_t heard = std::min ((size_t)length, out.size() - (size_t)start);
    ASSERT_GT (heard, (size_t)rate / 2);
    EXPECT_EQ (mismatches (out, start, expected, 0, heard), 0);

    // Its level: RMS over whole periods of the tone.
    double sum = 0.0;
    const size_t n = (heard / 147) * 147; // 147 samples = 10 periods of 3 kHz at 44100 Hz
    for (size_t i = 0; i < n; ++i)
        sum += (double)out[(size_t)start + i] * out[(size_t)start + i];
    const double rms = std::sqrt (sum / (double)n);
    const double law = 0.25 * std::sqrt (0.5) * 1.0145;
    std::cout << "RMS on output 0: " << rms << " (expected " << law << ", " << 100.0 * (rms / law - 1.0)
              << " %)\n";
    RecordProperty ("rms", std::to_string (rms));
    EXPECT_NEAR (rms / law, 1.0, 0.005);

    for (int c = 1; c < 4; ++c)
        EXPECT_EQ (firstNonZero (recording[(size_t)c]), -1) << "output " << c << " is silent";
}

TEST_F (PlayerOnJack, SourceFilePlaysThroughTheLoadedBlend)
{
    pellmix_test::TempDir work{"pellmix-player-jack"};
    auto& engine = config->engine;
    ASSERT_TRUE (
        engine.loadIr (0, engine_test::writeWav (work.child ("ir0.wav"),
                                                 engine_test::decayingIr (1800, 48000.0, 1.0), 48000.0)));
    engine.setIrParameters (0, 2048, 0, 0.0f, false, -3.0f);
    ASSERT_TRUE (
        engine.loadIr (1, engine_test::writeWav (work.child ("ir1.wav"),
                                                 engine_test::decayingIr (2000, 96000.0, 1.5), 96000.0)));
    engine.setIrParameters (1, 2048, 0, 0.0f, true, 0.0f);

    const auto x = engine_test::noise (rate / 2, 5);
    engine_test::writeWav (media ("source.wav").getFullPathName().toStdString(), x, rate);
    auto& p = build(); // the device prepares the engine; the blend comes after
    engine.blend (nullptr, false, false);
    p.sourceList->addFiles ({media ("source.wav").getFullPathName()});
    p.buttonClicked (p.repeatButton.get()); // "Off": the single entry is heard once
    ASSERT_EQ (p.repeatMode, PellmixPlayer::repeatOff);
    ASSERT_TRUE (config->processingEnabled.load());

    recorder.start();
    pump (300); // the blend's crossfade passes in silence
    ASSERT_NO_FATAL_FAILURE (playPrefilled (p, source().selectEntry (0)));
    ASSERT_TRUE (pumpUntil ([&] { return p.transportState == PellmixPlayer::stopped; }, 4000));
    pump (300); // the convolution tail
    const auto recording = recorder.finish();
    EXPECT_FALSE (recorder.overflowed());

    // The oracle convolves what the transport hands on: the file times the start gain.
    std::vector<float> heard (x.size());
    for (size_t i = 0; i < x.size(); ++i)
        heard[i] = x[i] * gain();
    for (int i = 0; i < 4; ++i)
        engine_test::writeFloats (work.child ("rec" + std::to_string (i) + ".f32"), recording[(size_t)i]);
    engine_test::writeFloats (work.child ("source.f32"), heard);
    engine_test::writeFloats (work.child ("irrate.f32"),
                              engine_test::irAtRate (engine.getSum().bands[0], rate));
    std::cout << pellmix_test::runPythonScript ("engine_jack_oracle.py",
                                                {work.path(), std::to_string (rate), "1", "0", "-1"});
}

TEST_F (PlayerOnJack, SpaceKeyPausesAndResumesAtTheSamePosition)
{
    // Every sample of the file is non-zero, so the recording shows exactly where sound is.
    const int length = rate * 3;
    auto x = engine_test::noise (length, 9);
    for (auto& v : x)
        v = 0.25f * (0.6f + v);
    engine_test::writeWav (media ("steps.wav").getFullPathName().toStdString(), x, rate);

    MainContentComponent content;
    ui_test::OnScreen contentScreen (content);
    auto& p = *content.getPlayer();
    p.targetList->addFiles ({media ("steps.wav").getFullPathName()});
    p.buttonClicked (p.listenTargetButton.get()); // heard dry
    ASSERT_EQ (config->listenedList.load(), 1);
    p.loadEntry (p.targetList->model->selectEntry (0), false);
    p.transportAction (PellmixPlayer::pauseAction);

    recorder.start();
    pump (300);
    const juce::KeyPress space (juce::KeyPress::spaceKey, {}, ' ');
    ASSERT_TRUE (contentScreen.key (space));
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    pump (700);
    ASSERT_TRUE (contentScreen.key (space));
    EXPECT_EQ (p.transportState, PellmixPlayer::paused);
    const auto pausedAt = p.transportSource.getNextReadPosition();
    pump (500);
    EXPECT_EQ (p.transportSource.getNextReadPosition(), pausedAt) << "a paused transport keeps its place";
    ASSERT_TRUE (contentScreen.key (space));
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    pump (700);
    const auto recording = recorder.finish();
    p.transportAction (PellmixPlayer::stopAction);

    std::vector<float> expected ((size_t)length);
    for (int i = 0; i < length; ++i)
        expected[(size_t)i] = x[(size_t)i] * gain();

    // Before the pause: the file from its start; the block under way when the pause came is faded
    // out over its first 256 samples (the transport's own stop), then silence.
    const auto& out = recording[0];
    const long start = firstNonZero (out);
    ASSERT_GT (start, 0);
    long end = start;
    while ((size_t)end < out.size() && out[(size_t)end] != 0.0f)
        ++end;
    const long stoppedAt = end - start + 256; // where the faded block ends in the file
    ASSERT_GT (stoppedAt, rate / 3);
    EXPECT_EQ (mismatches (out, start, expected, 0, (size_t)(stoppedAt - period)), 0);
    for (long i = stoppedAt - period; i < stoppedAt - 256; ++i)
        EXPECT_LE (std::abs (out[(size_t)(start + i)]), std::abs (expected[(size_t)i]) + 1e-7f);

    // After the pause: silence, then the file again from where the sound stopped.
    const long resumed = firstNonZero (out, (size_t)end);
    ASSERT_GT (resumed, end + rate / 4) << "a gap of silence while paused";
    const size_t after = std::min (out.size() - (size_t)resumed, (size_t)(length - stoppedAt));
    ASSERT_GT (after, (size_t)rate / 4);
    EXPECT_EQ (mismatches (out, resumed, expected, (size_t)stoppedAt, after), 0)
        << "the sound goes on at file sample " << stoppedAt;
    std::cout << "paused at file sample " << stoppedAt << " (transport position " << pausedAt
              << "), silent for " << resumed - end << " samples, resumed at sample " << stoppedAt << "\n";
    EXPECT_GE (pausedAt, stoppedAt);
    EXPECT_LE (pausedAt, stoppedAt + 8) << "the transport's position is where the sound stopped";
    for (int c = 1; c < 4; ++c)
        EXPECT_EQ (firstNonZero (recording[(size_t)c]), -1) << "output " << c;
}
