// The playlist file: its layout, the round trip of both lists, the rules by which stored entries are
// read back, a write that fails, and a file that cannot be read whole.
#include "PlayerTestSupport.h"
#include "ir/HostileAudioFiles.h"
#include "settings/PellmixStoredFile.h"
#include "ui/PellmixPlayListFile.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using player_test::writeTone;

namespace
{
juce::Array<PellmixPlayListEntry> entries (std::initializer_list<PellmixPlayListEntry> list)
{
    juce::Array<PellmixPlayListEntry> result;
    for (const auto& e : list)
        result.add (e);
    return result;
}

juce::String describe (const juce::Array<PellmixPlayListEntry>& entries)
{
    juce::StringArray parts;
    for (const auto& e : entries)
        parts.add (e.file.getFileName() + ":" + juce::String (e.channel));
    return parts.joinIntoString (" ");
}

class PlayListFile : public ::testing::Test
{
protected:
    juce::File media (const juce::String& name) const
    {
        return juce::File (dir.child ("media")).getChildFile (name);
    }
    juce::File playlist() const { return juce::File (dir.child ("playlist.xml")); }

    void SetUp() override
    {
        media ("").createDirectory();
        writeTone (media ("mono.wav"), 1, 0.1);
        writeTone (media ("stereo.wav"), 2, 0.1);
        writeTone (media ("stereo.aiff"), 2, 0.1);
        writeTone (media ("LOUD.WAV"), 2, 0.1);
        player_test::writeWithSox (media ("song.mp3"), 2, 0.2);
        player_test::writeWithSox (media ("other.flac"), 2, 0.1);
        media ("garbage.wav").replaceWithText ("not audio");
        media ("folder.wav").createDirectory();
    }

    // Reads `xml` as the playlist file into lists that already hold one entry each.
    void readDocument (const juce::String& xml)
    {
        playlist().replaceWithText (xml);
        sources = entries ({{juce::File ("/already/there.wav"), 0}});
        targets = sources;
        PellmixPlayListFile::read (playlist(), sources, targets);
    }

    juce::String sample (const juce::String& path, const juce::String& channelAttribute = {}) const
    {
        return "<Sample path=\"" + path + "\"" + channelAttribute + "/>";
    }

    pellmix_test::TempDir dir{"pellmix-playlist"};
    juce::Array<PellmixPlayListEntry> sources, targets;
};

} // namespace

TEST_F (PlayListFile, RoundTripKeepsBothListsInOrder)
{
    const auto writtenSources = entries ({{media ("stereo.wav"), 2},
                                          {media ("mono.wav"), 0},
                                          {media ("stereo.wav"), 1},
                                          {media ("song.mp3"), 1},
                                          {media ("mono.wav"), 0}});
    const auto writtenTargets = entries ({{media ("stereo.aiff"), 1}, {media ("song.mp3"), 2}});
    ASSERT_TRUE (PellmixPlayListFile::write (playlist(), writtenSources, writtenTargets));

    juce::Array<PellmixPlayListEntry> readSources, readTargets;
    PellmixPlayListFile::read (playlist(), readSources, readTargets);
    EXPECT_EQ (describe (readSources), describe (writtenSources));
    EXPECT_TRUE (readSources == writtenSources);
    EXPECT_TRUE (readTargets == writtenTargets);

    // The document: declaration, root with its version, "Samples" then "Targets", "path" then
    // "channel".
    const auto text = playlist().loadFileAsString();
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << text;
    auto doc = juce::XmlDocument::parse (text);
    ASSERT_NE (doc, nullptr);
    EXPECT_EQ (doc->getTagName(), "PellmixPlayList");
    EXPECT_EQ (doc->getNumAttributes(), 1);
    EXPECT_EQ (doc->getStringAttribute ("Version"), "1");
    ASSERT_EQ (doc->getNumChildElements(), 2);
    EXPECT_EQ (doc->getChildElement (0)->getTagName(), "Samples");
    EXPECT_EQ (doc->getChildElement (1)->getTagName(), "Targets");
    ASSERT_EQ (doc->getChildElement (0)->getNumChildElements(), 5);
    const auto* first = doc->getChildElement (0)->getChildElement (0);
    EXPECT_EQ (first->getTagName(), "Sample");
    EXPECT_EQ (first->getAttributeName (0), "path");
    EXPECT_EQ (first->getAttributeName (1), "channel");
    EXPECT_EQ (first->getStringAttribute ("path"), media ("stereo.wav").getFullPathName());
    EXPECT_EQ (first->getStringAttribute ("channel"), "2");
}

