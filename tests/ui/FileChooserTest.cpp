// The file chooser itself, with the framework's own dialog (this machine has no desktop chooser):
// each mode's dialog answered through its components, the overwrite warning, and what the call
// returns.
#include "UiTestSupport.h"
#include "ui/PellmixFileChooser.h"

#include <functional>
#include <vector>

namespace
{
template <typename Type>
Type* findChild (juce::Component& parent)
{
    for (auto* child : parent.getChildren())
    {
        if (auto* found = dynamic_cast<Type*> (child))
            return found;
        if (auto* found = findChild<Type> (*child))
            return found;
    }
    return nullptr;
}

juce::Button* buttonWithText (juce::Component& parent, const juce::String& text)
{
    for (auto* child : parent.getChildren())
    {
        if (auto* button = dynamic_cast<juce::Button*> (child);
            button != nullptr && button->getButtonText() == text)
            return button;
        if (auto* found = buttonWithText (*child, text))
            return found;
    }
    return nullptr;
}

// Answers the dialogs that come up while it lives. Each time the chooser's dialog is on top and
// its folder shows `listed` rows, the next step acts on its browser and the dialog's OK button
// (the step returned true) or its Cancel button is pressed. Overwrite warnings are recorded and
// cancelled.
class DialogAnswer : private juce::Timer
{
public:
    using Step = std::function<bool (juce::FileBrowserComponent&)>;

    DialogAnswer (int listedRows, std::vector<Step> dialogSteps)
        : listed (listedRows)
        , steps (std::move (dialogSteps))
    {
        startTimer (20);
    }
    ~DialogAnswer() override { stopTimer(); }

    struct Seen
    {
        juce::String title;
        juce::File root;
        bool saveMode = false;
        bool typedName = false; // the name box takes typing (not in multiple selection)
    };
    std::vector<Seen> seen;
    std::vector<juce::String> warnings;

private:
    void timerCallback() override
    {
        auto* modal = juce::Component::getCurrentlyModalComponent();
        if (auto* alert = dynamic_cast<juce::AlertWindow*> (modal))
        {
            warnings.push_back (alert->getName());
            alert->exitModalState (0);
            pressedTicks = -1;
            return;
        }
        auto* box = dynamic_cast<juce::FileChooserDialogBox*> (modal);
        if (box != nullptr && pressedTicks >= 0)
        {
            // A press is on its way; a dialog still up after two seconds ignored it.
            if (++pressedTicks > 100)
            {
                ADD_FAILURE() << "the dialog stayed up after a press";
                box->exitModalState (0);
            }
            return;
        }
        auto* browser = box != nullptr ? findChild<juce::FileBrowserComponent> (*box) : nullptr;
        auto* list =
            browser != nullptr ? dynamic_cast<juce::ListBox*> (browser->getDisplayComponent()) : nullptr;
        if (list == nullptr || list->getModel()->getNumRows() != listed)
            return; // not up yet, or its folder is still being read

        seen.push_back ({box->getName(), browser->getRoot(), browser->isSaveMode(),
                         !findChild<juce::TextEditor> (*browser)->isReadOnly()});
        const bool ok = next < steps.size() && steps[next++](*browser);
        auto* button = buttonWithText (*box, ok ? (browser->isSaveMode() ? "Save" : "Open") : "Cancel");
        if (button == nullptr)
        {
            ADD_FAILURE() << "no button to press";
            box->exitModalState (0);
            return;
        }
        button->triggerClick();
        pressedTicks = 0;
    }

    int listed;
    std::vector<Step> steps;
    size_t next = 0;
    int pressedTicks = -1; // ticks since a button was pressed; -1: none pending
};

DialogAnswer::Step type (const juce::String& name)
{
    return [name] (juce::FileBrowserComponent& browser)
    {
        browser.setFileName (name);
        return true;
    };
}

DialogAnswer::Step selectAllRows()
{
    return [] (juce::FileBrowserComponent& browser)
    {
        auto* list = dynamic_cast<juce::ListBox*> (browser.getDisplayComponent());
        list->selectRangeOfRows (0, list->getModel()->getNumRows() - 1);
        return true;
    };
}

const DialogAnswer::Step cancel = [] (juce::FileBrowserComponent&) { return false; };

// The real chooser instead of the test environment's stand-in, while it lives.
struct RealChooser
{
    RealChooser()
        : previous (PellmixFileChooser::setHandler ({}))
    {
    }
    ~RealChooser() { PellmixFileChooser::setHandler (std::move (previous)); }
    PellmixFileChooser::Handler previous;
};
} // namespace

TEST (FileChooser, EachModeShowsItsDialogAndReturnsWhatWasChosen)
{
    ASSERT_TRUE (ui_test::processDisplay().started());
    pellmix_test::TempDir dir{"pellmix-chooser"};
    const juce::File folder (dir.path());
    for (const char* name : {"a.wav", "b.aiff", "notes.txt", "taken.vmp"})
        ASSERT_TRUE (folder.getChildFile (name).replaceWithText ("x"));
    RealChooser realChooser;
    using Mode = PellmixFileChooser::Mode;

    struct Case
    {
        const char* name;
        PellmixFileChooser::Request request;
        int listed; // rows the pattern lets through
        std::vector<DialogAnswer::Step> steps;
        std::vector<juce::String> chosen;   // file names
        std::vector<juce::String> warnings; // overwrite warnings seen
    };
    const std::vector<Case> cases = {
        {"one", {"Select the folder", folder, "*.wav;*.aif;*.vir"}, 1, {type ("a.wav")}, {"a.wav"}, {}},
        {"one cancelled", {"Select the folder", folder, "*.wav;*.aif;*.vir"}, 1, {cancel}, {}, {}},
        {"several",
         {"Select the folder", folder, "*.wav;*.aif;*.aiff;*.mp3", Mode::openMany},
         2,
         {selectAllRows()},
         {"a.wav", "b.aiff"},
         {}},
        // An existing name is warned about; the cancelled warning leaves the dialog up.
        {"save",
         {"Save Melvane project", folder, "*.vmp;", Mode::save, true},
         1,
         {type ("taken.vmp"), type ("fresh")},
         {"fresh"},
         {"File already exists"}},
        {"save without warning",
         {"Output file", folder, "*.vmp;", Mode::save},
         1,
         {type ("taken.vmp")},
         {"taken.vmp"},
         {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        DialogAnswer answer (c.listed, c.steps);
        const auto files = PellmixFileChooser::choose (c.request);

        std::vector<juce::String> names;
        for (const auto& f : files)
        {
            EXPECT_EQ (f.getParentDirectory(), folder);
            names.push_back (f.getFileName());
        }
        EXPECT_EQ (names, c.chosen);
        EXPECT_EQ (answer.warnings, c.warnings);
        ASSERT_EQ (answer.seen.size(), c.steps.size()) << "one dialog step per step";
        for (const auto& s : answer.seen)
        {
            EXPECT_EQ (s.title, c.request.title);
            EXPECT_EQ (s.root, folder);
            EXPECT_EQ (s.saveMode, c.request.mode == Mode::save);
            EXPECT_EQ (s.typedName, c.request.mode != Mode::openMany);
        }
    }
}
