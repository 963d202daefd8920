// The two dialog sequences run modally in this process on a virtual display; the dialogs are
// inspected and closed by the test.
#include "InProcessDevice.h"
#include "ModalCloser.h"
#include "ui/AudioConfigWindow.h"
#include "ui/AudioRootingWindow.h"
#include "ui/AudioSetupDialogs.h"

#include <juce_audio_utils/juce_audio_utils.h>

#include <cmath>
#include <cstdlib>
#include <map>

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

namespace
{
// WCAG's relative luminance and contrast ratio (1 to 21).
double luminance (juce::Colour c)
{
    auto channel = [] (juce::uint8 v)
    {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow ((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel (c.getRed()) + 0.7152 * channel (c.getGreen()) + 0.0722 * channel (c.getBlue());
}

double contrast (juce::Colour a, juce::Colour b)
{
    const auto la = luminance (a), lb = luminance (b);
    return (std::max (la, lb) + 0.05) / (std::min (la, lb) + 0.05);
}

// Every text of a dialog as drawn: for each showing label, combo box, text or toggle button and
// list with some text, the contrast between the most common colour of its area (the background) and the
// colour that stands out most from it (the glyphs).
struct TextSeen
{
    juce::String text;
    double contrast;
};

std::vector<TextSeen> textsOf (juce::Component& dialog, const juce::Image& shot)
{
    std::vector<TextSeen> texts;
    std::function<void (juce::Component&)> visit = [&] (juce::Component& c)
    {
        for (auto* child : c.getChildren())
        {
            if (!child->isShowing())
                continue;
            juce::String text;
            if (auto* label = dynamic_cast<juce::Label*> (child))
                text = label->getText();
            else if (auto* box = dynamic_cast<juce::ComboBox*> (child))
                text = box->getText();
            else if (dynamic_cast<juce::TextButton*> (child) != nullptr ||
                     dynamic_cast<juce::ToggleButton*> (child) != nullptr)
                text = dynamic_cast<juce::Button*> (child)->getButtonText();
            else if (auto* list = dynamic_cast<juce::ListBox*> (child);
                     list != nullptr && list->getModel() != nullptr)
                text = list->getModel()->getNumRows() > 0 ? "list of " + child->getName() : juce::String();
            if (text.isNotEmpty())
            {
                const auto area =
                    dialog.getLocalArea (child, child->getLocalBounds()).getIntersection (shot.getBounds());
                std::map<juce::uint32, int> counts;
                for (int y = area.getY(); y < area.getBottom(); ++y)
                    for (int x = area.getX(); x < area.getRight(); ++x)
                        ++counts[shot.getPixelAt (x, y).getARGB()];
                if (!counts.empty())
                {
                    const auto background =
                        juce::Colour (std::max_element (counts.begin(), counts.end(),
                                                        [] (auto& a, auto& b) { return a.second < b.second; })
                                          ->first);
                    double best = 1.0;
                    for (auto& [argb, n] : counts)
                        best = std::max (best, contrast (background, juce::Colour (argb)));
                    texts.push_back ({text, best});
                }
            }
            if (dynamic_cast<juce::ComboBox*> (child) == nullptr)
                visit (*child);
        }
    };
    visit (dialog);
    return texts;
}
} // namespace

// Every text of both dialogs stands out from what it is drawn on (WCAG's 4.5:1 for text), with a
// device open, so that the device dialog shows all its lists and settings.
TEST_F (SetupSequence, EveryTextOfTheDialogsIsReadable)
{
    ASSERT_TRUE (display.started());
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    std::vector<std::pair<juce::String, std::vector<TextSeen>>> dialogs;
    {
        ModalCloser closer (
            [&] (juce::Component& modal)
            {
                pumpMessages (300); // the selector fills its lists asynchronously
                const auto shot = modal.createComponentSnapshot (modal.getLocalBounds(), true, 1.0f)
                                      .convertedToFormat (juce::Image::ARGB);
                if (const char* folder = std::getenv ("PELLMIX_DIALOG_SHOTS"))
                {
                    juce::FileOutputStream out (
                        juce::File (folder).getChildFile (modal.getName().replace ("/", "-") + ".png"));
                    out.setPosition (0);
                    out.truncate();
                    juce::PNGImageFormat().writeImageToStream (shot, out);
                }
                dialogs.emplace_back (modal.getName(), textsOf (modal, shot));
            });
        runAudioSetupSequence (*config);
    }

    ASSERT_EQ (dialogs.size(), 2u);
    for (const auto& [title, texts] : dialogs)
    {
        SCOPED_TRACE (title);
        EXPECT_GE (texts.size(), title == "Audio device settings" ? 15u : 7u) << "texts found";
        for (const auto& t : texts)
            EXPECT_GE (t.contrast, 4.5) << t.text;
    }
}

// The device dialog's content keeps its button centred 40 pixels above the bottom and the
// viewport 50 pixels short of it, whatever size the dialog is given.
TEST (AudioConfigWindowLayout, ButtonAndViewportFollowTheSize)
{
    // The components open the X display. Without a display of its own the framework connects to
    // ":0", which may be another test's virtual display; the process would end with an X I/O error
    // when that display went away.
    ASSERT_TRUE (processDisplay().started());
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
