#pragma once
#include "engine/Calculs.h"
#include "engine/PellmixCaptureFolder.h"
#include "engine/PellmixCaptureRun.h"
#include "ui/VuMeterComponent.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

// The capture window (471 x 172): the user plays a looping 1000 Hz test tone to set the level,
// then a 60-second sweep through the capture output while the capture input is recorded; the
// recording goes to "record.raw" among the capture files and the deconvolution worker turns it
// into the IR file chosen at the start, whose path the worker stores for the IR block that asked
// for the capture. The window meters the capture input while it is shown and while a run is
// under way.
//
// The window is an audio callback of the shared device manager from construction to destruction.
// It runs the capture at the rate the device runs at. The test signals ("sinustest.wav",
// "sinus.wav", "inverse.raw"), the recording and the worker's files live in this copy's own
// folder below the temporary folder (PellmixCaptureFolder), so that copies of the program running
// at once keep apart; the test signals are read back and played from memory. The destructor
// removes that folder once the worker has ended; "test.raw" of "Extraction" lies in the temporary
// folder itself and stays.
//
// A capture that the worker would refuse (a recording too long for memory, an output file that
// cannot be written) is refused before its sweep. A recording with dropouts is not handed to the
// worker: the user is told how many there were and to capture again. Dropouts are the device's own
// count (which tells late blocks), device restarts, and lost samples: skipped in the block time
// stamps where the device gives them, blocks shorter than the device's block size where it does
// not (the framework's JACK and ALSA devices). When the device goes away the capture stops with a
// message saying so, and the input meter falls to silence once no device feeds it.
//
// The close button moves the capture hand-off on (PellmixCaptureHandOff::windowWasClosed). While
// a recording or the worker is active the close is held instead: the window hides (the main
// content asks isCloseHeld()) and the hand-off moves on only once the run has ended, so the IR
// block takes the new file and not a later session's.
//
// Threads:
// - Message thread: construction, destruction, clicks, the timer (50 ms, 200 ms once a recording
//   has ended; it rests while the window is hidden with no run, worker or held close under way),
//   painting, the boxes.
// - Audio thread: audioDeviceIOCallbackWithContext() (PELLMIX_NONBLOCKING) hands the block to
//   PellmixCaptureRun (no allocation, lock, I/O or thread start) after reading the routing and the expected
//   block size from the configuration's atomics. Buffers are handed to the run with the device manager's
//   callback lock held for a swap only; everything else crosses as atomics.
// - audioDeviceStopped() runs on whichever thread stops the device (the message thread, or
//   JACK's when its server goes away) and only tells the run, through atomics.
// - The worker's thread: Calculs writes its progress and status, read here by the timer.
class PellmixCapture : public juce::Component,
                       public juce::Button::Listener,
                       public juce::AudioIODeviceCallback,
                       public juce::Timer
{
public:
    static constexpr int panelWidth = 471;
    static constexpr int panelHeight = 172;
    static constexpr int sweepSeconds = 60;
    static constexpr int toneSeconds = 10;
    static constexpr double toneFrequency = 1000.0;
    static constexpr int fastTimerMs = 50;
    static constexpr int slowTimerMs = 200;
    // How long destruction waits for a busy worker to reach its next stopping point before the log
    // says that it goes on waiting.
    static constexpr int workerStopWaitMs = 20000;
    // No block for this long: no device feeds the input meter any more.
    static constexpr int silentAfterMs = 500;

    PellmixCapture();
    ~PellmixCapture() override;

    void paint (juce::Graphics&) override;
    void buttonClicked (juce::Button*) override;
    void audioDeviceIOCallbackWithContext (const float* const* inputChannelData, int numInputChannels,
                                           float* const* outputChannelData, int numOutputChannels,
                                           int numSamples, const juce::AudioIODeviceCallbackContext& context)
        PELLMIX_NONBLOCKING override;
    void audioDeviceAboutToStart (juce::AudioIODevice*) override;
    void audioDeviceStopped() override;
    void timerCallback() override;
    void visibilityChanged() override;

    // Returns the controls to their idle look.
    void resetControls();

    // True while a close waits for the running capture to end.
    bool isCloseHeld() const { return closeHeld; }

    juce::TextButton& getToneButton() const { return *toneButton; }
    juce::TextButton& getCaptureButton() const { return *captureButton; }
    juce::TextButton& getExtractionButton() const { return *extractionButton; }
    juce::ImageButton& getCloseButton() const { return *closeButton; }
    juce::Label& getDeviceLabel() const { return *deviceLabel; }
    juce::Label& getStatusLabel() const { return *statusLabel; }
    juce::Label& getInputLevelLabel() const { return *inputLevelLabel; }
    juce::Label& getMaxLabel() const { return *maxLabel; }
    juce::Label& getProgressLabel() const { return *progressLabel; }
    VuMeterComponent& getInputMeter() const { return *inputMeter; }
    VuMeterComponent& getProgressMeter() const { return *progressMeter; }
    Calculs& getWorker() const { return *worker; }
    const PellmixCaptureRun& getRun() const { return run; }
    // The rate of the current or last run, in Hz.
    int getRunRate() const { return runRate; }
    const juce::String& getLastOutputName() const { return lastOutputName; }
    // This copy's folder of capture files; an empty File before the first tone or capture.
    juce::File getCaptureFolder() const { return captureFolder.getFolder(); }

    // Shortens the sweep, so that tests of a run's end need not record for a minute.
    void setSweepSecondsForTests (int seconds) { sweepLength = seconds; }
    // Leaves the device's own dropout count out of a recording's dropouts. A dummy JACK server
    // reports a dropout whenever one of its cycles ends late, which a busy machine makes happen
    // however the server runs, although with --sync no sample is lost; tests that need a clean
    // capture on it do not count those.
    void setDeviceDropoutsIgnoredForTests (bool ignored) { deviceDropoutsIgnored = ignored; }

private:
    void closeClicked();
    bool isBusy() const;
    bool isCaptureActive() const;
    void stopRun();
    void startTone();
    void startCapture();
    void extract();
    std::optional<juce::File> askForOutputFile();
    juce::AudioIODevice* usableDevice (juce::String& problem) const;
    // usableDevice(), and a sweep at its rate whose recording the worker can take.
    juce::AudioIODevice* captureDevice (juce::String& problem) const;
    std::optional<juce::File> runFolder();
    bool beginRun (PellmixCaptureRun::State state, PellmixCaptureRun::Buffers buffers, int latency,
                   double deviceRate);
    int recordingDropouts() const;
    float inputPeak();
    void showRecordingLook();

    void tickWhileRecording();
    void tickWhileIdle();
    void finishRecording();
    void endRecordingEarly (const juce::String& message);
    void releaseCloseIfDone();
    void showBlockSizeBox();
    static void showWarning (const juce::String& text);

    juce::Image background;
    std::unique_ptr<juce::TextButton> toneButton;
    std::unique_ptr<juce::TextButton> captureButton;
    std::unique_ptr<juce::TextButton> extractionButton;
    std::unique_ptr<VuMeterComponent> inputMeter;
    std::unique_ptr<VuMeterComponent> progressMeter;
    std::unique_ptr<juce::Label> deviceLabel;
    std::unique_ptr<juce::Label> statusLabel;
    std::unique_ptr<juce::Label> inputLevelLabel;
    std::unique_ptr<juce::Label> maxLabel;
    std::unique_ptr<juce::Label> progressLabel;
    std::unique_ptr<juce::ImageButton> closeButton;
    std::unique_ptr<Calculs> worker;

    PellmixCaptureRun run;
    PellmixCaptureFolder captureFolder;
    juce::String lastOutputName;
    int sweepLength = sweepSeconds;
    int runRate = 0;
    bool closeHeld = false;
    bool blockSizeBoxOpen = false;
    bool recordingEnded = false;
    std::vector<int> reportedBlockSizes; // wrong block sizes already reported during this run
    // The device of the recording and its dropout count at the start (-1: it counts none).
    const juce::AudioIODevice* recordingDevice = nullptr;
    int xrunsAtStart = -1;
    bool deviceDropoutsIgnored = false;
    uint32_t lastBlockCount = 0;
    juce::uint32 lastBlockSeenMs = 0;

    // Read by the audio callback on every block.
    std::atomic<int>& captureAudioIn;
    std::atomic<int>& captureAudioOut;
    std::atomic<int>& expectedBlockSize;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixCapture)
};
