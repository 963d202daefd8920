#include "ui/PellmixPlayer.h"

#include "BinaryData.h"
#include "engine/PellmixThreadCheck.h"
#include "settings/SharedAudioDeviceManager.h"
#include "ui/PellmixFileChooser.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixPictures.h"
#include "ui/PellmixPlayListFile.h"

#include <cmath>
#include <cstring>

namespace
{
std::unique_ptr<juce::ImageButton> makeButton (const juce::String& tooltip)
{
    auto button = std::make_unique<juce::ImageButton> (juce::String());
    button->setTooltip (tooltip);
    return button;
}

std::unique_ptr<juce::Label> makeLabel (const juce::String& name, const juce::String& text,
                                        juce::Colour colour, juce::Justification justification,
                                        juce::Font font)
{
    auto label = std::make_unique<juce::Label> (name, text);
    label->setColour (juce::Label::textColourId, colour);
    label->setJustificationType (justification);
    label->setFont (font);
    return label;
}

std::unique_ptr<juce::Slider> makeSlider (const juce::String& name, double interval,
                                          const juce::String& tooltip)
{
    auto slider = std::make_unique<juce::Slider> (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    slider->setName (name);
    slider->setRange (0.0, 100.0, interval);
    slider->setTooltip (tooltip);
    return slider;
}

// The list in which a mouse event happened: the event's component itself, or its nearest list
// ancestor (a click below the rows reaches the list itself, one on a row a child of it).
juce::ListBox* listOf (const juce::MouseEvent& e)
{
    if (auto* list = dynamic_cast<juce::ListBox*> (e.eventComponent))
        return list;
    return e.eventComponent != nullptr ? e.eventComponent->findParentComponentOfClass<juce::ListBox>()
                                       : nullptr;
}

juce::String twoDigits (int n)
{
    return (n < 10 ? "0" : "") + juce::String (n);
}
} // namespace

//==============================================================================
PellmixPlayer::PellmixPlayer()
    : audioSourcePlayer (
          PellmixConfig::getInstance()->engine, PellmixConfig::getInstance()->processingEnabled,
          PellmixConfig::getInstance()->mainAudioOut, PellmixConfig::getInstance()->playingChannel)
{
    auto* config = PellmixConfig::getInstance();
    audioSourcePlayer.setSource (&transportSource);

    backgroundImage = PELLMIX_PICTURE (player_background_jpg);
    spectrumFrameImage = PELLMIX_PICTURE (player_spectrum_frame_png);
    transportPanelImage = PELLMIX_PICTURE (player_transport_panel_png);
    setLookAndFeel (PellmixLookAndFeel::getInstance());

    createChildren(); // the spectrum view starts with both curves on its floor

    transportSource.addChangeListener (this);
    gainSlider->setValue (startGainValue, juce::sendNotificationSync);

    loadPlaylist();
    getSharedAudioDeviceManager()->addAudioCallback (&audioSourcePlayer);

    config->addListener (this);
    if (auto* menu = PellmixMenu::fromConfig())
        menu->addListener (this);

    startTimer (spectrumTimer, spectrumIntervalMs);
    startTimer (positionTimer, positionIntervalMs);
    setSize (barWidth, barHeight);
}

PellmixPlayer::~PellmixPlayer()
{
    stopTimer (spectrumTimer);
    stopTimer (positionTimer);
    PellmixConfig::getInstance()->removeListener (this);
    if (auto* menu = PellmixMenu::fromConfig())
        menu->removeListener (this);

    savePlaylist();
    if (auto* manager = getExistingSharedAudioDeviceManager())
        manager->removeAudioCallback (&audioSourcePlayer);
    transportSource.removeChangeListener (this);
    releaseSource();
    audioSourcePlayer.setSource (nullptr);

    sourceList.reset();
    targetList.reset();
    repeatLabel.reset();
    fileNameLabel.reset();
    timeLabel.reset();
    sourceProgressSlider.reset();
    targetProgressSlider.reset();
    gainSlider.reset();
    listenSourceButton.reset();
    listenTargetButton.reset();
    previousButton.reset();
    playButton.reset();
    pauseButton.reset();
    stopButton.reset();
    nextButton.reset();
    repeatButton.reset();
    sourceLabel.reset();
    targetLabel.reset();
    spectrumView.reset();
    setLookAndFeel (nullptr);
}

void PellmixPlayer::createChildren()
{
    auto* config = PellmixConfig::getInstance();

    listenSourceButton = makeButton ("Listen source file");
    listenTargetButton = makeButton ("Listen target file");
    setListenFaces (0);

    auto makeList = [this] (juce::Colour outline, const juce::String& tooltip)
    {
        auto list = std::make_unique<PellmixPlayList>();
        list->setColour (juce::ListBox::outlineColourId, outline);
        list->setOutlineThickness (2);
        list->updateContent();
        list->addMouseListener (this, true);
        list->setTooltip (tooltip);
        return list;
    };
    const juce::Font captionFont (16.0f);
    sourceList = makeList (config->sourceColour, "Drag & drop source audio file (.wav .aiff or .mp3)");
    sourceLabel =
        makeLabel ("Source", "Source", juce::Colours::black, juce::Justification::centred, captionFont);
    targetList = makeList (config->targetColour, "Drag & drop target audio file (.wav .aiff or .mp3)");
    targetLabel =
        makeLabel ("Target", "Target", juce::Colours::black, juce::Justification::centred, captionFont);

    gainSlider = makeSlider (PellmixLookAndFeel::playerGainSliderName, 1.0, "Volume");
    sourceProgressSlider = makeSlider (PellmixLookAndFeel::playerProgressSourceName, 0.1, "Position");
    targetProgressSlider = makeSlider (PellmixLookAndFeel::playerProgressTargetName, 0.1, "Position");
    for (auto* slider : {sourceProgressSlider.get(), targetProgressSlider.get()})
        slider->setPopupDisplayEnabled (true, false, nullptr);

    previousButton = makeButton ("Go to previous file");
    playButton = makeButton ("Play [spacebar]");
    pauseButton = makeButton ("Pause [spacebar]");
    stopButton = makeButton ("Stop");
    nextButton = makeButton ("Go to next file");
    setButtonFaces (*previousButton, PELLMIX_PICTURE (player_previous_png), fadingFaces);
    setButtonFaces (*playButton, PELLMIX_PICTURE (player_play_png), fadingFaces);
    setButtonFaces (*pauseButton, PELLMIX_PICTURE (player_pause_png), fadingFaces);
    setButtonFaces (*stopButton, PELLMIX_PICTURE (player_stop_png), fadingFaces);
    setButtonFaces (*nextButton, PELLMIX_PICTURE (player_next_png), fadingFaces);

    repeatLabel = makeLabel ("UserName", "All", juce::Colours::white, juce::Justification::centred,
                             juce::Font (12.0f, juce::Font::bold));
    repeatLabel->setBorderSize ({0, 1, 0, 1});
    repeatButton = makeButton ("Off -> 1 -> All -> Off");
    setButtonFaces (*repeatButton, PELLMIX_PICTURE (player_repeat_png), fadingFaces);

    timeLabel = makeLabel ({}, "00:00:00", juce::Colours::white, juce::Justification::centredRight,
                           juce::Font (12.0f));
    timeLabel->addMouseListener (this, false);
    fileNameLabel =
        makeLabel ("UserName", {}, juce::Colours::white, juce::Justification::left, juce::Font (14.0f));

    spectrumView = std::make_unique<PellmixPlayerInOutSpectroGramme>();

    juce::Component* children[] = {listenSourceButton.get(),
                                   listenTargetButton.get(),
                                   sourceList.get(),
                                   sourceLabel.get(),
                                   targetList.get(),
                                   targetLabel.get(),
                                   gainSlider.get(),
                                   sourceProgressSlider.get(),
                                   targetProgressSlider.get(),
                                   previousButton.get(),
                                   playButton.get(),
                                   pauseButton.get(),
                                   stopButton.get(),
                                   nextButton.get(),
                                   repeatLabel.get(),
                                   repeatButton.get(),
                                   timeLabel.get(),
                                   fileNameLabel.get(),
                                   spectrumView.get()};
    for (auto* child : children)
        addAndMakeVisible (child);

    for (auto* button :
         {listenSourceButton.get(), listenTargetButton.get(), previousButton.get(), playButton.get(),
          pauseButton.get(), stopButton.get(), nextButton.get(), repeatButton.get()})
        button->addListener (this);
    for (auto* slider : {gainSlider.get(), sourceProgressSlider.get(), targetProgressSlider.get()})
        slider->addListener (this);
}

void PellmixPlayer::resized()
{
    listenSourceButton->setBounds (775, 8, 25, 25);
    listenTargetButton->setBounds (775, 62, 25, 25);
    sourceList->setBounds (12, 26, 175, 90);
    // The captions' 16-pixel font needs 16 pixels; both stay on their tabs, above the lists.
    sourceLabel->setBounds (12, 9, 175, 16);
    targetList->setBounds (200, 26, 175, 90);
    targetLabel->setBounds (200, 9, 175, 16);
    gainSlider->setBounds (656, 94, 112, 20);
    sourceProgressSlider->setBounds (404, 11, 364, 20);
    targetProgressSlider->setBounds (404, 65, 364, 20);
    previousButton->setBounds (414, 94, 20, 20);
    playButton->setBounds (443, 94, 20, 20);
    pauseButton->setBounds (470, 94, 20, 20);
    stopButton->setBounds (497, 94, 20, 20);
    nextButton->setBounds (526, 94, 20, 20);
    // The clear window of the repeat face, wide enough for "Off".
    repeatLabel->setBounds (579, 94, 25, 20);
    repeatButton->setBounds (560, 94, 45, 20);
    timeLabel->setBounds (670, 38, 90, 20);
    fileNameLabel->setBounds (414, 38, 250, 20);
    spectrumView->setBounds (810, 7, 364, 108);
}

void PellmixPlayer::paint (juce::Graphics& g)
{
    auto* config = PellmixConfig::getInstance();
    g.drawImageAt (backgroundImage, 0, 0);
    g.drawImageAt (spectrumFrameImage, 809, 6);
    g.drawImageAt (transportPanelImage, 400, 9);

    auto square = [&g] (juce::Rectangle<float> area, juce::Colour colour)
    {
        g.setColour (colour);
        g.fillRoundedRectangle (area, 5.0f);
        g.drawRoundedRectangle (area, 5.0f, 0.5f);
    };
    square ({775.0f, 8.0f, 25.0f, 25.0f}, config->sourceColour);
    square ({775.0f, 62.0f, 25.0f, 25.0f}, config->targetColour);
}

//==============================================================================
PellmixPlayList& PellmixPlayer::listenedList() const
{
    return PellmixConfig::getInstance()->listenedList.load() == 0 ? *sourceList : *targetList;
}

juce::Slider& PellmixPlayer::listenedProgressSlider() const
{
    return PellmixConfig::getInstance()->listenedList.load() == 0 ? *sourceProgressSlider
                                                                  : *targetProgressSlider;
}

bool PellmixPlayer::holdPausedDuringCapture()
{
    if (!PellmixConfig::getInstance()->captureHandOff.isUnderWay())
        return false;
    if (transportSource.isPlaying())
        transportSource.stop();
    transportState = paused;
    return true;
}

void PellmixPlayer::transportAction (int action)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    if (holdPausedDuringCapture())
        return;

