// The player with a real (JACK dummy) device: its children and start state, the transport actions,
// the repeat modes at the end of a file, the time display, the volume law, seeking, the listen
// buttons, double clicks, the capture guard, colours, the spectrum timer, the menu's add commands
// and the playlist file kept across two players.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "PlayerTestSupport.h"
#include "ir/HostileAudioFiles.h"
#include "ui/PellmixLookAndFeel.h"

#include <vector>

using player_test::pump;
using player_test::pumpUntil;
using ui_test::differingPixels;

using ui_test::ProcessingRecorder;

namespace
{
class Player : public player_test::PlayerFixture
{
protected:
    // Files a, b (stereo) and c in the source list: entries a:M, b:L, b:R, c:M.
    void fillSource (double seconds = 4.0)
    {
        player_test::writeTone (media ("a.wav"), 1, seconds);
        player_test::writeTone (media ("b.wav"), 2, seconds);
        player_test::writeTone (media ("c.wav"), 1, seconds);
        player->sourceList->addFiles ({media ("a.wav").getFullPathName(), media ("b.wav").getFullPathName(),
                                       media ("c.wav").getFullPathName()});
        ASSERT_EQ (source().entries.size(), 4);
    }
    // On screen, with a mono source "s" and a stereo target "t" of 10 s each.
    PellmixPlayer& buildWithOneFileInEachList()
    {
        auto& p = build();
        showOnScreen();
        player_test::writeTone (media ("s.wav"), 1, 10.0);
        player_test::writeTone (media ("t.wav"), 2, 10.0);
        p.sourceList->addFiles ({media ("s.wav").getFullPathName()});
        p.targetList->addFiles ({media ("t.wav").getFullPathName()});
        return p;
    }
    juce::Point<float> centreOf (juce::Component& c) const
    {
        return player->getLocalArea (c.getParentComponent(), c.getBounds()).toFloat().getCentre();
    }
    int currentIndex (PellmixPlayListModel& model) const { return model.indexOfCurrentEntry(); }
};

// Every child in its place, in order, with its name and tooltip.
void expectChildren (PellmixPlayer& p)
{
    struct Child
    {
        juce::Component* component;
        juce::Rectangle<int> bounds;
        const char* name;
        const char* tooltip;
    };
    const Child children[] = {
        {p.listenSourceButton.get(), {775, 8, 25, 25}, "", "Listen source file"},
        {p.listenTargetButton.get(), {775, 62, 25, 25}, "", "Listen target file"},
        {p.sourceList.get(), {12, 26, 175, 90}, "", "Drag & drop source audio file (.wav .aiff or .mp3)"},
        {p.sourceLabel.get(), {12, 9, 175, 16}, "Source", ""},
        {p.targetList.get(), {200, 26, 175, 90}, "", "Drag & drop target audio file (.wav .aiff or .mp3)"},
        {p.targetLabel.get(), {200, 9, 175, 16}, "Target", ""},
        {p.gainSlider.get(), {656, 94, 112, 20}, "Player Gain Slider", "Volume"},
        {p.sourceProgressSlider.get(), {404, 11, 364, 20}, "Player Progress Slider Source", "Position"},
        {p.targetProgressSlider.get(), {404, 65, 364, 20}, "Player Progress Slider Target", "Position"},
        {p.previousButton.get(), {414, 94, 20, 20}, "", "Go to previous file"},
        {p.playButton.get(), {443, 94, 20, 20}, "", "Play [spacebar]"},
        {p.pauseButton.get(), {470, 94, 20, 20}, "", "Pause [spacebar]"},
        {p.stopButton.get(), {497, 94, 20, 20}, "", "Stop"},
        {p.nextButton.get(), {526, 94, 20, 20}, "", "Go to next file"},
        {p.repeatLabel.get(), {579, 94, 25, 20}, "UserName", ""},
        {p.repeatButton.get(), {560, 94, 45, 20}, "", "Off -> 1 -> All -> Off"},
        {p.timeLabel.get(), {670, 38, 90, 20}, "", ""},
        {p.fileNameLabel.get(), {414, 38, 250, 20}, "UserName", ""},
        {p.spectrumView.get(), {810, 7, 364, 108}, "", ""},
    };
    ASSERT_EQ (p.getNumChildComponents(), (int)std::size (children));
    for (int i = 0; i < (int)std::size (children); ++i)
    {
        const auto& c = children[i];
        SCOPED_TRACE (c.name + juce::String (" ") + c.tooltip);
        EXPECT_EQ (p.getChildComponent (i), c.component);
        EXPECT_EQ (c.component->getBounds(), c.bounds);
        EXPECT_EQ (c.component->getName(), c.name);
        EXPECT_TRUE (c.component->isVisible());
        if (auto* tip = dynamic_cast<juce::SettableTooltipClient*> (c.component))
        {
            EXPECT_EQ (tip->getTooltip(), c.tooltip);
        }
    }
}

// The labels' texts and fonts, the sliders' ranges, the lists' outlines.
void expectLabelsSlidersAndLists (PellmixPlayer& p, const PellmixConfig& config)
{
    // Labels.
    struct LabelCase
    {
        juce::Label* label;
        const char* text;
        juce::Colour colour;
        juce::Justification justification;
        float height;
        bool bold;
    };
    const LabelCase labels[] = {
        {p.sourceLabel.get(), "Source", juce::Colours::black, juce::Justification::centred, 16.0f, false},
        {p.targetLabel.get(), "Target", juce::Colours::black, juce::Justification::centred, 16.0f, false},
        {p.repeatLabel.get(), "All", juce::Colours::white, juce::Justification::centred, 12.0f, true},
        {p.timeLabel.get(), "00:00:00", juce::Colours::white, juce::Justification::centredRight, 12.0f,
         false},
        {p.fileNameLabel.get(), "", juce::Colours::white, juce::Justification::left, 14.0f, false},
    };
    for (const auto& l : labels)
    {
        SCOPED_TRACE (l.text);
        EXPECT_EQ (l.label->getText(), l.text);
        EXPECT_EQ (l.label->findColour (juce::Label::textColourId), l.colour);
        EXPECT_EQ (l.label->getJustificationType(), l.justification);
        EXPECT_EQ (l.label->getFont().getHeight(), l.height);
        EXPECT_EQ (l.label->getFont().isBold(), l.bold);
    }

    // Sliders: ranges, steps, styles.
    for (auto* s : {p.gainSlider.get(), p.sourceProgressSlider.get(), p.targetProgressSlider.get()})
    {
        SCOPED_TRACE (s->getName());
        EXPECT_EQ (s->getSliderStyle(), juce::Slider::LinearHorizontal);
        EXPECT_EQ (s->getTextBoxPosition(), juce::Slider::NoTextBox);
        EXPECT_EQ (s->getMinimum(), 0.0);
        EXPECT_EQ (s->getMaximum(), 100.0);
        EXPECT_EQ (s->getInterval(), s == p.gainSlider.get() ? 1.0 : 0.1);
    }

    // Lists: outline in the source and target colours, 2 pixels.
    EXPECT_EQ (p.sourceList->findColour (juce::ListBox::outlineColourId), config.sourceColour);
    EXPECT_EQ (p.targetList->findColour (juce::ListBox::outlineColourId), config.targetColour);
    EXPECT_EQ (p.sourceList->getOutlineThickness(), 2);
    EXPECT_EQ (p.sourceList->getRowHeight(), 18);
}

// The transport pictures, and the listen faces for the source list.
void expectButtonFaces (PellmixPlayer& p)
{
    struct FaceCase
    {
        juce::ImageButton* button;
        juce::Image normal, over, down;
    };
    const auto source = PELLMIX_PICTURE (player_listen_source_png);
    const auto off = PELLMIX_PICTURE (player_listen_off_png);
    const auto target = PELLMIX_PICTURE (player_listen_target_png);
    const auto play = PELLMIX_PICTURE (player_play_png);
    const auto repeat = PELLMIX_PICTURE (player_repeat_png);
    EXPECT_EQ (play.getBounds(), juce::Rectangle<int> (20, 20));
    EXPECT_EQ (repeat.getBounds(), juce::Rectangle<int> (60, 35));
    EXPECT_EQ (source.getBounds(), juce::Rectangle<int> (25, 25));
    const FaceCase faces[] = {
        {p.listenSourceButton.get(), source, source, off},
        {p.listenTargetButton.get(), off, off, target},
        {p.playButton.get(), play, play, play},
        {p.repeatButton.get(), repeat, repeat, repeat},
    };
    for (const auto& f : faces)
    {
        EXPECT_EQ (differingPixels (f.button->getNormalImage(), f.normal), 0);
        EXPECT_EQ (differingPixels (f.button->getOverImage(), f.over), 0);
        EXPECT_EQ (differingPixels (f.button->getDownImage(), f.down), 0);
    }
}

// Stopped, repeat "All", elapsed time, volume 76 (+0.1248 dB), both timers, the audio callback
// registered (the engine was prepared for the device's blocks), curves at 0.
void expectStartState (PellmixPlayer& p, const PellmixConfig& config)
{
    EXPECT_EQ (p.transportState, PellmixPlayer::stopped);
    EXPECT_EQ (p.repeatMode, PellmixPlayer::repeatAll);
    EXPECT_FALSE (p.showRemainingTime);
    EXPECT_EQ (p.thumbBeingDragged, 0);
    EXPECT_EQ (p.reader, nullptr);
    EXPECT_EQ (p.gainSlider->getValue(), 76.0);
    EXPECT_NEAR (p.transportSource.getGain(), 1.0145, 5e-5);
    EXPECT_TRUE (p.isTimerRunning (PellmixPlayer::spectrumTimer));
    EXPECT_EQ (p.getTimerInterval (PellmixPlayer::spectrumTimer), 100);
    EXPECT_EQ (p.getTimerInterval (PellmixPlayer::positionTimer), 500);
    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    ASSERT_NE (device, nullptr);
    EXPECT_EQ (config.engine.getPreparedBlockSize(), device->getCurrentBufferSizeSamples());
    for (float v : p.spectrumView->outputCurve)
        ASSERT_EQ (v, PellmixPlayerInOutSpectroGramme::floorValue);
}

// Background, the coloured squares behind the listen buttons (seen where the lit face is
// clear), the panel and the frame.
void expectPainting (PellmixPlayer& p, const PellmixConfig& config)
{
    const auto shot = ui_test::snapshot (p);
    const auto background = PELLMIX_PICTURE (player_background_jpg);
    EXPECT_EQ (background.getBounds(), juce::Rectangle<int> (1212, 120));
    for (auto point : {juce::Point<int> (391, 60), juce::Point<int> (5, 60), juce::Point<int> (1200, 60)})
        EXPECT_EQ (shot.getPixelAt (point.x, point.y), background.getPixelAt (point.x, point.y))
            << point.toString();
    EXPECT_EQ (shot.getPixelAt (775 + 3, 8 + 20), config.sourceColour);
    const auto panel = PELLMIX_PICTURE (player_transport_panel_png);
    EXPECT_EQ (panel.getBounds(), juce::Rectangle<int> (370, 110));
    const auto frame = PELLMIX_PICTURE (player_spectrum_frame_png);
    EXPECT_EQ (frame.getBounds(), juce::Rectangle<int> (366, 110));
    ASSERT_EQ (frame.getPixelAt (0, 54).getAlpha(), 255);
    EXPECT_EQ (shot.getPixelAt (809, 60), frame.getPixelAt (0, 54));
}

} // namespace

