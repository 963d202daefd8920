#include "engine/Calculs.h"

#include "engine/CalculsResponse.h"
#include "engine/PellmixCaptureHandOff.h"
#include "engine/PellmixPackedSpectrum.h"
#include "engine/FFTReal.h"
#include "engine/PellmixFileWriter.h"
#include "engine/PellmixVirFile.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_events/juce_events.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace
{
constexpr int irRate = 96000;
constexpr int maxSamples = 1 << 25; // longest temporary file taken (about 5.8 minutes at 96000 Hz)
// Longest recording taken: its transform, as long as "deconv.raw", is at most maxSamples points,
// so the file reads back, and a run holds at most about 1 GB (deconvolutionBytes). That takes a
// 60-second sweep at every rate up to 192000 Hz (87 seconds there); a longer recording is refused
// rather than risking the system's out-of-memory kill.
constexpr int maxRecording = maxSamples / 2;
constexpr double ln2 = 0.6931471805599453;
constexpr double ln3 = 1.0986122886681098;
constexpr double ln1000 = 6.907755278982137;

// Reads a headerless little-endian float file whole, followed in `samples` by `padding` zeros.
// Returns an empty text or what went wrong.
juce::String readFloatFile (const juce::File& file, PellmixLargeVector<float>& samples, int& length,
                            int padding = 0)
{
    const auto name = "\"" + file.getFileName() + "\"";
    if (!file.existsAsFile())
        return "The file " + name + " is missing.";
    const auto bytes = file.getSize();
    if (bytes / 4 > maxSamples)
        return "The file " + name + " is too long.";
    const int n = (int)(bytes / 4);
    if (n <= 0)
        return "The file " + name + " is empty.";

    juce::FileInputStream in (file);
    if (in.failedToOpen())
        return "The file " + name + " cannot be read.";
    PellmixLargeVector<float> data ((size_t)n + (size_t)padding);
    if (in.read (data.data(), n * 4) != n * 4)
        return "The file " + name + " cannot be read whole.";
#if JUCE_BIG_ENDIAN
    for (auto& v : data) // the padding is zero either way
    {
        uint32_t bits;
        std::memcpy (&bits, &v, 4);
        bits = juce::ByteOrder::swap (bits);
        std::memcpy (&v, &bits, 4);
    }
#endif
    samples = std::move (data);
    length = n;
    return {};
}

// Memory the deconvolution holds at its peak: the recording and the filter as floats, the two
// in-place spectra and the transform's work buffer of N doubles, and the response as floats.
juce::int64 deconvolutionBytes (int recordingLength, int inverseLength)
{
    const auto n = (juce::int64)CalculsResponse::deconvolutionSize (recordingLength);
    return 4 * ((juce::int64)recordingLength + inverseLength) + n * (2 * 8 + 8 + 4);
}

// Writes count floats value (0) .. value (count - 1), little-endian, a block at a time.
template <typename Value>
bool writeFloats (juce::OutputStream& out, size_t count, Value&& value)
{
    constexpr size_t blockLength = 4096;
    float block[blockLength];
    for (size_t start = 0; start < count; start += blockLength)
    {
        const size_t length = std::min (blockLength, count - start);
        for (size_t i = 0; i < length; ++i)
            block[i] = value (start + i);
#if JUCE_BIG_ENDIAN
        for (size_t i = 0; i < length; ++i)
        {
            uint32_t bits;
            std::memcpy (&bits, block + i, 4);
            bits = juce::ByteOrder::swap (bits);
            std::memcpy (block + i, &bits, 4);
        }
#endif
        if (!out.write (block, length * sizeof (float)))
            return false;
    }
    return true;
}

bool writeFloats (juce::OutputStream& out, const float* samples, size_t count)
{
    return writeFloats (out, count, [samples] (size_t i) { return samples[i]; });
}

// samples[0 .. length - 1] widened to double, then zeros up to n.
void padInto (double* padded, const PellmixLargeVector<float>& samples, int length, int n)
{
    std::copy (samples.begin(), samples.begin() + length, padded);
    std::fill (padded + length, padded + n, 0.0);
}
} // namespace

