// Outside files are opened only when they are regular files, and never block: a named pipe with
// no writer, a link to an endless device, a folder and a huge sparse file are refused at once,
// each with its reason, while regular files (empty ones included) read whole.
#include "support/Fixtures.h"
#include "support/HostileFiles.h"

#include "engine/PellmixInputFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using Refusal = PellmixInputFile::Refusal;

namespace
{
void writeText (const std::string& path, const std::string& text)
{
    std::ofstream (path, std::ios::binary) << text;
}

// Builds the named kind of path in `dir` and returns it.
std::string makePath (const pellmix_test::TempDir& dir, const std::string& kind)
{
    const auto path = dir.child (kind);
    if (kind == "regular")
        writeText (path, "<a>1</a>");
    else if (kind == "empty")
        writeText (path, "");
    else if (kind == "link-to-regular")
    {
        writeText (path + ".target", "<b/>");
        EXPECT_EQ (symlink ((path + ".target").c_str(), path.c_str()), 0);
    }
    else if (kind != "missing")
    {
        EXPECT_TRUE (pellmix_test::makeHostilePath (path, kind)) << kind;
    }
    return path;
}
} // namespace

TEST (InputFile, OnlyRegularFilesWithinTheLimitAreReadAndNothingBlocks)
{
    pellmix_test::TempDir dir ("inputfile");
    const struct
    {
        const char* kind;
        Refusal expected;
        juce::int64 bytes;
    } cases[] = {
        {"regular", Refusal::none, 8},         {"empty", Refusal::none, 0},
        {"link-to-regular", Refusal::none, 4}, {"missing", Refusal::missing, 0},
        {"fifo", Refusal::notRegular, 0},      {"folder", Refusal::notRegular, 0},
        {"zero-link", Refusal::notRegular, 0}, {"sparse-2GiB", Refusal::tooLarge, 0},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.kind);
        const juce::File file (makePath (dir, c.kind));
        const auto start = std::chrono::steady_clock::now();

        juce::MemoryBlock bytes;
        Refusal why = Refusal::unreadable;
        EXPECT_EQ (PellmixInputFile::readAll (file, 1 << 20, bytes, &why), c.expected == Refusal::none);
        EXPECT_EQ (why, c.expected);
        EXPECT_EQ ((juce::int64)bytes.getSize(), c.bytes);
        EXPECT_EQ (PellmixInputFile::isRegularFile (file),
                   c.expected == Refusal::none || c.expected == Refusal::tooLarge);

        // The stream itself has no size limit: only what is not a regular file is refused.
        auto stream = PellmixInputFile::open (file, &why);
        const bool opens = c.expected == Refusal::none || c.expected == Refusal::tooLarge;
        EXPECT_EQ (stream != nullptr, opens);
        if (opens)
        {
            EXPECT_EQ (stream->getTotalLength(), file.getSize());
        }
        EXPECT_FALSE (PellmixInputFile::describe (c.expected).isEmpty() && c.expected != Refusal::none);

        // Nothing here may wait: a pipe with no writer or an endless device must not block.
        EXPECT_LT (std::chrono::steady_clock::now() - start, std::chrono::seconds (2));
    }
}

TEST (InputFile, StreamReadsSeeksAndEndsLikeAFileStream)
{
    pellmix_test::TempDir dir ("inputfile");
    const auto path = dir.child ("data.bin");
    writeText (path, "0123456789");

    auto stream = PellmixInputFile::open (juce::File (path));
    ASSERT_NE (stream, nullptr);
    char buffer[16] = {};
    EXPECT_EQ (stream->read (buffer, 4), 4);
    EXPECT_EQ (std::string (buffer, 4), "0123");
    EXPECT_TRUE (stream->setPosition (8));
    EXPECT_EQ (stream->read (buffer, 16), 2) << "a read past the end returns what is there";
    EXPECT_EQ (std::string (buffer, 2), "89");
    EXPECT_TRUE (stream->isExhausted());
    EXPECT_EQ (stream->getPosition(), 10);
}