TEST_F (Player, ChildrenFacesAndStartState)
{
    auto& p = build();
    EXPECT_EQ (p.getBounds(), juce::Rectangle<int> (0, 0, 1212, 120));
    EXPECT_EQ (&p.getLookAndFeel(), PellmixLookAndFeel::getInstance());
    ASSERT_NO_FATAL_FAILURE (expectChildren (p));
    ASSERT_NO_FATAL_FAILURE (expectLabelsSlidersAndLists (p, *config));
    ASSERT_NO_FATAL_FAILURE (expectButtonFaces (p));
    ASSERT_NO_FATAL_FAILURE (expectStartState (p, *config));
    ASSERT_NO_FATAL_FAILURE (expectPainting (p, *config));
}

TEST_F (Player, GainLawTable)
{
    struct Case
    {
        double value;
        double dB;
    };
    for (const auto c :
         {Case{0, -96.0}, Case{50, -19.5}, Case{76, 0.1248}, Case{100, 6.0}, Case{1, -93.9702}})
    {
        SCOPED_TRACE (c.value);
        const float gain = PellmixPlayer::gainForSliderValue (c.value);
        EXPECT_NEAR (20.0 * std::log10 (gain), c.dB, 1e-4);
    }
    EXPECT_NEAR (PellmixPlayer::gainForSliderValue (0), 1.585e-5, 1e-8);
    EXPECT_NEAR (PellmixPlayer::gainForSliderValue (76), 1.0145, 5e-5);
    EXPECT_NEAR (PellmixPlayer::gainForSliderValue (100), 1.9953, 5e-5);

    auto& p = build();
    for (double v : {0.0, 33.0, 100.0, 76.0})
    {
        p.gainSlider->setValue (v, juce::sendNotificationSync);
        EXPECT_EQ (p.transportSource.getGain(), PellmixPlayer::gainForSliderValue (v)) << v;
    }
}

