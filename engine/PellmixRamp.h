#pragma once
// The one-block switch between two signals, shared by the engine's crossfades and the playback
// callback's processing switch: a linear ramp over a call of `length` samples, sample 0 all
// `from`, sample length - 1 all `to` (a call of one sample is all `to`). A call processed in
// pieces passes each piece with its offset into the call, so the ramp spans the whole call.
//
// Any thread; the audio thread uses it (PELLMIX_NONBLOCKING: no allocation, no lock).
#include "engine/PellmixRealtime.h"

#include <cmath>

// out[i] = from[i] * (length - 1 - k) / (length - 1) + to[i] * k / (length - 1), with
// k = offset + i, for i in [0, n). out may be from or to. A sample that is not finite counts as
// silence: even a weight of 0 would pass it on.
inline void pellmixRamp (const float* from, const float* to, float* out, int n, int offset,
                         int length) noexcept PELLMIX_NONBLOCKING
{
    const auto finiteOrSilence = [] (float v) noexcept PELLMIX_NONBLOCKING
    { return std::isfinite (v) ? v : 0.0f; };
    if (length < 2)
    {
        for (int i = 0; i < n; ++i)
            out[i] = finiteOrSilence (to[i]);
        return;
    }
    const auto last = (float)(length - 1);
    const auto w = 1.0f / last;
    for (int i = 0; i < n; ++i)
    {
        const auto k = (float)(offset + i);
        out[i] = (last - k) * finiteOrSilence (from[i]) * w + k * finiteOrSilence (to[i]) * w;
    }
}
