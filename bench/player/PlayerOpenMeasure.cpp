// Opens one audio file through one of the player's paths and prints what came of it:
//   pellmix_player_open_measure add|stored|play|playlist FILE
//     add       the add rule of a drop or of the menu's add command (PellmixPlayList::addFiles)
//     stored    a stored playlist naming the file, read as at start (PellmixPlayListFile::read)
//     play      an entry of the file loaded to play (PellmixPlayer::loadEntry)
//     playlist  FILE is a playlist file, read as at start
// Prints one line "path=... entries=N" (add, stored, playlist: the entries kept) or
// "path=... loaded=0|1" (play), then "open_ms=..." for the call alone. scripts/measure-player-open.sh runs it
// on each hostile file under /usr/bin/time (elapsed time, peak memory) with a time limit, on a virtual
// display (the player's refusal box is a window) with a fresh HOME and no audio device.
#include "settings/PellmixConfig.h"
#include "settings/SharedAudioDeviceManager.h"
#include "ui/PellmixPlayList.h"
#include "ui/PellmixPlayListFile.h"
#include "ui/PellmixPlayer.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
int measure (const char* mode, const juce::File& file)
{
    // The player is built before the clock starts: only the open is measured.
    std::unique_ptr<PellmixPlayer> player;
    if (std::strcmp (mode, "play") == 0)
    {
        PellmixConfig::getInstance();
        player = std::make_unique<PellmixPlayer>();
    }
    const auto start = juce::Time::getMillisecondCounterHiRes();
    juce::String result;
    if (std::strcmp (mode, "add") == 0)
    {
        PellmixPlayList list;
        list.addFiles ({file.getFullPathName()});
        result = "entries=" + juce::String (list.model->entries.size());
    }
    else if (std::strcmp (mode, "stored") == 0)
    {
        const auto playlist = juce::File::createTempFile (".xml");
        juce::XmlElement root ("PellmixPlayList");
        auto* sample = root.createNewChildElement ("Samples")->createNewChildElement ("Sample");
        sample->setAttribute ("path", file.getFullPathName());
        sample->setAttribute ("channel", 0);
        root.createNewChildElement ("Targets");
        root.writeTo (playlist);
        juce::Array<PellmixPlayListEntry> sources, targets;
        PellmixPlayListFile::read (playlist, sources, targets);
        playlist.deleteFile();
        result = "entries=" + juce::String (sources.size());
    }
    else if (std::strcmp (mode, "playlist") == 0)
    {
        juce::Array<PellmixPlayListEntry> sources, targets;
        PellmixPlayListFile::read (file, sources, targets);
        result = "entries=" + juce::String (sources.size() + targets.size());
    }
    else if (player != nullptr)
    {
        player->loadEntry ({file, 0}, true);
        result = "loaded=" + juce::String (player->readerSource != nullptr ? 1 : 0);
    }
    else
    {
        std::fprintf (stderr, "unknown mode %s\n", mode);
        return 2;
    }
    const auto elapsed = juce::Time::getMillisecondCounterHiRes() - start;
    std::printf ("path=%s %s open_ms=%.1f\n", file.getFileName().toRawUTF8(), result.toRawUTF8(), elapsed);
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf (stderr, "usage: %s add|stored|play|playlist FILE\n", argv[0]);
        return 2;
    }
    // Without a window manager Xlib would end the process on the first window; the framework
    // installs its error handler only when no application object exists.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juce;
    const int result = measure (argv[1], juce::File (argv[2]));
    deleteSharedAudioDeviceManager();
    return result;
}