TEST_F (Player, TimeDisplayElapsedAndRemaining)
{
    struct Case
    {
        double seconds;
        bool remaining;
        const char* text;
    };
    for (const auto c :
         {Case{0, false, "00:00:00"}, Case{75.4, false, "00:01:15"}, Case{3725, true, "-01:02:05"},
          Case{59.999, false, "00:00:59"}, Case{3600, false, "01:00:00"}, Case{36000 + 61, false, "10:01:01"},
          Case{9.5, true, "-00:00:09"}})
        EXPECT_EQ (PellmixPlayer::formatTime (c.seconds, c.remaining), c.text) << c.seconds;

    // A file of 3800 s (at a low rate, to keep it small), positioned by hand.
    const double rate = 200.0;
    player_test::writeAudio (media ("long.wav"), juce::AudioBuffer<float> (1, (int)(3800 * rate)), rate, 8);
    auto& p = build();
    showOnScreen();
    p.sourceList->addFiles ({media ("long.wav").getFullPathName()});
    p.loadEntry (source().selectEntry (0), false);
    ASSERT_NEAR (p.transportSource.getLengthInSeconds(), 3800.0, 0.01);

    p.transportSource.setPosition (75.4);
    config->audioDeviceReady = 0;
    p.timerCallback (PellmixPlayer::positionTimer);
    EXPECT_EQ (p.timeLabel->getText(), "00:00:00") << "nothing is shown while the device is not ready";
    config->audioDeviceReady = 1;
    p.timerCallback (PellmixPlayer::positionTimer);
    EXPECT_EQ (p.timeLabel->getText(), "00:01:15");
    EXPECT_NEAR (p.sourceProgressSlider->getValue(), 75.4, 0.05);

    // A click on the time label switches to the remaining time at the next tick.
    p.transportSource.setPosition (3800.0 - 3725.4);
    screen->click (centreOf (*p.timeLabel));
    EXPECT_TRUE (p.showRemainingTime);
    EXPECT_EQ (p.timeLabel->getText(), "00:01:15");
    ASSERT_TRUE (pumpUntil ([&] { return p.timeLabel->getText() == "-01:02:05"; }, 1500))
        << p.timeLabel->getText();
    screen->click (centreOf (*p.timeLabel));
    EXPECT_FALSE (p.showRemainingTime);
    ASSERT_TRUE (pumpUntil ([&] { return p.timeLabel->getText() == "00:01:14"; }, 1500))
        << p.timeLabel->getText();
}

TEST_F (Player, TransportActionsTable)
{
    auto& p = build();
    ASSERT_NO_FATAL_FAILURE (fillSource());

    struct Step
    {
        const char* what;
        int action;
        int state;
        int entry; // index of the entry that is loaded and current
        bool playing;
        bool reopens; // a new reader (the entry opened again)
    };
    const Step steps[] = {
        {"play from stopped takes the first entry", PellmixPlayer::playAction, 0, 0, true, true},
        {"play while playing does nothing", PellmixPlayer::playAction, 0, 0, true, false},
        {"pause", PellmixPlayer::pauseAction, 1, 0, false, false},
        {"play while paused resumes", PellmixPlayer::playAction, 0, 0, true, false},
        {"stop", PellmixPlayer::stopAction, 2, 0, false, false},
        {"pause while stopped pauses", PellmixPlayer::pauseAction, 1, 0, false, false},
        {"play after it starts without reopening", PellmixPlayer::playAction, 0, 0, true, false},
        {"next", PellmixPlayer::nextAction, 0, 1, true, true},
        {"next", PellmixPlayer::nextAction, 0, 2, true, true},
        {"next", PellmixPlayer::nextAction, 0, 3, true, true},
        {"next on the last wraps to the first", PellmixPlayer::nextAction, 0, 0, true, true},
        {"previous on the first wraps to the last", PellmixPlayer::previousAction, 0, 3, true, true},
        {"previous", PellmixPlayer::previousAction, 0, 2, true, true},
        {"stop, then next plays whatever the state", PellmixPlayer::stopAction, 2, 2, false, false},
        {"next from stopped", PellmixPlayer::nextAction, 0, 3, true, true},
        {"pause, then previous plays", PellmixPlayer::pauseAction, 1, 3, false, false},
        {"previous from paused", PellmixPlayer::previousAction, 0, 2, true, true},
        {"an action outside 0..4 does nothing", 5, 0, 2, true, false},
        {"a negative action does nothing", -1, 0, 2, true, false},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE (juce::String (s.what) + ", action " + juce::String (s.action));
        // A mark on the open reader: an entry opened again comes with a reader without it.
        if (p.reader != nullptr)
            p.reader->metadataValues.set ("test", "seen");
        const double positionBefore = position();
        p.transportAction (s.action);
        pump (150);
        EXPECT_EQ (p.transportState, s.state);
        EXPECT_EQ (currentIndex (source()), s.entry);
        EXPECT_EQ (loadedName(), source().entries[s.entry].file.getFileNameWithoutExtension());
        EXPECT_EQ (config->playingChannel.load(), source().entries[s.entry].channel);
        EXPECT_EQ (playing(), s.playing);
        ASSERT_NE (p.reader, nullptr);
        EXPECT_EQ (p.reader->metadataValues["test"].isEmpty(), s.reopens);
        if (s.reopens)
        {
            EXPECT_LT (position(), 0.6) << "an opened entry starts at its beginning";
        }
        if (s.action == PellmixPlayer::stopAction)
        {
            EXPECT_EQ (position(), 0.0);
        }
        if (s.action == PellmixPlayer::playAction && !s.reopens && s.state == 0)
        {
            EXPECT_GE (position(), positionBefore) << "resumed where it stood";
            EXPECT_LT (position(), positionBefore + 0.6);
        }
        if (s.action == PellmixPlayer::pauseAction)
        {
            const double paused = position();
            pump (300);
            EXPECT_EQ (position(), paused) << "a paused transport keeps its place";
        }
    }
    EXPECT_EQ (currentIndex (target()), -1) << "the other list is not touched";
}

