#include "settings/PellmixXmlFile.h"

#include "engine/PellmixFileWriter.h"

#include <limits>
#include <string_view>

namespace
{
// True when a processing instruction ("<?...?>") follows the start of the root element, which
// begins at the first '<' that opens neither a declaration or processing instruction ("<?") nor
// a comment or document type ("<!").
bool hasProcessingInstructionInsideTheRoot (const juce::String& text)
{
    const std::string_view s (text.toRawUTF8(), text.getNumBytesAsUTF8());
    for (auto i = s.find ('<'); i != std::string_view::npos && i + 1 < s.size(); i = s.find ('<', i + 1))
        if (s[i + 1] != '?' && s[i + 1] != '!')
            return s.find ("<?", i) != std::string_view::npos;
    return false;
}
} // namespace

std::unique_ptr<juce::XmlElement> readXmlFile (const juce::File& file)
{
    juce::MemoryBlock bytes;
    if (!file.loadFileAsData (bytes) || bytes.getSize() > (size_t)std::numeric_limits<int>::max())
        return nullptr;
    // A line end after the document: juce::XmlDocument steps one character past a character
    // reference cut off at the very end ("&#x"), which then stays inside the text.
    const auto text = juce::String::createStringFromData (bytes.getData(), (int)bytes.getSize()) + "\n";

    // juce::XmlDocument never returns from a processing instruction followed by text inside an
    // element ("<a><?x?>b</a>"). None of our files holds one past the declaration: refused.
    if (hasProcessingInstructionInsideTheRoot (text))
        return nullptr;
    return juce::XmlDocument::parse (text);
}

bool writeXmlFile (const juce::XmlElement& document, const juce::File& target)
{
    juce::XmlElement::TextFormat format;
    format.lineWrapLength = 60;
    const auto text = document.toString (format);
    return writeFileThroughTemporary (target, text.toRawUTF8(), text.getNumBytesAsUTF8());
}
