// Shaping a slot's working buffers (window, fractional delay, gain) and its change and analysis
// bookkeeping.
#include "IrTestSupport.h"

#include "engine/PellmixIrSlot.h"

#include <climits>
#include <functional>
#include <thread>

using namespace ir_test;

namespace
{
constexpr int W = PellmixIrSlot::workLength;

// Distinct values everywhere: band b, sample n holds 1 + n + 10000 b.
void fillRamp (PellmixIrSlot& slot, int length)
{
    for (int b = 0; b < 3; ++b)
    {
        slot.bands[(size_t)b].resize ((size_t)length);
        for (int n = 0; n < length; ++n)
            slot.bands[(size_t)b][(size_t)n] = (float)(1 + n + 10000 * b);
    }
    slot.length = length;
}

bool allZero (const PellmixIrSlot& slot)
{
    for (int b = 0; b < 3; ++b)
        for (int n = 0; n < W; ++n)
            if (slot.getWorkBuffer (b)[n] != 0.0f)
                return false;
    return true;
}

// Direct-form reference of the Thiran all-pass for a delay of d samples:
// H(z) = (a_N + ... + a_1 z^-(N-1) + z^-N) / (1 + a_1 z^-1 + ... + a_N z^-N).
std::vector<double> thiran (const std::vector<double>& x, double d)
{
    std::vector<double> a;
    if (d < 2.0)
        a = {1.0, (1.0 - d) / (1.0 + d)};
    else
        a = {1.0, -2.0 * (d - 2.0) / (d + 1.0), (d - 1.0) * (d - 2.0) / ((d + 1.0) * (d + 2.0))};
    const int order = (int)a.size() - 1;
    std::vector<double> y (x.size(), 0.0);
    for (size_t n = 0; n < x.size(); ++n)
    {
        double acc = 0.0;
        for (int i = 0; i <= order; ++i)
        {
            if ((int)n - i < 0)
                break;
            acc += a[(size_t)(order - i)] * x[n - (size_t)i];
            if (i > 0)
                acc -= a[(size_t)i] * y[n - (size_t)i];
        }
        y[n] = acc;
    }
    return y;
}

// Group delay of an impulse response at a low angular frequency, from its phase slope.
double lowFrequencyGroupDelay (const float* h, int n)
{
    auto phaseAt = [&] (double w)
    {
        std::complex<double> sum;
        for (int i = 0; i < n; ++i)
            sum += (double)h[i] * std::exp (std::complex<double> (0.0, -w * i));
        return std::arg (sum);
    };
    const double w1 = 1e-3, w2 = 2e-3;
    return -(phaseAt (w2) - phaseAt (w1)) / (w2 - w1);
}
} // namespace

TEST (IrSlotWindow, CopiesTheRequestedPartOfEveryBand)
{
    struct Case
    {
        int windowLength, offset;
        int leadingZeros, first, count; // expected: work[k .. k+count-1] = band[first ..]
    };
    const Case cases[] = {
        {1792, 0, 0, 0, 1792},       // the whole IR
        {2048, 0, 0, 0, 1792},       // longer than the IR: 256 zeros after it
        {100, 50, 0, 50, 100},       // inside
        {500, -100, 100, 0, 400},    // negative offset: leading zeros inside the window
        {5000, -100, 100, 0, 1792},  // length capped at 2048
        {3000, 1000, 0, 1000, 792},  // runs to the IR's end
        {1, 1791, 0, 1791, 1},       // the last sample
        {10, 1791, 0, 1791, 1},      // offset at the last sample
        {10, 5000, 0, 1791, 1},      // offset beyond: that last sample
        {10, INT_MAX, 0, 1791, 1},   // large offset
        {2048, -3000, 2047, 0, 1},   // offset limited to -2047
        {2048, INT_MIN, 2047, 0, 1}, // large negative offset
        {100, -100, 100, 0, 0},      // all zeros fill the window
        {100, -500, 500, 0, 0},      // zeros beyond the window
        {0, 0, 0, 0, 0},             // zero length
        {0, 5000, 0, 0, 0},          // zero length beyond the end copies nothing either
        {-5, 0, 0, 0, 1},            // negative length: one sample
        {-5, 3000, 0, 1791, 1},      // one sample, the last
        {INT_MIN, 10, 0, 10, 1},     // one sample
        {INT_MAX, 0, 0, 0, 1792},
    };

    PellmixIrSlot slot;
    fillRamp (slot, 1792);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "length " << c.windowLength << ", offset " << c.offset);
        // Dirty buffers first: the window must zero what it does not copy.
        for (int b = 0; b < 3; ++b)
            std::fill_n (slot.getWorkBuffer (b), W, 9.0f);
        slot.setWindow (c.windowLength, c.offset);
        for (int b = 0; b < 3; ++b)
            for (int n = 0; n < W; ++n)
            {
                const bool copied = n >= c.leadingZeros && n < c.leadingZeros + c.count;
                const float expected =
                    copied ? slot.bands[(size_t)b][(size_t)(c.first + n - c.leadingZeros)] : 0.0f;
                ASSERT_EQ (slot.getWorkBuffer (b)[n], expected) << "band " << b << " sample " << n;
            }
    }
}

