#include "engine/PellmixInputFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// A read-only stream over a descriptor it owns.
class DescriptorStream : public juce::InputStream
{
public:
    DescriptorStream (int descriptor, juce::int64 size)
        : fd (descriptor)
        , totalLength (size)
    {
    }

    ~DescriptorStream() override { ::close (fd); }

    juce::int64 getTotalLength() override { return totalLength; }
    bool isExhausted() override { return position >= totalLength; }
    juce::int64 getPosition() override { return position; }

    bool setPosition (juce::int64 newPosition) override
    {
        if (::lseek (fd, (off_t)newPosition, SEEK_SET) < 0)
            return false;
        position = newPosition;
        return true;
    }

    int read (void* destination, int numBytes) override
    {
        int got = 0;
        while (got < numBytes)
        {
            const auto n = ::read (fd, static_cast<char*> (destination) + got, (size_t)(numBytes - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += (int)n;
        }
        position += got;
        return got;
    }

private:
    int fd;
    juce::int64 totalLength;
    juce::int64 position = 0;
};

// Opens the path without blocking and returns the descriptor of a regular file, or -1.
int openRegular (const juce::File& file, juce::int64& size, PellmixInputFile::Refusal& why)
{
    using R = PellmixInputFile::Refusal;
    const auto path = file.getFullPathName();
    const int fd = ::open (path.toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
    {
        why = errno == ENOENT || errno == ENOTDIR ? R::missing : R::unreadable;
        return -1;
    }
    struct stat info
    {
    };
    if (::fstat (fd, &info) != 0 || !S_ISREG (info.st_mode))
    {
        why = R::notRegular;
        ::close (fd);
        return -1;
    }
    // Reads of a regular file never block; the flag only mattered for the open.
    ::fcntl (fd, F_SETFL, ::fcntl (fd, F_GETFL) & ~O_NONBLOCK);
    size = (juce::int64)info.st_size;
    why = R::none;
    return fd;
}
} // namespace

namespace PellmixInputFile
{
juce::String describe (Refusal why)
{
    switch (why)
    {
        case Refusal::none:
            return {};
        case Refusal::missing:
            return "does not exist";
        case Refusal::notRegular:
            return "is not a regular file";
        case Refusal::tooLarge:
            return "is too large";
        case Refusal::unreadable:
            break;
    }
    return "cannot be read";
}

std::unique_ptr<juce::InputStream> open (const juce::File& file, Refusal* why)
{
    Refusal reason = Refusal::none;
    juce::int64 size = 0;
    const int fd = openRegular (file, size, reason);
    if (why != nullptr)
        *why = reason;
    if (fd < 0)
        return nullptr;
    return std::make_unique<DescriptorStream> (fd, size);
}

bool readAll (const juce::File& file, juce::int64 maxBytes, juce::MemoryBlock& out, Refusal* why)
{
    Refusal reason = Refusal::none;
    auto stream = open (file, &reason);
    if (stream != nullptr && stream->getTotalLength() > std::min<juce::int64> (maxBytes, INT_MAX))
        reason = Refusal::tooLarge;
    else if (stream != nullptr)
    {
        const auto size = (size_t)stream->getTotalLength();
        out.setSize (size, false);
        // A file that shrank while it was read is not what was checked.
        if (size > 0 && stream->read (out.getData(), (int)size) != (int)size)
            reason = Refusal::unreadable;
    }
    if (why != nullptr)
        *why = reason;
    if (reason != Refusal::none)
        out.reset();
    return reason == Refusal::none;
}

bool isRegularFile (const juce::File& file)
{
    struct stat info
    {
    };
    return ::stat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode);
}
} // namespace PellmixInputFile