    auto& model = *listenedList().model;
    switch (action)
    {
        case previousAction:
            loadEntry (model.getPreviousEntry(), true);
            break;
        case playAction:
            if (readerSource == nullptr || transportState == stopped)
            {
                // Stopped, or nothing loaded (an empty list or a file that did not open, perhaps
                // while the state already says playing or paused): the current entry is opened
                // again, so play works as soon as the list holds something playable.
                loadEntry (model.getCurrentEntry(), true);
                if (readerSource == nullptr)
                    transportState = playing;
            }
            else if (transportState == paused)
            {
                transportSource.start();
                transportState = playing;
            }
            break;
        case pauseAction:
            transportState = paused;
            transportSource.stop();
            break;
        case nextAction:
            loadEntry (model.getNextEntry (true), true);
            break;
        case stopAction:
            transportState = stopped;
            transportSource.stop();
            transportSource.setPosition (0.0);
            break;
        default:
            break;
    }
}

void PellmixPlayer::releaseSource()
{
    transportSource.stop();
    transportSource.setSource (nullptr, 0, nullptr, 0.0, 2);
    readerSource.reset();
    reader = nullptr;
    loadedEntry = {};
}

bool PellmixPlayer::loadEntry (const PellmixPlayListEntry& entry, bool startPlaying)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    return openEntry (entry, startPlaying, std::nullopt) && readerSource != nullptr;
}

