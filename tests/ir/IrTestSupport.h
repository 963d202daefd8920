#pragma once
// Helpers of the IR tests: raw float files shared with the Python references, audio fixtures
// converted by sox, and a plain double-precision DFT for expected values.
#include "support/Fixtures.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace ir_test
{
inline void writeFloats (const std::string& path, const std::vector<float>& values)
{
    std::ofstream out (path, std::ios::binary);
    out.write (reinterpret_cast<const char*> (values.data()),
               (std::streamsize) (values.size() * sizeof (float)));
}

inline std::vector<float> readFloats (const std::string& path)
{
    std::ifstream in (path, std::ios::binary | std::ios::ate);
    const auto size = (size_t)in.tellg();
    std::vector<float> values (size / sizeof (float));
    in.seekg (0);
    in.read (reinterpret_cast<char*> (values.data()), (std::streamsize) (values.size() * sizeof (float)));
    return values;
}

inline std::vector<uint8_t> readBytes (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    return std::vector<uint8_t> ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());
}

inline void writeBytes (const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out (path, std::ios::binary);
    out.write (reinterpret_cast<const char*> (bytes.data()), (std::streamsize)bytes.size());
}

// Audio file written by sox from interleaved float samples. `encoding` is sox's output encoding
// arguments, e.g. {"-e", "signed", "-b", "24"}; `type` its file type ("wav", "aiff").
inline void makeAudioFile (const std::string& path, const std::string& type, double rate, int channels,
                           const std::vector<float>& interleaved, std::vector<std::string> encoding)
{
    const std::string raw = path + ".raw";
    writeFloats (raw, interleaved);
    std::vector<std::string> argv{"sox",
                                  "-t",
                                  "raw",
                                  "-r",
                                  std::to_string ((int)rate),
                                  "-e",
                                  "floating-point",
                                  "-b",
                                  "32",
                                  "-c",
                                  std::to_string (channels),
                                  "-L",
                                  raw};
    argv.insert (argv.end(), encoding.begin(), encoding.end());
    argv.insert (argv.end(), {"-t", type, path});
    const auto result = pellmix_test::run (argv);
    ASSERT_EQ (result.exitCode, 0) << result.output;
    std::remove (raw.c_str());
}

// X[k] = sum x[n] e^(-2 pi i k n / N), for k = 0 .. N/2.
inline std::vector<std::complex<double>> dft (const std::vector<double>& x, int n)
{
    std::vector<std::complex<double>> out ((size_t)n / 2 + 1);
    for (int k = 0; k <= n / 2; ++k)
    {
        std::complex<double> sum;
        for (size_t i = 0; i < x.size() && (int)i < n; ++i)
        {
            const double w = -2.0 * M_PI * (double)((int64_t)i * k % n) / (double)n;
            sum += x[i] * std::complex<double> (std::cos (w), std::sin (w));
        }
        out[(size_t)k] = sum;
    }
    return out;
}

inline float peakOf (const float* x, int n)
{
    float peak = 0.0f;
    for (int i = 0; i < n; ++i)
        peak = std::max (peak, std::abs (x[i]));
    return peak;
}

inline bool allFinite (const std::vector<float>& x)
{
    for (const float v : x)
        if (!std::isfinite (v))
            return false;
    return true;
}
} // namespace ir_test
