#pragma once
// For the fuzz targets of the XML readers: a document that readXmlFile lets through must not
// nest deeper than its bound once parsed. The walk before the parser counts what the parser
// will open; a deeper tree means markup the walk read differently from the parser, which deep
// enough overflows the parser's stack. (An empty element adds one level the parser does not
// recurse into.)
#include "settings/PellmixXmlFile.h"

#include <cstdlib>
#include <utility>
#include <vector>

namespace pellmix_fuzz
{
inline void checkDepthBound (const juce::File& file, juce::int64 maxBytes)
{
    const auto document = readXmlFile (file, maxBytes);
    if (document == nullptr)
        return;
    std::vector<std::pair<const juce::XmlElement*, int>> open{{document.get(), 1}};
    while (!open.empty())
    {
        const auto [element, depth] = open.back();
        open.pop_back();
        if (depth > maxXmlDepth + 1)
            std::abort();
        for (auto* child : element->getChildIterator())
            if (!child->isTextElement())
                open.push_back ({child, depth + 1});
    }
}

// Removes what a reader kept aside of `file` ("<name>.damaged"), so that every input starts alike.
inline void removeKeptAside (const juce::File& file)
{
    juce::File (file.getFullPathName() + ".damaged").deleteFile();
}
} // namespace pellmix_fuzz
