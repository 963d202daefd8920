#include "settings/PellmixXmlFile.h"

#include "engine/PellmixFileWriter.h"

bool writeXmlFile (const juce::XmlElement& document, const juce::File& target)
{
    juce::XmlElement::TextFormat format;
    format.lineWrapLength = 60;
    const auto text = document.toString (format);
    return writeFileThroughTemporary (target, text.toRawUTF8(), text.getNumBytesAsUTF8());
}