Calculs::Calculs (const juce::File& temp, PellmixSharedString& lastPath, MessageBoxFunction boxFunction)
    : juce::Thread ("DC Thread")
    , tempFolder (temp)
    , lastCapturePath (lastPath)
    , showMessageBox (std::move (boxFunction))
{
}

Calculs::~Calculs()
{
    stopThread (-1);
}

void Calculs::setTempFolder (const juce::File& folder)
{
    tempFolder = folder;
}

void Calculs::setOutputFile (const juce::File& file)
{
    outputFile = file;
}

void Calculs::setRecordingLength (int length)
{
    recordingLength = std::max (length, 0);
}

void Calculs::setRecording (const float* samples)
{
    recording.assign ((size_t)recordingLength, 0.0f);
    if (samples != nullptr)
        std::copy (samples, samples + recordingLength, recording.begin());
}

void Calculs::setWavOutput (int length, int rate)
{
    outputLength = length;
    outputRate = rate;
}

void Calculs::run()
{
    wait (2000);
    if (threadShouldExit())
    {
        progress = PellmixCaptureHandOff::runEnded;
        return;
    }

    statusText.set ("Processing...");
    progress = 0;
    failureText.clear();

    Outcome outcome = Outcome::failure;
    try
    {
        outcome = process();
    }
    catch (const std::bad_alloc&)
    {
        fail ("There is not enough memory to process the recording.");
        outcome = Outcome::failure;
    }
    // The inputs are not kept between runs: every run reads the files again.
    recording = {};
    inverse = {};

    if (outcome == Outcome::success)
    {
        statusText.set ("Process successful !");
        progress = 100;
        showBox (BoxKind::information, {}, "Process successful !");
    }
    else if (outcome == Outcome::failure)
    {
        statusText.set ("Process failed !");
        showBox (BoxKind::warning, {}, failureText);
    }
    progress = PellmixCaptureHandOff::runEnded;
}

Calculs::Outcome Calculs::process()
{
    outputWritten = false;
    const bool wav = outputFile.getFileExtension().toUpperCase() == ".WAV";
    if (sampleRate <= 0)
    {
        fail ("The sample rate of the recording is not set.");
        return Outcome::failure;
    }
    if (wav && (outputLength <= 0 || outputRate <= 0))
    {
        fail ("No length and rate are set for a WAV output.");
        return Outcome::failure;
    }

    // A step that meets a stop request returns early with true; a written output file stands.
    const auto outcome = [this] (bool ok)
    {
        if (!ok)
            return Outcome::failure;
        return threadShouldExit() && !outputWritten ? Outcome::stopped : Outcome::success;
    };

    if (auto o = outcome (readTempFiles() && fitsInMemory()); o != Outcome::success)
        return o;
    progress = 10;
    if (auto o = outcome (deconvolve()); o != Outcome::success)
        return o;
    progress = 60;
    return outcome (wav ? writeWavFile() : writeVirFile());
}

bool Calculs::fail (const juce::String& reason)
{
    failureText = reason;
    return false;
}

void Calculs::showBox (BoxKind kind, const juce::String& title, const juce::String& text)
{
    if (!showMessageBox)
        return;

    // Shared with the message-thread call, which may run after this worker has given up on it.
    struct PendingBox
    {
        juce::WaitableEvent closed;
        std::atomic<bool> abandoned{false};
    };
    auto pending = std::make_shared<PendingBox>();
    const bool posted = juce::MessageManager::callAsync (
        [pending, fn = showMessageBox, kind, title, text]
        {
            if (!pending->abandoned)
                fn (kind, title, text);
            pending->closed.signal();
        });
    if (!posted)
        return;

    while (!pending->closed.wait (20))
        if (threadShouldExit())
        {
            pending->abandoned = true;
            return;
        }
}

bool Calculs::readTempFiles()
{
    if (auto error = readFloatFile (tempFolder.getChildFile ("record.raw"), recording, recordingLength);
        error.isNotEmpty())
        return fail (error);
    progress = 4;
    if (auto error = readFloatFile (tempFolder.getChildFile ("inverse.raw"), inverse, inverseLength);
        error.isNotEmpty())
        return fail (error);
    progress = 8;
    return true;
}

