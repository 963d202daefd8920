// Loading IRs with the rate conversion shared and side by side: a slot's bands are bitwise those
// of a libresample converter opened afresh for every band (as each conversion was once made),
// for a single load and for eight slots read at once; and what prepareIrs and loadPreparedIr
// do with slots listed twice, slots out of range, failed reads and results taken twice. Run under
// ThreadSanitizer too.
#include "EngineTestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <libresample.h>

using namespace engine_test;

namespace
{
// The bands a load of these samples at `rate` gives: the samples, bands 1 and 2 low-passed at
// 5000 and 3333.3 Hz at the file's rate (above 10 kHz), then each band converted to 96 kHz by a
// converter opened for that band alone.
PellmixIrData::Bands convertedAfresh (const std::vector<float>& samples, double rate)
{
    const int n = (int)samples.size();
    PellmixIrData::Bands bands;
    bands.fill (samples);
    if (rate > 10000.0)
    {
        juce::IIRFilter filter;
        filter.setCoefficients (juce::IIRCoefficients::makeLowPass (rate, 5000.0));
        filter.reset();
        filter.processSamples (bands[1].data(), n);
        filter.setCoefficients (juce::IIRCoefficients::makeLowPass (rate, 3333.3));
        filter.reset();
        filter.processSamples (bands[2].data(), n);
    }
    const int outLength = (int)std::floor ((double)n * 96000.0 / rate);
    const double factor = 96000.0 / rate;
    for (auto& band : bands)
    {
        void* converter = resample_open (1, factor, factor);
        std::vector<float> out ((size_t)outLength, 0.0f);
        int used = 0;
        const int written =
            resample_process (converter, factor, band.data(), n, 1, &used, out.data(), outLength);
        std::fill (out.begin() + std::clamp (written, 0, outLength), out.end(), 0.0f);
        resample_close (converter);
        band = std::move (out);
    }
    return bands;
}

bool bitwiseEqual (const PellmixIrData::Bands& a, const PellmixIrData::Bands& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].size() != b[i].size() ||
            std::memcmp (a[i].data(), b[i].data(), a[i].size() * sizeof (float)) != 0)
            return false;
    return true;
}

struct RateCase
{
    double rate;
    int frames;
};

// Rates that take libresample (not the exact 2:1 paths), one of them low enough to leave the
// bands unfiltered, and a file longer than the two seconds kept.
const RateCase rateCases[] = {
    {44100, 44100}, {22050, 9000}, {88200, 30000}, {32000, 12000},
    {11025, 5000},  {8000, 3000},  {176400, 500},  {44100, 100000},
};
} // namespace

TEST (IrLoadConcurrency, ConversionIsBitwiseThatOfAConverterOpenedPerBand)
{
    EngineWithFiles e;
    std::vector<std::pair<int, juce::File>> project;
    std::vector<PellmixIrData::Bands> expected;
    for (int i = 0; i < 8; ++i)
    {
        const auto& c = rateCases[i];
        const auto samples = noise (c.frames, 40u + (unsigned)i, 0.8f);
        const int kept = std::min (c.frames, 2 * (int)c.rate);
        expected.push_back (
            convertedAfresh (std::vector<float> (samples.begin(), samples.begin() + kept), c.rate));
        project.emplace_back (i, e.file ("rate" + std::to_string (i) + ".wav", samples, c.rate));
    }

    // One load at a time; the second load of each ratio finds its filter already designed.
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 8; ++i)
        {
            SCOPED_TRACE ("single load, rate " + std::to_string ((int)rateCases[i].rate));
            ASSERT_TRUE (e.engine.loadIr (i, project[(size_t)i].second));
            EXPECT_TRUE (bitwiseEqual (e.engine.getSlot (i).bands, expected[(size_t)i]));
        }

    // Eight slots of a project, read side by side.
    PellmixEngine fresh;
    fresh.initialise();
    auto prepared = fresh.prepareIrs (project);
    ASSERT_EQ (prepared.size(), project.size());
    for (int i = 0; i < 8; ++i)
    {
        SCOPED_TRACE ("project, rate " + std::to_string ((int)rateCases[i].rate));
        EXPECT_FALSE (fresh.isLoaded (i)) << "prepareIrs changed the slot";
        ASSERT_TRUE (fresh.loadPreparedIr (prepared[(size_t)i]));
        EXPECT_TRUE (fresh.isLoaded (i));
        EXPECT_TRUE (bitwiseEqual (fresh.getSlot (i).bands, expected[(size_t)i]));
    }
}

TEST (IrLoadConcurrency, PreparedLoadsAreTakenOnceEachIntoTheirOwnSlot)
{
    EngineWithFiles e;
    const auto a = e.file ("a.wav", decayingIr (3000, 44100.0, 1.0), 44100.0);
    const auto b = e.file ("b.wav", decayingIr (2000, 44100.0, 1.7), 44100.0);
    const juce::File broken (e.dir.child ("broken.wav"));
    ASSERT_TRUE (broken.replaceWithText ("not a wave file"));
    e.load (3, impulse (64, 4));
    const auto held = e.engine.getSlot (3).bands;

    auto prepared = e.engine.prepareIrs ({{1, a}, {1, b}, {9, a}, {-1, a}, {3, broken}, {0, b}});
    ASSERT_EQ (prepared.size(), 6u);
    struct Expectation
    {
        const char* what;
        int slot;
        bool read;
    };
    const Expectation expectations[] = {
        {"first of slot 1", 1, true},  {"second of slot 1: not read", 1, false},
        {"slot 9", 9, false},          {"slot -1", -1, false},
        {"unreadable file", 3, false}, {"slot 0", 0, true},
    };
    for (size_t i = 0; i < prepared.size(); ++i)
    {
        SCOPED_TRACE (expectations[i].what);
        EXPECT_EQ (prepared[i].slot, expectations[i].slot);
        EXPECT_EQ (prepared[i].read, expectations[i].read);
    }
    // Nothing has changed yet.
    EXPECT_FALSE (e.engine.isLoaded (0));
    EXPECT_FALSE (e.engine.isLoaded (1));
    EXPECT_EQ (e.engine.getSlot (3).bands, held);

    // Each result goes into its slot once; the others are refused and change nothing.
    EXPECT_TRUE (e.engine.loadPreparedIr (prepared[0]));
    EXPECT_FALSE (e.engine.loadPreparedIr (prepared[0]));
    for (size_t i : {1u, 2u, 3u, 4u})
        EXPECT_FALSE (e.engine.loadPreparedIr (prepared[i])) << expectations[i].what;
    EXPECT_TRUE (e.engine.loadPreparedIr (prepared[5]));

    PellmixIrSlot reference;
    ASSERT_TRUE (reference.loadFile (a, PellmixEngine::workingRate));
    EXPECT_EQ (e.engine.getSlot (1).bands, reference.bands);
    ASSERT_TRUE (reference.loadFile (b, PellmixEngine::workingRate));
    EXPECT_EQ (e.engine.getSlot (0).bands, reference.bands);
    EXPECT_TRUE (e.engine.isLoaded (3));
    EXPECT_EQ (e.engine.getSlot (3).bands, held);
    EXPECT_TRUE (e.engine.getSlot (0).active.load() && e.engine.getSlot (1).active.load());
}
