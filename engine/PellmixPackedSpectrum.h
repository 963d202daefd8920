#pragma once
// Products of real spectra in the packed layout of FFTReal (slot k: Re X[k] for k = 0 .. n/2,
// slot n/2 + k: -Im X[k] for k = 1 .. n/2 - 1), shared by the preview convolver (float, on the
// audio thread) and the capture deconvolution (double).
#include "engine/PellmixRealtime.h"

// p = a x b over n points (a power of two). p may be a or b: each bin is read before it is written.
template <typename T>
void multiplyPackedSpectra (const T* a, const T* b, T* p, int n) noexcept PELLMIX_NONBLOCKING
{
    const int half = n / 2;
    p[0] = a[0] * b[0];
    if (n == 1)
        return;
    p[half] = a[half] * b[half];
    for (int k = 1; k < half; ++k)
    {
        const T ar = a[k], ai = a[half + k], br = b[k], bi = b[half + k];
        p[k] = ar * br - ai * bi;
        p[half + k] = ar * bi + ai * br;
    }
}