juce::String Calculs::checkRecording (int length, int filterLength)
{
    if (length <= maxRecording)
        return {};
    // Lengths far beyond are counted at a length whose transform size still fits an int.
    const auto bytes = deconvolutionBytes (std::min (length, 1 << 29), std::min (filterLength, 1 << 29));
    return "The recording is too long to be processed: it would need about " + juce::String (bytes >> 20) +
           " MB of memory.";
}

juce::String Calculs::checkOutputFile (const juce::File& file)
{
    // The output is written through a temporary sibling (writeFileThroughTemporary): one that can
    // be made, in a folder that exists, with no folder in the way of the name.
    bool ok = !file.isDirectory() && file.getParentDirectory().isDirectory();
    if (ok)
    {
        juce::TemporaryFile probe (file);
        juce::FileOutputStream out (probe.getFile());
        ok = out.openedOk();
    }
    return ok ? juce::String() : "The IR file cannot be written: " + file.getFullPathName();
}

bool Calculs::fitsInMemory()
{
    const auto refusal = checkRecording (recordingLength, inverseLength);
    return refusal.isEmpty() || fail (refusal);
}

bool Calculs::deconvolve()
{
    // A filter longer than the recording would wrap around the circular convolution.
    if (inverseLength > recordingLength)
        return fail ("The recording is shorter than the test sweep.");

    // Two arrays of N doubles and the FFT's work buffer, the transforms running in place: the
    // recording's spectrum, then the product, then the response; and the filter's spectrum. Each
    // input is released once it is copied (the writers read the response back from the file).
    const int n = CalculsResponse::deconvolutionSize (recordingLength);
    PellmixLargeArray<double> y ((size_t)n);
    padInto (y.get(), recording, recordingLength, n);
    recording = {};
    PellmixLargeArray<double> filter ((size_t)n);
    padInto (filter.get(), inverse, inverseLength, n);
    inverse = {};
    auto fft = std::make_unique<FFTReal<double>> (n);
    progress = 20;

    fft->forwardTransform (y.get(), y.get());
    fft->forwardTransform (filter.get(), filter.get());
    if (threadShouldExit())
        return true;
    progress = 30;

    multiplyPackedSpectra (y.get(), filter.get(), y.get(), n);
    filter.reset();
    fft->inverseTransform (y.get(), y.get());
    fft.reset();

    double largest = 0.0;
    for (int i = 0; i < n; ++i)
    {
        y[(size_t)i] /= (double)n;
        largest = std::max (largest, std::abs (y[(size_t)i]));
    }
    if (!(largest > 0.0))
        return fail ("The recording is silent.");
    progress = 40;
    if (threadShouldExit())
        return true;

    // Normalised to a peak of 1 as the floats are written.
    const auto file = tempFolder.getChildFile ("deconv.raw");
    file.deleteFile();
    if (!writeFileThroughTemporary (
            file, [&] (juce::OutputStream& out)
            { return writeFloats (out, (size_t)n, [&] (size_t i) { return (float)(y[i] / largest); }); }))
        return fail ("The file \"deconv.raw\" cannot be written in " + tempFolder.getFullPathName() + ".");
    progress = 50;
    return true;
}

// Reads "deconv.raw" into `samples`, followed by a few zeros that an interpolator may look at.
bool Calculs::readDeconvolution (PellmixLargeVector<float>& samples)
{
    int n = 0;
    if (auto error = readFloatFile (tempFolder.getChildFile ("deconv.raw"), samples, n, interpolatorReach);
        error.isNotEmpty())
        return fail (error);
    recordingLength = n;
    return true;
}

