// The real-time side of a capture, block by block without a device: the run states and the edges
// between them, where each input sample of a recording lands, the signal on the chosen output
// with its loop and its fade-out after a stop, the input peaks, the block-size flag and the
// recording's dropouts.
#include "engine/PellmixCaptureRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <vector>

namespace
{
using State = PellmixCaptureRun::State;

// A block of `channels` inputs and outputs; outputs start with a value that is neither silence
// nor signal, as a device's buffers may.
struct Block
{
    Block (int channels, int n)
        : in ((size_t)channels, std::vector<float> ((size_t)n, 0.0f))
        , out ((size_t)channels, std::vector<float> ((size_t)n, 9.0f))
    {
        for (auto& c : in)
            inPointers.push_back (c.data());
        for (auto& c : out)
            outPointers.push_back (c.data());
    }

    void process (PellmixCaptureRun& run, int inputChannel = 0, int outputChannel = 0, int expected = -1,
                  const uint64_t* hostTimeNs = nullptr)
    {
        for (auto& c : out)
            std::fill (c.begin(), c.end(), 9.0f);
        const int n = (int)in[0].size();
        run.processBlock (inPointers.data(), (int)in.size(), outPointers.data(), (int)out.size(), n,
                          inputChannel, outputChannel, expected < 0 ? n : expected, hostTimeNs);
    }

    std::vector<std::vector<float>> in, out;
    std::vector<const float*> inPointers;
    std::vector<float*> outPointers;
};

bool begin (PellmixCaptureRun& run, State s, std::vector<float> signal, size_t recordSize, int latency,
            double deviceRate = 0.0)
{
    PellmixCaptureRun::Buffers b{std::move (signal), std::vector<float> (recordSize, 0.0f)};
    return run.begin (s, b, latency, deviceRate);
}

// Brings a fresh run into a state: a recording of 8 samples completes after two blocks of 4.
void enter (PellmixCaptureRun& run, State s)
{
    if (s == State::tone)
    {
        ASSERT_TRUE (begin (run, State::tone, {0.5f}, 0, 0));
    }
    if (s == State::recording || s == State::complete || s == State::handingOver)
    {
        ASSERT_TRUE (begin (run, State::recording, {0.5f}, 8, 0));
    }
    if (s == State::complete || s == State::handingOver)
    {
        Block block (1, 4);
        block.process (run);
        block.process (run);
        ASSERT_EQ (run.getState(), State::complete);
    }
    if (s == State::handingOver)
    {
        ASSERT_TRUE (run.beginHandOver());
    }
    ASSERT_EQ (run.getState(), s);
}
} // namespace

TEST (CaptureRunBlocks, StatesChangeOnlyAlongTheirEdges)
{
    struct Edge
    {
        const char* name;
        std::function<bool (PellmixCaptureRun&)> op; // true when the operation reports a change
        State from;
        bool changed;
        State to;
    };
    auto stop = [] (PellmixCaptureRun& r)
    {
        const auto before = r.getState();
        return r.stop() == before && r.getState() != before;
    };
    auto beginTone = [] (PellmixCaptureRun& r) { return begin (r, State::tone, {1.0f}, 0, 0); };
    auto beginRecording = [] (PellmixCaptureRun& r) { return begin (r, State::recording, {1.0f}, 4, 0); };
    auto beginOther = [] (PellmixCaptureRun& r) { return begin (r, State::complete, {1.0f}, 4, 0); };
    auto abort = [] (PellmixCaptureRun& r) { return r.abort(); };
    auto handOver = [] (PellmixCaptureRun& r) { return r.beginHandOver(); };
    auto finish = [] (PellmixCaptureRun& r)
    {
        const auto before = r.getState();
        r.finishHandOver();
        return r.getState() != before;
    };

    const Edge edges[] = {
        {"tone from idle", beginTone, State::idle, true, State::tone},
        {"recording from idle", beginRecording, State::idle, true, State::recording},
        {"no other state is begun", beginOther, State::idle, false, State::idle},
        {"no tone over a tone", beginTone, State::tone, false, State::tone},
        {"no recording over a recording", beginRecording, State::recording, false, State::recording},
        {"no recording over a complete run", beginRecording, State::complete, false, State::complete},
        {"no tone while handing over", beginTone, State::handingOver, false, State::handingOver},
        {"stop a tone", stop, State::tone, true, State::idle},
        {"stop a recording", stop, State::recording, true, State::idle},
        {"a stop meets a complete run", stop, State::complete, false, State::complete},
        {"a stop meets a hand-over", stop, State::handingOver, false, State::handingOver},
        {"stop when idle", stop, State::idle, false, State::idle},
        {"abort a recording", abort, State::recording, true, State::idle},
        {"abort a complete run", abort, State::complete, true, State::idle},
        {"no abort of a tone", abort, State::tone, false, State::tone},
        {"no abort of a hand-over", abort, State::handingOver, false, State::handingOver},
        {"hand a complete run over", handOver, State::complete, true, State::handingOver},
        {"no hand-over of a recording", handOver, State::recording, false, State::recording},
        {"no hand-over when idle", handOver, State::idle, false, State::idle},
        {"finish a hand-over", finish, State::handingOver, true, State::idle},
        {"finish meets a recording", finish, State::recording, false, State::recording},
        {"finish meets a complete run", finish, State::complete, false, State::complete},
    };
    for (const auto& e : edges)
    {
        SCOPED_TRACE (e.name);
        PellmixCaptureRun run;
        ASSERT_NO_FATAL_FAILURE (enter (run, e.from));
        EXPECT_EQ (e.op (run), e.changed);
        EXPECT_EQ (run.getState(), e.to);
    }
}

