#include "engine/PellmixFIRFilters.h"

#include <algorithm>

namespace PellmixHalfBand
{
const float coefficients[numTaps] = {
    0.0f,         -0.0004927838f, 0.0f,           0.005177148f, 0.0f,        -0.016844185f, 0.0f,
    0.04005134f,  0.0f,           -0.09052389f,   0.0f,         0.31274536f, 0.49977398f,   0.31274536f,
    0.0f,         -0.09052389f,   0.0f,           0.04005134f,  0.0f,        -0.016844185f, 0.0f,
    0.005177148f, 0.0f,           -0.0004927838f, 0.0f,
};
} // namespace PellmixHalfBand

CFIRFilter_fpu::CFIRFilter_fpu (int taps, const float* coeffs)
    : numTaps (std::max (taps, 0))
{
    delayLine.assign (static_cast<size_t> (numTaps), 0.0f);
    coefficients.assign (coeffs, coeffs + numTaps);
}

void CFIRFilter_fpu::reset()
{
    std::fill (delayLine.begin(), delayLine.end(), 0.0f);
}

float CFIRFilter_fpu::processSample (float input)
{
    if (numTaps < 1)
        return 0.0f;

    for (int k = numTaps - 1; k > 0; --k)
        delayLine[static_cast<size_t> (k)] = delayLine[static_cast<size_t> (k - 1)];
    delayLine[0] = input;

    float sum = 0.0f;
    for (int k = 0; k < numTaps; ++k)
        sum += coefficients[static_cast<size_t> (k)] * delayLine[static_cast<size_t> (k)];
    return sum;
}

CFIRFilter_Simplified_fpu::CFIRFilter_Simplified_fpu (int taps, const float* coeffs, int centre)
    : CFIRFilter_fpu (taps, coeffs)
    , centreIndex (std::clamp (centre, 0, std::max (numTaps - 1, 0)))
{
}

float CFIRFilter_Simplified_fpu::processSample (float input)
{
    if (numTaps < 1)
        return 0.0f;

    const int p = writePosition;
    delayLine[static_cast<size_t> (p)] = input;
    writePosition = p >= centreIndex ? 0 : p + 1;
    return coefficients[static_cast<size_t> (centreIndex)] * delayLine[static_cast<size_t> (writePosition)];
}

CFIRFilter_Polyphase_fpu::CFIRFilter_Polyphase_fpu (int numTaps, const float* coefficients, bool simplified)
{
    std::vector<float> evenPhase, oddPhase;
    for (int k = 0; k < numTaps; ++k)
        (k % 2 == 0 ? evenPhase : oddPhase).push_back (coefficients[k]);

    const int half = numTaps / 2;
    if (simplified)
    {
        // Taps 0 .. half of the full filter in the even phase; only the last (the centre) is
        // non-zero in a half-band filter.
        const int taps = std::min ((half + 1) / 2 + 1, static_cast<int> (evenPhase.size()));
        evenBranch = std::make_unique<CFIRFilter_Simplified_fpu> (taps, evenPhase.data(), taps - 1);
    }
    else
    {
        evenBranch = std::make_unique<CFIRFilter_fpu> (static_cast<int> (evenPhase.size()), evenPhase.data());
    }
    oddBranch = std::make_unique<CFIRFilter_fpu> (static_cast<int> (oddPhase.size()), oddPhase.data());
}

void CFIRFilter_Polyphase_fpu::upsample (int numIn, int /*numOut*/, float* out, const float* in)
{
    for (int i = 0; i < numIn; ++i)
    {
        out[2 * i] = 2.0f * evenBranch->processSample (in[i]);
        out[2 * i + 1] = 2.0f * oddBranch->processSample (in[i]);
    }
}

void CFIRFilter_Polyphase_fpu::downsample (int /*numIn*/, int numOut, float* out, const float* in)
{
    for (int i = 0; i < numOut; ++i)
    {
        out[i] = evenBranch->processSample (in[2 * i]) + heldValue;
        heldValue = oddBranch->processSample (in[2 * i + 1]);
    }
}

void CFIRFilter_Polyphase_fpu::reset()
{
    heldValue = 0.0f;
    evenBranch->reset();
    oddBranch->reset();
}
