#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// The main window's menu-bar model, owned by the configuration. For now it offers no menus; it
// keeps the listener list through which the menu hands its playlist commands to the player.
// Message thread only; listeners are added under `lock` and never removed.
class PellmixMenu : public juce::MenuBarModel
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void addSourceFiles() = 0;
        virtual void addTargetFiles() = 0;
    };

    PellmixMenu() = default;
    ~PellmixMenu() override = default;

    // The model the configuration owns (the application hands it in at start-up); null before.
    static PellmixMenu* fromConfig();

    // Adds the listener once; a null or already registered listener is ignored.
    void addListener (Listener* listener);

    juce::StringArray getMenuBarNames() override { return {}; }
    juce::PopupMenu getMenuForIndex (int, const juce::String&) override { return {}; }
    void menuItemSelected (int, int) override {}

private:
    juce::Array<Listener*> listeners;
    juce::CriticalSection lock;

    JUCE_DECLARE_NON_COPYABLE (PellmixMenu)
};