TEST_F (Player, PlayWhenNothingIsLoadedOpensTheCurrentEntryAgain)
{
    auto& p = build();
    source().entries.add ({media ("missing.wav"), 0});
    player_test::writeTone (media ("good.wav"), 1, 2.0);
    source().entries.add ({media ("good.wav"), 0});

    // The first entry does not open: it is named in a box and leaves the list.
    p.transportAction (PellmixPlayer::playAction);
    EXPECT_EQ (p.transportState, PellmixPlayer::playing) << "the state is playing even though nothing sounds";
    EXPECT_EQ (p.reader, nullptr);
    EXPECT_FALSE (playing());
    EXPECT_EQ (loadedName(), "");
    ASSERT_EQ (alerts.boxes.size(), 1u);
    EXPECT_EQ (alerts.boxes[0].message,
               media ("missing.wav").getFullPathName() + " could not be read: it does not exist.");
    EXPECT_EQ (player_test::marks (source()), "M");
    EXPECT_EQ (currentIndex (source()), -1);

    // The next play takes what is now the first entry.
    p.transportAction (PellmixPlayer::playAction);
    EXPECT_TRUE (playing());
    EXPECT_EQ (loadedName(), "good");

    // An empty listened list: the state says playing, nothing sounds.
    p.transportAction (PellmixPlayer::stopAction);
    config->listenedList = 1;
    p.transportAction (PellmixPlayer::playAction);
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    EXPECT_EQ (p.reader, nullptr);
    p.transportAction (PellmixPlayer::pauseAction);
    EXPECT_EQ (p.transportState, PellmixPlayer::paused);

    // Files added afterwards play at the next play, although nothing was loaded.
    target().entries.add ({media ("good.wav"), 0});
    p.transportAction (PellmixPlayer::playAction);
    EXPECT_TRUE (playing());
    EXPECT_EQ (loadedName(), "good");
    EXPECT_EQ (alerts.boxes.size(), 1u) << "the empty list gave no box";
    config->listenedList = 0;
}

TEST_F (Player, EntriesThatNoLongerOpenAreNamedAndWhatPlaysPlaysOn)
{
    auto& p = build();
    showOnScreen();
    player_test::writeTone (media ("a.wav"), 1, 3.0);
    player_test::writeTone (media ("b.wav"), 2, 3.0);
    player_test::writeTone (media ("c.wav"), 1, 3.0);
    p.sourceList->addFiles ({media ("a.wav").getFullPathName(), media ("b.wav").getFullPathName(),
                             media ("c.wav").getFullPathName()});
    ASSERT_EQ (player_test::marks (source()), "MLRM");
    p.transportAction (PellmixPlayer::playAction);
    ASSERT_TRUE (playing());
    auto* const playingReader = p.reader;

    // b (both of its entries) is deleted, c becomes text: next, previous and a double click on
    // them each name the file in a box, drop its entries, and leave a playing.
    media ("b.wav").deleteFile();
    media ("c.wav").replaceWithText ("no longer audio");
    struct Step
    {
        const char* what;
        std::function<void()> act;
        const char* refused;
        const char* reason;
        const char* marksAfter;
    };
    const Step steps[] = {
        {"next onto a deleted file", [&] { p.transportAction (PellmixPlayer::nextAction); }, "b.wav",
         "does not exist", "MM"},
        {"previous onto a file that is no longer audio",
         [&] { p.transportAction (PellmixPlayer::previousAction); }, "c.wav",
         "is not in an audio format that can be read", "M"},
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE (s.what);
        const auto boxes = alerts.boxes.size();
        s.act();
        pump (100);
        ASSERT_EQ (alerts.boxes.size(), boxes + 1);
        EXPECT_EQ (alerts.boxes.back().message,
                   media (s.refused).getFullPathName() + " could not be read: it " + s.reason + ".");
        EXPECT_EQ (player_test::marks (source()), s.marksAfter);
        EXPECT_TRUE (playing()) << "what played plays on";
        EXPECT_EQ (p.reader, playingReader);
        EXPECT_EQ (loadedName(), "a");
        EXPECT_EQ (p.transportState, PellmixPlayer::playing);
        EXPECT_EQ (currentIndex (source()), 0) << "the current entry is the one that plays";
    }

    // A double click on the second row of the other list, whose file was deleted meanwhile: the
    // source list stays the listened one (processed), a still plays.
    p.targetList->addFiles ({media ("a.wav").getFullPathName()});
    const auto gone = media ("gone.wav");
    player_test::writeTone (gone, 1, 1.0);
    p.targetList->addFiles ({gone.getFullPathName()});
    gone.deleteFile();
    screen->doubleClick (
        p.getLocalPoint (p.targetList.get(), juce::Point<float> (80.0f, 2.0f + 18.0f + 9.0f)));
    ASSERT_TRUE (pumpUntil ([&] { return alerts.boxes.size() == 3; }));
    EXPECT_EQ (alerts.boxes.back().message,
               gone.getFullPathName() + " could not be read: it does not exist.");
    EXPECT_EQ (player_test::marks (target()), "M");
    EXPECT_EQ (config->listenedList.load(), 0);
    EXPECT_TRUE (playing());
    EXPECT_EQ (p.reader, playingReader);

    // And the saved playlist no longer holds them.
    player.reset();
    auto doc = juce::XmlDocument::parse (playlistFile());
    ASSERT_NE (doc, nullptr);
    EXPECT_EQ (doc->getChildByName ("Samples")->getNumChildElements(), 1);
    EXPECT_EQ (doc->getChildByName ("Targets")->getNumChildElements(), 1);
}

// The other list's entry to switch to was deleted: the switch does not happen. What plays goes
// on through the IR as before, under the source faces; the vanished file leaves the target list,
// where no entry is current, and the next switch plays what the list still holds.
TEST_F (Player, SwitchingOntoAVanishedFileOfTheOtherListKeepsWhatPlaysAsItIsHeard)
{
    struct Switch
    {
        const char* what;
        bool doubleClick; // on the vanished file's row, else the listen-target button
    };
    for (const auto& c : {Switch{"listen-target button", false}, Switch{"double click on its row", true}})
    {
        SCOPED_TRACE (c.what);
        auto& p = build();
        showOnScreen();
        const auto gone = media ("gone.wav");
        player_test::writeTone (media ("s.wav"), 1, 10.0);
        player_test::writeTone (gone, 1, 1.0);
        player_test::writeTone (media ("t.wav"), 2, 10.0);
        p.sourceList->addFiles ({media ("s.wav").getFullPathName()});
        p.targetList->addFiles ({gone.getFullPathName(), media ("t.wav").getFullPathName()});
        ASSERT_EQ (player_test::marks (target()), "MLR");
        gone.deleteFile();
        p.transportAction (PellmixPlayer::playAction);
        ASSERT_TRUE (playing());
        auto* const playingReader = p.reader;
        const auto faces = p.listenSourceButton->getNormalImage();
        ProcessingRecorder recorder;
        config->addListener (&recorder);

        const auto boxes = alerts.boxes.size();
        if (c.doubleClick)
            screen->doubleClick (p.getLocalPoint (p.targetList.get(), juce::Point<float> (80.0f, 11.0f)));
        else
            screen->click (centreOf (*p.listenTargetButton));
        ASSERT_TRUE (pumpUntil ([&] { return alerts.boxes.size() == boxes + 1; }));
        EXPECT_EQ (alerts.boxes.back().message,
                   gone.getFullPathName() + " could not be read: it does not exist.");
        EXPECT_EQ (config->listenedList.load(), 0);
        EXPECT_TRUE (config->processingEnabled.load());
        EXPECT_TRUE (recorder.calls.empty()) << "the processing switch moved";
        EXPECT_EQ (differingPixels (p.listenSourceButton->getNormalImage(), faces), 0);
        EXPECT_TRUE (playing());
        EXPECT_EQ (p.reader, playingReader);
        EXPECT_EQ (loadedName(), "s");
        EXPECT_EQ (p.transportState, PellmixPlayer::playing);
        EXPECT_EQ (currentIndex (source()), 0);
        EXPECT_EQ (player_test::marks (target()), "LR");
        EXPECT_EQ (target().currentEntry, PellmixPlayListEntry{}) << "an entry of another list is current";

        // Once the box is closed, the next switch takes the target list's first entry, dry.
        ASSERT_TRUE (pumpUntil (
            [] { return juce::ModalComponentManager::getInstance()->getNumModalComponents() == 0; }));
        screen->click (centreOf (*p.listenTargetButton));
        EXPECT_EQ (config->listenedList.load(), 1);
        EXPECT_FALSE (config->processingEnabled.load());
        EXPECT_EQ (loadedName(), "t");
        EXPECT_EQ (currentIndex (target()), 0);
        EXPECT_TRUE (playing());
        EXPECT_EQ (alerts.boxes.size(), boxes + 1);
        config->removeListener (&recorder);

        screen.reset();
        player.reset();
        playlistFile().deleteFile();
        config->listenedList = 0;
        config->processingEnabled = true;
    }
}

