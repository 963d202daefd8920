#pragma once
#include <juce_core/juce_core.h>

// Writes an XML document (declaration with encoding "UTF-8", no DTD, lines wrapped at 60
// characters) to `target` through a temporary sibling, and replaces the target only when every
// byte reached the disk. False on any failure; the previous file is then left as it was.
// (juce::XmlElement::writeTo misses short writes, for example at a file-size limit.)
bool writeXmlFile (const juce::XmlElement& document, const juce::File& target);
