#pragma once
// The capture worker "DC Thread": turns a recorded sweep into an IR file.
//
// A run reads "record.raw" and "inverse.raw" from the temporary folder, deconvolves the recording
// with the inverse filter in one double-precision FFT (written peak-normalised to "deconv.raw"),
// converts the response to 96000 Hz, finds its onset and polarity, cuts the linear response and
// the second- and third-order responses that the sweep places before it, turns them into three
// bands and writes them as a vir file (or, for an output file ending in ".wav", a headerless float
// response of outputLength samples at outputRate). After a vir file is written whole its path is
// stored in the shared last-capture path.
//
// Every failure ends the run cleanly: status "Process failed !", a warning box saying what went
// wrong, no last-capture path, no partial output file. A run ends with progress
// PellmixCaptureHandOff::runEnded (-1).
//
// Message boxes are shown through a function the owner hands in, called on the message thread;
// the worker waits until it returns (the box was closed) unless a stop request arrives first, in
// which case the pending box is dropped. A message thread that stops the worker therefore never
// deadlocks. The function may be called after the worker was asked to stop only if it was already
// showing; an owner that can be deleted while its box is open must guard itself (SafePointer).
//
// Threading: the setters and sampleRate are written on the message thread while no run is in
// progress. progress (atomic) and statusText (handed over whole) are written by the worker and
// may be read, and progress written, by any thread at any time. The worker checks for a stop
// request between its steps; stop it with stopThread (-1) (the destructor does), never with a
// time-out that would kill it in the middle of an FFT or a write.
#include "engine/PellmixLargeMemory.h"
#include "engine/PellmixSharedString.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <vector>

class Calculs : public juce::Thread
{
public:
    enum class BoxKind
    {
        information,
        warning
    };
    using MessageBoxFunction =
        std::function<void (BoxKind, const juce::String& title, const juce::String& text)>;

    Calculs (const juce::File& tempFolder, PellmixSharedString& lastCapturePath,
             MessageBoxFunction showMessageBox = {});
    ~Calculs() override;

    void setTempFolder (const juce::File& folder);
    void setOutputFile (const juce::File& file);
    void setRecordingLength (int length);
    // Copies recordingLength samples (a run reads "record.raw" again, which replaces the copy).
    void setRecording (const float* samples);
    // Length and rate of the ".wav" output; a ".wav" run fails while either is not positive.
    void setWavOutput (int length, int rate);

    // What a run would refuse before it has read anything, so that a capture can be refused
    // before its sweep: why a recording of recordingLength samples with a sweep filter of
    // inverseLength samples cannot be processed, and why `file` cannot be written as the output.
    // Empty when there is nothing against it.
    static juce::String checkRecording (int recordingLength, int inverseLength);
    static juce::String checkOutputFile (const juce::File& file);

    int sampleRate = 0;             // rate of the recording in Hz
    std::atomic<int> progress{0};   // 0 .. 100 while working, then PellmixCaptureHandOff::runEnded
    PellmixSharedString statusText; // "", "Processing...", "Process successful !", "Process failed !"

private:
    enum class Outcome
    {
        success,
        failure,
        stopped
    };

    void run() override;
    Outcome process();
    bool fail (const juce::String& reason);
    void showBox (BoxKind kind, const juce::String& title, const juce::String& text);

    bool readTempFiles();
    // False, with the reason, when the deconvolution of the recording would need too much memory.
    bool fitsInMemory();
    bool deconvolve();
    bool writeVirFile();
    bool writeWavFile();
    bool readDeconvolution (PellmixLargeVector<float>& samples);
    bool convertSampleRate (int inputCount, int outputCount, int inputRate, int outputRate,
                            const float* input, float* output);

    // Zeros kept after a response that the interpolator may read past its end.
    static constexpr int interpolatorReach = 8;

    int recordingLength = 0;
    int inverseLength = 0;
    PellmixLargeVector<float> recording; // the recording; then the response (read back from "deconv.raw")
    PellmixLargeVector<float> inverse;
    juce::File outputFile;
    int outputLength = 0;
    int outputRate = 0;

    juce::File tempFolder;
    PellmixSharedString& lastCapturePath;
    MessageBoxFunction showMessageBox;
    juce::String failureText;
    bool outputWritten = false;

    JUCE_DECLARE_NON_COPYABLE (Calculs)
};
