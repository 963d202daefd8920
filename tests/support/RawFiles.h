#pragma once
// Raw sample files for exchanging signals with the Python oracles: native-endian float32 or
// float64, no header.
#include <fstream>
#include <string>
#include <vector>

namespace pellmix_test
{
template <typename T>
inline bool writeRaw (const std::string& path, const std::vector<T>& samples)
{
    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out.write (reinterpret_cast<const char*> (samples.data()),
               static_cast<std::streamsize> (samples.size() * sizeof (T)));
    return static_cast<bool> (out);
}

template <typename T>
inline std::vector<T> readRaw (const std::string& path)
{
    std::ifstream in (path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    const auto bytes = static_cast<size_t> (in.tellg());
    std::vector<T> samples (bytes / sizeof (T));
    in.seekg (0);
    in.read (reinterpret_cast<char*> (samples.data()),
             static_cast<std::streamsize> (samples.size() * sizeof (T)));
    return samples;
}
} // namespace pellmix_test
