// The two dialog sequences run modally in this process on a virtual display; the dialogs are
// inspected and closed by the test.
#include "InProcessDevice.h"
#include "ModalCloser.h"
#include "ui/AudioConfigWindow.h"
#include "ui/AudioRootingWindow.h"
#include "ui/AudioSetupDialogs.h"

#include <juce_audio_utils/juce_audio_utils.h>

using namespace app_test;

namespace
{
struct DialogSeen
{
    juce::String title;
    bool resizable = false;
    juce::String contentKind;
    int contentWidth = 0, contentHeight = 0;
    bool holdsDeviceSelector = false;
    juce::Colour background;
};

DialogSeen describe (juce::Component& modal)
{
    DialogSeen seen;
    seen.title = modal.getName();
    if (auto* dialog = dynamic_cast<juce::DialogWindow*> (&modal))
    {
        seen.resizable = dialog->isResizable();
        seen.background = dialog->getBackgroundColour();
        if (auto* content = dialog->getContentComponent())
        {
            seen.contentWidth = content->getWidth();
            seen.contentHeight = content->getHeight();
            if (dynamic_cast<AudioConfigWindow*> (content) != nullptr)
                seen.contentKind = "AudioConfigWindow";
            if (dynamic_cast<AudioRootingWindow*> (content) != nullptr)
                seen.contentKind = "AudioRootingWindow";
            for (auto* child : content->getChildren())
                if (auto* viewport = dynamic_cast<juce::Viewport*> (child))
                    seen.holdsDeviceSelector = dynamic_cast<juce::AudioDeviceSelectorComponent*> (
                                                   viewport->getViewedComponent()) != nullptr;
        }
    }
    return seen;
}

// Clicks the dialog's own "OK" button, as a user would.
void clickOk (juce::Component& modal)
{
    std::function<juce::Button*(juce::Component&)> find = [&] (juce::Component& c) -> juce::Button*
    {
        for (auto* child : c.getChildren())
        {
            if (auto* button = dynamic_cast<juce::TextButton*> (child);
                button != nullptr && button->getButtonText() == "OK")
                return button;
            if (auto* found = find (*child))
                return found;
        }
        return nullptr;
    };
    auto* ok = find (modal);
    ASSERT_NE (ok, nullptr);
    ok->triggerClick();
}

juce::File settingsFile()
{
    return juce::File::getSpecialLocation (juce::File::userHomeDirectory)
        .getChildFile (".config/Application Support/Harnwick/VantrelMelvane.cfg");
}

int savedValue (const juce::XmlElement& root, const char* key)
{
    auto* melvane = root.getChildByName ("Melvane");
    auto* element = melvane != nullptr ? melvane->getChildByName (key) : nullptr;
    return element != nullptr ? element->getIntAttribute ("value", -999) : -999;
}

class SetupSequence : public InProcessDevice
{
protected:
    pellmix_test::VirtualDisplay& display = processDisplay();
    std::vector<DialogSeen> seen;
};
} // namespace

TEST_F (SetupSequence, RoutingSequenceShowsTheDialogThenSavesWhatItHolds)
{
    ASSERT_TRUE (display.started());
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    // An explicit device choice, so that the device manager has a state to save.
    ASSERT_NO_FATAL_FAILURE (setActiveChannels (channelMask ({0, 1}), channelMask ({0, 1, 2, 3})));
    config->captureAudioIn = 1;
    config->captureAudioOut = 3;
    config->mainAudioOut = 102;
    ASSERT_FALSE (settingsFile().exists());

    {
        ModalCloser closer ([&] (juce::Component& modal) { seen.push_back (describe (modal)); }, clickOk);
        runRoutingSequence (*config);
    }

    ASSERT_EQ (seen.size(), 1u);
    EXPECT_EQ (seen[0].title, "Hardware I/O options");
    EXPECT_EQ (seen[0].contentKind, "AudioRootingWindow");
    EXPECT_EQ (seen[0].contentWidth, 496);
    EXPECT_EQ (seen[0].contentHeight, 557);
    EXPECT_FALSE (seen[0].resizable);
    EXPECT_EQ (seen[0].background, juce::Colours::azure);

    // Untouched, the dialog keeps the routing, and closing it writes both files.
    EXPECT_EQ (config->captureAudioIn.load(), 1);
    EXPECT_EQ (config->captureAudioOut.load(), 3);
    EXPECT_EQ (config->mainAudioOut.load(), 102);
    auto saved = juce::XmlDocument::parse (settingsFile());
    ASSERT_NE (saved, nullptr);
    EXPECT_EQ (savedValue (*saved, "captureAudioIn"), 1);
    EXPECT_EQ (savedValue (*saved, "captureAudioOut"), 3);
    EXPECT_EQ (savedValue (*saved, "mainAudioOut"), 102);
    auto state = juce::XmlDocument::parse (PellmixSettings::getDeviceStateFile());
    ASSERT_NE (state, nullptr);
    EXPECT_TRUE (state->hasTagName ("DEVICESETUP"));
    EXPECT_EQ (state->getStringAttribute ("audioOutputDeviceName"), "system");
}

