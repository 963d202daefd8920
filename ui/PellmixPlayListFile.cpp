#include "ui/PellmixPlayListFile.h"

#include "settings/PellmixStoredFile.h"

namespace
{
void addEntries (juce::XmlElement& parent, const juce::Array<PellmixPlayListEntry>& entries)
{
    for (const auto& entry : entries)
    {
        auto* sample = parent.createNewChildElement ("Sample");
        sample->setAttribute ("path", entry.file.getFullPathName());
        sample->setAttribute ("channel", entry.channel);
    }
}

using PellmixPlayListFile::maxStoredEntries;

// Keeps the stored entries that open; says in the log how many were dropped.
void readEntries (const juce::XmlElement* parent, juce::Array<PellmixPlayListEntry>& entries)
{
    if (parent == nullptr)
        return;

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    int stored = 0, unreadable = 0;
    for (auto* sample : parent->getChildIterator())
    {
        if (++stored > maxStoredEntries)
            continue;
        // A relative path would be resolved against whatever the working folder is.
        const auto path = sample->getStringAttribute ("path");
        const juce::File file (juce::File::isAbsolutePath (path) ? path : juce::String());
        const auto opened = file.hasFileExtension (PellmixPlayListFile::readableExtensions)
                                ? PellmixAudioOpener::open (file, formats)
                                : PellmixAudioOpener::Opened{};
        if (opened.reader == nullptr)
        {
            ++unreadable;
            continue;
        }

        int channel = 0;
        if (opened.reader->numChannels >= 2)
        {
            channel = sample->getIntAttribute ("channel");
            if (channel < 0 || channel > 2)
                channel = 0;
        }
        entries.add ({file, channel});
    }

    const int beyond = juce::jmax (0, stored - maxStoredEntries);
    if (unreadable + beyond > 0)
        juce::Logger::writeToLog ("Playlist \"" + parent->getTagName() +
                                  "\": " + juce::String (unreadable + beyond) + " of " +
                                  juce::String (stored) + " entries dropped (" + juce::String (unreadable) +
                                  " missing or unreadable, " + juce::String (beyond) + " beyond the first " +
                                  juce::String (maxStoredEntries) + ")");
}
} // namespace

namespace PellmixPlayListFile
{
std::unique_ptr<juce::XmlElement> createDocument (const juce::Array<PellmixPlayListEntry>& sources,
                                                  const juce::Array<PellmixPlayListEntry>& targets)
{
    auto root = std::make_unique<juce::XmlElement> ("PellmixPlayList");
    root->setAttribute ("Version", 1);
    addEntries (*root->createNewChildElement ("Samples"), sources);
    addEntries (*root->createNewChildElement ("Targets"), targets);
    return root;
}

bool write (const juce::File& file, const juce::Array<PellmixPlayListEntry>& sources,
            const juce::Array<PellmixPlayListEntry>& targets)
{
    return PellmixStoredFile::write (*createDocument (sources, targets), file, "playlist file");
}

void read (const juce::File& file, juce::Array<PellmixPlayListEntry>& sources,
           juce::Array<PellmixPlayListEntry>& targets)
{
    // A playlist that cannot be read whole is kept aside (or left in place) and reported.
    auto document = PellmixStoredFile::read (file, "playlist file", maxPlaylistFileBytes);
    if (document == nullptr)
        return;
    readEntries (document->getChildByName ("Samples"), sources);
    readEntries (document->getChildByName ("Targets"), targets);
}
} // namespace PellmixPlayListFile
