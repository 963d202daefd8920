#pragma once
// Audio files that readers must refuse at once, with what each is and why it is refused: things
// that are not regular files (a named pipe with no writer, a folder, a link to /dev/zero), a 2 GiB
// sparse file, headers that lie (channel counts of -32768 and 65535, no whole frame; 38-byte AIFF
// files of a lone COMM chunk declaring 0 bits per sample or 2^31 - 1 frames; a 12-bit WAV, which
// the framework reads as silence) and the fuzz seeds whose chunks declare gigabytes (a "cue "
// chunk of 1.9 GB, an RF64 "bext" chunk of 4 GB).
// Shared by the IR slot and player tests; each file is described by a stamp so that a test can
// check that reading left it as it was.
#include "IrTestSupport.h"
#include "engine/PellmixAudioOpener.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace hostile_audio
{
using Refusal = PellmixAudioOpener::Refusal;

struct Case
{
    std::string name;
    Refusal why;
};

using ir_test::readBytes;
using ir_test::writeBytes;

inline std::string seed (const std::string& name)
{
    return std::string (PELLMIX_SOURCE_DIR) + "/fuzz/audio/seeds/" + name;
}

// Appends the low `bytes` bytes of `value`, little-endian.
inline void putLE (std::vector<uint8_t>& b, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back ((uint8_t)(value >> (8 * i)));
}

// A PCM WAV file (format tag `format`: 1 integer, 3 float) whose data chunk holds `frames` frames
// of `channels` channels of `bits` bits, as the framework counts them (channels * bits / 8 bytes a
// frame, at least one).
inline std::vector<uint8_t> pcmWav (int frames, int channels = 1, uint32_t rate = 44100, int bits = 16,
                                    int format = 1)
{
    const uint32_t frameBytes = (uint32_t)(channels * bits / 8);
    const uint32_t dataBytes = (uint32_t)frames * std::max (frameBytes, 1u);
    std::vector<uint8_t> b{'R', 'I', 'F', 'F'};
    putLE (b, 36 + dataBytes + (dataBytes & 1), 4);
    b.insert (b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLE (b, 16, 4);
    putLE (b, (uint64_t)format, 2);
    putLE (b, (uint64_t)channels, 2);
    putLE (b, rate, 4);
    putLE (b, (uint64_t)rate * frameBytes, 4);
    putLE (b, frameBytes, 2);
    putLE (b, (uint64_t)bits, 2);
    b.insert (b.end(), {'d', 'a', 't', 'a'});
    putLE (b, dataBytes, 4);
    for (uint32_t i = 0; i < dataBytes; ++i)
        b.push_back ((uint8_t)(i * 37));
    if ((dataBytes & 1) != 0)
        b.push_back (0);
    return b;
}

// Makes the hostile files in `dir`. With `forPlayer`, also those that only the player's formats
// take by their extension (MP3).
inline std::vector<Case> make (const pellmix_test::TempDir& dir, bool forPlayer)
{
    std::vector<Case> cases{
        {"fifo.wav", Refusal::notRegular},
        {"folder.wav", Refusal::notRegular},
        {"zero.wav", Refusal::notRegular},
        {"sparse-2GiB.wav", Refusal::notAudio},
        {"lying-channels.aiff", Refusal::badChannels},
        {"lying-channels.wav", Refusal::badChannels},
        {"no-frames.wav", Refusal::noAudio},
        {"rf64-bext-4GB.wav", Refusal::damaged},
        {"cue-chunk-1.9GB.wav", Refusal::damaged},
        {"zero-bits.aiff", Refusal::damaged},
        {"2G-frames.aiff", Refusal::damaged},
        {"12-bit.wav", Refusal::damaged},
    };
    if (forPlayer)
    {
        cases.push_back ({"text.mp3", Refusal::notAudio});
        cases.push_back ({"sparse-2GiB.mp3", Refusal::notAudio});
    }

    const auto at = [&dir] (const char* name) { return dir.child (name); };
    EXPECT_EQ (::mkfifo (at ("fifo.wav").c_str(), 0644), 0);
    EXPECT_EQ (::mkdir (at ("folder.wav").c_str(), 0755), 0);
    EXPECT_EQ (::symlink ("/dev/zero", at ("zero.wav").c_str()), 0);
    for (const char* sparse : {"sparse-2GiB.wav", "sparse-2GiB.mp3"})
    {
        writeBytes (at (sparse), {});
        EXPECT_EQ (::truncate (at (sparse).c_str(), 2LL << 30), 0);
    }
    const auto copySeed = [&at] (const char* name, const char* seedName)
    {
        const auto bytes = readBytes (seed (seedName));
        EXPECT_FALSE (bytes.empty()) << seedName;
        writeBytes (at (name), bytes);
    };
    copySeed ("lying-channels.aiff", "regression-lying-channels.aiff");
    copySeed ("lying-channels.wav", "regression-lying-channels.wav");
    copySeed ("rf64-bext-4GB.wav", "regression-rf64-bext-4GB.wav");
    copySeed ("cue-chunk-1.9GB.wav", "regression-cue-chunk-1.9GB.wav");
    copySeed ("zero-bits.aiff", "regression-aiff-zero-bits.aiff");
    copySeed ("2G-frames.aiff", "regression-aiff-2G-frames.aiff");
    copySeed ("12-bit.wav", "regression-wav-12-bit.wav");
    writeBytes (at ("no-frames.wav"), pcmWav (0));
    const std::string text = "This is not audio.\n";
    writeBytes (at ("text.mp3"), std::vector<uint8_t> (text.begin(), text.end()));
    return cases;
}

// This process's address space in KiB.
inline long processSizeKb()
{
    long sizeKb = 0;
    std::ifstream status ("/proc/self/status");
    for (std::string line; std::getline (status, line);)
        if (line.rfind ("VmSize:", 0) == 0)
            sizeKb = std::stol (line.substr (7));
    return sizeKb;
}

// Limits this process's address space to 1 GiB above its size while it lives, so that a reader
// that allocates what a lying header declares (gigabytes) fails at once instead of taking the
// machine's memory.
class ScopedAddressSpaceLimit
{
public:
    ScopedAddressSpaceLimit()
    {
        ::getrlimit (RLIMIT_AS, &previous);
        const rlim_t limit = (rlim_t)(processSizeKb() + (1L << 20)) * 1024;
        rlimit bounded{limit, previous.rlim_max};
        ::setrlimit (RLIMIT_AS, &bounded);
    }
    ~ScopedAddressSpaceLimit() { ::setrlimit (RLIMIT_AS, &previous); }

private:
    rlimit previous{};
};

// Runs `body` in a child process under an address-space limit of 1 GiB above this process's size
// and with a 20-second alarm, so that a reader that allocates what a header declares, or blocks,
// ends the child instead of the test. Returns the child's exit status (0 to 255), or -N when
// signal N ended it (SIGALRM: it hung; SIGSEGV, SIGABRT: an allocation failed under the limit).
template <typename Body>
int runBounded (Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        const ScopedAddressSpaceLimit limit;
        ::alarm (20);
        ::_exit (body());
    }
    int result = 0;
    if (pid < 0 || ::waitpid (pid, &result, 0) != pid)
        return -1000;
    return WIFEXITED (result) ? WEXITSTATUS (result) : -WTERMSIG (result);
}

// What a path is, as lstat and (for a small regular file) its bytes tell.
struct Stamp
{
    mode_t mode = 0;
    off_t size = 0;
    long mtimeNs = 0;
    std::vector<uint8_t> bytes;

    explicit Stamp (const std::string& path)
    {
        struct stat info
        {
        };
        if (::lstat (path.c_str(), &info) != 0)
            return;
        mode = info.st_mode;
        size = info.st_size;
        mtimeNs = info.st_mtim.tv_sec * 1000000000L + info.st_mtim.tv_nsec;
        if (S_ISREG (info.st_mode) && info.st_size < (1 << 20))
            bytes = readBytes (path);
    }
    bool operator== (const Stamp& o) const
    {
        return mode == o.mode && size == o.size && mtimeNs == o.mtimeNs && bytes == o.bytes;
    }
};
} // namespace hostile_audio
