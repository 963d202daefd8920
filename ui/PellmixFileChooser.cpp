#include "ui/PellmixFileChooser.h"

#include <utility>

namespace
{
PellmixFileChooser::Handler& handler()
{
    static PellmixFileChooser::Handler h;
    return h;
}

bool browse (juce::FileChooser& chooser, const PellmixFileChooser::Request& request)
{
    using Mode = PellmixFileChooser::Mode;
    switch (request.mode)
    {
        case Mode::openOne:
            return chooser.browseForFileToOpen();
        case Mode::openMany:
            return chooser.browseForMultipleFilesToOpen();
        case Mode::save:
            return chooser.browseForFileToSave (request.warnAboutOverwriting);
    }
    return false;
}
} // namespace

namespace PellmixFileChooser
{
juce::Array<juce::File> choose (const Request& request)
{
    if (auto& h = handler())
        return h (request);

    juce::FileChooser chooser (request.title, request.initialFileOrDirectory, request.patterns, true);
    const bool chosen = browse (chooser, request);

    // On an X display without a compositor the area the dialog covered may stay undrawn until the
    // next pointer event: redraw our windows now.
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        desktop.getComponent (i)->repaint();

    return chosen ? chooser.getResults() : juce::Array<juce::File>();
}

bool confirmOverwrite (const juce::File& file)
{
    return !file.exists() ||
           juce::AlertWindow::showOkCancelBox (juce::MessageBoxIconType::WarningIcon, "File already exists",
                                               "There's already a file called: " + file.getFullPathName() +
                                                   "\n\nAre you sure you want to overwrite it?",
                                               "Overwrite", "Cancel", nullptr, nullptr);
}

Handler setHandler (Handler newHandler)
{
    return std::exchange (handler(), std::move (newHandler));
}
} // namespace PellmixFileChooser