bool Calculs::writeVirFile()
{
    PellmixLargeVector<float> response;
    if (!readDeconvolution (response))
        return false;
    const int n = recordingLength;
    const float ratio = (float)sampleRate / (float)irRate;
    const int M = (int)((float)n / ratio);
    progress = 65;

    // x holds max (n, M) samples: the response at 96000 Hz, then zeros.
    auto& x = recording;
    if (ratio != 1.0f)
    {
        x.assign ((size_t)std::max (n, M) + interpolatorReach, 0.0f);
        progress = 70;
        juce::LagrangeInterpolator interpolator;
        interpolator.reset();
        interpolator.process ((double)ratio, response.data(), x.data(), M);
        response = {};
    }
    else
    {
        x = std::move (response);
        x.resize ((size_t)std::max (n, M) + interpolatorReach, 0.0f);
        progress = 70;
    }
    progress = 75;
    if (threadShouldExit())
        return true;

    CalculsResponse::Trim trim;
    if (!CalculsResponse::findResponse (x.data(), M, trim))
        return fail ("No response long enough to be cut out was found in the recording.");
    progress = 80;

    // The k-th harmonic's response arrives T ln k / ln 1000 samples before the linear one.
    const double T = (double)((float)inverseLength / ratio);
    const int d2 = (int)std::floor (T * ln2 / ln1000);
    const int d3 = (int)std::floor (T * ln3 / ln1000);
    const auto bands = CalculsResponse::makeBands (x.data(), trim.start, d2, d3);
    progress = 85;

    const float* bandPointers[3] = {bands[0].data(), bands[1].data(), bands[2].data()};
    const auto bytes =
        PellmixVir::encodeSpectral (bandPointers, CalculsResponse::bandLength, PellmixVir::floatPi);
    if (bytes.empty())
        return fail ("The captured IR holds values that are not finite.");
    progress = 90;
    if (threadShouldExit())
        return true;
    progress = 95;

    if (!writeFileThroughTemporary (outputFile, bytes.data(), bytes.size()))
        return fail ("The IR file cannot be written: " + outputFile.getFullPathName());
    outputWritten = true;
    lastCapturePath.set (outputFile.getFullPathName());
    return true;
}

bool Calculs::writeWavFile()
{
    if (!readDeconvolution (recording))
        return false;
    progress = 65;
    auto& x = recording;
    const int n = recordingLength;
    progress = 70;

    int p = 0;
    for (int i = 1; i < n; ++i)
        if (std::abs (x[(size_t)i]) > std::abs (x[(size_t)p]))
            p = i;
    int j = p;
    while (j >= 0 && std::abs (x[(size_t)j]) > 0.1f * std::abs (x[(size_t)p]))
        --j;

    float best = 0.0f;
    int b = p;
    for (int k = j + 1; k <= p; ++k)
    {
        const float v = x[(size_t)k];
        if (std::abs (v) > 0.2f && std::abs (v) > std::abs (best))
        {
            best = v;
            b = k;
        }
        if ((best > 0.0f && v < 0.0f) || (best < 0.0f && v > 0.0f))
            break;
    }
    if (b < p && best < 0.0f)
        for (auto& v : x)
            v = -v;

    const int K = (int)((long long)sampleRate * outputLength / outputRate);
    std::vector<float> cut ((size_t)std::max (outputLength, K + 1), 0.0f);
    const int available = std::min (K + 1, n - (j + 1));
    std::copy_n (x.begin() + (j + 1), std::max (available, 0), cut.begin());

    std::vector<float> out ((size_t)outputLength, 0.0f);
    if (sampleRate != outputRate)
    {
        if (!convertSampleRate (K + 1, outputLength, sampleRate, outputRate, cut.data(), out.data()))
            return false;
    }
    else
        std::copy_n (cut.begin(), outputLength, out.begin());
    progress = 90;
    if (threadShouldExit())
        return true;

    if (!writeFileThroughTemporary (outputFile, [&] (juce::OutputStream& s)
                                    { return writeFloats (s, out.data(), out.size()); }))
        return fail ("The file cannot be written: " + outputFile.getFullPathName());
    outputWritten = true;
    return true;
}

bool Calculs::convertSampleRate (int inputCount, int outputCount, int inputRate, int rate, const float* input,
                                 float* output)
{
    if (!CalculsResponse::convertRate (inputCount, outputCount, inputRate, rate, input, output))
        return fail ("The rate " + juce::String (inputRate) + " Hz cannot be converted to " +
                     juce::String (rate) + " Hz.");
    return true;
}
