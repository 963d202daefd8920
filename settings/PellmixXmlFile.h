#pragma once
#include <juce_core/juce_core.h>

#include <memory>

// Why an XML file was not read.
enum class XmlFileProblem
{
    none,
    missing,    // nothing at the path
    notRegular, // a folder, pipe, device or socket (or a link to one)
    tooLarge,   // larger than the reader's limit
    unreadable, // it exists but could not be opened or read
    tooDeep,    // elements nested deeper than any file of ours
    notXml      // not a document the parser can be trusted with: malformed, or with a DTD
};

// A short phrase for a problem, to follow "it" ("is nested too deeply", ...).
juce::String describe (XmlFileProblem problem);

// The largest settings, device-state or project file read (its writers write a few kB), and the
// largest playlist (some 100,000 entries of 150-byte paths).
inline constexpr juce::int64 maxXmlFileBytes = 1 << 20;
inline constexpr juce::int64 maxPlaylistFileBytes = 16 << 20;
// The deepest nesting read. The files we write nest three deep (root, section, key or entry), the
// framework's device state two; the framework's recursive parser overflows the stack only at
// tens of thousands of levels.
inline constexpr int maxXmlDepth = 8;

// Reads and parses a whole XML file; null when it cannot be read or does not parse, with the
// reason in `why` when given. Only a regular file of at most `maxBytes` bytes is read, opened
// without blocking (engine/PellmixInputFile.h). Before juce::XmlDocument sees the text, its markup
// is walked without recursion, the way the framework's parser reads it, and the document is
// refused when it nests deeper than maxXmlDepth. The walk also refuses what it cannot follow the
// parser through, which none of our writers produces: a document type declaration (its entities
// can expand to elements), a reference other than the five named entities and character
// references, a tag that is not closed, anything but ASCII between the attributes of a tag.
//
// Three faults of juce::XmlDocument are kept away from it (all found by fuzzing the readers):
//  - handed raw bytes, it steps past the end of a file that ends inside a multi-byte UTF-8
//    sequence, so the bytes become text first (UTF-8 with or without its byte-order mark, UTF-16
//    with one, anything else as Windows-1252, as juce::String::createStringFromData decodes them);
//  - it steps one character past a character reference cut off at the very end of the text
//    ("&#x"), so a line end follows the document;
//  - it never returns from a processing instruction followed by text inside an element, so a
//    processing instruction inside the root element is refused.
// External entities are not resolved.
std::unique_ptr<juce::XmlElement> readXmlFile (const juce::File& file, juce::int64 maxBytes = maxXmlFileBytes,
                                               XmlFileProblem* why = nullptr);

// Walks the markup of a document as readXmlFile does before parsing it: none, tooDeep or notXml.
XmlFileProblem checkXmlMarkup (const juce::String& text, int maxDepth = maxXmlDepth);

// Writes an XML document (declaration with encoding "UTF-8", no DTD, lines wrapped at 60
// characters) to `target` through a temporary sibling, and replaces the target only when every
// byte reached the disk. False on any failure; the previous file is then left as it was.
// (juce::XmlElement::writeTo misses short writes, for example at a file-size limit.)
bool writeXmlFile (const juce::XmlElement& document, const juce::File& target);
