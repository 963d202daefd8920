#include "engine/PellmixResampler.h"

#include "engine/PellmixFIRFilters.h"
#include "engine/PellmixWorkers.h"

#include <algorithm>
#include <cmath>
#include <libresample.h>
#include <mutex>
#include <utility>

namespace
{
void closeConverter (void*& handle)
{
    if (handle != nullptr)
        resample_close (handle);
    handle = nullptr;
}

// The designed converters of the ratios set up last, the most recent first. A resampler holds a
// share of its ratio's converter, so one dropped from here stays alive while a resampler uses it.
// An open that fails is not kept: the next setup of that ratio tries again.
class DesignedConverters
{
public:
    std::shared_ptr<void> get (double factor)
    {
        std::lock_guard<std::mutex> hold (mutex);
        auto found =
            std::find_if (kept.begin(), kept.end(), [=] (const auto& e) { return e.first == factor; });
        if (found != kept.end())
        {
            std::rotate (kept.begin(), found, found + 1);
            return kept.front().second;
        }

        void* opened = resample_open (1, factor, factor);
        if (opened == nullptr)
            return {};
        std::shared_ptr<void> designed (opened, [] (void* h) { resample_close (h); });
        if ((int)kept.size() == PellmixResampler::designedRatiosKept)
            kept.pop_back();
        kept.insert (kept.begin(), {factor, designed});
        return designed;
    }

private:
    std::mutex mutex;
    std::vector<std::pair<double, std::shared_ptr<void>>> kept;
};

DesignedConverters& designedConverters()
{
    static DesignedConverters store;
    return store;
}
} // namespace

PellmixResampler::PellmixResampler() = default;

PellmixResampler::~PellmixResampler()
{
    closeConverter (converter);
}

void PellmixResampler::setup (double newInputRate, double newOutputRate, int newInputBlock,
                              int newOutputBlock)
{
    inputRate = newInputRate;
    outputRate = newOutputRate;
    inputBlock = std::max (newInputBlock, 0);
    outputBlock = std::max (newOutputBlock, 0);

    if (inputRate * 2.0 == outputRate || outputRate * 2.0 == inputRate)
    {
        if (halfBandFilter == nullptr)
            halfBandFilter = std::make_unique<CFIRFilter_Polyphase_fpu> (PellmixHalfBand::numTaps,
                                                                         PellmixHalfBand::coefficients, true);
        mode = inputRate * 2.0 == outputRate ? 0 : 1;
        return;
    }

    converterInputLength = inputBlock;
    factor = outputRate / inputRate;
    if (outputBufferLength != outputBlock)
    {
        outputBufferLength = outputBlock;
        outputBuffer.assign (static_cast<size_t> (outputBufferLength), 0.0f);
    }

    closeConverter (converter);
    designedConverter.reset();
    if (std::isfinite (factor) && factor > 0.0)
        designedConverter = designedConverters().get (factor);
    mode = 2;
    resetConverter();
}

void PellmixResampler::reset()
{
    if (mode == 0 || mode == 1)
    {
        if (halfBandFilter != nullptr)
            halfBandFilter->reset();
    }
    else if (mode == 2)
    {
        resetConverter();
    }
}

void PellmixResampler::resetConverter()
{
    closeConverter (converter);
    if (designedConverter != nullptr)
        converter = resample_dup (designedConverter.get());
}

void PellmixResampler::process (const float* in, float* out)
{
    if (mode == 0 || mode == 1)
    {
        // Never read past inputBlock nor write past outputBlock, even for blocks not sized to
        // the ratio; output the filter cannot fill is silent.
        const int pairs =
            mode == 0 ? std::min (inputBlock, outputBlock / 2) : std::min (outputBlock, inputBlock / 2);
        if (mode == 0)
            halfBandFilter->upsample (pairs, 2 * pairs, out, in);
        else
            halfBandFilter->downsample (2 * pairs, pairs, out, in);
        const int written = mode == 0 ? 2 * pairs : pairs;
        std::fill (out + written, out + outputBlock, 0.0f);
        return;
    }

    if (mode == 2)
        runConverter (converter, factor, in, converterInputLength, outputBuffer.data(), outputBufferLength,
                      out);
}

int PellmixResampler::runConverter (void* handle, double factor, const float* in, int inLength, float* buffer,
                                    int bufferLength, float* out)
{
    int written = 0;
    if (handle != nullptr)
    {
        int used = 0;
        // libresample only reads its input buffer; its interface is not const-qualified.
        written = resample_process (handle, factor, const_cast<float*> (in), inLength, 1, &used, buffer,
                                    bufferLength);
        written = std::clamp (written, 0, bufferLength);
        std::copy (buffer, buffer + written, out);
    }
    // A converter that failed to open, or that wrote less than a block, leaves silence rather
    // than samples of an earlier signal.
    std::fill (out + written, out + bufferLength, 0.0f);
    return written;
}

void PellmixResampler::processEach (const float* const* in, float* const* out, int count)
{
    if (mode != 2)
    {
        for (int i = 0; i < count; ++i)
        {
            reset();
            process (in[i], out[i]);
        }
        reset();
        return;
    }
    PellmixWorkers::forEach (count, [&] (int i) { convertIndependently (in[i], out[i]); });
    reset();
}

void PellmixResampler::convertIndependently (const float* in, float* out) const
{
    std::vector<float> buffer ((size_t)outputBufferLength);
    std::unique_ptr<void, void (*) (void*)> copy (
        designedConverter != nullptr ? resample_dup (designedConverter.get()) : nullptr,
        [] (void* h) { closeConverter (h); });
    runConverter (copy.get(), factor, in, converterInputLength, buffer.data(), outputBufferLength, out);
}