TEST (CaptureRunBlocks, RecordingStoresInputSampleKAtKFromTheLatencyToTheEnd)
{
    struct RecordCase
    {
        const char* name;
        int latency, size, blockSize, blocks;
    };
    const RecordCase cases[] = {
        {"no latency", 0, 10, 4, 3},
        {"latency inside the first block", 3, 10, 4, 3},
        {"latency over two blocks", 6, 12, 4, 3},
        {"the last block partly stored", 2, 9, 4, 3},
        {"blocks after the end change nothing", 1, 8, 4, 5},
        {"latency beyond the end stores nothing", 12, 10, 4, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        PellmixCaptureRun run;
        ASSERT_TRUE (
            begin (run, State::recording, std::vector<float> (100, 0.25f), (size_t)c.size, c.latency));
        EXPECT_EQ (run.getTotal(), c.size);
        Block block (2, c.blockSize);
        int k = 0;
        for (int b = 0; b < c.blocks; ++b)
        {
            const bool recording = run.getState() == State::recording;
            for (int j = 0; j < c.blockSize; ++j)
            {
                block.in[0][(size_t)j] = (float)(-(k + j + 1)); // input sample k is -(k + 1)
                block.in[1][(size_t)j] = 100.0f;                // another input, never recorded
            }
            block.process (run);

            float expectedPeak = 0.0f;
            for (int j = 0; j < c.blockSize; ++j)
                if (!recording || (k + j >= c.latency && k + j < c.size))
                    expectedPeak = std::max (expectedPeak, (float)(k + j + 1));
            EXPECT_EQ (run.getLatestPeak(), expectedPeak) << "block " << b;
            if (recording)
                k += c.blockSize;
        }

        std::vector<float> expected ((size_t)c.size, 0.0f);
        for (int i = c.latency; i < c.size; ++i)
            expected[(size_t)i] = (float)(-(i + 1));
        EXPECT_EQ (run.getRecording(), expected);
        EXPECT_EQ (run.getState(), State::complete);
        EXPECT_GE (run.getRecordedCount(), c.size);
        EXPECT_LT (run.getRecordedCount(), c.size + c.blockSize) << "the count stops with the run";
    }
}

TEST (CaptureRunBlocks, SignalPlaysOnTheChosenOutputLoopsAndFadesOutAfterAStop)
{
    PellmixCaptureRun run;
    ASSERT_TRUE (begin (run, State::tone, {1, 2, 3, 4, 5}, 0, 0));
    Block block (3, 7);
    block.process (run, 0, 1);
    EXPECT_EQ (block.out[1], (std::vector<float>{1, 2, 3, 4, 5, 1, 2}));
    EXPECT_EQ (block.out[0], std::vector<float> (7, 0.0f));
    EXPECT_EQ (block.out[2], std::vector<float> (7, 0.0f));
    block.process (run, 0, 1);
    EXPECT_EQ (block.out[1], (std::vector<float>{3, 4, 5, 1, 2, 3, 4}));

    // An output position the device lacks: silence everywhere, and the tone goes on meanwhile.
    block.process (run, 0, 5);
    for (const auto& c : block.out)
        EXPECT_EQ (c, std::vector<float> (7, 0.0f));
    block.process (run, 0, 1);
    EXPECT_EQ (block.out[1], (std::vector<float>{2, 3, 4, 5, 1, 2, 3}));

    // Stopped: one block fades out from where the tone was, then silence.
    EXPECT_EQ (run.stop(), State::tone);
    block.process (run, 0, 1);
    const float values[] = {4, 5, 1, 2, 3, 4, 5};
    for (int j = 0; j < 7; ++j)
        EXPECT_FLOAT_EQ (block.out[1][(size_t)j], values[j] * (1.0f - (float)(j + 1) / 7.0f)) << j;
    block.process (run, 0, 1);
    EXPECT_EQ (block.out[1], std::vector<float> (7, 0.0f));

    // A sweep plays once.
    ASSERT_TRUE (begin (run, State::recording, {1, 2, 3}, 100, 0));
    block.process (run, 0, 0);
    EXPECT_EQ (block.out[0], (std::vector<float>{1, 2, 3, 0, 0, 0, 0}));
    block.process (run, 0, 0);
    EXPECT_EQ (block.out[0], std::vector<float> (7, 0.0f));
}

TEST (CaptureRunBlocks, PeaksInputChannelsAndTheBlockSizeFlag)
{
    PellmixCaptureRun run;
    Block block (2, 4);
    block.in[1] = {0.1f, -0.7f, 0.2f, 0.0f};
    block.in[0] = {0.9f, 0.9f, 0.9f, 0.9f};

    // Idle: the chosen input is metered; the largest value since the last look is kept.
    block.process (run, 1);
    EXPECT_EQ (run.getLatestPeak(), 0.7f);
    block.in[1] = {0.1f, 0.0f, 0.0f, 0.0f};
    block.process (run, 1);
    EXPECT_EQ (run.getLatestPeak(), 0.1f);
    EXPECT_EQ (run.takePeakSinceLastCall(), 0.7f);
    EXPECT_EQ (run.takePeakSinceLastCall(), 0.0f);

    // An input position the device lacks: nothing is metered.
    block.process (run, 2);
    EXPECT_EQ (run.getLatestPeak(), 0.1f);
    EXPECT_EQ (run.takePeakSinceLastCall(), 0.0f);

    // A wrong block size is flagged with its size while a tone or a recording plays, once per look.
    block.process (run, 1, 0, 8);
    EXPECT_EQ (run.takeBlockSizeMismatch(), 0);
    ASSERT_TRUE (begin (run, State::recording, {0.5f}, 40, 0));
    block.process (run, 1, 0, 4);
    EXPECT_EQ (run.takeBlockSizeMismatch(), 0);
    block.process (run, 1, 0, 8);
    EXPECT_EQ (run.takeBlockSizeMismatch(), 4);
    EXPECT_EQ (run.takeBlockSizeMismatch(), 0);

    // During a recording with no such input the count stands still.
    const auto count = run.getRecordedCount();
    block.process (run, 3);
    EXPECT_EQ (run.getRecordedCount(), count);
    EXPECT_EQ (run.getState(), State::recording);
    EXPECT_GE (run.getWorstBlockMicroseconds(), 0.0);
}

// Dropouts of a recording: blocks at 1000 Hz whose time stamps (in ms) show samples the device
// skipped, blocks shorter than the device's block size (4) from a device that gives no time
// stamps, and device stops. Blocks of 4 samples last 4 ms.
namespace
{
struct DropoutCase
{
    const char* name;
    std::vector<double> stampsMs; // one per block; empty: the device gives none
    std::vector<int> sizes;       // per block (4 when not given)
    int dropouts;
};

std::ostream& operator<< (std::ostream& os, const DropoutCase& c)
{
    return os << c.name;
}

class CaptureRunDropouts : public ::testing::TestWithParam<DropoutCase>
{
};
} // namespace

TEST_P (CaptureRunDropouts, TimeStampsOrShortBlocksShowLostSamples)
{
    const auto& c = GetParam();
    PellmixCaptureRun run;
    ASSERT_TRUE (begin (run, State::recording, {0.5f}, 1000, 0, 1000.0));
    const size_t blocks = std::max (c.stampsMs.size(), c.sizes.size());
    for (size_t i = 0; i < blocks; ++i)
    {
        Block block (1, i < c.sizes.size() ? c.sizes[i] : 4);
        const uint64_t stamp = i < c.stampsMs.size() ? (uint64_t)(c.stampsMs[i] * 1.0e6) : 0;
        block.process (run, 0, 0, 4, c.stampsMs.empty() ? nullptr : &stamp);
    }
    EXPECT_EQ (run.getState(), State::recording);
    EXPECT_EQ (run.getDropouts(), c.dropouts);
}

INSTANTIATE_TEST_SUITE_P (
    Stamps, CaptureRunDropouts,
    ::testing::Values (DropoutCase{"Steady", {0, 4, 8, 12, 16}, {}, 0},
                       DropoutCase{"JitterWithinHalfABlock", {0, 5.9, 8, 9.5, 15.4}, {}, 0},
                       DropoutCase{"OneBlockSkipped", {0, 4, 12, 16}, {}, 1},
                       DropoutCase{"TwoGaps", {0, 6.5, 10.5, 30, 34}, {}, 2},
                       DropoutCase{"ShortBlockThenGap", {0, 4, 8, 12}, {4, 2, 4, 4}, 1},
                       DropoutCase{"BlockSizeChanged", {0, 4, 6, 8, 10}, {4, 2, 2, 2, 2}, 0},
                       DropoutCase{"TimeGoesBack", {0, 4, 8, 2, 6}, {}, 1},
                       DropoutCase{"NoTimeStampsSteady", {}, {4, 4, 4, 4}, 0},
                       DropoutCase{"NoTimeStampsShortBlock", {}, {4, 4, 2, 4}, 1},
                       DropoutCase{"NoTimeStampsTwoShortBlocks", {}, {3, 4, 4, 1}, 2},
                       DropoutCase{"NoTimeStampsLongerBlock", {}, {4, 8, 4}, 0}),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (CaptureRunDeviceStops, CountDuringARecordingAndSilenceTheInput)
{
    PellmixCaptureRun run;
    Block block (1, 4);
    block.in[0] = {0.7f, 0.0f, 0.0f, 0.0f};

    // A tone: the stop silences the input, no dropout is counted.
    ASSERT_TRUE (begin (run, State::tone, {0.5f}, 0, 0, 1000.0));
    block.process (run);
    EXPECT_EQ (run.getLatestPeak(), 0.7f);
    run.deviceStopped();
    EXPECT_EQ (run.getLatestPeak(), 0.0f);
    EXPECT_EQ (run.takePeakSinceLastCall(), 0.0f);
    EXPECT_EQ (run.getDropouts(), 0);
    run.stop();

    // A recording: each stop is a dropout, and so is the jump of the time stamps after a restart.
    ASSERT_TRUE (begin (run, State::recording, {0.5f}, 1000, 0, 1000.0));
    const uint64_t first = 0, second = 4000000, afterRestart = 90000000000;
    block.process (run, 0, 0, -1, &first);
    run.deviceStopped();
    EXPECT_EQ (run.getLatestPeak(), 0.0f);
    block.process (run, 0, 0, -1, &second);
    EXPECT_EQ (run.getDropouts(), 1);
    run.deviceStopped();
    block.process (run, 0, 0, -1, &afterRestart);
    EXPECT_EQ (run.getDropouts(), 3);

    // A new recording starts with none; the blocks are counted all along.
    const auto blocks = run.getBlockCount();
    run.stop();
    ASSERT_TRUE (begin (run, State::recording, {0.5f}, 1000, 0, 1000.0));
    EXPECT_EQ (run.getDropouts(), 0);
    block.process (run);
    EXPECT_EQ (run.getBlockCount(), blocks + 1);
}
