#include "settings/PellmixXmlFile.h"

bool writeXmlFile (const juce::XmlElement& document, const juce::File& target)
{
    juce::XmlElement::TextFormat format;
    format.lineWrapLength = 60;
    const auto text = document.toString (format);
    const auto* bytes = text.toRawUTF8();
    const auto numBytes = text.getNumBytesAsUTF8();

    juce::TemporaryFile temp (target);
    {
        juce::FileOutputStream out (temp.getFile());
        if (! out.openedOk() || ! out.write (bytes, numBytes))
            return false;
        out.flush();
        if (out.getStatus().failed())
            return false;
    }

    if (temp.getFile().getSize() != static_cast<juce::int64> (numBytes))
        return false;

    return temp.overwriteTargetFileWithTemporary();
}
