#pragma once
#include "app/MainWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The application object: builds the configuration (which opens the audio device), checks that
// the product folder is writable, then shows the main window (and, once, a box naming the stored
// files that could not be read) or the "Right error" box and quits.
// Every operation runs on the message thread, called by the framework.
class VantrelMelvaneApplication : public juce::JUCEApplication
{
public:
    VantrelMelvaneApplication() = default;
    ~VantrelMelvaneApplication() override;

    const juce::String getApplicationName() override { return "Vantrel Melvane"; }
    const juce::String getApplicationVersion() override { return "0.9.8"; }
    bool moreThanOneInstanceAllowed() override { return true; }
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String&) override {}
    void systemRequestedQuit() override { quit(); }

    // The title of the box that tells of stored files that could not be read at start.
    static constexpr const char* storedFilesTitle = "Stored files";

private:
    void showStoredFileNotices();

    std::unique_ptr<MainWindow> mainWindow;

    JUCE_DECLARE_NON_COPYABLE (VantrelMelvaneApplication)
};

// The factory that main installs in juce::JUCEApplicationBase::createInstance.
juce::JUCEApplicationBase* createApplication();
