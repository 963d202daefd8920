#pragma once
#include "engine/PellmixAudioSourcePlayer.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixMenu.h"
#include "ui/PellmixPlayList.h"
#include "ui/PellmixPlayerInOutSpectroGramme.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>
#include <optional>

// The player bar (1212 x 120): a source list heard through the blended IR and a target list heard
// dry, transport buttons, a repeat mode, volume and position sliders, the file name and time, two
// buttons that choose the listened list, and the input/output spectrum view. It owns the chain
// that plays a file: reader source -> transport (read ahead on the configuration's preview thread,
// rate-corrected to the device) -> PellmixAudioSourcePlayer, registered with the shared device
// manager from construction to destruction. The playlists are read from "playlist.xml" at
// construction and written back at destruction.
//
// Threads: everything here runs on the message thread (component, timer, change and listener
// callbacks). Nothing of the player runs on the audio thread: that thread only pulls the
// transport (the framework's AudioTransportSource, with its own lock) through audioSourcePlayer,
// and reads the configuration fields the player writes (processingEnabled, playingChannel) and
// mainAudioOut, all atomics. The "audio file preview" thread reads ahead for the transport. The
// transport's change messages arrive on the message thread, so the end-of-file rule sees the
// transport's state at delivery time. The configuration and menu listener registrations are
// removed again by the destructor. transportAction and loadEntry assert the message thread in
// Debug builds.
class PellmixPlayer : public juce::Component,
                      public juce::Button::Listener,
                      public juce::ChangeListener,
                      public juce::Slider::Listener,
                      public juce::MultiTimer,
                      public juce::KeyListener,
                      public PellmixConfig::Listener,
                      public PellmixMenu::Listener
{
public:
    enum TransportState
    {
        playing = 0,
        paused = 1,
        stopped = 2
    };
    enum TransportAction
    {
        previousAction = 0,
        playAction = 1,
        pauseAction = 2,
        nextAction = 3,
        stopAction = 4
    };
    enum RepeatMode
    {
        repeatOff = 0,
        repeatOne = 1,
        repeatAll = 2
    };
    enum TimerId
    {
        spectrumTimer = 0,
        positionTimer = 1
    };

    static constexpr int barWidth = 1212, barHeight = 120;
    static constexpr int spectrumIntervalMs = 100, positionIntervalMs = 500;
    static constexpr int readAheadSamples = 32768;
    static constexpr double startGainValue = 76.0;
    static constexpr float spectrumFloorDb = -60.0f;
    static constexpr float spectrumScale = 0.6f;

    PellmixPlayer();
    ~PellmixPlayer() override;

    // 0 previous, 1 play, 2 pause, 3 next, 4 stop, on the listened list; while a capture is under
    // way every action only pauses.
    void transportAction (int action);
    // Opens an entry of the listened list into the transport, replacing the previous file; true
    // when it opened. The empty entry (an empty list) leaves the transport without a source and
    // the state unchanged. A file that PellmixAudioOpener refuses is named in a box with the
    // reason and its entries leave the list, whose current entry goes back to the loaded one when
    // the list holds it (none is current otherwise); what was loaded stays loaded, and plays on if
    // it played (a player left at the end of its file is stopped).
    bool loadEntry (const PellmixPlayListEntry& entry, bool startPlaying);
    void loadPlaylist();
    void savePlaylist();

    PellmixPlayList& listenedList() const;
    juce::Slider& listenedProgressSlider() const;

    // The volume law: slider value 0..100 to a linear gain (-96 dB at 0, +0.1248 dB at 76, +6 dB
    // at 100).
    static float gainForSliderValue (double value);
    // "hh:mm:ss" of the whole seconds of `seconds`, with a leading "-" for the remaining time.
    static juce::String formatTime (double seconds, bool remaining);

    void mouseUp (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void resized() override;
    void buttonClicked (juce::Button*) override;
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void timerCallback (int timerID) override;
    void sliderValueChanged (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void colourSettingChanged (int colourIndex) override;
    using juce::Component::keyPressed;
    bool keyPressed (const juce::KeyPress&, juce::Component* originatingComponent) override;
    void addSourceFiles() override;
    void addTargetFiles() override;

    int transportState = stopped;
    bool showRemainingTime = false;
    int repeatMode = repeatAll;
    juce::Image backgroundImage, spectrumFrameImage, transportPanelImage;

    std::unique_ptr<juce::ImageButton> listenSourceButton, listenTargetButton;
    std::unique_ptr<PellmixPlayList> sourceList;
    std::unique_ptr<juce::Label> sourceLabel;
    std::unique_ptr<PellmixPlayList> targetList;
    std::unique_ptr<juce::Label> targetLabel;
    std::unique_ptr<juce::Slider> gainSlider, sourceProgressSlider, targetProgressSlider;
    std::unique_ptr<juce::ImageButton> previousButton, playButton, pauseButton, stopButton, nextButton;
    std::unique_ptr<juce::Label> repeatLabel;
    std::unique_ptr<juce::ImageButton> repeatButton;
    std::unique_ptr<juce::Label> timeLabel, fileNameLabel;
    std::unique_ptr<PellmixPlayerInOutSpectroGramme> spectrumView;

    // Reader of the loaded file, owned by readerSource; null while no file is loaded.
    juce::AudioFormatReader* reader = nullptr;
    // The entry whose file is loaded; the empty entry while none is.
    PellmixPlayListEntry loadedEntry;
    PellmixAudioSourcePlayer audioSourcePlayer;
    juce::AudioTransportSource transportSource;
    std::unique_ptr<juce::AudioFormatReaderSource> readerSource;
    int thumbBeingDragged = 0;

private:
    void createChildren();
    // While a capture is under way (PellmixCaptureHandOff::isUnderWay): stops a playing transport, sets the
    // paused state and returns true.
    bool holdPausedDuringCapture();
    void releaseSource();
    // loadEntry() for an entry of list `listenTo` (0 source, 1 target) when given, which becomes
    // the listened list once the entry is known not to be refused: a refused entry leaves the
    // listened list and the processing switch as they were. False when the entry was refused.
    bool openEntry (const PellmixPlayListEntry& entry, bool startPlaying, std::optional<int> listenTo);
    void refuseEntry (PellmixPlayList& list, const PellmixPlayListEntry& entry,
                      PellmixAudioOpener::Refusal why);
    void setListenFaces (int listened);
    void toggleListenedList();
    void setListenedList (int list);
    void handleEndOfFile();
    void stepRepeatMode();
    void updateSpectra();
    void updateTimeAndPosition();
    void applyGain();
    void addFilesFromMenu (PellmixPlayList& list);

    // The processing switch as the spectrum view last drew it; empty until the first tick.
    std::optional<bool> spectrumDrawnProcessing;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixPlayer)
};