bool PellmixPlayer::openEntry (const PellmixPlayListEntry& entry, bool startPlaying,
                               std::optional<int> listenTo)
{
    auto* config = PellmixConfig::getInstance();
    auto opened = entry.file == juce::File() ? PellmixAudioOpener::Opened{}
                                             : PellmixAudioOpener::open (entry.file, config->formatManager);
    if (opened.reader == nullptr && entry.file != juce::File())
    {
        refuseEntry (listenTo.value_or (config->listenedList.load()) == 0 ? *sourceList : *targetList, entry,
                     opened.why);
        return false;
    }
    if (listenTo)
        setListenedList (*listenTo);

    releaseSource();
    fileNameLabel->setText ({}, juce::dontSendNotification);
    if (opened.reader != nullptr)
    {
        reader = opened.reader.release();
        loadedEntry = entry;
        config->playingChannel = entry.channel;
        fileNameLabel->setText (entry.file.getFileNameWithoutExtension(), juce::dontSendNotification);
        readerSource = std::make_unique<juce::AudioFormatReaderSource> (reader, true);
        transportSource.setSource (readerSource.get(), readAheadSamples, &config->previewThread,
                                   reader->sampleRate, 16);

        // A file of no length still gets a usable range.
        auto& slider = listenedProgressSlider();
        slider.setRange (0.0, juce::jmax (transportSource.getLengthInSeconds(), 0.1), 0.1);
        // In repeat mode "1" the loop region starts as the whole of the new file.
        if (slider.getSliderStyle() == juce::Slider::ThreeValueHorizontal)
            slider.setMinAndMaxValues (0.0, slider.getMaximum(), juce::dontSendNotification);
        transportSource.setPosition (0.0);

        applyGain();
        transportSource.setLooping (false);
        if (startPlaying)
        {
            transportSource.start();
            transportState = playing;
        }
        else
        {
            transportState = stopped;
        }
    }

    sourceList->updateContent();
    targetList->updateContent();
    repaint();
    return true;
}

