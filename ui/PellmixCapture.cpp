#include "ui/PellmixCapture.h"

#include "BinaryData.h"
#include "settings/SharedAudioDeviceManager.h"
#include "engine/PellmixAudioOpener.h"
#include "engine/PellmixTestSignal.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixFileChooser.h"
#include "ui/PellmixPictures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
using State = PellmixCaptureRun::State;

const juce::Colour buttonGrey (0xff808080);
constexpr int toneKind = 1;
constexpr int sweepKind = 0;
constexpr int inverseKind = 2;
constexpr int streamBufferBytes = 32768;

// The worker's boxes, shown on the message thread; the worker waits until the user closes one.
void showWorkerBox (Calculs::BoxKind kind, const juce::String& title, const juce::String& text)
{
    juce::AlertWindow::showMessageBox (kind == Calculs::BoxKind::information
                                           ? juce::MessageBoxIconType::InfoIcon
                                           : juce::MessageBoxIconType::WarningIcon,
                                       title, text);
}

// The mono test signal written at `file`, read back whole: what plays is what the file holds.
std::optional<std::vector<float>> readSignal (const juce::File& file, int expectedLength)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    const auto opened = PellmixAudioOpener::open (file, formats);
    const auto& reader = opened.reader;
    if (reader == nullptr || reader->lengthInSamples != expectedLength)
        return std::nullopt;
    std::vector<float> samples ((size_t)expectedLength);
    float* channels[] = {samples.data()};
    if (!reader->read (channels, 1, 0, expectedLength))
        return std::nullopt;
    return samples;
}

// Writes the samples as headerless little-endian 32-bit floats; no partial file is left.
bool writeRecording (const juce::File& file, const std::vector<float>& samples)
{
    file.deleteFile();
    bool ok = false;
    {
        juce::FileOutputStream out (file, streamBufferBytes);
        if (out.openedOk())
        {
#if JUCE_LITTLE_ENDIAN
            ok = out.write (samples.data(), samples.size() * sizeof (float));
#else
            ok = true;
            for (float v : samples)
                ok = ok && out.writeFloat (v);
#endif
            out.flush();
            ok = ok && !out.getStatus().failed();
        }
    }
    ok = ok && file.getSize() == (juce::int64) (samples.size() * sizeof (float));
    if (!ok)
        file.deleteFile();
    return ok;
}

juce::String cannotWrite (const juce::File& file)
{
    return "The file \"" + file.getFileName() + "\" cannot be written in " +
           file.getParentDirectory().getFullPathName() + ".";
}

const juce::String deviceLostText =
    "The capture stopped because the audio device went away. Start it again once the device is back.";

juce::String dropoutText (int dropouts)
{
    return "The recording had " + juce::String (dropouts) + (dropouts == 1 ? " dropout" : " dropouts") +
           ": the audio device lost samples, so the IR would be wrong. Make the capture again.";
}

int latencyOf (juce::AudioIODevice& device)
{
    return device.getInputLatencyInSamples() + device.getOutputLatencyInSamples();
}

// A device that closed or stopped delivering: nothing comes from it any more.
bool isGone (juce::AudioIODevice* device)
{
    return device == nullptr || !device->isOpen() || juce::roundToInt (device->getCurrentSampleRate()) <= 0;
}
} // namespace

