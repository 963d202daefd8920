#include "settings/PellmixStoredFile.h"

#include "platform/FileRename.h"

#include <map>
#include <sys/stat.h>

namespace
{
struct Refused
{
    bool leftInPlace = false; // not to be written in this run
    juce::String notice;      // empty once told
};

juce::CriticalSection lock;
std::map<juce::String, Refused> refusedFiles; // by full path

bool isPlainRegularFile (const juce::File& file)
{
    struct stat info
    {
    };
    return ::lstat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode);
}

// Moves `file` to the first free name "<name>.damaged", "<name>.damaged.2", ... beside it, never
// over another file. The new name, or File() when it could not be moved; `gone` tells that
// nothing was left at the path to move (another copy of the program moved it first).
juce::File keepAside (const juce::File& file, bool& gone)
{
    gone = false;
    const auto base = file.getFullPathName() + ".damaged";
    for (int n = 1; n < 1000; ++n)
    {
        const juce::File aside (n == 1 ? base : base + "." + juce::String (n));
        switch (renameWithoutReplacing (file, aside))
        {
            case RenameResult::renamed:
                return aside;
            case RenameResult::sourceMissing:
                gone = true;
                return {};
            case RenameResult::targetExists:
                continue;
            case RenameResult::failed:
                return {};
        }
    }
    return {};
}
} // namespace

namespace PellmixStoredFile
{
std::unique_ptr<juce::XmlElement> read (const juce::File& file, const juce::String& what,
                                        juce::int64 maxBytes, XmlFileProblem* why)
{
    auto problem = XmlFileProblem::none;
    auto document = readXmlFile (file, maxBytes, &problem);
    if (why != nullptr)
        *why = problem;

    const juce::ScopedLock scope (lock);
    const auto path = file.getFullPathName();
    if (problem == XmlFileProblem::none || problem == XmlFileProblem::missing)
    {
        refusedFiles.erase (path);
        return document;
    }

    const auto reason = "The " + what + " could not be read: it " + describe (problem) + ".\n" + path + "\n";
    Refused refused;
    bool gone = false;
    const auto aside = isPlainRegularFile (file) ? keepAside (file, gone) : juce::File();
    if (aside != juce::File())
    {
        juce::Logger::writeToLog ("The " + what + " could not be read (it " + describe (problem) +
                                  "): " + path + "; kept as " + aside.getFullPathName());
        refused.notice =
            reason + "It was kept as \"" + aside.getFileName() + "\"; the program started without it.";
    }
    else if (gone)
    {
        juce::Logger::writeToLog ("The " + what + " could not be read (it " + describe (problem) +
                                  "): " + path + "; another copy of the program has moved it");
    }
    else
    {
        refused.leftInPlace = true;
        juce::Logger::writeToLog ("The " + what + " could not be read (it " + describe (problem) +
                                  "): " + path + "; left in place, and not written while the program runs");
        refused.notice = reason + "It was left in place, and will not be written while the program runs.";
    }
    refusedFiles[path] = refused;
    return nullptr;
}

bool write (const juce::XmlElement& document, const juce::File& file, const juce::String& what)
{
    {
        const juce::ScopedLock scope (lock);
        const auto found = refusedFiles.find (file.getFullPathName());
        if (found != refusedFiles.end() && found->second.leftInPlace)
        {
            juce::Logger::writeToLog ("The " + what + " was not written: the unreadable file at " +
                                      file.getFullPathName() + " is left in place");
            return false;
        }
    }
    if (writeXmlFile (document, file))
        return true;
    juce::Logger::writeToLog ("The " + what + " could not be written: " + file.getFullPathName());
    return false;
}

juce::String takeNotices()
{
    const juce::ScopedLock scope (lock);
    juce::StringArray notices;
    for (auto& [path, refused] : refusedFiles)
    {
        if (refused.notice.isNotEmpty())
            notices.add (refused.notice);
        refused.notice.clear();
    }
    return notices.joinIntoString ("\n\n");
}
} // namespace PellmixStoredFile