TEST_F (Player, HostileFilesAreRefusedAtOnceWithTheirReasonWhilePlaying)
{
    auto& p = build();
    pellmix_test::TempDir hostile ("pellmix-hostile");
    const auto cases = hostile_audio::make (hostile, true);
    player_test::writeTone (media ("good.wav"), 1, 5.0);
    p.sourceList->addFiles ({media ("good.wav").getFullPathName()});
    p.transportAction (PellmixPlayer::playAction);
    ASSERT_TRUE (playing());

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto file = juce::File (hostile.child (c.name));
        const hostile_audio::Stamp before (hostile.child (c.name));
        const auto expected =
            file.getFullPathName() + " could not be read: it " + PellmixAudioOpener::describe (c.why) + ".";
        {
            const hostile_audio::ScopedAddressSpaceLimit limit;
            // Dropped or added from the menu: nothing is added, one box names the file.
            EXPECT_EQ (p.sourceList->addFiles ({file.getFullPathName()}), 0);
            ASSERT_FALSE (alerts.boxes.empty());
            EXPECT_EQ (alerts.boxes.back().message, expected);
            // An entry of it to play: the same box, and the file that plays plays on.
            alerts.boxes.clear();
            EXPECT_FALSE (p.loadEntry ({file, 0}, true));
        }
        ASSERT_EQ (alerts.boxes.size(), 1u);
        EXPECT_EQ (alerts.boxes[0].message, expected);
        alerts.boxes.clear();
        EXPECT_EQ (player_test::marks (source()), "M");
        EXPECT_TRUE (playing());
        EXPECT_EQ (loadedName(), "good");
        EXPECT_TRUE (hostile_audio::Stamp (hostile.child (c.name)) == before) << "the file changed";
    }
}

TEST_F (Player, NoCrashWhenTheTransportHasNoSource)
{
    auto& p = build();
    showOnScreen();
    player_test::writeTone (media ("good.wav"), 1, 3.0);
    source().entries.add ({media ("good.wav"), 0});
    p.sourceList->updateContent();

    // A double click on the empty target list while playing: the empty entry releases the file,
    // and a change message then arrives with no source attached, in the playing state.
    p.transportAction (PellmixPlayer::playAction);
    ASSERT_TRUE (playing());
    screen->doubleClick (centreOf (*p.targetList));
    pump (300);
    EXPECT_EQ (config->listenedList.load(), 1);
    EXPECT_EQ (p.reader, nullptr);
    EXPECT_FALSE (playing());
    p.changeListenerCallback (&p.transportSource);
    p.transportAction (PellmixPlayer::nextAction);
    p.transportAction (PellmixPlayer::previousAction);
    pump (200);
    EXPECT_EQ (p.reader, nullptr);
    EXPECT_TRUE (alerts.boxes.empty());
    config->listenedList = 0;
}

TEST_F (Player, RepeatModesAtTheEndOfAFile)
{
    auto& p = build();
    player_test::writeTone (media ("a.wav"), 1, 0.4);
    player_test::writeTone (media ("b.wav"), 1, 0.4);
    p.sourceList->addFiles ({media ("a.wav").getFullPathName(), media ("b.wav").getFullPathName()});

    // "All": the last entry goes on to the first.
    p.loadEntry (source().selectEntry (1), true);
    ASSERT_TRUE (pumpUntil ([&] { return loadedName() == "a"; })) << "repeat All continues with the first";
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    EXPECT_TRUE (playing());

    // "Off" elsewhere plays the next entry; at the last entry it loads the first and stops.
    p.repeatMode = PellmixPlayer::repeatOff;
    ASSERT_TRUE (pumpUntil ([&] { return loadedName() == "b" && playing(); }));
    ASSERT_TRUE (
        pumpUntil ([&] { return loadedName() == "a" && p.transportState == PellmixPlayer::stopped; }));
    EXPECT_FALSE (playing());
    EXPECT_EQ (position(), 0.0);
    pump (600);
    EXPECT_EQ (loadedName(), "a");
    EXPECT_FALSE (playing());

    // "1": the same file again from its start.
    p.repeatMode = PellmixPlayer::repeatOne;
    p.transportAction (PellmixPlayer::playAction);
    const auto* reader = p.reader;
    ASSERT_TRUE (pumpUntil ([&] { return position() > 0.3; }));
    ASSERT_TRUE (pumpUntil ([&] { return position() < 0.2 && playing(); }));
    EXPECT_EQ (p.reader, reader);
    EXPECT_EQ (loadedName(), "a");
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
}

