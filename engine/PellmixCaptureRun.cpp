#include "engine/PellmixCaptureRun.h"

#include <algorithm>
#include <cmath>

namespace
{
// The monotonic clock in nanoseconds: a read that takes no lock and never waits.
int64_t nowNanoseconds() noexcept PELLMIX_NONBLOCKING
{
    timespec now{};
    clock_gettime (CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + (int64_t)now.tv_nsec;
}
} // namespace

bool PellmixCaptureRun::begin (State newState, Buffers& newBuffers, int64_t newLatency, double newDeviceRate)
{
    if (state.load() != State::idle || (newState != State::tone && newState != State::recording))
        return false;

    std::swap (buffers, newBuffers);
    looping = newState == State::tone;
    latency = std::max<int64_t> (newLatency, 0);
    total = newState == State::recording ? (int64_t)buffers.record.size() : 0;
    playPosition = 0;
    playedLastBlock = false;
    deviceRate = newDeviceRate;
    lastBlockLength = 0;
    recorded = 0;
    peakSinceTake = 0.0f;
    mismatchedBlockSize = 0;
    if (newState == State::recording)
    {
        worstBlockNanoseconds = 0;
        dropouts = 0;
    }
    state = newState;
    return true;
}

PellmixCaptureRun::State PellmixCaptureRun::stop()
{
    for (auto from : {State::tone, State::recording})
    {
        auto expected = from;
        if (state.compare_exchange_strong (expected, State::idle))
            return from;
    }
    return state.load();
}

bool PellmixCaptureRun::abort()
{
    for (auto from : {State::recording, State::complete})
    {
        auto expected = from;
        if (state.compare_exchange_strong (expected, State::idle))
            return true;
    }
    return false;
}

bool PellmixCaptureRun::beginHandOver()
{
    auto expected = State::complete;
    return state.compare_exchange_strong (expected, State::handingOver);
}

void PellmixCaptureRun::finishHandOver()
{
    auto expected = State::handingOver;
    state.compare_exchange_strong (expected, State::idle);
}

bool PellmixCaptureRun::isPlaying() const
{
    const auto s = state.load();
    return s == State::tone || s == State::recording;
}

void PellmixCaptureRun::deviceStopped()
{
    latestPeak = 0.0f;
    peakSinceTake = 0.0f;
    if (state.load() == State::recording)
        ++dropouts;
}

double PellmixCaptureRun::getWorstBlockMicroseconds() const
{
    return (double)worstBlockNanoseconds.load() / 1000.0;
}

void PellmixCaptureRun::processBlock (const float* const* inputs, int numInputs, float* const* outputs,
                                      int numOutputs, int numSamples, int inputChannel, int outputChannel,
                                      int expectedBlockSize, const uint64_t* hostTimeNs)
{
    const auto start = nowNanoseconds();
    blocks.fetch_add (1);
    const auto current = state.load();
    const bool playing = current == State::tone || current == State::recording;
    const int n = std::max (numSamples, 0);

    for (int c = 0; c < numOutputs; ++c)
        if (c != outputChannel && outputs[c] != nullptr)
            std::fill (outputs[c], outputs[c] + n, 0.0f);
    const bool outputValid =
        outputChannel >= 0 && outputChannel < numOutputs && outputs[outputChannel] != nullptr;
    render (outputValid ? outputs[outputChannel] : nullptr, n, playing);

    if (inputChannel < 0 || inputChannel >= numInputs || inputs[inputChannel] == nullptr)
        return;

    if (playing && numSamples != expectedBlockSize)
        mismatchedBlockSize = numSamples;

    if (current == State::recording)
    {
        countDropouts (hostTimeNs, n, expectedBlockSize);
        publishPeak (recordBlock (inputs[inputChannel], n));
        const int64_t count = recorded.load() + n;
        recorded = count;
        if (count >= total)
        {
            auto expected = State::recording;
            state.compare_exchange_strong (expected, State::complete);
        }
        const auto elapsed = nowNanoseconds() - start;
        if (elapsed > worstBlockNanoseconds.load())
            worstBlockNanoseconds = elapsed;
    }
    else
    {
        publishPeak (peakOf (inputs[inputChannel], n));
    }
}

void PellmixCaptureRun::countDropouts (const uint64_t* hostTimeNs, int numSamples, int expectedBlockSize)
{
    if (hostTimeNs == nullptr || !(deviceRate > 0.0))
    {
        // Without time stamps (the framework's JACK and ALSA devices give none), a block shorter
        // than the device's block size shows samples the device did not deliver.
        if (numSamples < expectedBlockSize)
            ++dropouts;
        return;
    }
    const auto now = *hostTimeNs;
    if (lastBlockLength > 0)
    {
        // The previous block covered its length; more than half a block beyond it was skipped, and
        // a time stamp that goes back means that the device started afresh.
        const double covered = (double)lastBlockLength * 1.0e9 / deviceRate;
        if (now < lastHostTimeNs || (double)(now - lastHostTimeNs) > covered * 1.5)
            ++dropouts;
    }
    lastHostTimeNs = now;
    lastBlockLength = std::max (numSamples, 1);
}

void PellmixCaptureRun::render (float* out, int numSamples, bool playing)
{
    const bool fading = !playing && playedLastBlock;
    playedLastBlock = playing;
    if (!playing && !fading)
    {
        if (out != nullptr)
            std::fill (out, out + numSamples, 0.0f);
        return;
    }

    const auto& signal = buffers.signal;
    const auto length = (int64_t)signal.size();
    for (int j = 0; j < numSamples; ++j)
    {
        float v = 0.0f;
        if (playPosition < length)
            v = signal[(size_t)playPosition];
        if (++playPosition >= length && looping && length > 0)
            playPosition = 0;
        if (fading)
            v *= 1.0f - (float)(j + 1) / (float)numSamples;
        if (out != nullptr)
            out[j] = v;
    }
}

float PellmixCaptureRun::recordBlock (const float* in, int numSamples)
{
    const int64_t k = recorded.load();
    auto& record = buffers.record;
    // Block samples j with latency <= k + j < total are stored.
    const int64_t first = std::clamp<int64_t> (latency - k, 0, numSamples);
    const int64_t last = std::clamp<int64_t> (total - k, 0, numSamples);
    float peak = 0.0f;
    for (int64_t j = first; j < last; ++j)
    {
        record[(size_t)(k + j)] = in[j];
        peak = std::max (peak, std::abs (in[j]));
    }
    return peak;
}

float PellmixCaptureRun::peakOf (const float* in, int numSamples)
{
    float peak = 0.0f;
    for (int j = 0; j < numSamples; ++j)
        peak = std::max (peak, std::abs (in[j]));
    return peak;
}

void PellmixCaptureRun::publishPeak (float peak)
{
    latestPeak = peak;
    auto seen = peakSinceTake.load();
    while (peak > seen && !peakSinceTake.compare_exchange_weak (seen, peak))
    {
    }
}
