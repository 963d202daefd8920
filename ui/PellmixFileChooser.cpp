#include "ui/PellmixFileChooser.h"

namespace
{
PellmixFileChooser::Handler& handler()
{
    static PellmixFileChooser::Handler h;
    return h;
}
} // namespace

namespace PellmixFileChooser
{
std::optional<juce::File> choose (const Request& request)
{
    if (auto& h = handler())
        return h (request);

    juce::FileChooser chooser (request.title, request.initialFileOrDirectory, request.patterns, true);
    const bool chosen = request.save ? chooser.browseForFileToSave (request.warnAboutOverwriting)
                                     : chooser.browseForFileToOpen();
    if (!chosen)
        return std::nullopt;
    return chooser.getResult();
}

void setHandler (Handler newHandler)
{
    handler() = std::move (newHandler);
}
} // namespace PellmixFileChooser