PellmixCapture::PellmixCapture()
    : captureAudioIn (PellmixConfig::getInstance()->captureAudioIn)
    , captureAudioOut (PellmixConfig::getInstance()->captureAudioOut)
    , expectedBlockSize (PellmixConfig::getInstance()->settings.bufferSize)
{
    auto* config = PellmixConfig::getInstance();
    background = PELLMIX_PICTURE (capture_background_png);

    auto makeButton = [this] (const juce::String& name, juce::Rectangle<int> bounds)
    {
        auto b = std::make_unique<juce::TextButton> (name);
        addAndMakeVisible (b.get());
        b->setBounds (bounds);
        b->setColour (juce::TextButton::buttonColourId, buttonGrey);
        b->addListener (this);
        return b;
    };
    toneButton = makeButton ("Play test signal", {54, 94, 100, 24});
    captureButton = makeButton ("Start capture", {54, 129, 100, 24});
    extractionButton = makeButton ("Extraction", {10, 10, 100, 24});
    extractionButton->removeColour (juce::TextButton::buttonColourId);
    extractionButton->setVisible (false);

    inputMeter = std::make_unique<VuMeterComponent> (true);
    addAndMakeVisible (inputMeter.get());
    inputMeter->setBounds (169, 99, 300, 16);
    inputMeter->setLevel (1.0e-7);
    inputMeter->startTimer (30);

    progressMeter = std::make_unique<VuMeterComponent> (false);
    addAndMakeVisible (progressMeter.get());
    progressMeter->setBounds (169, 133, 300, 16);
    progressMeter->setLevel (0.0);
    progressMeter->startTimer (200);
    progressMeter->setVisible (false);

    worker = std::make_unique<Calculs> (config->settings.tempFolder, config->lastCapturePath, showWorkerBox);

    auto makeLabel = [this] (const juce::String& name, const juce::String& text, juce::Rectangle<int> bounds)
    {
        auto l = std::make_unique<juce::Label> (name, text);
        addAndMakeVisible (l.get());
        l->setBounds (bounds);
        return l;
    };
    deviceLabel = makeLabel ("Audio device label", "Audio device : ", {55, 50, 375, 24});
    deviceLabel->setJustificationType (juce::Justification::centred);
    // Above the panel's bottom edge, so that the text is whole.
    statusLabel = makeLabel ({}, {}, {169, 148, 192, 24});
    statusLabel->setJustificationType (juce::Justification::centred);
    inputLevelLabel = makeLabel ("Input level label", "Input level : ", {169, 79, 260, 24});
    maxLabel = makeLabel ("Max label", "Max : ", {362, 75, 100, 24});
    maxLabel->setVisible (false);
    progressLabel = makeLabel ("Progress label", "Progress : ", {169, 114, 260, 24});
    progressLabel->setVisible (false);

    closeButton = std::make_unique<juce::ImageButton> (juce::String());
    addAndMakeVisible (closeButton.get());
    closeButton->setBounds (402, 43, 30, 22);
    closeButton->addListener (this);
    setButtonFaces (*closeButton, PELLMIX_PICTURE (close_normal_png), PELLMIX_PICTURE (close_over_png),
                    PELLMIX_PICTURE (close_pressed_png), opaqueFaces);

    setSize (panelWidth, panelHeight);
    auto* manager = getSharedAudioDeviceManager();
    // The block size a run expects is the open device's. The settings record holds it only after
    // a device dialog or an earlier session's exit; a device opened at start-up with another size
    // (JACK at 1024, say) would otherwise raise "Wrong buffer size." at every block of every run.
    if (auto* device = manager->getCurrentAudioDevice())
        config->settings.bufferSize = device->getCurrentBufferSizeSamples();
    manager->addAudioCallback (this);
    startTimer (fastTimerMs);
}

PellmixCapture::~PellmixCapture()
{
    // A manager already deleted took the callback with it; none is made here.
    auto* manager = getExistingSharedAudioDeviceManager();
    if (manager != nullptr)
        manager->removeAudioCallback (this);
    stopTimer();

    // The worker stops at its next step; a file it is writing is finished first, and a box it
    // waits for is given up. Its files are in the capture folder, which goes only once it has ended.
    worker->signalThreadShouldExit();
    if (!worker->waitForThreadToExit (workerStopWaitMs))
    {
        juce::Logger::writeToLog ("The capture worker is still busy at shut-down; waiting for it.");
        worker->waitForThreadToExit (-1);
    }

    if (manager != nullptr)
        PellmixConfig::getInstance()->saveAudioSettings();
    run.stop();
    captureFolder.remove();
}

void PellmixCapture::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::white);
    g.drawImageWithin (background, 0, 0, 473, 200,
                       juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize);
}

void PellmixCapture::audioDeviceIOCallbackWithContext (const float* const* inputChannelData,
                                                       int numInputChannels, float* const* outputChannelData,
                                                       int numOutputChannels, int numSamples,
                                                       const juce::AudioIODeviceCallbackContext& context)
{
    run.processBlock (inputChannelData, numInputChannels, outputChannelData, numOutputChannels, numSamples,
                      captureAudioIn.load(), captureAudioOut.load(), expectedBlockSize.load(),
                      context.hostTimeNs);
}

void PellmixCapture::audioDeviceAboutToStart (juce::AudioIODevice*) {}