TEST (IrSlotWindow, IrLongerThanTheWindowReachesItsEnd)
{
    PellmixIrSlot slot;
    fillRamp (slot, 5000);
    slot.setWindow (2048, 4000);
    EXPECT_EQ (slot.getWorkBuffer (0)[0], 4001.0f);
    EXPECT_EQ (slot.getWorkBuffer (0)[999], 5000.0f);
    EXPECT_EQ (slot.getWorkBuffer (0)[1000], 0.0f);
    slot.setWindow (2048, 2500);
    EXPECT_EQ (slot.getWorkBuffer (2)[2047], 2500.0f + 2048.0f + 20000.0f);
}

TEST (IrSlotWindow, EmptySlotStaysSilentThroughEveryStep)
{
    const std::pair<int, int> windows[] = {{2048, 0}, {10, -5}, {-1, 7}, {1, 0}, {0, -3}};
    PellmixIrSlot slot; // never loaded: no bands, length 0
    EXPECT_TRUE (allZero (slot));
    for (const auto& [windowLength, offset] : windows)
    {
        slot.setWindow (windowLength, offset);
        slot.setPhase (100.0f);
        slot.setGain (12.0f);
        EXPECT_TRUE (allZero (slot)) << windowLength << ", " << offset;
    }
}

TEST (IrSlotPhase, MatchesReferenceAllPassAndItsDelay)
{
    // Phases around the switch between first and second order (at about 6.31) and the ends.
    const float phases[] = {0.0f, 1.0f, 3.0f, 6.3f, 6.32f, 20.0f, 50.0f, 100.0f};
    for (const float phase : phases)
    {
        SCOPED_TRACE (phase);
        const double d = (double)(phase * 32.0f / 100.0f * 0.99f);

        PellmixIrSlot slot;
        slot.bands = {std::vector<float> ((size_t)W, 0.0f), std::vector<float> ((size_t)W, 0.0f),
                      std::vector<float> ((size_t)W, 0.0f)};
        slot.bands[0][0] = 1.0f; // impulse: the output is the filter's impulse response
        for (int n = 0; n < W; ++n)
            slot.bands[1][(size_t)n] = std::sin (0.05f * (float)n) * std::exp (-(float)n / 300.0f);
        slot.bands[2][5] = -0.5f;
        slot.bands[2][6] = 0.25f;
        slot.length = W;
        slot.setWindow (W, 0);
        slot.setPhase (phase);

        for (int b = 0; b < 3; ++b)
        {
            const std::vector<double> in (slot.bands[(size_t)b].begin(), slot.bands[(size_t)b].end());
            const auto expected = thiran (in, d);
            for (int n = 0; n < W; ++n)
                ASSERT_NEAR (slot.getWorkBuffer (b)[n], expected[(size_t)n], 1e-5)
                    << "band " << b << " sample " << n;
        }
        EXPECT_NEAR (lowFrequencyGroupDelay (slot.getWorkBuffer (0), W), d, 0.01);
        if (phase == 0.0f)
        {
            EXPECT_TRUE (std::equal (slot.bands[1].begin(), slot.bands[1].end(), slot.getWorkBuffer (1)));
        }
    }
}

