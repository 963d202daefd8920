#pragma once
#include "engine/PellmixCaptureHandOff.h"
#include "engine/PellmixEngine.h"
#include "engine/PellmixSharedString.h"
#include "settings/PellmixProject.h"
#include "settings/PellmixSettings.h"

#include <atomic>
#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_events/juce_events.h>
#include <juce_graphics/juce_graphics.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The one application-wide configuration: colours, settings, engine, project, routing, player
// and capture hand-off fields, the audio format manager, the read-ahead thread and the log.
// Built by the first getInstance() (start-up, message thread), alive until program exit. The
// construction shows nothing: the application runs the first-run device dialogs right after it
// (when hasOutputDevice() is false) and hands in the menu-bar model, which the configuration then
// owns until program exit.
//
// Threads: everything here runs on the message thread, except the fields that other threads read
// or write without a lock, which are atomics: processingEnabled, mainAudioOut and playingChannel
// (playback audio callback), captureAudioIn and captureAudioOut (capture audio callback), and
// lastCapturePath, which the capture worker writes and the message thread reads (handed over
// whole). Listeners are added and removed under `lock`; broadcasts take no lock and run on the
// message thread. The broadcasts and the other calls that change the configuration assert the
// message thread in Debug builds (PELLMIX_ASSERT_MESSAGE_THREAD).
class PellmixConfig : public juce::AsyncUpdater
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void configChanged() {}
        virtual void tooltipsChanged (bool /*tooltipsOn*/) {}
        virtual void processingChanged (bool /*processingOn*/) {}
        virtual void colourSettingChanged (int colourIndex) = 0;
    };

    static PellmixConfig* getInstance();
    ~PellmixConfig() override;

    void addListener (Listener* listener);
    // Every listener removes itself before it is deleted; null or unknown listeners are ignored.
    void removeListener (Listener* listener);
    void notifyProcessingChanged (bool processingOn);
    void notifyColourChanged (int colourIndex);
    void notifyTooltipsChanged (bool tooltipsOn);
    void resetColours();
    void toggleTooltips();
    void handleAsyncUpdate() override;
    // How many listeners are registered (tests check that panels leave when deleted).
    int getNumListeners() const { return listeners.size(); }

    // True when the shared device manager's current setup names an output device.
    bool hasOutputDevice() const;
    // Writes the settings file and the device state from the shared device manager's setup.
    // The device state is written only for an explicitly chosen device that is open.
    void saveAudioSettings();
    // False when the file could not be read as a project (nothing of the project changed), with
    // the reason in `why` when given (PellmixProject::load).
    bool loadProject (const juce::File& file, XmlFileProblem* why = nullptr);
    // False when the project file could not be written (the previous file is then kept).
    bool saveProject (const juce::File& file);

    static constexpr int numColours = 8;
    // Colour by index 0..7 (input, output, source, target, IR, gain, background, grid); null
    // for any other index.
    juce::Colour* getColourByIndex (int colourIndex);
    static juce::Colour getDefaultColour (int colourIndex);

    juce::Colour inputColour, outputColour, sourceColour, targetColour, irColour, gainColour, bgColour,
        gridColour;
    PellmixSettings settings;
    // The menu-bar model, made and handed in by the application (null before that).
    std::unique_ptr<juce::MenuBarModel> menu;
    PellmixEngine engine;
    std::atomic<int> audioDeviceReady{-1};
    PellmixProject project;
    std::atomic<bool> processingEnabled{true};
    std::atomic<int> captureAudioIn{0};
    std::atomic<int> captureAudioOut{0};
    std::atomic<int> mainAudioOut{0};
    std::atomic<int> playingChannel{0};
    std::atomic<int> listenedList{0};
    // The capture hand-off's stored values; captureHandOff holds its rules.
    std::atomic<int> captureState{PellmixCaptureHandOff::idle};
    std::atomic<int> captureSlot{-1};
    PellmixSharedString lastCapturePath;
    PellmixCaptureHandOff captureHandOff{captureState, captureSlot, lastCapturePath};
    juce::AudioFormatManager formatManager;
    juce::TimeSliceThread previewThread{"audio file preview"};
    std::unique_ptr<juce::File> logFile;
    std::unique_ptr<juce::FileLogger> logger;
    bool toolTip = true;

private:
    PellmixConfig();
    void setDefaults();

    juce::ListenerList<Listener> listeners;
    juce::CriticalSection lock;

    JUCE_DECLARE_NON_COPYABLE (PellmixConfig)
};