void PellmixCapture::audioDeviceStopped()
{
    run.deviceStopped();
}

// ---------------------------------------------------------------------------------------------
// Clicks

bool PellmixCapture::isCaptureActive() const
{
    const auto s = run.getState();
    return s == State::recording || s == State::complete || s == State::handingOver ||
           worker->isThreadRunning() || PellmixCaptureHandOff::hasRunEnded (worker->progress);
}

bool PellmixCapture::isBusy() const
{
    const auto s = run.getState();
    return s == State::complete || s == State::handingOver || worker->isThreadRunning() ||
           PellmixCaptureHandOff::hasRunEnded (worker->progress);
}

void PellmixCapture::buttonClicked (juce::Button* button)
{
    if (button == closeButton.get())
    {
        closeClicked();
        return;
    }
    if (isBusy())
        return;

    worker->progress = 0;
    worker->statusText.set ({});

    const auto state = run.getState();
    if (button == toneButton.get())
    {
        if (state == State::tone || state == State::recording)
            stopRun();
        else
            startTone();
    }
    else if (button == captureButton.get())
    {
        if (state == State::recording)
        {
            stopRun();
            return;
        }
        if (state == State::tone)
            stopRun();
        startCapture();
    }
    else if (button == extractionButton.get())
    {
        if (state == State::idle)
            extract();
    }
}

void PellmixCapture::closeClicked()
{
    if (isCaptureActive())
    {
        closeHeld = true;
        return;
    }
    PellmixConfig::getInstance()->captureHandOff.windowWasClosed();
}

void PellmixCapture::stopRun()
{
    // A stop that meets a completed recording changes nothing: that recording is handed over.
    const auto found = run.stop();
    if (found == State::tone || found == State::recording)
        resetControls();
}

juce::AudioIODevice* PellmixCapture::usableDevice (juce::String& problem) const
{
    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    if (device == nullptr || !device->isOpen())
    {
        problem = "No audio device is open. Choose one in \"Audio device settings\".";
        return nullptr;
    }
    if (juce::roundToInt (device->getCurrentSampleRate()) <= 0)
    {
        problem = "The audio device reports no sample rate.";
        return nullptr;
    }
    const int inputs = device->getActiveInputChannels().countNumberOfSetBits();
    const int outputs = device->getActiveOutputChannels().countNumberOfSetBits();
    const int in = captureAudioIn.load(), out = captureAudioOut.load();
    if (in < 0 || in >= inputs)
    {
        problem = inputs == 0 ? "The audio device has no input channel to record."
                              : "The capture input channel is not available on the audio device. "
                                "Choose one in \"Hardware I/O options\".";
        return nullptr;
    }
    if (out < 0 || out >= outputs)
    {
        problem = outputs == 0 ? "The audio device has no output channel to play the test signal."
                               : "The capture output channel is not available on the audio device. "
                                 "Choose one in \"Hardware I/O options\".";
        return nullptr;
    }
    return device;
}

std::optional<juce::File> PellmixCapture::runFolder()
{
    const auto parent = PellmixConfig::getInstance()->settings.tempFolder;
    const auto folder = captureFolder.folderIn (parent);
    if (folder == juce::File())
    {
        showWarning ("The temporary files cannot be written in " + parent.getFullPathName() + ".");
        return std::nullopt;
    }
    return folder;
}

bool PellmixCapture::beginRun (State state, PellmixCaptureRun::Buffers buffers, int latency,
                               double deviceRate)
{
    bool begun;
    {
        // The run swaps the buffers in while the device calls no callback; the old ones are freed
        // when `buffers` goes, after the lock.
        const juce::ScopedLock sl (getSharedAudioDeviceManager()->getAudioCallbackLock());
        begun = run.begin (state, buffers, latency, deviceRate);
    }
    if (begun)
        reportedBlockSizes.clear();
    return begun;
}