TEST_F (PlayListFile, EmptyListsStillWriteBothElements)
{
    ASSERT_TRUE (PellmixPlayListFile::write (playlist(), {}, {}));
    auto doc = juce::XmlDocument::parse (playlist());
    ASSERT_NE (doc, nullptr);
    ASSERT_EQ (doc->getNumChildElements(), 2);
    EXPECT_EQ (doc->getChildElement (0)->getTagName(), "Samples");
    EXPECT_EQ (doc->getChildElement (0)->getNumChildElements(), 0);
    EXPECT_EQ (doc->getChildElement (1)->getTagName(), "Targets");
}

TEST_F (PlayListFile, ReadRulesTable)
{
    const auto p = [this] (const char* name) { return media (name).getFullPathName(); };
    struct Case
    {
        const char* what;
        juce::String body; // children of the root
        const char* sources;
        const char* targets;
    };
    const Case cases[] = {
        {"plain entries",
         "<Samples>" + sample (p ("stereo.wav"), " channel=\"1\"") +
             sample (p ("mono.wav"), " channel=\"0\"") + "</Samples><Targets>" +
             sample (p ("song.mp3"), " channel=\"2\"") + "</Targets>",
         "stereo.wav:1 mono.wav:0", "song.mp3:2"},
        {"only the first Samples and Targets",
         "<Samples>" + sample (p ("mono.wav")) + "</Samples><Samples>" +
             sample (p ("stereo.wav"), " channel=\"1\"") + "</Samples><Targets/><Targets>" +
             sample (p ("mono.wav")) + "</Targets>",
         "mono.wav:0", ""},
        {"names without regard to case, children of any name",
         "<samples><Other path=\"" + p ("mono.wav") + "\"/></samples><TARGETS><sample path=\"" +
             p ("stereo.wav") + "\" channel=\"2\"/></TARGETS>",
         "mono.wav:0", "stereo.wav:2"},
        {"missing, folder, unreadable and other extensions are dropped",
         "<Samples>" + sample (p ("missing.wav")) + sample (p ("folder.wav")) + sample (p ("garbage.wav")) +
             sample (p ("other.flac"), " channel=\"1\"") + sample (p ("LOUD.WAV"), " channel=\"1\"") +
             "</Samples>",
         "LOUD.WAV:1", ""},
        {"a mono file is read as channel 0 whatever is stored",
         "<Samples>" + sample (p ("mono.wav"), " channel=\"2\"") + sample (p ("mono.wav"), " channel=\"1\"") +
             "</Samples>",
         "mono.wav:0 mono.wav:0", ""},
        {"a stereo file keeps channel 0, and an absent channel reads as 0",
         "<Targets>" + sample (p ("stereo.wav"), " channel=\"0\"") + sample (p ("stereo.aiff")) +
             "</Targets>",
         "", "stereo.wav:0 stereo.aiff:0"},
        {"a channel outside 0..2 reads as 0",
         "<Samples>" + sample (p ("stereo.wav"), " channel=\"7\"") +
             sample (p ("stereo.wav"), " channel=\"-1\"") + sample (p ("stereo.wav"), " channel=\"R\"") +
             "</Samples>",
         "stereo.wav:0 stereo.wav:0 stereo.wav:0", ""},
        {"relative and empty paths are skipped",
         "<Samples>" + sample ("media/mono.wav") + sample ("mono.wav") + "<Sample/>" + sample ("") +
             "</Samples>",
         "", ""},
        {"no Samples: the source list is left alone", "<Targets>" + sample (p ("mono.wav")) + "</Targets>",
         "", "mono.wav:0"},
    };

    // The working folder holds the media, so a relative path would find a file if it were resolved.
    const auto previous = juce::File::getCurrentWorkingDirectory();
    media ("").setAsCurrentWorkingDirectory();
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        readDocument ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AnyRoot Version=\"9\">" + c.body +
                      "</AnyRoot>");
        const juce::String prefix ("there.wav:0");
        EXPECT_EQ (describe (sources),
                   juce::String (c.sources).isEmpty() ? prefix : prefix + " " + c.sources);
        EXPECT_EQ (describe (targets),
                   juce::String (c.targets).isEmpty() ? prefix : prefix + " " + c.targets);
        for (int i = 1; i < sources.size(); ++i)
            EXPECT_TRUE (juce::File::isAbsolutePath (sources[i].file.getFullPathName()));
    }
    previous.setAsCurrentWorkingDirectory();
}

