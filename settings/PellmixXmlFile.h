#pragma once
#include <juce_core/juce_core.h>

// Reads and parses a whole XML file; null when it cannot be read or does not parse. Three faults
// of juce::XmlDocument are kept away from it (all found by fuzzing the readers):
//  - handed raw bytes, it steps past the end of a file that ends inside a multi-byte UTF-8
//    sequence, so the bytes become text first (UTF-8 with or without its byte-order mark, UTF-16
//    with one, anything else as Windows-1252, as juce::String::createStringFromData decodes them);
//  - it steps one character past a character reference cut off at the very end of the text
//    ("&#x"), so a line end follows the document;
//  - it never returns from a processing instruction followed by text inside an element, so a
//    document with a processing instruction past its declaration is refused.
// External entities are not resolved.
std::unique_ptr<juce::XmlElement> readXmlFile (const juce::File& file);

// Writes an XML document (declaration with encoding "UTF-8", no DTD, lines wrapped at 60
// characters) to `target` through a temporary sibling, and replaces the target only when every
// byte reached the disk. False on any failure; the previous file is then left as it was.
// (juce::XmlElement::writeTo misses short writes, for example at a file-size limit.)
bool writeXmlFile (const juce::XmlElement& document, const juce::File& target);