void PellmixCapture::startTone()
{
    juce::String problem;
    auto* device = usableDevice (problem);
    if (device == nullptr)
    {
        showWarning (problem);
        return;
    }

    const auto folder = runFolder();
    if (!folder)
        return;
    const auto temp = *folder;
    const int rate = juce::roundToInt (device->getCurrentSampleRate());
    const int length = toneSeconds * rate;
    PellmixTestSignal tone;
    tone.makeSine (rate, length, toneFrequency);
    const auto file = temp.getChildFile (PellmixTestSignal::fileName (toneKind, false));
    if (!tone.writeFile (temp, toneKind, false, length))
    {
        showWarning (cannotWrite (file));
        return;
    }
    auto signal = readSignal (file, length);
    if (!signal)
    {
        showWarning ("The test signal \"" + file.getFileName() + "\" cannot be opened.");
        return;
    }

    const int latency = latencyOf (*device);
    runRate = rate;
    if (!beginRun (State::tone, {std::move (*signal), {}}, latency, device->getCurrentSampleRate()))
        return;
    toneButton->setButtonText ("Stop test signal");
    inputMeter->resetPeak();
}

std::optional<juce::File> PellmixCapture::askForOutputFile()
{
    auto& settings = PellmixConfig::getInstance()->settings;
    PellmixFileChooser::Request request;
    request.title = "Output file";
    request.initialFileOrDirectory = lastOutputName.isNotEmpty()
                                         ? settings.impulsesFolder.getChildFile (lastOutputName)
                                         : settings.impulsesFolder;
    request.patterns = "*.vir;";
    request.mode = PellmixFileChooser::Mode::save;
    request.warnAboutOverwriting = true;
    const auto chosen = PellmixFileChooser::choose (request);
    if (chosen.isEmpty())
        return std::nullopt;

    auto file = chosen.getFirst();
    if (file.getFileExtension().toUpperCase() == ".VIR")
        return file;

    // The chooser asked about the name the user typed, not about the completed one.
    const auto completed = file.withFileExtension ("vir");
    if (!PellmixFileChooser::confirmOverwrite (completed))
        return std::nullopt;
    return completed;
}

juce::AudioIODevice* PellmixCapture::captureDevice (juce::String& problem) const
{
    auto* device = usableDevice (problem);
    if (device == nullptr)
        return nullptr;
    // What the worker would refuse after the sweep is refused before it, not a minute later.
    const int length = sweepLength * juce::roundToInt (device->getCurrentSampleRate());
    problem = Calculs::checkRecording (length + latencyOf (*device), length);
    return problem.isEmpty() ? device : nullptr;
}

void PellmixCapture::startCapture()
{
    juce::String problem;
    if (captureDevice (problem) == nullptr)
    {
        showWarning (problem);
        return;
    }
    const auto chosen = askForOutputFile();
    if (!chosen)
        return;
    if (const auto refusal = Calculs::checkOutputFile (*chosen); refusal.isNotEmpty())
    {
        showWarning (refusal);
        return;
    }

    // The chooser ran a modal loop: a run or the worker may have started meanwhile, and the
    // device may have changed.
    if (isBusy() || run.getState() != State::idle)
        return;
    auto* device = captureDevice (problem);
    if (device == nullptr)
    {
        showWarning (problem);
        return;
    }
    const int rate = juce::roundToInt (device->getCurrentSampleRate());
    const int length = sweepLength * rate;
    const int latency = latencyOf (*device);
    const auto folder = runFolder();
    if (!folder)
        return;
    const auto temp = *folder;

    auto& settings = PellmixConfig::getInstance()->settings;
    lastOutputName = chosen->getFileName();
    settings.impulsesFolder = chosen->getParentDirectory();
    toneButton->setEnabled (false);

    worker->setTempFolder (temp);
    worker->setOutputFile (*chosen);
    worker->sampleRate = rate;

    auto fail = [this] (const juce::String& text)
    {
        resetControls();
        showWarning (text);
    };

    std::optional<std::vector<float>> sweep;
    {
        PellmixTestSignal signal;
        signal.makeSweep (rate, length, length / 60);
        const auto sweepFile = temp.getChildFile (PellmixTestSignal::fileName (sweepKind, false));
        if (!signal.writeFile (temp, sweepKind, false, length))
            return fail (cannotWrite (sweepFile));
        if (!signal.writeFile (temp, inverseKind, true, length))
            return fail (cannotWrite (temp.getChildFile (PellmixTestSignal::fileName (inverseKind, true))));
        sweep = readSignal (sweepFile, length);
        if (!sweep)
            return fail ("The test signal \"" + sweepFile.getFileName() + "\" cannot be opened.");
    }

    const auto recordFile = temp.getChildFile ("record.raw");
    recordFile.deleteFile();
    if (!recordFile.create() || !recordFile.hasWriteAccess())
        return fail (cannotWrite (recordFile));

    runRate = rate;
    recordingDevice = device;
    xrunsAtStart = device->getXRunCount();
    PellmixCaptureRun::Buffers buffers{std::move (*sweep),
                                       std::vector<float> ((size_t)length + (size_t)latency)};
    if (!beginRun (State::recording, std::move (buffers), latency, device->getCurrentSampleRate()))
        return resetControls();
    showRecordingLook();
}

