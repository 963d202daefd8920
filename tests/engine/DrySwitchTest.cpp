// Switches between the convolved and the dry signal, heard through the playback callback: a sine
// through a loaded blend, and every switch (processing off and on, the last sounding slot muted,
// removed, unmuted, a slot loaded after the last was removed) must be ramped, not a step. The
// measure is the largest sample-to-sample jump around the switch against the largest change the
// signal makes on its own before and after it.
#include "PlayerTestHelpers.h"

#include <gtest/gtest.h>

#include <functional>

using namespace engine_test;

namespace
{
constexpr double rate = 48000.0;
constexpr int block = 256;

struct SineRig
{
    EngineWithFiles files;
    Routing routing;
    std::vector<float> sine;
    TransportedSignal source;
    PellmixAudioSourcePlayer player{files.engine, routing.processingEnabled, routing.mainAudioOut,
                                    routing.playingChannel};

    SineRig()
        : sine (makeSine())
        , source (sine, true)
    {
        files.load (0, decayingIr (2048, 96000.0, 1.0));
        files.engine.blend (nullptr, false, false);
        player.setSource (&source.transport);
        FakeDevice device (rate, block);
        player.audioDeviceAboutToStart (&device);
        source.transport.start();
    }

    ~SineRig() { player.setSource (nullptr); }

    static std::vector<float> makeSine()
    {
        std::vector<float> x ((size_t)rate);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = 0.5f * (float)std::sin (2.0 * M_PI * 440.0 * (double)i / rate);
        return x;
    }

    // `count` blocks of output 0, appended to `heard`.
    void play (int count, std::vector<float>& heard)
    {
        std::vector<float> out0 ((size_t)block), out1 ((size_t)block);
        float* outs[] = {out0.data(), out1.data()};
        for (int k = 0; k < count; ++k)
        {
            player.audioDeviceIOCallbackWithContext (nullptr, 0, outs, 2, block, {});
            heard.insert (heard.end(), out0.begin(), out0.end());
        }
    }
};

double largestJump (const std::vector<float>& x, size_t begin, size_t end)
{
    double jump = 0.0;
    for (size_t i = begin + 1; i < end; ++i)
        jump = std::max (jump, (double)std::abs (x[i] - x[i - 1]));
    return jump;
}
} // namespace