TEST (IrSlotGain, NormalisesEachBandToItsOwnPeak)
{
    struct Case
    {
        float gainDb;
        std::array<float, 3> peaks; // band b is a shape scaled to this peak (negative: its largest
                                    // magnitude is a negative sample)
    };
    const Case cases[] = {
        {0.0f, {0.25f, 2.0f, 0.0f}},
        {6.0f, {1.0f, -0.5f, 1e-6f}},
        {-12.0f, {-3.0f, 0.0f, 0.75f}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.gainDb);
        PellmixIrSlot slot;
        slot.bands = {std::vector<float> (100), std::vector<float> (100), std::vector<float> (100)};
        for (int b = 0; b < 3; ++b)
            for (int n = 0; n < 100; ++n)
                slot.bands[(size_t)b][(size_t)n] =
                    c.peaks[(size_t)b] * (n == 7 ? 1.0f : 0.3f * std::cos ((float)n));
        slot.length = 100;
        slot.setWindow (W, 0);
        slot.setGain (c.gainDb);

        const float g = std::pow (10.0f, c.gainDb / 20.0f);
        for (int b = 0; b < 3; ++b)
        {
            const float peak = std::abs (c.peaks[(size_t)b]);
            for (int n = 0; n < 100; ++n)
            {
                const float expected = peak == 0.0f ? 0.0f : slot.bands[(size_t)b][(size_t)n] * g / peak;
                ASSERT_NEAR (slot.getWorkBuffer (b)[n], expected, 1e-6f * g)
                    << "band " << b << " sample " << n;
            }
            EXPECT_EQ (slot.getWorkBuffer (b)[W - 1], 0.0f);
        }
    }
}

TEST (IrSlotState, ChangesAndAnalysisAreTracked)
{
    PellmixIrSlot slot;
    EXPECT_TRUE (slot.active);
    EXPECT_FALSE (slot.analysisValid);
    EXPECT_EQ (slot.changedTime, juce::Time());
    EXPECT_EQ (slot.analysedTime, juce::Time());
    slot.analyser.prepare (2048, 224, 96000.0);

    fillRamp (slot, 1792);
    slot.setWindow (1, 0); // a single sample: an impulse of height 1
    EXPECT_FALSE (slot.analysisValid);
    EXPECT_NE (slot.changedTime, juce::Time());

    slot.analyse();
    EXPECT_TRUE (slot.analysisValid);
    EXPECT_GE (slot.analysedTime, slot.changedTime);
    // A lone impulse has a flat spectrum, normalised to -20 dB.
    for (const float db : slot.analyser.magnitudesDb)
        EXPECT_NEAR (db, -20.0f, 1e-3f);

    using Step = std::function<void (PellmixIrSlot&)>;
    const std::pair<const char*, Step> steps[] = {
        {"window", [] (PellmixIrSlot& s) { s.setWindow (100, 0); }},
        {"phase", [] (PellmixIrSlot& s) { s.setPhase (10.0f); }},
        {"gain", [] (PellmixIrSlot& s) { s.setGain (-3.0f); }},
        {"active", [] (PellmixIrSlot& s) { s.setActive (true); }},
        {"clear", [] (PellmixIrSlot& s) { s.clear(); }},
    };
    for (const auto& [name, step] : steps)
    {
        SCOPED_TRACE (name);
        slot.analyse();
        const auto before = slot.changedTime;
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
        step (slot);
        EXPECT_FALSE (slot.analysisValid);
        EXPECT_GT (slot.changedTime, before);
    }
    EXPECT_FALSE (slot.active);
    EXPECT_TRUE (allZero (slot));
    EXPECT_EQ (slot.getLength(), 1792) << "clearing keeps the bands";
    EXPECT_EQ (slot.bands[0].size(), 1792u);

    slot.setWindow (2048, 0);
    slot.allocateWorkBuffers();
    EXPECT_TRUE (allZero (slot));
}