void PellmixPlayer::refuseEntry (PellmixPlayList& list, const PellmixPlayListEntry& entry,
                                 PellmixAudioOpener::Refusal why)
{
    // The file is gone or changed since it was added: none of its entries can play. The list's
    // current entry becomes the one that plays when the list holds it, and none otherwise.
    list.model->removeFile (entry.file);
    list.model->currentEntry =
        list.model->entries.contains (loadedEntry) ? loadedEntry : PellmixPlayListEntry{};
    list.deselectAllRows();
    list.updateContent();
    list.repaint();
    if (transportState == playing && !transportSource.isPlaying())
        transportState = stopped;
    PellmixPlayList::reportUnreadable ({PellmixPlayList::unreadableText (entry.file, why)});
}

//==============================================================================
float PellmixPlayer::gainForSliderValue (double value)
{
    const auto v = (float)value;
    const float x = v / -100.0f + 1.0f;
    const auto dB = (float)((1.0 - (double)x * (double)x) * 102.0 - 96.0);
    const float exponent = dB / 20.0f;
    return (float)std::pow (10.0, (double)exponent);
}

void PellmixPlayer::applyGain()
{
    transportSource.setGain (gainForSliderValue (gainSlider->getValue()));
}

juce::String PellmixPlayer::formatTime (double seconds, bool remaining)
{
    const int s = (int)seconds;
    const int hours = (int)(seconds / 60.0 / 60.0);
    const int minutes = (s / 60) % 60;
    const int secs = s - 60 * (s / 60);
    return (remaining ? "-" : "") + twoDigits (hours) + ":" + twoDigits (minutes) + ":" + twoDigits (secs);
}

//==============================================================================
void PellmixPlayer::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (source != &transportSource)
        return;

    // The transport asks its source unchecked, so only while one is attached.
    const bool finished = readerSource != nullptr && transportSource.hasStreamFinished();
    if (finished || (transportState == playing && !transportSource.isPlaying()))
        handleEndOfFile();
}

void PellmixPlayer::handleEndOfFile()
{
    auto& model = *listenedList().model;
    switch (repeatMode)
    {
        case repeatAll:
            loadEntry (model.getNextEntry (true), true);
            break;
        case repeatOne:
            transportSource.setPosition (0.0);
            transportSource.start();
            break;
        default:
        {
            const bool wasLast = model.isLastEntry();
            loadEntry (model.getNextEntry (true), !wasLast);
            break;
        }
    }
}

void PellmixPlayer::timerCallback (int timerID)
{
    if (PellmixConfig::getInstance()->audioDeviceReady.load() <= 0)
    {
        spectrumView->showNothing(); // no device feeds the analysers
        return;
    }
    if (holdPausedDuringCapture())
        return;

    if (timerID == spectrumTimer)
        updateSpectra();
    else if (timerID == positionTimer)
        updateTimeAndPosition();
}