void PellmixCapture::showRecordingLook()
{
    captureButton->setButtonText ("Stop capture");
    progressMeter->setVisible (true);
    progressLabel->setVisible (true);
    inputMeter->resetPeak();
    statusLabel->setText ("Recording...", juce::dontSendNotification);
    maxLabel->setVisible (true);
}

void PellmixCapture::extract()
{
    auto& settings = PellmixConfig::getInstance()->settings;
    const auto folder = captureFolder.getFolder();
    const auto recordFile = folder.getChildFile ("record.raw");
    if (folder == juce::File() || !recordFile.existsAsFile())
        return;

    juce::MemoryBlock data;
    if (!recordFile.loadFileAsData (data))
        return showWarning ("The file \"record.raw\" cannot be read.");
    const int n = (int)juce::jmin<size_t> (data.getSize() / 4, (size_t)std::numeric_limits<int>::max());
    std::vector<float> samples ((size_t)n);
    juce::MemoryInputStream in (data, false);
    for (auto& v : samples)
        v = in.readFloat();

    worker->setTempFolder (folder);
    worker->setOutputFile (settings.tempFolder.getChildFile ("test.raw"));
    worker->sampleRate = runRate > 0 ? runRate : settings.sampleRate.load();
    worker->setRecordingLength (n);
    worker->setRecording (samples.data());
    if (!worker->startThread (juce::Thread::Priority::low))
        showWarning ("The recording cannot be processed: no worker thread could be started.");
}

void PellmixCapture::resetControls()
{
    statusLabel->setText ({}, juce::dontSendNotification);
    captureButton->setButtonText ("Start capture");
    toneButton->setButtonText ("Play test signal");
    progressMeter->setVisible (false);
    progressLabel->setVisible (false);
    progressMeter->setLevel (0.0);
    toneButton->setEnabled (true);
    captureButton->setEnabled (true);
    maxLabel->setVisible (false);
}

// ---------------------------------------------------------------------------------------------
// Timer

void PellmixCapture::timerCallback()
{
    // One box for each wrong block size of a run: a device that changed its block size would
    // otherwise bring the box back after every OK and leave the controls out of reach.
    if (const int size = run.takeBlockSizeMismatch();
        size > 0 && !blockSizeBoxOpen &&
        std::find (reportedBlockSizes.begin(), reportedBlockSizes.end(), size) == reportedBlockSizes.end())
    {
        reportedBlockSizes.push_back (size);
        showBlockSizeBox();
    }

    switch (run.getState())
    {
        case State::tone:
            run.takePeakSinceLastCall();
            inputMeter->setLevelAndPeak (inputPeak());
            break;
        case State::recording:
        case State::complete:
            tickWhileRecording();
            break;
        case State::idle:
        case State::handingOver:
            tickWhileIdle();
            break;
    }
    releaseCloseIfDone();

    // Hidden and with nothing under way, the window has nothing to meter or hand over: its timer
    // rests until the window is shown again.
    if (!isVisible() && run.getState() == State::idle && !isCaptureActive() && !closeHeld)
        stopTimer();
}

void PellmixCapture::visibilityChanged()
{
    if (isVisible() && !isTimerRunning())
        startTimer (recordingEnded ? slowTimerMs : fastTimerMs);
}

float PellmixCapture::inputPeak()
{
    const auto now = juce::Time::getMillisecondCounter();
    const auto count = run.getBlockCount();
    if (count != lastBlockCount)
    {
        lastBlockCount = count;
        lastBlockSeenMs = now;
    }
    return now - lastBlockSeenMs > (juce::uint32)silentAfterMs ? 0.0f : run.getLatestPeak();
}

