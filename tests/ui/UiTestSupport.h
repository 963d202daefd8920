#pragma once
// Helpers for the in-process component tests: snapshots and pixel comparisons, a configuration
// built in a fresh HOME with a JACK dummy server, and a component on a virtual display that
// receives mouse, wheel and key events through its peer, the file chooser answered through its
// seam, and alert boxes recorded and closed.
#include "support/SharedDeviceForTests.h"
#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixFileChooser.h"
#include "ui/PellmixMenu.h"
#include "support/Fixtures.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace ui_test
{
// Hears every processing broadcast; removed again by its owner.
struct ProcessingRecorder : PellmixConfig::Listener
{
    void processingChanged (bool on) override { calls.push_back (on); }
    void colourSettingChanged (int) override {}
    std::vector<bool> calls;
};

// Counts the repaints that reach a visible component, its own and those of its visible children,
// through the framework's cached-image hook, and draws the component as usual. The component
// owns the counter: attach() returns it, and it lives until the component goes or another
// cached image replaces it.
class RepaintCounter : public juce::CachedComponentImage
{
public:
    static RepaintCounter& attach (juce::Component& c)
    {
        auto* counter = new RepaintCounter (c);
        c.setCachedComponentImage (counter);
        counter->requests = 0; // not the repaint of the attachment itself
        return *counter;
    }

    void paint (juce::Graphics& g) override { component.paintEntireComponent (g, false); }
    bool invalidateAll() override { return ++requests > 0; }
    bool invalidate (const juce::Rectangle<int>&) override { return ++requests > 0; }
    void releaseResources() override {}

    int requests = 0;

private:
    explicit RepaintCounter (juce::Component& c)
        : component (c)
    {
    }
    juce::Component& component;
};

inline juce::Image snapshot (juce::Component& c)
{
    return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f).convertedToFormat (juce::Image::ARGB);
}

inline juce::Image blankImage (int width, int height)
{
    return juce::Image (juce::Image::ARGB, width, height, true);
}

// Number of pixels whose ARGB values differ (every pixel when the sizes differ).
inline int differingPixels (const juce::Image& a, const juce::Image& b)
{
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight())
        return juce::jmax (1, a.getWidth() * a.getHeight());
    int n = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y).getARGB() != b.getPixelAt (x, y).getARGB())
                ++n;
    return n;
}

inline int opaquePixels (const juce::Image& image)
{
    int n = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() > 0)
                ++n;
    return n;
}

inline std::string argb (juce::Colour c)
{
    return c.toDisplayString (true).toStdString();
}

// Screenshots of the display, each kept as `name`, until one shows what `shows` looks for (the
// state the test needs, such as the window's first paint) and, when `settled`, is the same as the
// one before it (nothing left to draw or fade), within `timeout`; returns the last one (invalid
// when none could be taken), so that the test's own checks then say what was missing.
template <typename Shows>
juce::Image screenshotShowing (const pellmix_test::VirtualDisplay& display, const std::string& name,
                               Shows shows, bool settled = false,
                               std::chrono::milliseconds timeout = std::chrono::seconds (20))
{
    juce::Image shot, previous;
    pellmix_test::waitUntil (
        [&]
        {
            const auto path = display.keepScreenshot (name);
            previous = shot;
            shot = path.empty() ? juce::Image() : juce::ImageFileFormat::loadFrom (juce::File (path));
            return shot.isValid() && shows (shot) &&
                   (!settled || (previous.isValid() && differingPixels (previous, shot) == 0));
        },
        timeout, std::chrono::milliseconds (100));
    return shot;
}

// The virtual display of this test process, started by the first call (before anything opens
// the X display). It stays up until the process ends: the framework keeps its X connection until
// its own shut-down at the end of main, and a display that went away before would end the
// process with an X I/O error.
inline pellmix_test::VirtualDisplay& processDisplay()
{
    static pellmix_test::VirtualDisplay display;
    return display;
}

// The configuration singleton built in a fresh HOME with a JACK dummy server, with its menu model
// as the application's start-up makes it. One per process: every test case runs in its own process.
class ConfigEnvironment
{
public:
    explicit ConfigEnvironment (pellmix_test::JackOptions options = {})
        : jack (options)
    {
        if (jack.started() && openSharedDeviceForTests())
        {
            config = PellmixConfig::getInstance();
            config->menu = std::make_unique<PellmixMenu>();
        }
    }
    // The device closes before the JACK server stops.
    ~ConfigEnvironment() { deleteSharedAudioDeviceManager(); }

    pellmix_test::TempDir home;
    pellmix_test::ScopedEnv homeEnv{"HOME", home.path()};
    pellmix_test::JackServer jack;
    PellmixConfig* config = nullptr;
};

// A component placed on the desktop of a virtual display (which must exist before anything opens
// the X display), with events sent through its peer. Positions are in the component's coordinates.
class OnScreen
{
public:
    explicit OnScreen (juce::Component& c)
        : component (c)
    {
        component.setTopLeftPosition (0, 0);
        component.addToDesktop (0);
        component.setVisible (true);
        peer = component.getPeer();
        // Wait until the window is mapped and has the input focus (keys, tooltips and the
        // pointer tests all need it); under load mapping takes a while.
        const auto end = juce::Time::getMillisecondCounter() + 5000;
        do
        {
            pump (50);
            component.toFront (true);
        } while (!peer->isFocused() && juce::Time::getMillisecondCounter() < end);
        pump (50);
    }
    ~OnScreen()
    {
        juce::ModifierKeys::currentModifiers = {};
        component.removeFromDesktop();
    }

