#include "ui/PellmixMenu.h"

#include "engine/PellmixInputFile.h"
#include "platform/DocumentOpener.h"
#include "settings/PellmixConfig.h"
#include "ui/AudioSetupDialogs.h"
#include "ui/PellmixFileChooser.h"

#include <algorithm>
#include <juce_gui_extra/juce_gui_extra.h>

namespace
{
const char* const documentPrefix = "Vantrel Melvane "; // 16 characters, the last a space
const char* const documentExtensions[] = {".html", ".pdf", ".avi", ".mp4"};

struct ColourItem
{
    int colourIndex;
    const char* label;
};
// The colour items in menu order; item id = PellmixMenu::resetColoursId + 1 + colour index.
const ColourItem colourItems[] = {{0, "Input color"},  {1, "Ouput color"}, {2, "Source color"},
                                  {3, "Target color"}, {4, "IRs color"},   {5, "Volume color"},
                                  {7, "Grid color"}};

PellmixConfig& config()
{
    return *PellmixConfig::getInstance();
}

bool isListedDocument (const juce::File& file)
{
    if (!file.getFileNameWithoutExtension().startsWith (documentPrefix))
        return false;
    const auto extension = file.getFileExtension();
    for (auto* listed : documentExtensions)
        if (extension == listed) // letter case counts
            return true;
    return false;
}

void showWarning (const juce::String& title, const juce::String& message)
{
    juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::WarningIcon, title, message);
}

// Writes through `write` (which replaces the file through a temporary sibling) and, when that
// fails, says so; that an older file of the name was kept is said only when there was one.
void writeOrTell (const juce::File& file, const juce::String& title, const juce::String& what,
                  const std::function<bool (const juce::File&)>& write)
{
    const bool older = file.existsAsFile();
    if (write (file))
        return;
    auto message = what + " could not be written to:\n" + file.getFullPathName();
    if (older)
        message << "\n\nAn older file of that name was left as it was.";
    showWarning (title, message);
}
} // namespace

class PellmixMenu::LoadReportWatch : private juce::Timer
{
public:
    explicit LoadReportWatch (PellmixMenu& owner)
        : menu (owner)
        , deadline (juce::Time::getMillisecondCounter() + (juce::uint32)loadReportWaitMs)
    {
        startTimer (100);
    }

private:
    void timerCallback() override
    {
        const auto& records = config().project.irRecords;
        const bool taken = std::none_of (records.begin(), records.end(),
                                         [] (const PellmixIrRecord& r) { return r.changed; });
        if (taken || juce::Time::getMillisecondCounter() >= deadline)
            menu.reportProjectLoad(); // deletes this watch
    }

    PellmixMenu& menu;
    const juce::uint32 deadline;
};

PellmixMenu::PellmixMenu() = default;
PellmixMenu::~PellmixMenu() = default;

PellmixMenu* PellmixMenu::fromConfig()
{
    return dynamic_cast<PellmixMenu*> (PellmixConfig::getInstance()->menu.get());
}

void PellmixMenu::addListener (Listener* listener)
{
    const juce::ScopedLock scope (lock);
    if (listener != nullptr)
        listeners.addIfNotAlreadyThere (listener);
}

void PellmixMenu::removeListener (Listener* listener)
{
    const juce::ScopedLock scope (lock);
    listeners.removeAllInstancesOf (listener);
}

void PellmixMenu::setDocumentOpener (DocumentOpener opener)
{
    openDocument = std::move (opener);
}

juce::String PellmixMenu::aboutText()
{
    return juce::String ("Vantrel Melvane") + " " + "0.9.8" + "\n" +
           "Impulse responses blended, shaped and captured. (c) Harnwick" + "\n";
}

//==============================================================================
juce::StringArray PellmixMenu::getMenuBarNames()
{
    return {"File", "Setup", "?"};
}