int PellmixCapture::recordingDropouts() const
{
    int dropouts = run.getDropouts();
    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    // A device changed or opened again since the start shows as a stop in the run's own count.
    if (device != nullptr && device == recordingDevice && xrunsAtStart >= 0 && !deviceDropoutsIgnored)
        dropouts += std::max (0, device->getXRunCount() - xrunsAtStart);
    return dropouts;
}

void PellmixCapture::tickWhileRecording()
{
    inputMeter->setLevel (inputPeak());
    const auto total = run.getTotal();
    const int percent =
        total > 0 ? (int)std::floor ((float)run.getRecordedCount() / (float)total * 100.0f) : 0;
    progressMeter->setLevel (percent);

    // Any block since the last tick at full scale spoils the recording.
    if (run.takePeakSinceLastCall() >= 1.0f)
    {
        endRecordingEarly ("Audio clipping occured. Lower the input gain and try again.");
        return;
    }
    // A device that closed or lost the capture channels would never complete the recording, and a
    // closed window would then hold the hand-off (and the player) for good.
    if (isGone (getSharedAudioDeviceManager()->getCurrentAudioDevice()))
    {
        endRecordingEarly (deviceLostText);
        return;
    }
    juce::String problem;
    auto* device = usableDevice (problem);
    if (device == nullptr)
    {
        endRecordingEarly (problem);
        return;
    }
    if (juce::roundToInt (device->getCurrentSampleRate()) != runRate)
    {
        endRecordingEarly (
            "The audio device changed its sample rate during the capture. Start the capture again.");
        return;
    }
    if (run.getState() == State::complete)
        finishRecording();
}

void PellmixCapture::endRecordingEarly (const juce::String& message)
{
    if (!run.abort())
        return;
    resetControls();
    showWarning (message);
}

void PellmixCapture::finishRecording()
{
    if (!run.beginHandOver())
        return;
    // A recording with dropouts would give a wrong IR that looks like a good one.
    if (const int dropouts = recordingDropouts(); dropouts > 0)
    {
        run.finishHandOver();
        resetControls();
        showWarning (dropoutText (dropouts));
        return;
    }

    // The recording's end shows at once; the worker's status and progress follow when it begins.
    progressMeter->setLevel (100.0);
    statusLabel->setText ("Recording complete.", juce::dontSendNotification);
    captureButton->setEnabled (false);

    const auto recordFile = captureFolder.getFolder().getChildFile ("record.raw");
    if (!writeRecording (recordFile, run.getRecording()))
    {
        run.finishHandOver();
        resetControls();
        showWarning (cannotWrite (recordFile));
        return;
    }

    if (!recordingEnded)
    {
        recordingEnded = true;
        startTimer (slowTimerMs);
    }
    worker->setRecordingLength (sweepLength * runRate);
    worker->setRecording (run.getRecording().data());
    if (!worker->startThread (juce::Thread::Priority::low))
    {
        run.finishHandOver();
        resetControls();
        showWarning ("The recording cannot be processed: no worker thread could be started.");
    }
}

void PellmixCapture::tickWhileIdle()
{
    run.takePeakSinceLastCall();
    inputMeter->setLevelAndPeak (inputPeak());

    const int p = worker->progress.load();
    // Until the worker begins (its status is still empty) the recording's end stays shown.
    if (p >= 0 && worker->statusText.get().isNotEmpty())
    {
        progressMeter->setLevel (p);
        statusLabel->setText (worker->statusText.get(), juce::dontSendNotification);
    }
    else if (p == PellmixCaptureHandOff::runEnded && !worker->isThreadRunning())
    {
        lastOutputName.clear();
        resetControls();
        PellmixCaptureHandOff::markRunEndSeen (worker->progress);
        run.finishHandOver();
    }
}

void PellmixCapture::releaseCloseIfDone()
{
    if (closeHeld && !isCaptureActive())
    {
        closeHeld = false;
        PellmixConfig::getInstance()->captureHandOff.windowWasClosed();
    }
}

void PellmixCapture::showBlockSizeBox()
{
    blockSizeBoxOpen = true;
    juce::Component::SafePointer<PellmixCapture> self (this);
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "Sampling rate",
                                            "Wrong buffer size.", {}, nullptr,
                                            juce::ModalCallbackFunction::create (
                                                [self] (int)
                                                {
                                                    if (self != nullptr)
                                                        self->blockSizeBoxOpen = false;
                                                }));
}

void PellmixCapture::showWarning (const juce::String& text)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, {}, text);
}