    static void pump (int milliseconds)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
    }

    void move (juce::Point<float> p, juce::ModifierKeys mods = {}) { send (p, mods.withoutMouseButtons()); }
    void down (juce::Point<float> p, juce::ModifierKeys mods = {})
    {
        send (p, mods.withFlags (juce::ModifierKeys::leftButtonModifier));
    }
    void drag (juce::Point<float> p, juce::ModifierKeys mods = {}) { down (p, mods); }
    void up (juce::Point<float> p, juce::ModifierKeys mods = {}) { send (p, mods.withoutMouseButtons()); }
    void click (juce::Point<float> p, juce::ModifierKeys mods = {})
    {
        move (p, mods);
        down (p, mods);
        up (p, mods);
    }
    void doubleClick (juce::Point<float> p)
    {
        click (p);
        click (p);
    }
    void wheel (juce::Point<float> p, float deltaY, float deltaX = 0.0f)
    {
        juce::MouseWheelDetails w;
        w.deltaX = deltaX;
        w.deltaY = deltaY;
        w.isReversed = false;
        w.isSmooth = false;
        w.isInertial = false;
        move (p);
        peer->handleMouseWheel (juce::MouseInputSource::InputSourceType::mouse, p, nextTime(), w);
    }
    bool key (const juce::KeyPress& k)
    {
        juce::ModifierKeys::currentModifiers = k.getModifiers();
        const bool used = peer->handleKeyPress (k);
        juce::ModifierKeys::currentModifiers = {};
        return used;
    }
    bool type (const juce::String& text)
    {
        bool used = true;
        for (auto c : text)
            used = key (juce::KeyPress ((int)c, {}, c)) && used;
        return used;
    }

    juce::ComponentPeer* peer = nullptr;

private:
    void send (juce::Point<float> p, juce::ModifierKeys mods)
    {
        // The framework reads the live pointer position for the mouse (isMouseOver, tooltips):
        // the X pointer is moved along with the events.
        juce::Desktop::setMousePosition (component.localPointToGlobal (p).roundToInt());
        juce::ModifierKeys::currentModifiers = mods;
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, p, mods,
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, nextTime());
    }
    juce::int64 nextTime() { return time += 20; }

    juce::Component& component;
    juce::int64 time = juce::Time::currentTimeMillis();
};

// Stands in for the file chooser while it lives: keeps every request and answers each with
// `answer` (empty: cancelled). The chooser it replaced comes back when it goes.
class ChooserStub
{
public:
    ChooserStub()
    {
        previous = PellmixFileChooser::setHandler (
            [this] (const PellmixFileChooser::Request& request)
            {
                requests.push_back (request);
                return answer;
            });
    }
    ~ChooserStub() { PellmixFileChooser::setHandler (std::move (previous)); }

    juce::Array<juce::File> answer;
    std::vector<PellmixFileChooser::Request> requests;

private:
    PellmixFileChooser::Handler previous;
    JUCE_DECLARE_NON_COPYABLE (ChooserStub)
};

// A request in one line: "open|open many|save 'title' in folder patterns", then " (asks before
// overwriting)" where the chooser warns.
inline std::string describe (const PellmixFileChooser::Request& r)
{
    using Mode = PellmixFileChooser::Mode;
    const char* mode = r.mode == Mode::save ? "save" : r.mode == Mode::openMany ? "open many" : "open";
    return std::string (mode) + " '" + r.title.toStdString() + "' in " +
           r.initialFileOrDirectory.getFullPathName().toStdString() + " " + r.patterns.toStdString() +
           (r.warnAboutOverwriting ? " (asks before overwriting)" : "");
}

// Makes any file chooser that no stub answers fail the test at once, instead of a dialog that
// nobody answers holding the test until its time-out. For a test environment's SetUp.
inline void failUnansweredChoosers()
{
    PellmixFileChooser::setHandler (
        [] (const PellmixFileChooser::Request& request)
        {
            ADD_FAILURE() << "a file chooser \"" << request.title << "\" was opened without a stub";
            return juce::Array<juce::File>();
        });
}

// Becomes the default look-and-feel while it lives, so that every alert box without an
// associated component is built here: its title, message and icon are recorded and the box is
// closed as soon as the message loop runs.
class AlertRecorder : public juce::LookAndFeel_V4
{
public:
    struct Box
    {
        juce::String title, message;
        juce::MessageBoxIconType icon;
    };

    AlertRecorder() { juce::LookAndFeel::setDefaultLookAndFeel (this); }
    ~AlertRecorder() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }

    juce::AlertWindow* createAlertWindow (const juce::String& title, const juce::String& message,
                                          const juce::String& button1, const juce::String& button2,
                                          const juce::String& button3, juce::MessageBoxIconType icon,
                                          int numButtons, juce::Component* associated) override
    {
        boxes.push_back ({title, message, icon});
        auto* box = LookAndFeel_V4::createAlertWindow (title, message, button1, button2, button3, icon,
                                                       numButtons, associated);
        juce::Component::SafePointer<juce::Component> safe (box);
        juce::MessageManager::callAsync (
            [safe]
            {
                if (safe != nullptr)
                    safe->exitModalState (0);
            });
        return box;
    }

    std::vector<Box> boxes;
};
} // namespace ui_test