TEST_F (Player, RepeatButtonStepsTheModeAndTheSliders)
{
    auto& p = build();
    showOnScreen();
    player_test::writeTone (media ("short.wav"), 1, 2.0);
    player_test::writeTone (media ("long.wav"), 1, 6.0);
    p.sourceList->addFiles ({media ("short.wav").getFullPathName(), media ("long.wav").getFullPathName()});
    p.loadEntry (source().selectEntry (0), false);
    EXPECT_NEAR (p.sourceProgressSlider->getMaximum(), 2.0, 1e-9);

    struct Step
    {
        int mode;
        const char* text;
        juce::Slider::SliderStyle style;
    };
    for (const auto s :
         {Step{0, "Off", juce::Slider::LinearHorizontal}, Step{1, "1", juce::Slider::ThreeValueHorizontal},
          Step{2, "All", juce::Slider::LinearHorizontal}, Step{0, "Off", juce::Slider::LinearHorizontal},
          Step{1, "1", juce::Slider::ThreeValueHorizontal}})
    {
        SCOPED_TRACE (s.text);
        screen->click (centreOf (*p.repeatLabel)); // the button lies over the label and takes the click
        EXPECT_EQ (p.repeatMode, s.mode);
        EXPECT_EQ (p.repeatLabel->getText(), s.text);
        for (auto* slider : {p.sourceProgressSlider.get(), p.targetProgressSlider.get()})
            EXPECT_EQ (slider->getSliderStyle(), s.style);
    }
    // In mode 1 the loop region starts as the whole range.
    EXPECT_EQ (p.sourceProgressSlider->getMinValue(), 0.0);
    EXPECT_NEAR (p.sourceProgressSlider->getMaxValue(), 2.0, 1e-9);
    EXPECT_EQ (p.targetProgressSlider->getMaxValue(), 100.0);

    // A newly loaded file gets a region of its own whole length.
    p.sourceProgressSlider->setMinAndMaxValues (0.5, 1.5);
    p.loadEntry (source().selectEntry (1), false);
    EXPECT_NEAR (p.sourceProgressSlider->getMaximum(), 6.0, 1e-9);
    EXPECT_EQ (p.sourceProgressSlider->getMinValue(), 0.0);
    EXPECT_NEAR (p.sourceProgressSlider->getMaxValue(), 6.0, 1e-9);
}

TEST_F (Player, LoopRegionOfRepeatOneHoldsThePosition)
{
    auto& p = build();
    player_test::writeTone (media ("a.wav"), 1, 8.0);
    p.sourceList->addFiles ({media ("a.wav").getFullPathName()});
    p.buttonClicked (p.repeatButton.get());
    p.buttonClicked (p.repeatButton.get());
    ASSERT_EQ (p.repeatMode, PellmixPlayer::repeatOne);
    p.transportAction (PellmixPlayer::playAction);
    pump (50); // the asynchronous min/max notification of the mode change
    p.sourceProgressSlider->setMinAndMaxValues (2.0, 3.0);
    config->audioDeviceReady = 1;

    // Below the region: set to its start within one tick of the 500 ms timer.
    ASSERT_LT (position(), 1.0);
    ASSERT_TRUE (pumpUntil ([&] { return position() >= 2.0; }, 700));
    // Past its end: back to its start, over and over (a wrap shows as the position going back).
    double highest = 0.0, last = position();
    int wraps = 0;
    for (auto end = juce::Time::getMillisecondCounter() + 8000;
         wraps < 2 && juce::Time::getMillisecondCounter() < end;)
    {
        pump (20);
        const double now = position();
        highest = std::max (highest, now);
        wraps += now < last - 0.3 ? 1 : 0;
        last = now;
        EXPECT_GE (now, 1.99);
    }
    EXPECT_EQ (wraps, 2);
    EXPECT_LT (highest, 3.0 + 0.5 + 0.2) << "set back within about one tick after passing 3 s";
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);

    // While paused the region does not move the transport.
    p.transportAction (PellmixPlayer::pauseAction);
    p.transportSource.setPosition (5.0);
    p.timerCallback (PellmixPlayer::positionTimer);
    EXPECT_NEAR (position(), 5.0, 0.01);
}

TEST_F (Player, DragSeeksOnlyOnTheListenedSlidersValueThumb)
{
    auto& p = build();
    showOnScreen();
    player_test::writeTone (media ("a.wav"), 1, 10.0);
    player_test::writeTone (media ("t.wav"), 1, 10.0);
    p.sourceList->addFiles ({media ("a.wav").getFullPathName()});
    p.targetList->addFiles ({media ("t.wav").getFullPathName()});
    p.transportAction (PellmixPlayer::playAction);
    ASSERT_TRUE (playing());
    auto& slider = *p.sourceProgressSlider;
    ASSERT_NEAR (slider.getMaximum(), 10.0, 1e-9);

    auto at = [&] (juce::Slider& s, double value)
    { return p.getLocalPoint (&s, juce::Point<float> ((float)s.getPositionOfValue (value), 10.0f)); };
    // Down on the thumb, drag to 6 s: no seek while dragging; the release seeks, and playing goes on.
    screen->move (at (slider, slider.getValue()));
    screen->down (at (slider, slider.getValue()));
    screen->drag (at (slider, 3.0));
    screen->drag (at (slider, 6.0));
    EXPECT_EQ (p.thumbBeingDragged, 0);
    EXPECT_NEAR (slider.getValue(), 6.0, 0.15);
    EXPECT_LT (position(), 1.0) << "no seek during the drag";
    screen->up (at (slider, 6.0));
    EXPECT_NEAR (position(), slider.getValue(), 0.1);
    EXPECT_TRUE (playing());

    // The other list's slider: no seek.
    auto& other = *p.targetProgressSlider;
    const double before = position();
    screen->down (at (other, other.getValue()));
    screen->drag (at (other, 90.0));
    screen->up (at (other, 90.0));
    EXPECT_NEAR (position(), before, 0.3);
    EXPECT_LT (position(), 9.0);

    // Repeat "1": dragging the loop region's start thumb does not seek; the value thumb does.
    p.buttonClicked (p.repeatButton.get());
    p.buttonClicked (p.repeatButton.get());
    pump (50);
    slider.setMinAndMaxValues (1.0, 9.0, juce::dontSendNotification);
    slider.setValue (position(), juce::dontSendNotification);
    const double start = position();
    const auto minThumb = at (slider, 1.0);
    screen->move (minThumb);
    screen->down (minThumb);
    EXPECT_EQ (slider.getThumbBeingDragged(), 1);
    screen->drag (at (slider, 2.0));
    screen->up (at (slider, 2.0));
    EXPECT_EQ (p.thumbBeingDragged, 0);
    EXPECT_NEAR (slider.getMinValue(), 2.0, 0.15);
    EXPECT_NEAR (position(), start, 0.3);
}

