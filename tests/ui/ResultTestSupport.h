#pragma once
// Helpers for the result-plot and menu tests: IR files written on the spot, a graphics context
// that records the lines drawn into it, and a configuration listener that records broadcasts.
#include "settings/PellmixConfig.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <vector>

namespace ui_test
{
// A mono 32-bit float WAV file of `length` samples at `rate`: zeros except the given
// (position, value) pairs.
inline bool writeIrWav (const juce::File& file, double rate, int length,
                        std::initializer_list<std::pair<int, float>> samples)
{
    juce::AudioBuffer<float> buffer (1, length);
    buffer.clear();
    for (auto [position, value] : samples)
        buffer.setSample (0, position, value);

    file.deleteFile();
    std::unique_ptr<juce::OutputStream> stream = file.createOutputStream();
    if (stream == nullptr)
        return false;
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), rate, 1, 32, {}, 0));
    if (writer == nullptr)
        return false;
    stream.release(); // the writer owns the stream now
    return writer->writeFromAudioSampleBuffer (buffer, 0, length);
}

// Loads a file into a slot, shapes it and blends, as an IR block does after a drop.
inline void loadAndBlend (PellmixConfig& config, int slot, const juce::File& file, float gainDb = 0.0f)
{
    auto& project = config.project;
    project.setIrPath (slot, file);
    project.setIrGain (slot, gainDb);
    const auto r = project.irRecords[slot];
    ASSERT_TRUE (config.engine.loadIr (slot, file)) << file.getFullPathName();
    config.engine.setIrParameters (slot, r.length, r.offset, r.phase, r.invert, r.gain);
    config.engine.blend (project.eqGainsDb, true, project.eqOn);
}

// The blend a project should end in, made by an engine of its own as the IR blocks and the EQ
// panel take the records over: mute and solo of every slot, each existing file loaded and shaped,
// one blend with the project's EQ. Its sum is analysed for the result plots' 301 points.
class ReferenceBlend
{
public:
    explicit ReferenceBlend (const PellmixProject& p)
    {
        engine.initialise();
        engine.prepareSpectrum (PellmixEngine::sumSpectrum, 2048, 301, PellmixEngine::workingRate);
        for (int slot = 0; slot < p.irRecords.size(); ++slot)
        {
            const auto r = p.irRecords[slot];
            engine.setMute (slot, r.mute);
            engine.setSolo (slot, r.solo);
            if (r.path.existsAsFile())
            {
                EXPECT_TRUE (engine.loadIr (slot, r.path)) << r.path.getFullPathName();
                engine.setIrParameters (slot, r.length, r.offset, r.phase, r.invert, r.gain);
            }
        }
        engine.blend (p.eqGainsDb, true, p.eqOn);
    }

    PellmixEngine engine;
};

struct DrawnLine
{
    juce::Line<float> line;
    float thickness; // 0: the framework's default line (Graphics::drawLine without a thickness)
    juce::Colour colour;
};

// A software renderer that also records every line: default lines as they are, thick lines from
// the four-corner path that Graphics::drawLine makes of them.
class LineRecorder : public juce::LowLevelGraphicsSoftwareRenderer
{
public:
    explicit LineRecorder (const juce::Image& image)
        : juce::LowLevelGraphicsSoftwareRenderer (image)
    {
    }

    void setFill (const juce::FillType& fill) override
    {
        colour = fill.colour;
        juce::LowLevelGraphicsSoftwareRenderer::setFill (fill);
    }
    void drawLine (const juce::Line<float>& line) override
    {
        lines.push_back ({line, 0.0f, colour});
        juce::LowLevelGraphicsSoftwareRenderer::drawLine (line);
    }
    void fillPath (const juce::Path& path, const juce::AffineTransform& transform) override
    {
        std::vector<juce::Point<float>> corners;
        for (juce::Path::Iterator it (path); it.next();)
            if (it.elementType == juce::Path::Iterator::startNewSubPath ||
                it.elementType == juce::Path::Iterator::lineTo)
                corners.push_back ({it.x1, it.y1});
        if (corners.size() == 4 && transform.isIdentity())
            lines.push_back ({{(corners[0] + corners[1]) / 2.0f, (corners[2] + corners[3]) / 2.0f},
                              corners[0].getDistanceFrom (corners[1]),
                              colour});
        juce::LowLevelGraphicsSoftwareRenderer::fillPath (path, transform);
    }

    std::vector<DrawnLine> lines;

private:
    juce::Colour colour;
};

// Records the colour and tooltip broadcasts it hears while it lives.
struct BroadcastRecorder : PellmixConfig::Listener
{
    BroadcastRecorder() { PellmixConfig::getInstance()->addListener (this); }
    ~BroadcastRecorder() override { PellmixConfig::getInstance()->removeListener (this); }
    void colourSettingChanged (int index) override { colours.push_back (index); }
    void tooltipsChanged (bool on) override { tooltips.push_back (on); }
    std::vector<int> colours;
    std::vector<bool> tooltips;
};
} // namespace ui_test
