#pragma once
// Pieces of the player and playlist tests: audio files written on the fly (WAV and AIFF through the
// framework, FLAC and MP3 through sox), and a player built in the configuration of a test HOME with
// a JACK dummy device.
#include "UiTestSupport.h"
#include "ui/PellmixPlayer.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <juce_audio_formats/juce_audio_formats.h>
#include <string>
#include <vector>

namespace player_test
{
// A buffer of `channels` sines: channel c at frequencies[c] (or the last one given), peak
// `amplitude`.
inline juce::AudioBuffer<float> sines (int channels, int length, double rate, std::vector<double> frequencies,
                                       float amplitude)
{
    juce::AudioBuffer<float> buffer (channels, length);
    for (int c = 0; c < channels; ++c)
    {
        const double f = frequencies[(size_t)std::min (c, (int)frequencies.size() - 1)];
        for (int i = 0; i < length; ++i)
            buffer.setSample (c, i, amplitude * (float)std::sin (2.0 * M_PI * f * i / rate));
    }
    return buffer;
}

// Writes the buffer as WAV, or AIFF for an ".aif"/".aiff" name, with the given bit depth.
inline juce::File writeAudio (const juce::File& file, const juce::AudioBuffer<float>& buffer, double rate,
                              int bits = 32)
{
    file.deleteFile();
    std::unique_ptr<juce::AudioFormat> format;
    if (file.hasFileExtension ("aif;aiff"))
    {
        format = std::make_unique<juce::AiffAudioFormat>();
        bits = std::min (bits, 24); // integer samples only
    }
    else
        format = std::make_unique<juce::WavAudioFormat>();
    std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (
        new juce::FileOutputStream (file), rate, (unsigned int)buffer.getNumChannels(), bits, {}, 0));
    if (writer == nullptr)
        throw std::runtime_error ("no writer for " + file.getFullPathName().toStdString());
    writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
    return file;
}

// A short file of `channels` sines at 44100 Hz.
inline juce::File writeTone (const juce::File& file, int channels, double seconds, double rate = 44100.0)
{
    return writeAudio (file, sines (channels, (int)(seconds * rate), rate, {440.0, 660.0}, 0.25f), rate);
}

// A file made by sox (its format follows the extension: "flac", "mp3", ...).
inline juce::File writeWithSox (const juce::File& file, int channels, double seconds)
{
    const auto r = pellmix_test::run ({"sox", "-n", "-r", "44100", "-c", std::to_string (channels),
                                       file.getFullPathName().toStdString(), "synth",
                                       std::to_string (seconds), "sine", "440"});
    if (r.exitCode != 0 || !file.existsAsFile())
        throw std::runtime_error ("sox failed: " + r.output);
    return file;
}

inline void pump (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

// Runs the message loop until the condition holds; false after `timeoutMs`.
inline bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 3000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
    while (!condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;
        pump (10);
    }
    return true;
}

inline juce::String marks (const PellmixPlayListModel& model)
{
    juce::String s;
    for (const auto& e : model.entries)
        s << PellmixPlayListModel::channelMark (e.channel);
    return s;
}

// The configuration of a fresh HOME with a JACK dummy device, media files in a folder of their own,
// the player built on demand (after the test has prepared the playlist file, for example), and
// its alert boxes recorded and closed.
class PlayerFixture : public ::testing::Test
{
protected:
    explicit PlayerFixture (pellmix_test::JackOptions options = {})
        : env (options)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
        config = env.config;
    }
    void TearDown() override
    {
        screen.reset();
        player.reset();
        config->captureState = PellmixCaptureHandOff::idle;
    }

    PellmixPlayer& build()
    {
        player = std::make_unique<PellmixPlayer>();
        return *player;
    }
    void showOnScreen() { screen = std::make_unique<ui_test::OnScreen> (*player); }

    juce::File media (const std::string& name) const { return juce::File (mediaDir.child (name)); }
    juce::File playlistFile() const { return config->settings.playlistFile; }
    // The model of a list, and the entry the player would take from it.
    PellmixPlayListModel& source() const { return *player->sourceList->model; }
    PellmixPlayListModel& target() const { return *player->targetList->model; }
    juce::String loadedName() const { return player->fileNameLabel->getText(); }
    double position() const { return player->transportSource.getCurrentPosition(); }
    bool playing() const { return player->transportSource.isPlaying(); }

    const bool displayStarted = ui_test::processDisplay().started(); // before anything opens X
    ui_test::ConfigEnvironment env;
    ui_test::AlertRecorder alerts;
    pellmix_test::TempDir mediaDir{"pellmix-media"};
    PellmixConfig* config = nullptr;
    std::unique_ptr<PellmixPlayer> player;
    std::unique_ptr<ui_test::OnScreen> screen;
};
} // namespace player_test
