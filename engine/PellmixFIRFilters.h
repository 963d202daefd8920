#pragma once
// FIR filters for the resampler's 2x half-band conversion.
//
// CFIRFilter_gen is one filter run sample by sample; CFIRFilter_Polyphase_gen is a 2x resampling
// filter run block by block. The polyphase filter splits an odd-length filter into its even and
// odd phases and runs each at the low rate, so it never multiplies inserted zeros nor computes
// discarded samples.
//
// Threading: no locks, no allocation after construction. A filter belongs to one owner and is
// used by one thread at a time.
#include <memory>
#include <vector>

// One FIR filter, one sample in, one sample out.
class CFIRFilter_gen
{
public:
    virtual ~CFIRFilter_gen() = default;
    virtual void reset() = 0; // clears the filter state
    virtual float processSample (float input) = 0;
};

// A 2x resampling filter. Both operations take (input count, output count, output, input).
class CFIRFilter_Polyphase_gen
{
public:
    virtual ~CFIRFilter_Polyphase_gen() = default;
    // Writes 2 * numIn samples.
    virtual void upsample (int numIn, int numOut, float* out, const float* in) = 0;
    // Writes numOut samples, reading 2 * numOut inputs.
    virtual void downsample (int numIn, int numOut, float* out, const float* in) = 0;
    virtual void reset() = 0;
};

// Direct-form FIR: a shifting delay line, summed from tap 0 upward in single precision.
class CFIRFilter_fpu : public CFIRFilter_gen
{
public:
    CFIRFilter_fpu (int numTaps, const float* coefficients);

    void reset() override;
    float processSample (float input) override;

protected:
    std::vector<float> delayLine;
    std::vector<float> coefficients;
    int numTaps = 0;
};

// A filter whose only non-zero tap is its last (centreIndex): a pure delay of centreIndex
// samples times that tap, kept in a circular delay line of centreIndex + 1 samples.
class CFIRFilter_Simplified_fpu : public CFIRFilter_fpu
{
public:
    CFIRFilter_Simplified_fpu (int numTaps, const float* coefficients, int centreIndex);

    float processSample (float input) override;

private:
    int centreIndex = 0;
    int writePosition = 0;
};

// 2x polyphase filter of an odd-length filter. When simplified, the even phase is taken to hold
// its only non-zero tap at the centre (true of a half-band filter) and runs as one delayed tap.
class CFIRFilter_Polyphase_fpu : public CFIRFilter_Polyphase_gen
{
public:
    CFIRFilter_Polyphase_fpu (int numTaps, const float* coefficients, bool simplified);

    void upsample (int numIn, int numOut, float* out, const float* in) override;
    void downsample (int numIn, int numOut, float* out, const float* in) override;
    void reset() override;

private:
    std::unique_ptr<CFIRFilter_gen> evenBranch;
    std::unique_ptr<CFIRFilter_gen> oddBranch;
    float heldValue = 0.0f; // odd-phase output, added to the next downsampled sample
};

// The 25-tap half-band table used by the resampler (symmetric about tap 12, sum 1).
namespace PellmixHalfBand
{
constexpr int numTaps = 25;
extern const float coefficients[numTaps];
} // namespace PellmixHalfBand