// The device dialog, the readiness flag, then the routing dialog and the save.
struct SetupCase
{
    const char* name;
    bool deviceOpen;
    int expectedReady;
};

void PrintTo (const SetupCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetupSequenceCases : public SetupSequence, public ::testing::WithParamInterface<SetupCase>
{
};

TEST_P (SetupSequenceCases, DeviceDialogThenRoutingDialogThenSave)
{
    ASSERT_TRUE (display.started());
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    if (!GetParam().deviceOpen)
        getSharedAudioDeviceManager()->closeAudioDevice();
    config->audioDeviceReady = -1;

    {
        ModalCloser closer ([&] (juce::Component& modal) { seen.push_back (describe (modal)); });
        runAudioSetupSequence (*config);
    }

    ASSERT_EQ (seen.size(), 2u);
    EXPECT_EQ (seen[0].title, "Audio device settings");
    EXPECT_EQ (seen[0].contentKind, "AudioConfigWindow");
    EXPECT_EQ (seen[0].contentWidth, 520);
    EXPECT_EQ (seen[0].contentHeight, 400);
    EXPECT_TRUE (seen[0].resizable);
    EXPECT_TRUE (seen[0].holdsDeviceSelector);
    EXPECT_EQ (seen[0].background, juce::Colours::azure);
    EXPECT_EQ (seen[1].title, "Hardware I/O options");
    EXPECT_EQ (seen[1].contentKind, "AudioRootingWindow");

    EXPECT_EQ (config->audioDeviceReady.load(), GetParam().expectedReady);
    EXPECT_TRUE (settingsFile().existsAsFile());
}

const SetupCase setupCases[] = {
    {"DeviceWithOutputs", true, 1},
    {"NoDevice", false, 0},
};

INSTANTIATE_TEST_SUITE_P (Setup, SetupSequenceCases, ::testing::ValuesIn (setupCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

// With no output device the configuration is still built without a dialog; the application's
// first-run step shows the two dialogs afterwards, and code running inside them may use the
// configuration (inside its construction that call would never return).
TEST_F (SetupSequence, FirstRunDialogsComeAfterTheConfigurationExists)
{
    ASSERT_TRUE (display.started());
    std::vector<bool> configReachable;
    ModalCloser closer (
        [&] (juce::Component& modal)
        {
            seen.push_back (describe (modal));
            configReachable.push_back (PellmixConfig::getInstance() == config);
        });

    config = PellmixConfig::getInstance(); // no JACK server: no device opens
    ASSERT_FALSE (config->hasOutputDevice());
    EXPECT_TRUE (seen.empty());
    EXPECT_EQ (config->audioDeviceReady.load(), 0);
    EXPECT_FALSE (settingsFile().exists());

    runFirstAudioSetup (*config);
    ASSERT_EQ (seen.size(), 2u);
    EXPECT_EQ (seen[0].title, "Audio device settings");
    EXPECT_EQ (seen[1].title, "Hardware I/O options");
    EXPECT_EQ (configReachable, (std::vector<bool>{true, true}));
    EXPECT_TRUE (settingsFile().existsAsFile());
}

// The device dialog's content keeps its button centred 40 pixels above the bottom and the
// viewport 50 pixels short of it, whatever size the dialog is given.
TEST (AudioConfigWindowLayout, ButtonAndViewportFollowTheSize)
{
    struct Case
    {
        int width, height;
        juce::Rectangle<int> viewport, button;
    };
    const Case cases[] = {
        {520, 400, {0, 0, 520, 350}, {185, 360, 150, 24}},
        {521, 401, {0, 0, 521, 351}, {185, 361, 150, 24}}, // odd width: rounds down
        {800, 700, {0, 0, 800, 650}, {325, 660, 150, 24}},
        {151, 60, {0, 0, 151, 10}, {0, 20, 150, 24}},
        {101, 40, {0, 0, 101, 0}, {-24, 0, 150, 24}}, // narrower than the button
    };
    AudioConfigWindow window;
    auto* selector = new juce::Component();
    selector->setSize (500, 500);
    window.setContent (selector);
    juce::Viewport* viewport = nullptr;
    juce::Button* button = nullptr;
    for (auto* child : window.getChildren())
    {
        if (auto* v = dynamic_cast<juce::Viewport*> (child))
            viewport = v;
        if (auto* b = dynamic_cast<juce::TextButton*> (child))
            button = b;
    }
    ASSERT_NE (viewport, nullptr);
    ASSERT_NE (button, nullptr);
    EXPECT_EQ (viewport->getName(), "Viewport");
    EXPECT_EQ (viewport->getViewedComponent(), selector);

    for (const auto& c : cases)
    {
        window.setSize (c.width, c.height);
        EXPECT_EQ (viewport->getBounds(), c.viewport) << c.width << "x" << c.height;
        EXPECT_EQ (button->getBounds(), c.button) << c.width << "x" << c.height;
    }
}
