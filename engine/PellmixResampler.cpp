#include "engine/PellmixResampler.h"

#include "engine/PellmixFIRFilters.h"

#include <algorithm>
#include <cmath>
#include <libresample.h>

namespace
{
void closeConverter (void*& handle)
{
    if (handle != nullptr)
        resample_close (handle);
    handle = nullptr;
}
} // namespace

PellmixResampler::PellmixResampler() = default;

PellmixResampler::~PellmixResampler()
{
    closeConverter (converter);
    closeConverter (pristineConverter);
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

    // One untouched converter per ratio; the working one is a copy of it, remade by reset().
    // Copying costs microseconds where opening (designing the filter) costs milliseconds.
    closeConverter (converter);
    closeConverter (pristineConverter);
    if (std::isfinite (factor) && factor > 0.0)
        pristineConverter = resample_open (1, factor, factor);
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
    if (pristineConverter != nullptr)
        converter = resample_dup (pristineConverter);
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

    if (mode != 2)
        return;

    int written = 0;
    if (converter != nullptr)
    {
        int used = 0;
        // libresample only reads its input buffer; its interface is not const-qualified.
        written = resample_process (converter, factor, const_cast<float*> (in), converterInputLength, 1,
                                    &used, outputBuffer.data(), outputBufferLength);
        written = std::clamp (written, 0, outputBufferLength);
        std::copy (outputBuffer.begin(), outputBuffer.begin() + written, out);
    }
    // A converter that failed to open, or that wrote less than a block, leaves silence rather
    // than samples of an earlier signal.
    std::fill (out + written, out + outputBufferLength, 0.0f);
}
