#pragma once
// One loaded IR file: three band buffers at one sample rate, and the readers that fill them.
//
// WAV and AIFF files are read through JUCE's readers (first channel, at most two seconds); vir
// files through PellmixVir. Band 0 is the IR as read; for WAV, AIFF and flat vir files bands 1
// and 2 are band 0 low-passed at 5000 Hz and 3333.3 Hz, for spectral vir files they are the file's
// own bands. A successful load brings the bands to the requested rate.
//
// A load that fails leaves everything as it was: files are read into a separate set of bands,
// which replaces the current one only once the whole read succeeded.
//
// Threading: message thread only, no locks, except that a read (the readers, lowPassBands and
// resampleBands, which fill a Loaded and use only `fft` and `resampler` of this object) may run
// on another thread while the message thread leaves this object alone; take() is the message
// thread's. The audio thread may read `length` (atomic), nothing else. Loading allocates and does
// file I/O; resampleBands converts the bands side by side on worker threads.
#include <juce_core/juce_core.h>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

template <typename T>
class FFTReal;
class PellmixResampler;

class PellmixIrData
{
public:
    static constexpr int numBands = 3;
    using Bands = std::array<std::vector<float>, numBands>;

    PellmixIrData();
    ~PellmixIrData();

    PellmixIrData (const PellmixIrData&) = delete;
    PellmixIrData& operator= (const PellmixIrData&) = delete;

    // Each band holds `length` samples at `sampleRate`; all empty until the first read.
    Bands bands;
    std::atomic<int> length{0};
    double sampleRate = 0.0;
    std::unique_ptr<FFTReal<float>> fft; // 2048 points, for the spectral vir reader
    std::unique_ptr<PellmixResampler> resampler;

    // The lowest file rate taken for an IR; below it a file is refused.
    static constexpr double minFileRate = 1000.0;

    // A read in progress, or one complete but not yet taken: it replaces bands and length only
    // through take().
    struct Loaded
    {
        Bands bands;
        int length = 0;
    };

    // Commits a complete read whose bands are at `rate`.
    void take (Loaded& data, double rate);

protected:
    // Each returns false, leaving `out` unusable, when the file cannot be read as its kind or
    // holds samples that are not finite or lie more than 120 dB above full scale. A WAV or AIFF
    // file is opened once, through PellmixAudioOpener (which refuses what is not a regular file,
    // damaged chunks and lying headers: no whole frame, an impossible channel count or rate); it
    // is refused too below minFileRate and when it is shorter than its header says. `rate`
    // receives the file's rate.
    static bool readAudioFile (const juce::File& file, Loaded& out, double& rate);
    bool readVirFile (const juce::File& file, Loaded& out);

    // Bands 1 and 2 (already copies of band 0) low-passed at the file's rate over n samples.
    // Where the 5000 Hz cut-off is not below that rate's Nyquist frequency both stay copies.
    static void lowPassBands (Loaded& data, double rate, int n);

    // Converts every band from one rate to the other, side by side; nothing when the rates are
    // equal.
    void resampleBands (Loaded& data, double fromRate, double toRate, int inputLength, int outputLength);
};