void PellmixPlayer::updateSpectra()
{
    auto& engine = PellmixConfig::getInstance()->engine;
    // 364 values each: the playback callback prepares both analysers for that many points.
    const float* out = engine.getMagnitudes (PellmixEngine::outputSpectrum, 0);
    const float* in = engine.getMagnitudes (PellmixEngine::inputSpectrum, 0);
    if (out == nullptr || in == nullptr)
    {
        spectrumView->showNothing();
        return;
    }

    auto& view = *spectrumView;
    const auto outputBefore = view.outputCurve, inputBefore = view.inputCurve;
    for (size_t i = 0; i < (size_t)PellmixPlayerInOutSpectroGramme::numPoints; ++i)
    {
        view.outputCurve[i] = juce::jmax (out[i], spectrumFloorDb) * spectrumScale;
        view.inputCurve[i] = juce::jmax (in[i], spectrumFloorDb) * spectrumScale;
    }

    // Silence settles the analysers, and then every tick brings the same curves: the view is
    // repainted only when what it draws changed (the curves, or the floor line that stands for
    // the output while processing is off). Compared bit for bit, so a NaN counts as unchanged.
    const bool processing = PellmixConfig::getInstance()->processingEnabled.load();
    const auto same = [] (const auto& a, const auto& b)
    { return std::memcmp (a.data(), b.data(), sizeof (a)) == 0; };
    if (spectrumDrawnProcessing == processing && same (outputBefore, view.outputCurve) &&
        same (inputBefore, view.inputCurve))
        return;
    spectrumDrawnProcessing = processing;
    view.repaint();
}

void PellmixPlayer::updateTimeAndPosition()
{
    const double length = transportSource.getLengthInSeconds();
    const double position = transportSource.getCurrentPosition();
    timeLabel->setText (formatTime (showRemainingTime ? length - position : position, showRemainingTime),
                        juce::dontSendNotification);

    auto& slider = listenedProgressSlider();
    if (slider.isMouseButtonDown())
        return;

    if (slider.getSliderStyle() != juce::Slider::ThreeValueHorizontal)
    {
        slider.setValue (position, juce::dontSendNotification);
    }
    else if (transportSource.isPlaying())
    {
        if (position > slider.getMaxValue() || position < slider.getMinValue())
        {
            transportSource.stop();
            transportSource.setPosition (slider.getMinValue());
            transportSource.start();
        }
        else
        {
            slider.setValue (position, juce::dontSendNotification);
        }
    }
}

//==============================================================================
void PellmixPlayer::buttonClicked (juce::Button* button)
{
    if (button == previousButton.get())
        transportAction (previousAction);
    else if (button == playButton.get())
        transportAction (playAction);
    else if (button == pauseButton.get())
        transportAction (pauseAction);
    else if (button == stopButton.get())
        transportAction (stopAction);
    else if (button == nextButton.get())
        transportAction (nextAction);
    else if (button == repeatButton.get())
        stepRepeatMode();
    else if (button == listenSourceButton.get() || button == listenTargetButton.get())
        toggleListenedList();
}

void PellmixPlayer::stepRepeatMode()
{
    static const char* const texts[] = {"Off", "1", "All"};
    repeatMode = repeatMode == repeatAll ? repeatOff : (repeatMode == repeatOff ? repeatOne : repeatAll);
    repeatLabel->setText (texts[repeatMode], juce::dontSendNotification);

    for (auto* slider : {sourceProgressSlider.get(), targetProgressSlider.get()})
    {
        if (repeatMode == repeatOne)
        {
            slider->setSliderStyle (juce::Slider::ThreeValueHorizontal);
            slider->setMinAndMaxValues (0.0, slider->getMaximum(), juce::sendNotificationAsync);
        }
        else
        {
            slider->setSliderStyle (juce::Slider::LinearHorizontal);
        }
    }
}

void PellmixPlayer::setListenFaces (int listened)
{
    const auto source = PELLMIX_PICTURE (player_listen_source_png);
    const auto off = PELLMIX_PICTURE (player_listen_off_png);
    const auto target = PELLMIX_PICTURE (player_listen_target_png);
    if (listened == 0)
    {
        setButtonFaces (*listenSourceButton, source, source, off, fadingFaces);
        setButtonFaces (*listenTargetButton, off, off, target, fadingFaces);
    }
    else
    {
        setButtonFaces (*listenSourceButton, off, off, source, fadingFaces);
        setButtonFaces (*listenTargetButton, target, target, off, fadingFaces);
    }
}

