#include "engine/CalculsResponse.h"
#include "engine/PellmixPackedSpectrum.h"

#include "engine/FFTReal.h"

#include <algorithm>
#include <cmath>

namespace CalculsResponse
{
int deconvolutionSize (int recordingLength)
{
    const double span = 2.0 * (double)recordingLength - 1.0;
    return (int)std::exp2 (std::ceil (std::log (std::max (span, 1.0)) / std::log (2.0)));
}

bool findResponse (float* x, int M, Trim& trim)
{
    if (x == nullptr || M <= bandLength + 1)
        return false;

    int p = 0;
    float largest = 0.0f;
    for (int i = 0; i < M; ++i)
        if (std::abs (x[i]) > largest)
        {
            largest = std::abs (x[i]);
            p = i;
        }
    if (p < onsetSearch + 1 || largest < 0.1f)
        return false;

    // The peak itself reaches 0.1, so the walk ends at p at the latest.
    int i = p - onsetSearch;
    while (i < M && std::abs (x[i]) < 0.1f)
        ++i;
    const int o = i - 1;

    // Polarity: the largest sample above 0.2 from the onset, up to the first sample of the
    // opposite sign after it, or the peak.
    float best = 0.0f;
    int b = 0;
    for (int j = o; j <= p; ++j)
    {
        if (std::abs (x[j]) > 0.2f && std::abs (x[j]) > std::abs (best))
        {
            best = x[j];
            b = j;
        }
        if ((best > 0.0f && x[j] < 0.0f) || (best < 0.0f && x[j] > 0.0f))
            break;
    }
    const float polarity = (best != 0.0f && b < p) ? x[b] : x[p];

    trim.peak = p;
    trim.onset = o;
    trim.inverted = polarity < 0.0f;
    trim.start = o + bandLength < M ? o : M - bandLength - 1;
    if (trim.inverted)
        for (int k = 0; k < M; ++k)
            x[k] = -x[k];
    return true;
}

std::array<std::vector<float>, 3> makeBands (const float* x, int start, int d2, int d3)
{
    constexpr int n = bandFftSize, h = n / 2;
    FFTReal<double> fft (n);

    std::array<std::vector<double>, 3> spectra;
    std::vector<double> w ((size_t)n);
    const int starts[3] = {start, start >= d2 ? start - d2 : start, start >= d3 ? start - d3 : start};
    for (int k = 0; k < 3; ++k)
    {
        std::fill (w.begin(), w.end(), 0.0);
        for (int i = 0; i < bandLength; ++i)
            w[(size_t)i] = x[starts[k] + i];
        spectra[(size_t)k].resize ((size_t)n);
        fft.forwardTransform (spectra[(size_t)k].data(), w.data());
    }
    const auto& F0 = spectra[0];
    const auto& F1 = spectra[1];
    const auto& F2 = spectra[2];

    std::array<std::vector<double>, 3> products;
    for (auto& q : products)
        q.assign ((size_t)n, 0.0);
    for (int k = 0; k < n; ++k)
    {
        products[0][(size_t)k] = F0[(size_t)k] + 3.0 * F2[(size_t)k];
        products[2][(size_t)k] = -4.0 * F2[(size_t)k];
    }
    // 2i times the spectrum of w1: X = f[k] - i f[h+k] becomes 2 f[h+k] + 2i f[k].
    for (int k = 1; k < h; ++k)
    {
        products[1][(size_t)k] = 2.0 * F1[(size_t)(h + k)];
        products[1][(size_t)(h + k)] = -2.0 * F1[(size_t)k];
    }

    std::array<std::vector<float>, 3> bands;
    for (int b = 0; b < 3; ++b)
    {
        fft.inverseTransform (products[(size_t)b].data(), w.data());
        bands[(size_t)b].assign ((size_t)n, 0.0f);
        for (int i = 0; i < bandLength; ++i)
            bands[(size_t)b][(size_t)i] = (float)(w[(size_t)i] / (double)n);
    }
    return bands;
}

namespace
{
constexpr int commonRate = 14112000; // least common multiple of 44100, 48000 and 96000
constexpr int taps = 2049;
constexpr int centre = 1024;
constexpr int block = 2048;
constexpr int convSize = 4096;

// Windowed sinc (Blackman) of unit sum with zeros 320 taps apart: cut-off 22050 Hz at the common rate.
std::vector<double> lowPassTable()
{
    constexpr double pi = 3.141592653589793;
    std::vector<double> h ((size_t)taps);
    double sum = 0.0;
    for (int k = 0; k < taps; ++k)
    {
        const double t = (double)(k - centre) / 320.0;
        const double sinc = k == centre ? 1.0 : std::sin (pi * t) / (pi * t);
        const double a = 2.0 * pi * (double)k / (double)(taps - 1);
        const double window = 0.42 - 0.5 * std::cos (a) + 0.08 * std::cos (2.0 * a);
        h[(size_t)k] = sinc * window;
        sum += h[(size_t)k];
    }
    for (auto& v : h)
        v /= sum;
    return h;
}
} // namespace

bool convertRate (int inputCount, int outputCount, int inputRate, int outputRate, const float* input,
                  float* output)
{
    if (inputRate <= 0 || outputRate <= 0 || commonRate % inputRate != 0 || commonRate % outputRate != 0)
        return false;
    std::fill (output, output + std::max (outputCount, 0), 0.0f);
    if (inputCount <= 0 || outputCount <= 0)
        return true;

    const int up = commonRate / inputRate, down = commonRate / outputRate;
    FFTReal<double> fft (convSize);
    std::vector<double> kernel ((size_t)convSize, 0.0), kernelSpectrum ((size_t)convSize);
    const auto table = lowPassTable();
    std::copy (table.begin(), table.end(), kernel.begin());
    fft.forwardTransform (kernelSpectrum.data(), kernel.data());

    // Overlap-add over blocks of 2048 positions of the zero-stuffed input: after block b the
    // positions [2048 b, 2048 b + 2048) are complete; the next 2048 carry over.
    std::vector<double> stuffed ((size_t)convSize), spectrum ((size_t)convSize), product ((size_t)convSize);
    std::vector<double> filtered ((size_t)convSize), accumulator ((size_t)(2 * block), 0.0);
    const long long inputEnd = (long long)inputCount * up;
    int next = 0; // next output sample
    for (long long blockStart = 0; next < outputCount; blockStart += block)
    {
        if (blockStart < inputEnd)
        {
            std::fill (stuffed.begin(), stuffed.end(), 0.0);
            bool any = false;
            for (long long first = (blockStart + up - 1) / up, pos = first * up;
                 pos < blockStart + block && pos < inputEnd; pos += up)
            {
                stuffed[(size_t)(pos - blockStart)] = input[pos / up];
                any = true;
            }
            if (any)
            {
                fft.forwardTransform (spectrum.data(), stuffed.data());
                multiplyPackedSpectra (spectrum.data(), kernelSpectrum.data(), product.data(), convSize);
                fft.inverseTransform (product.data(), filtered.data());
                for (int i = 0; i < convSize; ++i)
                    accumulator[(size_t)i] += filtered[(size_t)i] / (double)convSize;
            }
        }
        for (; next < outputCount; ++next)
        {
            const long long pos = (long long)next * down + centre;
            if (pos >= blockStart + block)
                break;
            output[next] = (float)accumulator[(size_t)(pos - blockStart)];
        }
        std::copy (accumulator.begin() + block, accumulator.end(), accumulator.begin());
        std::fill (accumulator.begin() + block, accumulator.end(), 0.0);
    }

    float inPeak = 0.0f, outPeak = 0.0f;
    for (int i = 0; i < inputCount; ++i)
        inPeak = std::max (inPeak, std::abs (input[i]));
    for (int j = 0; j < outputCount; ++j)
        outPeak = std::max (outPeak, std::abs (output[j]));
    if (outPeak > 0.0f)
        for (int j = 0; j < outputCount; ++j)
            output[j] = output[j] * (inPeak / outPeak);
    return true;
}
} // namespace CalculsResponse
