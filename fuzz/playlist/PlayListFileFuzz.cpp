// libFuzzer target: the playlist file reader on arbitrary bytes. Every "%DIR%" in the input
// stands for the scratch folder, which holds a mono, a stereo and a three-channel WAV file and a
// text file named ".wav", so that inputs can name files that exist. Nothing may crash, leak or
// hit undefined behaviour, every entry read back must name an existing readable file by an
// absolute path, with a channel of 0..2 (0 for a mono file), and no document read may nest
// deeper than the bound.
#include "support/FuzzScratch.h"
#include "support/XmlDepthCheck.h"
#include "ui/PellmixPlayListFile.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cstdlib>
#include <string>

namespace
{
void writeWav (const juce::File& file, int numChannels)
{
    juce::AudioBuffer<float> buffer (numChannels, 64);
    buffer.clear();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (
        file.createOutputStream().release(), 48000.0, (unsigned int)numChannels, 16, {}, 0));
    if (writer == nullptr || !writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples()))
        std::abort();
}

void checkEntries (const juce::Array<PellmixPlayListEntry>& entries)
{
    for (const auto& entry : entries)
    {
        const bool mono = entry.file.getFileName() == "mono.wav";
        if (!juce::File::isAbsolutePath (entry.file.getFullPathName()) || !entry.file.existsAsFile() ||
            !entry.file.hasFileExtension (PellmixPlayListFile::readableExtensions) || entry.channel < 0 ||
            entry.channel > 2 || (mono && entry.channel != 0) || entry.file.getFileName() == "text.wav")
            std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    const auto& dir = pellmix_fuzz::scratchFolder();
    writeWav (dir.getChildFile ("mono.wav"), 1);
    writeWav (dir.getChildFile ("stereo.wav"), 2);
    writeWav (dir.getChildFile ("three.wav"), 3);
    if (!dir.getChildFile ("text.wav").replaceWithText ("not audio"))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto& dir = pellmix_fuzz::scratchFolder();
    std::string text (reinterpret_cast<const char*> (data), size);
    const std::string placeholder = "%DIR%";
    const auto folder = dir.getFullPathName().toStdString();
    for (auto at = text.find (placeholder); at != std::string::npos;
         at = text.find (placeholder, at + folder.size()))
        text.replace (at, placeholder.size(), folder);

    const auto file = dir.getChildFile ("playlist.xml");
    pellmix_fuzz::writeInput (file, reinterpret_cast<const uint8_t*> (text.data()), text.size());

    pellmix_fuzz::checkDepthBound (file, maxPlaylistFileBytes);
    juce::Array<PellmixPlayListEntry> sources, targets;
    PellmixPlayListFile::read (file, sources, targets);
    pellmix_fuzz::removeKeptAside (file);
    checkEntries (sources);
    checkEntries (targets);
    return 0;
}