TEST_F (Player, ListenButtonsSwitchTheListAndProcessing)
{
    auto& p = buildWithOneFileInEachList();
    ProcessingRecorder recorder;
    config->addListener (&recorder);

    const auto source = PELLMIX_PICTURE (player_listen_source_png);
    const auto off = PELLMIX_PICTURE (player_listen_off_png);
    const auto target = PELLMIX_PICTURE (player_listen_target_png);

    // Stopped: either button switches to the other list; the entry is loaded, not started.
    struct Step
    {
        juce::ImageButton* button;
        int list;
        bool processing;
    };
    const Step steps[] = {{p.listenTargetButton.get(), 1, false},
                          {p.listenTargetButton.get(), 0, true},
                          {p.listenSourceButton.get(), 1, false},
                          {p.listenSourceButton.get(), 0, true}};
    for (const auto& s : steps)
    {
        SCOPED_TRACE (s.list);
        screen->click (centreOf (*s.button));
        EXPECT_EQ (config->listenedList.load(), s.list);
        EXPECT_EQ (config->processingEnabled.load(), s.processing);
        ASSERT_FALSE (recorder.calls.empty());
        EXPECT_EQ (recorder.calls.back(), s.processing);
        EXPECT_EQ (loadedName(), s.list == 0 ? "s" : "t");
        EXPECT_EQ (p.transportState, PellmixPlayer::stopped);
        EXPECT_FALSE (playing());
        const bool sourceHeard = s.list == 0;
        EXPECT_EQ (differingPixels (p.listenSourceButton->getNormalImage(), sourceHeard ? source : off), 0);
        EXPECT_EQ (differingPixels (p.listenSourceButton->getDownImage(), sourceHeard ? off : source), 0);
        EXPECT_EQ (differingPixels (p.listenTargetButton->getNormalImage(), sourceHeard ? off : target), 0);
        EXPECT_EQ (differingPixels (p.listenTargetButton->getOverImage(), sourceHeard ? off : target), 0);
        EXPECT_EQ (differingPixels (p.listenTargetButton->getDownImage(), sourceHeard ? target : off), 0);
    }
    EXPECT_EQ (recorder.calls.size(), 4u);

    // Playing: the other list's current entry starts from its beginning.
    p.transportAction (PellmixPlayer::playAction);
    pump (600);
    ASSERT_GT (position(), 0.3);
    screen->click (centreOf (*p.listenTargetButton));
    EXPECT_EQ (loadedName(), "t");
    EXPECT_EQ (config->playingChannel.load(), 1);
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    EXPECT_TRUE (playing());
    EXPECT_LT (position(), 0.2);
    EXPECT_FALSE (config->processingEnabled.load());

    // Paused: the switch loads the other entry and leaves the player stopped.
    p.transportAction (PellmixPlayer::pauseAction);
    screen->click (centreOf (*p.listenSourceButton));
    EXPECT_EQ (loadedName(), "s");
    EXPECT_EQ (p.transportState, PellmixPlayer::stopped);
    config->removeListener (&recorder);
}

TEST_F (Player, DoubleAndSingleClicksInTheLists)
{
    auto& p = buildWithOneFileInEachList();
    ProcessingRecorder recorder;
    config->addListener (&recorder);

    auto rowCentre = [&] (PellmixPlayList& list, int row)
    { return p.getLocalPoint (&list, juce::Point<float> (80.0f, 2.0f + 18.0f * (float)row + 9.0f)); };
    // A double click on the target list's second row plays its right channel, dry.
    screen->doubleClick (rowCentre (*p.targetList, 1));
    pump (100);
    EXPECT_EQ (config->listenedList.load(), 1);
    EXPECT_FALSE (config->processingEnabled.load());
    ASSERT_FALSE (recorder.calls.empty());
    EXPECT_FALSE (recorder.calls.back());
    EXPECT_EQ (currentIndex (target()), 1);
    EXPECT_EQ (config->playingChannel.load(), 2);
    EXPECT_EQ (loadedName(), "t");
    EXPECT_TRUE (playing());
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    EXPECT_EQ (
        differingPixels (p.listenTargetButton->getNormalImage(), PELLMIX_PICTURE (player_listen_target_png)),
        0);

    // A click in one list clears the other list's selection.
    EXPECT_TRUE (p.targetList->isRowSelected (1));
    screen->click (rowCentre (*p.sourceList, 0));
    EXPECT_TRUE (p.sourceList->isRowSelected (0));
    EXPECT_FALSE (p.targetList->isRowSelected (1));
    screen->click (rowCentre (*p.targetList, 0));
    EXPECT_EQ (p.sourceList->getNumSelectedRows(), 0);

    // Below the rows with nothing selected: the source list becomes the listened one, with an empty
    // entry, which does not open. The player was playing, so the stopped transport's change
    // message then runs the end-of-file rule: repeat "All" goes on to the list's first entry.
    p.sourceList->deselectAllRows();
    screen->doubleClick (p.getLocalPoint (p.sourceList.get(), juce::Point<float> (80.0f, 75.0f)));
    EXPECT_EQ (config->listenedList.load(), 0);
    EXPECT_TRUE (config->processingEnabled.load());
    EXPECT_EQ (source().currentEntry, PellmixPlayListEntry{});
    EXPECT_EQ (p.reader, nullptr);
    EXPECT_FALSE (playing());
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    ASSERT_TRUE (pumpUntil ([&] { return playing(); }));
    EXPECT_EQ (currentIndex (source()), 0);
    EXPECT_EQ (loadedName(), "s");

    // The same while stopped: nothing follows.
    p.transportAction (PellmixPlayer::stopAction);
    pump (100);
    screen->doubleClick (p.getLocalPoint (p.targetList.get(), juce::Point<float> (80.0f, 75.0f)));
    pump (300);
    EXPECT_EQ (config->listenedList.load(), 1);
    EXPECT_EQ (target().currentEntry, PellmixPlayListEntry{});
    EXPECT_EQ (p.reader, nullptr);
    EXPECT_FALSE (playing());
    config->removeListener (&recorder);
}

TEST_F (Player, CaptureGuardHoldsThePlayerPaused)
{
    auto& p = build();
    player_test::writeTone (media ("a.wav"), 1, 10.0);
    p.sourceList->addFiles ({media ("a.wav").getFullPathName()});
    config->audioDeviceReady = 1;

    // While a capture is under way every action only pauses.
    config->captureState = PellmixCaptureHandOff::windowShown;
    for (int action = 0; action <= 5; ++action)
    {
        p.transportState = PellmixPlayer::stopped;
        p.transportAction (action);
        EXPECT_EQ (p.transportState, PellmixPlayer::paused) << action;
        EXPECT_EQ (p.reader, nullptr) << "nothing is opened";
    }

    // Held paused with nothing loaded, the first play after the capture opens the entry and
    // plays. A player that plays when the capture starts is stopped by the next timer tick.
    config->captureState = PellmixCaptureHandOff::idle;
    ASSERT_EQ (p.transportState, PellmixPlayer::paused);
    p.transportAction (PellmixPlayer::playAction);
    ASSERT_TRUE (playing());
    config->captureState = PellmixCaptureHandOff::windowClosed;
    ASSERT_TRUE (pumpUntil ([&] { return !playing(); }, 400));
    EXPECT_EQ (p.transportState, PellmixPlayer::paused);
    const double held = position();
    pump (300);
    EXPECT_EQ (position(), held);

    // Only a play action after the capture plays again, from where it stood.
    config->captureState = PellmixCaptureHandOff::idle;
    pump (300);
    EXPECT_FALSE (playing());
    p.transportAction (PellmixPlayer::playAction);
    EXPECT_TRUE (playing());
    EXPECT_GE (position(), held);
}