TEST_F (PlayListFile, MissingOrUnparsableFileReadsNothing)
{
    for (const auto& text :
         {juce::String ("<PellmixPlayList><Samples>"), juce::String ("not xml at all"), juce::String()})
    {
        SCOPED_TRACE (text);
        readDocument (text);
        EXPECT_EQ (describe (sources), "there.wav:0");
        EXPECT_EQ (describe (targets), "there.wav:0");
    }
    playlist().deleteFile();
    juce::Array<PellmixPlayListEntry> s, t;
    PellmixPlayListFile::read (playlist(), s, t);
    EXPECT_TRUE (s.isEmpty() && t.isEmpty());
}

namespace
{
struct RecordingLogger : juce::Logger
{
    void logMessage (const juce::String& message) override { messages.add (message); }
    juce::StringArray messages;
};
} // namespace

TEST_F (PlayListFile, LongListsAreTakenUpToTheBoundAndTheDroppedEntriesLogged)
{
    // The first entry and the last one within the bound are real files; the entry just past the
    // bound is a real file too, and every other one names a missing file.
    const int bound = PellmixPlayListFile::maxStoredEntries;
    juce::String body = "<Samples>" + sample (media ("mono.wav").getFullPathName());
    for (int i = 1; i < bound - 1; ++i)
        body << sample (media ("missing-" + juce::String (i) + ".wav").getFullPathName());
    body << sample (media ("stereo.wav").getFullPathName(), " channel=\"2\"")
         << sample (media ("mono.wav").getFullPathName());
    for (int i = 0; i < 100; ++i)
        body << sample (media ("gone-" + juce::String (i) + ".wav").getFullPathName());
    body << "</Samples><Targets>" << sample (media ("mono.wav").getFullPathName()) << "</Targets>";

    RecordingLogger logger;
    juce::Logger::setCurrentLogger (&logger);
    readDocument ("<PellmixPlayList>" + body + "</PellmixPlayList>");
    juce::Logger::setCurrentLogger (nullptr);

    EXPECT_EQ (describe (sources), "there.wav:0 mono.wav:0 stereo.wav:2");
    EXPECT_EQ (describe (targets), "there.wav:0 mono.wav:0");
    EXPECT_EQ (logger.messages.joinIntoString ("\n"),
               "Playlist \"Samples\": " + juce::String (bound + 99) + " of " + juce::String (bound + 101) +
                   " entries dropped (" + juce::String (bound - 2) +
                   " missing or unreadable, 101 beyond the first " + juce::String (bound) + ")")
        << "one line for the list that lost entries, none for the whole one";
}

TEST_F (PlayListFile, HostileEntriesAreDroppedAtOnceAndLeftAsTheyWere)
{
    pellmix_test::TempDir hostile ("pellmix-hostile");
    const auto cases = hostile_audio::make (hostile, true);
    juce::String body = "<Samples>";
    std::vector<hostile_audio::Stamp> before;
    for (const auto& c : cases)
    {
        body << sample (hostile.child (c.name), " channel=\"1\"");
        before.emplace_back (hostile.child (c.name));
    }
    body << sample (media ("stereo.wav").getFullPathName(), " channel=\"1\"") << "</Samples>";

    {
        const hostile_audio::ScopedAddressSpaceLimit limit;
        readDocument ("<PellmixPlayList>" + body + "</PellmixPlayList>");
    }
    EXPECT_EQ (describe (sources), "there.wav:0 stereo.wav:1");
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_TRUE (hostile_audio::Stamp (hostile.child (cases[i].name)) == before[i]) << cases[i].name;
}

