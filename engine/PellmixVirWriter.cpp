#include "engine/PellmixVirFile.h"

#include "engine/PellmixFileWriter.h"

namespace PellmixVir
{
bool writeVirFile (const juce::File& file, const float* const* bands, int length)
{
    const auto bytes = encodeSpectral (bands, length);
    if (bytes.empty())
        return false;

    return writeFileThroughTemporary (file, bytes.data(), bytes.size());
}
} // namespace PellmixVir