TEST_F (Player, ColourChangesReachTheListsAndSquares)
{
    auto& p = build();
    const juce::Colour green (0xff00c000), orange (0xffff8000);
    config->sourceColour = green;
    config->notifyColourChanged (2);
    EXPECT_EQ (p.sourceList->findColour (juce::ListBox::outlineColourId), green);
    config->targetColour = orange;
    config->notifyColourChanged (3);
    EXPECT_EQ (p.targetList->findColour (juce::ListBox::outlineColourId), orange);

    const auto shot = ui_test::snapshot (p);
    EXPECT_EQ (shot.getPixelAt (12, 60), green);
    EXPECT_EQ (shot.getPixelAt (200, 60), orange);
    EXPECT_EQ (shot.getPixelAt (775 + 3, 8 + 20), green);
    for (int index = 0; index < 8; ++index)
        config->notifyColourChanged (index); // every index is taken without harm
    config->resetColours();
    EXPECT_EQ (p.sourceList->findColour (juce::ListBox::outlineColourId),
               PellmixConfig::getDefaultColour (2));
}

// While the device is not ready (none, or lost) both curves lie on the view's floor; while it
// is, they follow the analysers.
TEST_F (Player, SpectrumTimerFillsTheViewWhileTheDeviceIsReady)
{
    auto& p = build();
    player_test::writeTone (media ("a.wav"), 1, 10.0);
    p.sourceList->addFiles ({media ("a.wav").getFullPathName()});
    p.transportAction (PellmixPlayer::playAction);

    const auto onFloor = [&p]
    {
        for (const auto* curve : {&p.spectrumView->inputCurve, &p.spectrumView->outputCurve})
            for (float v : *curve)
                if (v != PellmixPlayerInOutSpectroGramme::floorValue)
                    return false;
        return true;
    };
    config->audioDeviceReady = 0;
    pump (400);
    EXPECT_TRUE (onFloor()) << "nothing to show while the device is not ready";

    config->audioDeviceReady = 1;
    ASSERT_TRUE (pumpUntil (
        [&]
        {
            const auto& c = p.spectrumView->inputCurve;
            return *std::max_element (c.begin(), c.end()) > -20.0f;
        }));
    // dB x 0.6, floored at -60 dB: nothing below -36; the tone stands well out of the rest.
    for (const auto* curve : {&p.spectrumView->inputCurve, &p.spectrumView->outputCurve})
    {
        const auto [low, high] = std::minmax_element (curve->begin(), curve->end());
        EXPECT_GE (*low, -36.0f);
        EXPECT_GT (*high - *low, 10.0f);
    }

    // The device goes away: the curves fall to the floor instead of keeping the last spectrum.
    config->audioDeviceReady = 0;
    EXPECT_TRUE (pumpUntil (onFloor));
}

TEST_F (Player, MenuCommandsAddTheChosenFiles)
{
    auto& p = build();
    player_test::writeTone (media ("mono.wav"), 1, 0.2);
    player_test::writeTone (media ("stereo.aiff"), 2, 0.2);
    media ("broken.mp3").replaceWithText ("not audio");

    ui_test::ChooserStub chooser; // no answer: cancelled
    p.addSourceFiles();
    ASSERT_EQ (chooser.requests.size(), 1u);
    EXPECT_EQ (ui_test::describe (chooser.requests[0]),
               "open many 'Select the folder' in " +
                   config->settings.impulsesFolder.getFullPathName().toStdString() +
                   " *.wav;*.aif;*.aiff;*.mp3");
    EXPECT_TRUE (source().entries.isEmpty());

    chooser.answer = {media ("mono.wav"), media ("broken.mp3"), media ("stereo.aiff")};
    p.addSourceFiles();
    EXPECT_EQ (player_test::marks (source()), "MLR");
    EXPECT_EQ (p.sourceList->getModel()->getNumRows(), 3);
    p.addTargetFiles();
    p.addTargetFiles();
    EXPECT_EQ (player_test::marks (target()), "MLRMLR");
    EXPECT_EQ (chooser.requests.size(), 4u);
    EXPECT_FALSE (playlistFile().existsAsFile()) << "the lists are written when the player goes";
}

TEST_F (Player, PlaylistIsReadAtConstructionAndWrittenAtDestruction)
{
    player_test::writeTone (media ("a.wav"), 2, 0.2);
    player_test::writeTone (media ("b.wav"), 1, 0.2);
    playlistFile().replaceWithText (
        "<PellmixPlayList Version=\"1\"><Samples><Sample path=\"" + media ("a.wav").getFullPathName() +
        "\" channel=\"2\"/><Sample path=\"" + media ("gone.wav").getFullPathName() +
        "\" channel=\"0\"/></Samples><Targets><Sample path=\"" + media ("b.wav").getFullPathName() +
        "\" channel=\"0\"/></Targets></PellmixPlayList>");
    build();
    EXPECT_EQ (player_test::marks (source()), "R");
    EXPECT_EQ (player_test::marks (target()), "M");
    EXPECT_EQ (player->sourceList->getModel()->getNumRows(), 1);
    EXPECT_EQ (source().currentEntry, PellmixPlayListEntry{}) << "no current entry after reading";

    player->targetList->addFiles ({media ("a.wav").getFullPathName()});
    player->transportAction (PellmixPlayer::playAction);
    player.reset();

    auto doc = juce::XmlDocument::parse (playlistFile());
    ASSERT_NE (doc, nullptr);
    EXPECT_EQ (doc->getChildByName ("Samples")->getNumChildElements(), 1) << "the missing file is gone";
    EXPECT_EQ (doc->getChildByName ("Targets")->getNumChildElements(), 3);

    // A second player (in the same process) reads the same lists back.
    build();
    EXPECT_EQ (player_test::marks (source()), "R");
    EXPECT_EQ (player_test::marks (target()), "MLR");
    EXPECT_EQ (source().entries[0].file, media ("a.wav"));
}

TEST_F (Player, SpaceKeyPlaysAndPauses)
{
    auto& p = build();
    player_test::writeTone (media ("a.wav"), 1, 5.0);
    p.sourceList->addFiles ({media ("a.wav").getFullPathName()});
    const juce::KeyPress space (juce::KeyPress::spaceKey, juce::ModifierKeys::shiftModifier, ' ');
    EXPECT_TRUE (p.keyPressed (space, &p));
    EXPECT_EQ (p.transportState, PellmixPlayer::playing);
    EXPECT_TRUE (p.keyPressed (space, &p));
    EXPECT_EQ (p.transportState, PellmixPlayer::paused);
    EXPECT_FALSE (p.keyPressed (juce::KeyPress ('p', {}, 'p'), &p));
    EXPECT_EQ (p.transportState, PellmixPlayer::paused);
}
