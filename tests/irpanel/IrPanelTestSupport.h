#pragma once
// Pieces of the IR panel tests: the panel on a virtual display with the configuration and a JACK
// dummy device, pop-up menus answered through their window's peer, IR files written on the fly,
// and a reference engine that shapes and blends like the real one. The file chooser is answered
// by ui_test::ChooserStub, alert boxes are recorded by ui_test::AlertRecorder.
#include "engine/EngineTestHelpers.h"
#include "engine/PellmixVirFile.h"
#include "ui/PellmixIrPanel.h"
#include "ui/UiTestSupport.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>
#include <vector>

namespace irpanel_test
{
using ui_test::AlertRecorder;
using ui_test::OnScreen;

// The configuration built in a fresh HOME over a JACK dummy server of the given shape. One per
// process.
struct JackConfigEnvironment
{
    explicit JackConfigEnvironment (pellmix_test::JackOptions options)
        : jack (options)
    {
        if (jack.started() && openSharedDeviceForTests())
            config = PellmixConfig::getInstance();
    }
    // The device closes before the JACK server stops.
    ~JackConfigEnvironment() { deleteSharedAudioDeviceManager(); }

    pellmix_test::TempDir home;
    pellmix_test::ScopedEnv homeEnv{"HOME", home.path()};
    pellmix_test::JackServer jack;
    PellmixConfig* config = nullptr;
};

// Answers the next pop-up menu: records the texts of its items, then picks item n (1 is the first)
// through that item's own press action, or dismisses the menu with Escape through its window's
// peer (n = 0). The menu highlights the item under the pointer on its own timer, so keys that
// move the highlight would land on an item that depends on when that timer ran.
class MenuAnswer : private juce::Timer
{
public:
    explicit MenuAnswer (int itemToPick)
        : item (itemToPick)
    {
        startTimer (20);
    }
    ~MenuAnswer() override { stopTimer(); }

    juce::StringArray itemTexts;
    bool answered = false;

private:
    void timerCallback() override
    {
        auto* modal = juce::Component::getCurrentlyModalComponent();
        if (modal == nullptr || answered || modal->getPeer() == nullptr)
            return;
        std::vector<juce::AccessibilityHandler*> items;
        collectItems (*modal, items);
        answered = true;
        stopTimer();
        if (item <= 0)
        {
            modal->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::escapeKey));
            return;
        }
        if (item <= (int)items.size())
            items[(size_t)item - 1]->getActions().invoke (juce::AccessibilityActionType::press);
    }

    void collectItems (juce::Component& c, std::vector<juce::AccessibilityHandler*>& items)
    {
        for (auto* child : c.getChildren())
        {
            if (auto* handler = child->getAccessibilityHandler())
                if (handler->getRole() == juce::AccessibilityRole::menuItem)
                {
                    itemTexts.add (handler->getTitle());
                    items.push_back (handler);
                }
            collectItems (*child, items);
        }
    }

    int item;
};

// Mono IR files of a few formats.
inline juce::File writeAudio (const juce::File& file, const std::vector<float>& samples, double rate)
{
    file.deleteFile();
    std::unique_ptr<juce::AudioFormat> format;
    if (file.hasFileExtension ("wav"))
        format = std::make_unique<juce::WavAudioFormat>();
    else
        format = std::make_unique<juce::AiffAudioFormat>();
    std::unique_ptr<juce::AudioFormatWriter> writer (
        format->createWriterFor (new juce::FileOutputStream (file), rate, 1, 24, {}, 0));
    const float* channels[] = {samples.data()};
    writer->writeFromFloatArrays (channels, 1, (int)samples.size());
    return file;
}

inline juce::File writeVir (const juce::File& file, const std::vector<float>& samples96k)
{
    const float* bands[] = {samples96k.data(), samples96k.data(), samples96k.data()};
    const auto bytes = PellmixVir::encodeSpectral (bands, (int)samples96k.size());
    file.replaceWithData (bytes.data(), bytes.size());
    return file;
}