TEST (DrySwitch, EverySwitchIsRampedWithinTheSignalsOwnChange)
{
    using Action = std::function<void (SineRig&)>;
    struct Case
    {
        const char* name;
        Action before; // brings the state the switch starts from, some blocks ahead of it
        Action change;
    };
    const Action nothing = [] (SineRig&) {};
    const Action processingOff = [] (SineRig& r) { r.routing.processingEnabled = false; };
    const Action processingOn = [] (SineRig& r) { r.routing.processingEnabled = true; };
    const Action muteLast = [] (SineRig& r)
    {
        r.files.engine.setMute (0, true);
        r.files.engine.blend (nullptr, false, false);
    };
    const Action removeLast = [] (SineRig& r)
    {
        r.files.engine.removeIr (0);
        r.files.engine.blend (nullptr, false, false);
    };
    const Case cases[] = {
        {"processing off (bypass, or the target list)", nothing, processingOff},
        {"processing on again", processingOff, processingOn},
        {"the last sounding slot muted", nothing, muteLast},
        {"the last sounding slot removed", nothing, removeLast},
        {"the slot unmuted", muteLast,
         [] (SineRig& r)
         {
             r.files.engine.setMute (0, false);
             r.files.engine.blend (nullptr, false, false);
         }},
        {"a slot loaded after the last was removed", removeLast,
         [] (SineRig& r)
         {
             r.files.load (3, decayingIr (1500, 96000.0, 1.7));
             r.files.engine.blend (nullptr, false, false);
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        SineRig rig;
        std::vector<float> heard;
        rig.play (4, heard);
        c.before (rig);
        rig.play (12, heard); // the state before the switch, settled
        const size_t at = heard.size();
        c.change (rig);
        rig.play (12, heard);

        // The signal's own largest change: settled before the switch, and after it once the
        // convolution's tail (2048 samples) is full.
        const double own = std::max (largestJump (heard, at - 8 * block, at),
                                     largestJump (heard, at + 10 * block, heard.size()));
        const double jump = largestJump (heard, at - 1, at + 2 * block);
        std::cout << c.name << ": jump " << jump << ", own " << own << " (" << jump / own << " times)\n";
        EXPECT_LT (jump, 1.2 * own);
    }
}

// The same switches on the engine, sample for sample: a noise through one slot at 96 kHz (the
// convolvers hold the sum itself). Each switch is one block of ramp from what was heard; a
// convolution that comes back starts from an empty tail, and after the last slot went silent it
// comes back only with the IR that a new blend publishes.
TEST (DrySwitch, StreamAroundSwitchesFollowsWhatWasHeard)
{
    const int n = 256;
    const auto x = noise (n * 16, 31);
    PlayingEngine e (decayingIr (2048, 96000.0, 1.0), n);
    const auto irA = e.engine.getSum().bands[0];
    std::vector<float> heard;
    std::vector<double> expected;
    const auto wet = [&] (const std::vector<float>& ir, int from, int begin, int end)
    { return scaled (convolve (x, ir, begin * n, end * n, from * n), scale96); };

    e.play (x, 0, 2, n, heard);
    append (expected, wet (irA, 0, 0, 2));

    e.engine.setMute (0, true); // the last sounding slot
    e.engine.blend (nullptr, false, false);
    e.play (x, 2, 2, n, heard);
    append (expected, fade (wet (irA, 0, 2, 3), dry (x, 2 * n, 3 * n)));
    append (expected, dry (x, 3 * n, 4 * n));

    e.engine.setMute (0, false); // sounding again, but not before its blend is published
    e.play (x, 4, 1, n, heard);
    append (expected, dry (x, 4 * n, 5 * n));
    const auto irB = e.reblend (decayingIr (1900, 96000.0, 1.3));
    e.play (x, 5, 2, n, heard);
    append (expected, fade (dry (x, 5 * n, 6 * n), wet (irB, 5, 5, 6)));
    append (expected, wet (irB, 5, 6, 7));

    e.play (x, 7, 2, n, heard, false); // processing off
    append (expected, fade (wet (irB, 5, 7, 8), dry (x, 7 * n, 8 * n)));
    append (expected, dry (x, 8 * n, 9 * n));
    e.play (x, 9, 3, n, heard); // and on again: the same IR, from an empty tail
    append (expected, fade (dry (x, 9 * n, 10 * n), wet (irB, 9, 9, 10)));
    append (expected, wet (irB, 9, 10, 12));

    e.engine.removeIr (0); // removed, and another slot loaded before any block
    e.load (4, decayingIr (1700, 96000.0, 0.8));
    e.engine.blend (nullptr, false, false);
    const auto irC = e.engine.getSum().bands[0];
    e.play (x, 12, 2, n, heard);
    append (expected, fade (wet (irB, 9, 12, 13), wet (irC, 12, 12, 13)));
    append (expected, wet (irC, 12, 13, 14));

    expectStream (heard, expected, "stream");
}

struct PellmixEngineTestAccess
{
    static const PellmixSpinLock& lock (const PellmixEngine& engine) { return engine.lock; }
};

// A block that finds the lock taken plays on with what was playing; what was published meanwhile
// (a new IR, or the dry state of a blend with no sounding slot) is taken by the next block that
// gets the lock: delayed by the busy blocks, never dropped.
TEST (DrySwitch, BusyLockDelaysAPublishByItsBlocksAndNeverDropsIt)
{
    const int n = 256;
    const auto x = noise (n * 12, 41);
    for (int busy : {1, 2})
    {
        SCOPED_TRACE (testing::Message() << busy << " busy blocks");
        PlayingEngine e (decayingIr (2048, 96000.0, 1.0), n);
        const auto irA = e.engine.getSum().bands[0];
        const auto wet = [&] (const std::vector<float>& ir, int from, int begin, int end)
        { return scaled (convolve (x, ir, begin * n, end * n, from * n), scale96); };
        std::vector<float> heard;
        std::vector<double> expected;
        e.play (x, 0, 2, n, heard);
        append (expected, wet (irA, 0, 0, 2));

        const auto irB = e.reblend (decayingIr (2048, 96000.0, 1.6));
        int at = 2;
        {
            const PellmixSpinLock::Scope held (PellmixEngineTestAccess::lock (e.engine));
            e.play (x, at, busy, n, heard);
        }
        append (expected, wet (irA, 0, at, at + busy));
        at += busy;
        EXPECT_EQ (e.engine.getBusyBlocks(), (juce::uint32)busy);
        EXPECT_TRUE (e.engine.isCrossfadePending());
        e.play (x, at, 2, n, heard);
        append (expected, fade (wet (irA, 0, at, at + 1), wet (irB, at, at, at + 1)));
        append (expected, wet (irB, at, at + 1, at + 2));
        at += 2;

        // The last slot muted: its live flag turns the sound dry even while the lock is taken.
        e.engine.setMute (0, true);
        e.engine.blend (nullptr, false, false);
        {
            const PellmixSpinLock::Scope held (PellmixEngineTestAccess::lock (e.engine));
            e.play (x, at, busy, n, heard);
        }
        append (expected, fade (wet (irB, at - 2, at, at + 1), dry (x, at * n, (at + 1) * n)));
        append (expected, dry (x, (at + 1) * n, (at + busy) * n));
        at += busy;

        // Unmuted with a new blend: dry until a at takes that publish.
        e.engine.setMute (0, false);
        const auto irC = e.reblend (decayingIr (1500, 96000.0, 0.7));
        {
            const PellmixSpinLock::Scope held (PellmixEngineTestAccess::lock (e.engine));
            e.play (x, at, busy, n, heard);
        }
        append (expected, dry (x, at * n, (at + busy) * n));
        at += busy;
        e.play (x, at, 2, n, heard);
        append (expected, fade (dry (x, at * n, (at + 1) * n), wet (irC, at, at, at + 1)));
        append (expected, wet (irC, at, at + 1, at + 2));

        expectStream (heard, expected, "stream");
    }
}
