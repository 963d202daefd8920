#pragma once
#include <functional>
#include <memory>
#include <juce_gui_basics/juce_gui_basics.h>

// The main window's menu-bar model, owned by the configuration: "File" (projects, IR export,
// adding files to the player's playlists, quit), "Setup" (the audio device and routing dialogs,
// the display colours, the tooltip switch) and "?" (the regular files of "Docs/" named as
// documents, "About").
// Every menu is built afresh when it opens. Item ids repeat across menus, so commands are
// dispatched by (menu index, id).
//
// Files are asked for through PellmixFileChooser and documents are opened through a replaceable
// function (the desktop's opener by default: a document is never run), so tests can answer both.
//
// Threads: message thread only. Listeners are added and removed under `lock`; they are called
// without it, from the last registered to the first.
class PellmixMenu : public juce::MenuBarModel, public juce::ChangeListener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void addSourceFiles() = 0;
        virtual void addTargetFiles() = 0;
    };

    enum MenuIndex
    {
        fileMenu = 0,
        setupMenu = 1,
        helpMenu = 2
    };
    enum FileItem
    {
        openProjectId = 1,
        saveProjectId = 2,
        saveProjectToId = 3,
        exportIrId = 4,
        quitId = 5,
        addSourceFilesId = 11,
        addTargetFilesId = 12
    };
    enum SetupItem
    {
        audioDeviceSettingsId = 1,
        hardwareOptionsId = 2,
        showTooltipId = 3,
        resetColoursId = 10 // the colour items follow: 11 + colour index (no item for 6, the background)
    };
    enum HelpItem
    {
        aboutId = 1,
        firstDocumentId = 100
    };

    using DocumentOpener = std::function<void (const juce::File&)>;

    PellmixMenu();
    ~PellmixMenu() override;

    // The model the configuration owns (the application hands it in at start-up); null before.
    static PellmixMenu* fromConfig();

    // Adds the listener once; a null or already registered listener is ignored.
    void addListener (Listener* listener);
    void removeListener (Listener* listener);
    // How many listeners are registered (tests check that the player leaves when deleted).
    int getNumListeners() const { return listeners.size(); }

    // Replaces the document opener; an empty function restores the default, the desktop's opener
    // (openWithDesktop, platform/DocumentOpener.h). Files are asked for through PellmixFileChooser.
    void setDocumentOpener (DocumentOpener opener);

    static constexpr const char* aboutTitle = "About Vantrel Melvane...";
    // How long the load report waits at most for the IR blocks to take a loaded project.
    static constexpr int loadReportWaitMs = 10000;
    static juce::String aboutText();

    // Nothing announces menu changes: every menu is rebuilt when it opens.
    void handleAsyncUpdate() override {}
    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;
    // A colour selector changed: its colour goes to the configuration's colour of its name.
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    // The documents found when the "?" menu was last built; item 100 + i opens entry i.
    const juce::Array<juce::File>& getDocuments() const { return documents; }

private:
    juce::PopupMenu fileMenuItems() const;
    juce::PopupMenu setupMenuItems() const;
    juce::PopupMenu helpMenuItems();
    void fileCommand (int id);
    void setupCommand (int id);
    void helpCommand (int id);
    void openProject();
    void saveProject();
    void exportIr();
    void showColourSelector (int colourIndex);
    // Asks for a file to write and completes a name typed without `extension`; File() when
    // cancelled, also when the user declines to overwrite the completed name.
    juce::File chooseFileToWrite (const juce::String& title, const juce::File& startIn,
                                  const juce::String& extension);

    // After a project load, waits for the IR blocks to take the loaded records (they find the
    // files they cannot read), then tells in one box what was not taken as stored.
    class LoadReportWatch;
    void reportProjectLoad();

    juce::Array<juce::File> documents;
    juce::Array<Listener*> listeners;
    juce::CriticalSection lock;
    DocumentOpener openDocument;
    std::unique_ptr<LoadReportWatch> loadReportWatch;

    JUCE_DECLARE_NON_COPYABLE (PellmixMenu)
};
