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

// What the chunk walk found.
struct Chunks
{
    bool inside = true;        // every chunk the readers visit ends within the file
    bool hasSoundData = false; // a "data" (WAV) or "SSND" (AIFF) chunk is among them
};

// Walks the chunks of a RIFF, RF64 (WAV) or FORM (AIFF) file as the framework's readers do, with
// the lengths they take, and checks that each ends within the file. The readers stop at the end
// of the container (its declared size + 8), so bytes after it (an ID3 tag, say) are not chunks;
// a container that declares more than the file holds is walked to the file's end. In an RF64
// file the "ds64" chunk comes first; it holds the sizes of the whole file and of the "data"
// chunk, whose own length field is then a placeholder. Chunks of odd length are followed by a pad
// byte, which a file's last chunk may lack. Leaves the stream at its start.
Chunks walkChunks (juce::InputStream& in)
{
    const auto size = in.getTotalLength();
    char kind[4] = {};
    const bool got = in.read (kind, 4) == 4;
    const bool rf64 = got && isChunk (kind, "RF64");
    const bool form = got && isChunk (kind, "FORM");
    Chunks found;
    if (!rf64 && !form && !(got && isChunk (kind, "RIFF")))
    {
        in.setPosition (0);
        return found;
    }

    auto readLength = [&in, form]
    { return (juce::int64) (juce::uint32) (form ? in.readIntBigEndian() : in.readInt()); };
    char id[4] = {};
    juce::int64 at = 12;
    juce::int64 end = readLength() + 8;
    juce::int64 rf64DataSize = 0;
    if (rf64)
    {
        in.setPosition (at);
        const bool hasDs64 = in.read (id, 4) == 4 && isChunk (id, "ds64");
        const auto length = readLength();
        const auto riffSize = in.readInt64();
        rf64DataSize = in.readInt64();
        found.inside = hasDs64 && length >= 28 && at + 8 + length <= size && riffSize >= 0 &&
                       riffSize <= size - 8 && rf64DataSize >= 0 && rf64DataSize <= size;
        end = riffSize + 8;
        at += 8 + length + (length & 1);
    }
    while (found.inside && at < end && at + 8 <= size)
    {
        in.setPosition (at);
        in.read (id, 4);
        auto length = readLength();
        if (rf64 && isChunk (id, "data") && rf64DataSize > 0)
            length = rf64DataSize;
        found.hasSoundData = found.hasSoundData || isChunk (id, form ? "SSND" : "data");
        const auto chunkEnd = at + 8 + length;
        found.inside = chunkEnd <= size;
        at = chunkEnd + (length & 1);
    }
    in.setPosition (0);
    return found;
}

// The reasons a header lies, found on the reader it made. The framework's WAV and AIFF readers
// (`pcm`) decode samples of 8, 16, 24 or 32 bits only: another size reads as silence, and one
// under 8 bits on one channel makes frames of no bytes, which divide by zero. The AIFF reader also
// takes the frame count of the header as it stands, so the frames declared must fit in the file.
Refusal checkHeader (const juce::AudioFormatReader& reader, bool pcm, juce::int64 fileSize)
{
    if (reader.numChannels < 1 || reader.numChannels > PellmixAudioOpener::maxChannels)
        return Refusal::badChannels;
    if (!(reader.sampleRate > 0.0 && reader.sampleRate <= PellmixAudioOpener::maxRate))
        return Refusal::damaged;
    if (reader.lengthInSamples < 1)
        return Refusal::noAudio;
    if (pcm)
    {
        const auto bits = reader.bitsPerSample;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return Refusal::damaged;
        if (reader.lengthInSamples * (juce::int64)reader.numChannels * (juce::int64) (bits / 8) > fileSize)
            return Refusal::damaged;
    }
    return Refusal::none;
}

// True when `reader` is the framework's WAV or AIFF reader (a WAV file holding Ogg data gets the
// Ogg reader).
bool isPcmReader (const juce::AudioFormatReader& reader, juce::AudioFormat& format)
{
    const bool pcmFormat = dynamic_cast<juce::WavAudioFormat*> (&format) != nullptr ||
                           dynamic_cast<juce::AiffAudioFormat*> (&format) != nullptr;
    return pcmFormat && reader.getFormatName() == format.getFormatName();
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
        const auto chunks = walkChunks (*stream);
        if (!chunks.inside)
        {
            result.why = Refusal::damaged;
            break;
        }
        auto* raw = stream.get();
        const auto size = raw->getTotalLength();
        std::unique_ptr<juce::AudioFormatReader> reader (format->createReaderFor (stream.release(), true));
        if (reader == nullptr)
            continue;
        const bool pcm = isPcmReader (*reader, *format);
        result.why = checkHeader (*reader, pcm, size);
        // Without a sound data chunk the AIFF reader would read from a position it never set.
        if (result.why == Refusal::none && pcm && !chunks.hasSoundData)
            result.why = Refusal::noAudio;
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