// Makes `list` the listened one: the source list is heard through the blended IR, the target list
// dry. The change is broadcast to the configuration's listeners.
void PellmixPlayer::setListenedList (int list)
{
    auto* config = PellmixConfig::getInstance();
    const bool processing = list == 0;
    config->listenedList = list;
    config->processingEnabled = processing;
    config->notifyProcessingChanged (processing);
}

void PellmixPlayer::toggleListenedList()
{
    const int list = PellmixConfig::getInstance()->listenedList.load() == 1 ? 0 : 1;
    auto& model = *(list == 0 ? sourceList : targetList)->model;
    // A refused entry leaves what plays playing as it is heard, from the list it came from.
    if (!openEntry (model.getCurrentEntry(), transportState == playing, list))
        return;
    setListenFaces (list);
    if (transportState == playing)
    {
        transportAction (stopAction);
        transportAction (playAction);
    }
}

void PellmixPlayer::mouseDoubleClick (const juce::MouseEvent& e)
{
    auto* list = listOf (e);
    int index = -1;
    if (list == sourceList.get())
        index = 0;
    else if (list == targetList.get())
        index = 1;
    if (index < 0)
        return;

    auto& playList = index == 0 ? *sourceList : *targetList;
    if (openEntry (playList.model->selectEntry (playList.getSelectedRow (0)), true, index))
        setListenFaces (index);
}

void PellmixPlayer::mouseUp (const juce::MouseEvent& e)
{
    auto* list = listOf (e);
    if (list == sourceList.get())
        targetList->deselectAllRows();
    else if (list == targetList.get())
        sourceList->deselectAllRows();

    if (e.eventComponent == timeLabel.get())
        showRemainingTime = !showRemainingTime;
}

//==============================================================================
void PellmixPlayer::sliderValueChanged (juce::Slider* slider)
{
    if (slider == gainSlider.get())
        applyGain();
}

void PellmixPlayer::sliderDragStarted (juce::Slider* slider)
{
    thumbBeingDragged = slider->getThumbBeingDragged();
}

void PellmixPlayer::sliderDragEnded (juce::Slider* slider)
{
    if (slider == &listenedProgressSlider() && thumbBeingDragged == 0)
    {
        if (transportSource.isPlaying())
        {
            transportSource.stop();
            transportSource.setPosition (slider->getValue());
            transportSource.start();
        }
        else
        {
            transportSource.setPosition (slider->getValue());
        }
    }
    thumbBeingDragged = 0;
}

void PellmixPlayer::colourSettingChanged (int colourIndex)
{
    auto* config = PellmixConfig::getInstance();
    switch (colourIndex)
    {
        case 0:
        case 1:
        case 7:
            repaint();
            break;
        case 2:
            sourceList->setColour (juce::ListBox::outlineColourId, config->sourceColour);
            sourceProgressSlider->repaint();
            sourceList->repaint();
            repaint();
            break;
        case 3:
            targetList->setColour (juce::ListBox::outlineColourId, config->targetColour);
            targetProgressSlider->repaint();
            targetList->repaint();
            repaint();
            break;
        case 5:
            gainSlider->repaint();
            break;
        default:
            break;
    }
}

bool PellmixPlayer::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key.getKeyCode() != juce::KeyPress::spaceKey)
        return false;
    transportAction (transportState != playing ? playAction : pauseAction);
    return true;
}

//==============================================================================
void PellmixPlayer::addSourceFiles()
{
    addFilesFromMenu (*sourceList);
}

void PellmixPlayer::addTargetFiles()
{
    addFilesFromMenu (*targetList);
}

void PellmixPlayer::addFilesFromMenu (PellmixPlayList& list)
{
    const auto files = PellmixFileChooser::choose (
        {"Select the folder", PellmixConfig::getInstance()->settings.impulsesFolder,
         "*.wav;*.aif;*.aiff;*.mp3", PellmixFileChooser::Mode::openMany});
    if (files.isEmpty())
        return;

    juce::StringArray paths;
    for (const auto& file : files)
        paths.add (file.getFullPathName());
    list.addFiles (paths);
}

//==============================================================================
void PellmixPlayer::loadPlaylist()
{
    PellmixPlayListFile::read (PellmixConfig::getInstance()->settings.playlistFile,
                               sourceList->model->entries, targetList->model->entries);
    for (auto* list : {sourceList.get(), targetList.get()})
    {
        list->updateContent();
        list->repaint();
    }
}

void PellmixPlayer::savePlaylist()
{
    PellmixPlayListFile::write (PellmixConfig::getInstance()->settings.playlistFile,
                                sourceList->model->entries, targetList->model->entries);
}
