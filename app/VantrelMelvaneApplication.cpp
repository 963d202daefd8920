#include "app/VantrelMelvaneApplication.h"

#include "settings/PellmixConfig.h"
#include "settings/PellmixStoredFile.h"
#include "settings/SharedAudioDeviceManager.h"
#include "ui/AudioSetupDialogs.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixMenu.h"

juce::JUCEApplicationBase* createApplication()
{
    return new VantrelMelvaneApplication();
}

VantrelMelvaneApplication::~VantrelMelvaneApplication()
{
    mainWindow.reset();
}

void VantrelMelvaneApplication::initialise (const juce::String&)
{
    // The configuration's first call makes the folders, the log and the audio device. The menu
    // model and the first-run device dialogs come right after it, before any window; the
    // dialogs run outside the configuration's construction, so they may use it.
    // Alert boxes are built by the default look-and-feel: theirs draws them in the window's look.
    juce::LookAndFeel::setDefaultLookAndFeel (PellmixAlertLookAndFeel::getInstance());
    auto* config = PellmixConfig::getInstance();
    config->menu = std::make_unique<PellmixMenu>();
    runFirstAudioSetup (*config);
    if (isQuitRequested())
        return; // asked to quit from a first-run dialog: no window
    const auto productFolder = config->settings.productFolder;

    if (productFolder.hasWriteAccess())
    {
        mainWindow = std::make_unique<MainWindow> (getApplicationName());
        showStoredFileNotices();
        return;
    }

    juce::AlertWindow::showMessageBox (
        juce::MessageBoxIconType::WarningIcon, "Right error",
        "The software do not have write access on " + productFolder.getFullPathName(), {}, nullptr);
    quit();
}

void VantrelMelvaneApplication::showStoredFileNotices()
{
    // The settings file and the device state were read with the configuration, the playlist with
    // the window's player. The box comes once the window is up, and holds nothing up meanwhile.
    const auto notices = PellmixStoredFile::takeNotices();
    if (notices.isEmpty())
        return;
    juce::MessageManager::callAsync (
        [notices]
        {
            juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, storedFilesTitle,
                                                    notices);
        });
}

void VantrelMelvaneApplication::shutdown()
{
    // A box still open (an asynchronous message nobody closed yet) goes now, while the framework
    // still runs: left to the framework's own shut-down, its window outlives the timer thread it
    // still uses, and the program crashes on its way out. Boxes run in a modal loop have ended
    // with their loops by now; those left belong to the modal manager, which is told of the
    // deletion and does not delete them again.
    if (auto* modal = juce::ModalComponentManager::getInstanceWithoutCreating())
    {
        juce::Array<juce::Component::SafePointer<juce::Component>> open;
        for (int i = 0; i < modal->getNumModalComponents(); ++i)
            open.add (modal->getModalComponent (i));
        for (auto& box : open)
            box.deleteAndZero();
    }
    // The window's destructor closes the device. Without a window the device is closed here,
    // while the framework still runs, rather than by a static destructor at program exit.
    mainWindow.reset();
    deleteSharedAudioDeviceManager();
    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}