juce::PopupMenu PellmixMenu::getMenuForIndex (int topLevelMenuIndex, const juce::String&)
{
    switch (topLevelMenuIndex)
    {
        case fileMenu:
            return fileMenuItems();
        case setupMenu:
            return setupMenuItems();
        case helpMenu:
            return helpMenuItems();
        default:
            return {};
    }
}

juce::PopupMenu PellmixMenu::fileMenuItems() const
{
    juce::PopupMenu menu;
    menu.addItem (openProjectId, "Open project");
    menu.addItem (saveProjectId, "Save project");
    menu.addItem (saveProjectToId, "Save project to ...");
    menu.addSeparator();
    menu.addItem (exportIrId, "Export IR");
    menu.addSeparator();
    juce::PopupMenu playlists;
    playlists.addItem (addSourceFilesId, "Source");
    playlists.addItem (addTargetFilesId, "Target");
    menu.addSubMenu ("Add file to playlist", playlists);
    menu.addSeparator();
    menu.addItem (quitId, "Quit");
    return menu;
}

juce::PopupMenu PellmixMenu::setupMenuItems() const
{
    juce::PopupMenu menu;
    menu.addItem (audioDeviceSettingsId, "Audio device settings");
    menu.addItem (hardwareOptionsId, "Hardware I/O options");
    menu.addSeparator();
    juce::PopupMenu colours;
    colours.addItem (resetColoursId, "Reset colors");
    colours.addSeparator();
    for (const auto& item : colourItems)
        colours.addItem (resetColoursId + 1 + item.colourIndex, item.label);
    menu.addSubMenu ("Colors", colours);
    menu.addSeparator();
    menu.addItem (showTooltipId, "Show ToolTip", true, config().toolTip);
    return menu;
}

juce::PopupMenu PellmixMenu::helpMenuItems()
{
    documents.clear();
    const auto folder = config().settings.docsFolder;
    if (folder.isDirectory())
        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
            if (isListedDocument (entry.getFile()) && PellmixInputFile::isRegularFile (entry.getFile()))
                documents.add (entry.getFile());

    juce::PopupMenu menu;
    for (int i = 0; i < documents.size(); ++i)
        menu.addItem (firstDocumentId + i, documents[i].getFileNameWithoutExtension().substring (15));
    if (!documents.isEmpty())
        menu.addSeparator();
    menu.addItem (aboutId, "About");
    return menu;
}

//==============================================================================
void PellmixMenu::menuItemSelected (int menuItemID, int topLevelMenuIndex)
{
    switch (topLevelMenuIndex)
    {
        case fileMenu:
            fileCommand (menuItemID);
            break;
        case setupMenu:
            setupCommand (menuItemID);
            break;
        case helpMenu:
            helpCommand (menuItemID);
            break;
        default:
            break;
    }
}

void PellmixMenu::fileCommand (int id)
{
    switch (id)
    {
        case openProjectId:
            openProject();
            break;
        case saveProjectId:
        case saveProjectToId:
            saveProject();
            break;
        case exportIrId:
            exportIr();
            break;
        case quitId:
            juce::JUCEApplicationBase::quit();
            break;
        case addSourceFilesId:
        case addTargetFilesId:
            for (int i = listeners.size(); --i >= 0;)
            {
                auto* listener = listeners[i]; // null when a listener left during the loop
                if (listener == nullptr)
                    continue;
                if (id == addSourceFilesId)
                    listener->addSourceFiles();
                else
                    listener->addTargetFiles();
            }
            break;
        default:
            break;
    }
}

void PellmixMenu::setupCommand (int id)
{
    if (id == audioDeviceSettingsId)
        runAudioSetupSequence (config());
    else if (id == hardwareOptionsId)
        runRoutingSequence (config());
    else if (id == showTooltipId)
        config().toggleTooltips();
    else if (id == resetColoursId)
        config().resetColours();
    else
        for (const auto& item : colourItems)
            if (id == resetColoursId + 1 + item.colourIndex)
                showColourSelector (item.colourIndex);
}