// A slot shaped like the engine shapes it, for comparing working buffers.
inline std::vector<float> shapedBand0 (const juce::File& file, const PellmixIrRecord& r)
{
    PellmixEngine reference;
    reference.initialise();
    if (!reference.loadIr (0, file))
        return {};
    reference.setIrParameters (0, r.length, r.offset, r.phase, r.invert, r.gain);
    const float* w = reference.getSlot (0).getWorkBuffer (0);
    return std::vector<float> (w, w + PellmixIrSlot::workLength);
}

inline std::vector<float> band0 (PellmixEngine& engine, int slot)
{
    const float* w = engine.getSlot (slot).getWorkBuffer (0);
    return std::vector<float> (w, w + PellmixIrSlot::workLength);
}

inline std::vector<float> sumBand0 (PellmixEngine& engine)
{
    return std::vector<float> (engine.getSum().bands[0].begin(), engine.getSum().bands[0].end());
}

// The IR panel on the desktop of this process's virtual display, with the configuration built
// in a fresh HOME over a JACK dummy device (one configuration per process, so one per test).
class IrPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
        config = env.config;
        panel = std::make_unique<PellmixIrPanel>();
        screen = std::make_unique<OnScreen> (*panel);
        pump (100); // the blocks' first asynchronous slider change
    }
    void TearDown() override
    {
        screen.reset();
        panel.reset();
    }

    static void pump (int milliseconds) { OnScreen::pump (milliseconds); }

    PellmixIrBlock& block (int slot) { return panel->getBlock (slot); }
    PellmixEngine& engine() { return config->engine; }
    PellmixProject& project() { return config->project; }
    PellmixIrRecord record (int slot) { return project().irRecords[slot]; }

    // The centre of a component inside the panel, or a point of block `slot`, in panel
    // coordinates (where the events go).
    juce::Point<float> at (const juce::Component& child)
    {
        return panel->getLocalPoint (&child, child.getLocalBounds().getCentre()).toFloat();
    }
    juce::Point<float> at (int slot, juce::Point<int> inBlock)
    {
        return panel->getLocalPoint (&block (slot), inBlock).toFloat();
    }

    void click (const juce::Component& child) { screen->click (at (child)); }

    // Files dropped through the window's peer at a point of block `slot`; the drop arrives
    // asynchronously.
    void drop (int slot, const juce::StringArray& files, juce::Point<int> inBlock = {60, 60})
    {
        juce::ComponentPeer::DragInfo info;
        info.files = files;
        info.position = at (slot, inBlock).roundToInt();
        screen->peer->handleDragMove (info);
        EXPECT_TRUE (screen->peer->handleDragDrop (info));
        pump (60);
    }
    void drop (int slot, const juce::File& file, juce::Point<int> inBlock = {60, 60})
    {
        drop (slot, juce::StringArray (file.getFullPathName()), inBlock);
    }

    // One timer tick of a block, now.
    void tick (int slot) { block (slot).timerCallback(); }

    juce::File file (const std::string& name) const { return juce::File (dir.child (name)); }
    juce::File wav (const std::string& name, const std::vector<float>& samples, double rate = 96000.0)
    {
        return writeAudio (file (name), samples, rate);
    }
    // A plain decaying IR that every reader takes.
    juce::File someIr (const std::string& name, double seed = 1.0, int length = 3000)
    {
        return wav (name, engine_test::decayingIr (length, 96000.0, seed));
    }

    // Loads a file into a block as a user would (a drop), then lets the block show it.
    void loadInto (int slot, const juce::File& f)
    {
        drop (slot, f);
        ASSERT_EQ (record (slot).path, f);
        ASSERT_TRUE (engine().isLoaded (slot));
        tick (slot);
    }

    const bool displayStarted = ui_test::processDisplay().started(); // before anything opens X
    ui_test::ConfigEnvironment env;
    AlertRecorder alerts;
    pellmix_test::TempDir dir{"pellmix-irpanel"};
    PellmixConfig* config = nullptr;
    std::unique_ptr<PellmixIrPanel> panel;
    std::unique_ptr<OnScreen> screen;
};
} // namespace irpanel_test
