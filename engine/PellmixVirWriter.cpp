#include "engine/PellmixVirFile.h"

#include <juce_core/juce_core.h>

namespace PellmixVir
{
bool writeVirFile (const juce::File& file, const float* const* bands, int length)
{
    const auto bytes = encodeSpectral (bands, length);
    if (bytes.empty())
        return false;

    // Write a sibling first so that a failed write never destroys the file already there.
    juce::TemporaryFile temp (file);
    {
        auto stream = temp.getFile().createOutputStream (32768);
        if (stream == nullptr || !stream->openedOk())
            return false;
        if (!stream->write (bytes.data(), bytes.size()))
            return false;
        stream->flush();
        if (stream->getStatus().failed())
            return false;
    }
    if (temp.getFile().getSize() != (juce::int64)bytes.size())
        return false;
    return temp.overwriteTargetFileWithTemporary();
}
} // namespace PellmixVir