TEST_F (PlayListFile, FailedWriteKeepsTheOldFileWholeAndIsLogged)
{
    const auto old = entries ({{media ("mono.wav"), 0}});
    ASSERT_TRUE (PellmixPlayListFile::write (playlist(), old, {}));
    const auto before = playlist().loadFileAsString();

    juce::Array<PellmixPlayListEntry> many;
    for (int i = 0; i < 40; ++i)
        many.add ({media ("stereo.wav"), 1 + i % 2});

    // A child whose file-size limit lies between the old file's size and the new one's: the new
    // document cannot be written whole.
    const pid_t pid = fork();
    if (pid == 0)
    {
        signal (SIGXFSZ, SIG_IGN);
        const rlim_t size = (rlim_t)before.getNumBytesAsUTF8() + 100;
        rlimit limit{size, size};
        setrlimit (RLIMIT_FSIZE, &limit);
        RecordingLogger logger;
        juce::Logger::setCurrentLogger (&logger);
        const bool written = PellmixPlayListFile::write (playlist(), many, many);
        juce::Logger::setCurrentLogger (nullptr);
        const bool logged =
            logger.messages.size() == 1 &&
            logger.messages[0] == "The playlist file could not be written: " + playlist().getFullPathName();
        _exit (written ? 2 : (logged ? 3 : 4));
    }
    int status = 0;
    ASSERT_EQ (waitpid (pid, &status, 0), pid);
    ASSERT_TRUE (WIFEXITED (status));
    EXPECT_EQ (WEXITSTATUS (status), 3) << "2: reported as written, 4: not logged";
    EXPECT_EQ (playlist().loadFileAsString(), before);
    EXPECT_EQ (juce::File (dir.path()).getNumberOfChildFiles (juce::File::findFiles), 1)
        << "no temporary left";
}

// A playlist cut inside its second entry used to start both lists empty without a word and be
// overwritten with empty lists at exit, the intact first entry lost with it.
TEST_F (PlayListFile, FileThatCannotBeReadWholeIsKeptAsideAndToldOnce)
{
    ASSERT_TRUE (PellmixPlayListFile::write (playlist(),
                                             entries ({{media ("mono.wav"), 0}, {media ("stereo.wav"), 1}}),
                                             entries ({{media ("stereo.aiff"), 2}})));
    const auto whole = playlist().loadFileAsString();
    const auto secondEntry = whole.indexOf (whole.indexOf ("path=\"") + 1, "path=\"");
    const auto cut = whole.substring (0, secondEntry + 10);
    ASSERT_TRUE (playlist().replaceWithText (cut));

    RecordingLogger logger;
    juce::Logger::setCurrentLogger (&logger);
    PellmixPlayListFile::read (playlist(), sources, targets);
    EXPECT_TRUE (sources.isEmpty() && targets.isEmpty());

    // The player's save at exit writes a fresh file; the cut one stays beside it, as it was.
    EXPECT_TRUE (PellmixPlayListFile::write (playlist(), sources, targets));
    juce::Logger::setCurrentLogger (nullptr);
    const juce::File aside (playlist().getFullPathName() + ".damaged");
    EXPECT_EQ (aside.loadFileAsString(), cut);
    EXPECT_TRUE (playlist().existsAsFile());

    const auto path = playlist().getFullPathName();
    EXPECT_EQ (logger.messages,
               juce::StringArray ({"The playlist file could not be read (it is not a well-formed XML "
                                   "document): " +
                                   path + "; kept as " + aside.getFullPathName()}));
    EXPECT_EQ (PellmixStoredFile::takeNotices(),
               "The playlist file could not be read: it is not a well-formed XML document.\n" + path +
                   "\nIt was kept as \"playlist.xml.damaged\"; the program started without it.");
    EXPECT_EQ (PellmixStoredFile::takeNotices(), "") << "told once";

    // Damaged again: the file kept before is not replaced.
    ASSERT_TRUE (playlist().replaceWithText ("<PellmixPlayList>"));
    PellmixPlayListFile::read (playlist(), sources, targets);
    EXPECT_EQ (aside.loadFileAsString(), cut);
    EXPECT_EQ (juce::File (path + ".damaged.2").loadFileAsString(), "<PellmixPlayList>");
    EXPECT_FALSE (playlist().exists());
}