void PellmixMenu::helpCommand (int id)
{
    if (id == aboutId)
    {
        juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::InfoIcon, aboutTitle, aboutText());
        return;
    }

    const int index = id - firstDocumentId;
    // Only a regular file goes to the opener: a pipe or a device would hold the viewer for good.
    if (!juce::isPositiveAndBelow (index, documents.size()) ||
        !PellmixInputFile::isRegularFile (documents[index]))
        return;
    if (openDocument)
        openDocument (documents[index]);
    else
        openWithDesktop (documents[index]);
}

//==============================================================================
juce::File PellmixMenu::chooseFileToWrite (const juce::String& title, const juce::File& startIn,
                                           const juce::String& extension)
{
    const auto files = PellmixFileChooser::choose (
        {title, startIn, "*" + extension + ";", PellmixFileChooser::Mode::save, true});
    if (files.isEmpty())
        return {};
    const auto chosen = files.getFirst();
    if (chosen.hasFileExtension (extension))
        return chosen;

    // The chooser warned about the name as typed; the completed name gets the same warning.
    const auto completed = chosen.getSiblingFile (chosen.getFileName() + extension);
    if (!PellmixFileChooser::confirmOverwrite (completed))
        return {};
    return completed;
}

void PellmixMenu::openProject()
{
    const auto files =
        PellmixFileChooser::choose ({"Open Melvane project", config().settings.productFolder, "*.vmp;"});
    if (files.isEmpty())
        return;
    const auto file = files.getFirst();
    loadReportWatch.reset(); // a report of an earlier load is not told any more
    auto problem = XmlFileProblem::none;
    if (!config().loadProject (file, &problem))
    {
        const auto reason =
            problem == XmlFileProblem::none ? juce::String() : "It " + describe (problem) + ". ";
        showWarning ("Open project", "This file could not be read as a Melvane project:\n" +
                                         file.getFullPathName() + "\n\n" + reason +
                                         "The project was not changed.");
    }
    else
        loadReportWatch = std::make_unique<LoadReportWatch> (*this);
}

void PellmixMenu::reportProjectLoad()
{
    loadReportWatch.reset();
    const auto& project = config().project;
    if (!project.lastLoadReport.isEmpty())
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "Open project",
                                                project.lastLoadReport.describe (project.projectFile));
}

void PellmixMenu::saveProject()
{
    const auto file = chooseFileToWrite ("Save Melvane project", config().settings.productFolder, ".vmp");
    if (file != juce::File())
        writeOrTell (file, "Save project", "The project",
                     [] (const juce::File& f) { return config().saveProject (f); });
}

void PellmixMenu::exportIr()
{
    const auto file = chooseFileToWrite ("Output file", config().settings.impulsesFolder, ".vir");
    if (file != juce::File())
        writeOrTell (file, "Export IR", "The IR",
                     [] (const juce::File& f) { return config().engine.exportIr (f); });
}

//==============================================================================
void PellmixMenu::showColourSelector (int colourIndex)
{
    using Selector = juce::ColourSelector;
    auto selector = std::make_unique<Selector> (Selector::showAlphaChannel | Selector::showColourAtTop |
                                                    Selector::showSliders | Selector::showColourspace,
                                                4, 7);
    selector->setName (PellmixSettings::colourKeys[colourIndex]);
    selector->setCurrentColour (*config().getColourByIndex (colourIndex), juce::dontSendNotification);
    selector->addChangeListener (this);
    selector->setColour (Selector::backgroundColourId, juce::Colours::transparentBlack);
    selector->setSize (300, 400);
    juce::CallOutBox::launchAsynchronously (std::move (selector), {20, 20, 450, 200}, nullptr);
}

void PellmixMenu::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    auto* selector = dynamic_cast<juce::ColourSelector*> (source);
    if (selector == nullptr)
        return;
    for (int k = 0; k < PellmixConfig::numColours; ++k)
        if (selector->getName() == PellmixSettings::colourKeys[k])
        {
            *config().getColourByIndex (k) = selector->getCurrentColour();
            config().notifyColourChanged (k);
            return;
        }
}
