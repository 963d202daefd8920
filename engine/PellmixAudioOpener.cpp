#include "engine/PellmixAudioOpener.h"

#include "engine/PellmixInputFile.h"

#include <cstring>

namespace PellmixAudioOpener
{
class CheckedStream : public juce::InputStream
{
public:
    explicit CheckedStream (std::unique_ptr<juce::InputStream> source)
        : in (std::move (source))
    {
    }

    juce::int64 getTotalLength() override { return in->getTotalLength(); }
    bool isExhausted() override { return in->isExhausted(); }
    juce::int64 getPosition() override { return in->getPosition(); }
    bool setPosition (juce::int64 position) override { return in->setPosition (position); }

    int read (void* destination, int numBytes) override
    {
        const int got = in->read (destination, numBytes);
        if (got < numBytes)
            cameUpShort = true;
        return got;
    }

    bool cameUpShort = false;

private:
    std::unique_ptr<juce::InputStream> in;
};
} // namespace PellmixAudioOpener

namespace
{
using PellmixAudioOpener::Refusal;

bool isChunk (const char* id, const char* name)
{
    return std::memcmp (id, name, 4) == 0;
}

// Walks the chunks of a RIFF, RF64 (WAV) or FORM (AIFF) file with the lengths the framework's
// readers take, and checks that each ends within the file. In an RF64 file the "ds64" chunk comes
// first; it holds the sizes of the whole file and of the "data" chunk, whose own length field is
// then a placeholder. Chunks of odd length are followed by a pad byte, which a file's last chunk
// may lack. True for any other file. Leaves the stream at its start.
bool chunksLieWithinTheFile (juce::InputStream& in)
{
    const auto size = in.getTotalLength();
    char kind[4] = {};
    const bool got = in.read (kind, 4) == 4;
    const bool rf64 = got && isChunk (kind, "RF64");
    const bool form = got && isChunk (kind, "FORM");
    if (!rf64 && !form && !(got && isChunk (kind, "RIFF")))
    {
        in.setPosition (0);
        return true;
    }

    auto readLength = [&in, form]
    { return (juce::int64) (juce::uint32) (form ? in.readIntBigEndian() : in.readInt()); };
    char id[4] = {};
    juce::int64 at = 12;
    juce::int64 rf64DataSize = 0;
    bool inside = true;
    if (rf64)
    {
        in.setPosition (at);
        const bool hasDs64 = in.read (id, 4) == 4 && isChunk (id, "ds64");
        const auto length = readLength();
        const auto riffSize = in.readInt64();
        rf64DataSize = in.readInt64();
        inside = hasDs64 && length >= 28 && at + 8 + length <= size && riffSize >= 0 &&
                 riffSize <= size - 8 && rf64DataSize >= 0 && rf64DataSize <= size;
        at += 8 + length + (length & 1);
    }
    while (inside && at + 8 <= size)
    {
        in.setPosition (at);
        in.read (id, 4);
        auto length = readLength();
        if (rf64 && isChunk (id, "data") && rf64DataSize > 0)
            length = rf64DataSize;
        const auto end = at + 8 + length;
        inside = end <= size;
        at = end + (length & 1);
    }
    in.setPosition (0);
    return inside;
}

// The reasons a header lies, found on the reader it made.
Refusal checkHeader (const juce::AudioFormatReader& reader)
{
    if (reader.numChannels < 1 || reader.numChannels > PellmixAudioOpener::maxChannels)
        return Refusal::badChannels;
    if (!(reader.sampleRate > 0.0 && reader.sampleRate <= PellmixAudioOpener::maxRate))
        return Refusal::damaged;
    if (reader.lengthInSamples < 1)
        return Refusal::noAudio;
    return Refusal::none;
}

Refusal fromInputFile (PellmixInputFile::Refusal why)
{
    switch (why)
    {
        case PellmixInputFile::Refusal::none:
            return Refusal::none;
        case PellmixInputFile::Refusal::missing:
            return Refusal::missing;
        case PellmixInputFile::Refusal::notRegular:
            return Refusal::notRegular;
        case PellmixInputFile::Refusal::tooLarge:
        case PellmixInputFile::Refusal::unreadable:
            break;
    }
    return Refusal::unreadable;
}
} // namespace

namespace PellmixAudioOpener
{
juce::String describe (Refusal why)
{
    switch (why)
    {
        case Refusal::none:
            return {};
        case Refusal::missing:
            return PellmixInputFile::describe (PellmixInputFile::Refusal::missing);
        case Refusal::notRegular:
            return PellmixInputFile::describe (PellmixInputFile::Refusal::notRegular);
        case Refusal::unreadable:
            return PellmixInputFile::describe (PellmixInputFile::Refusal::unreadable);
        case Refusal::notAudio:
            return "is not in an audio format that can be read";
        case Refusal::damaged:
            return "is damaged";
        case Refusal::noAudio:
            return "holds no audio";
        case Refusal::badChannels:
            return "declares an impossible number of channels";
    }
    return {};
}

bool Opened::readCameUpShort() const
{
    return stream != nullptr && stream->cameUpShort;
}

Opened open (const juce::File& file, juce::AudioFormatManager& formats)
{
    Opened result;
    PellmixInputFile::Refusal fileRefusal = PellmixInputFile::Refusal::none;
    auto source = PellmixInputFile::open (file, &fileRefusal);
    result.why = source == nullptr ? fromInputFile (fileRefusal) : Refusal::notAudio;
    for (auto* format : formats)
    {
        if (result.why != Refusal::notAudio)
            break;
        if (!format->canHandleFile (file))
            continue;
        // A format that does not read the file has deleted its stream: the next one opens anew.
        if (source == nullptr && (source = PellmixInputFile::open (file, &fileRefusal)) == nullptr)
        {
            result.why = fromInputFile (fileRefusal);
            break;
        }
        auto stream = std::make_unique<CheckedStream> (std::move (source));
        if (!chunksLieWithinTheFile (*stream))
        {
            result.why = Refusal::damaged;
            break;
        }
        auto* raw = stream.get();
        std::unique_ptr<juce::AudioFormatReader> reader (format->createReaderFor (stream.release(), true));
        if (reader == nullptr)
            continue;
        result.why = checkHeader (*reader);
        if (result.why == Refusal::none)
        {
            raw->cameUpShort = false; // reading the header may meet the end of the file
            result.reader = std::move (reader);
            result.stream = raw;
        }
    }
    return result;
}
} // namespace PellmixAudioOpener
