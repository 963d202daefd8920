// Reading the XML files, and two faults of the framework's parser that fuzzing the settings and
// project readers found: a file cut inside a multi-byte UTF-8 sequence or inside a character
// reference was read past its end (AddressSanitizer shows it), and a processing instruction
// followed by text inside an element made the parser loop for ever. A file in another 8-bit encoding keeps
// its text.
#include "ConfigFixture.h"
#include "settings/PellmixProject.h"
#include "settings/PellmixXmlFile.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <string>

using namespace pellmix_test;

namespace
{
juce::File writeBytes (const TempDir& dir, const char* name, const std::string& bytes)
{
    juce::File f (dir.child (name));
    f.replaceWithData (bytes.data(), bytes.size());
    return f;
}

// UTF-16, little-endian, with its byte-order mark, of 8-bit text.
std::string utf16le (const std::string& text)
{
    std::string bytes = "\xff\xfe";
    for (const char c : text)
        bytes += std::string{c, '\0'};
    return bytes;
}

// "Café" as the parser must give it back, whatever encoding the file used.
const juce::String cafe = juce::String (juce::CharPointer_UTF8 ("Caf\xc3\xa9"));
} // namespace

TEST (XmlFile, BytesAreDecodedBeforeParsing)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        bool parses;
        juce::String value; // of the root's attribute "v"
    };
    const Case cases[] = {
        {"UTF-8", "<a v=\"Caf\xc3\xa9\"/>", true, cafe},
        {"UTF-8 after its byte-order mark", "\xef\xbb\xbf<a v=\"Caf\xc3\xa9\"/>", true, cafe},
        {"UTF-16 after its byte-order mark", utf16le ("<a v=\"Caf\xe9\"/>"), true, cafe},
        {"Windows-1252: not valid UTF-8", "<a v=\"Caf\xe9\"/>", true, cafe},
        {"cut inside a multi-byte sequence in an unfinished CDATA section",
         "<a v=\"x\"><![CDATA[\xf0",
         false,
         {}},
        {"cut inside a multi-byte sequence in an attribute", "<a v=\"x\xf4", false, {}},
        {"cut inside a character reference", "<a v=\"x\">text&#x", false, {}},
        {"a processing instruction followed by text inside an element: the parser never returned",
         "<a v=\"x\"><?pi?>text</a>",
         false,
         {}},
        {"processing instructions and comments before the root element",
         "<?xml version=\"1.0\"?><!-- c --><?pi?><a v=\"x\"><!--c-->text<b/></a>", true, "x"},
        {"empty", "", false, {}},
    };

    TempDir dir;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto xml = readXmlFile (writeBytes (dir, "f.xml", c.bytes));
        ASSERT_EQ (xml != nullptr, c.parses);
        if (xml != nullptr)
        {
            EXPECT_EQ (xml->getStringAttribute ("v"), c.value);
        }
    }
    EXPECT_EQ (readXmlFile (juce::File (dir.child ("missing.xml"))), nullptr);
}

TEST (XmlFile, ProjectReaderTakesTheDecodedText)
{
    TempDir dir;
    PellmixProject project;
    for (int i = 0; i < 8; ++i)
        project.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);
    project.load (writeBytes (dir, "p.vmp",
                              "<MelvaneProject><IRs><IR path=\"/ir/Caf\xe9.wav\" length=\"100\"/></IRs>"
                              "</MelvaneProject>"));
    EXPECT_EQ (project.irRecords[0].path, juce::File ("/ir/" + cafe + ".wav"));
    EXPECT_EQ (project.irRecords[0].length, 100);
}

class XmlSettingsFile : public ConfigFixture
{
};

TEST_F (XmlSettingsFile, SettingsReaderTakesTheDecodedTextAndStopsAtTheEnd)
{
    auto& s = config->settings;
    const auto file = s.getSettingsFile();
    const std::string latin = "<Vantrel><Melvane><AudioInput value=\"Caf\xe9\"/><SampleRate value=\"48000\"/>"
                              "</Melvane></Vantrel>";
    file.replaceWithData (latin.data(), latin.size());
    s.load();
    EXPECT_EQ (s.audioInput, cafe);
    EXPECT_EQ (s.sampleRate, 48000);

    // The shape of the input the fuzzer found: the parser used to step past the end of the file.
    const std::string cut = "<Vantrel><Melvane><SampleRate value=\"48000\"/></Melvane><![CDATA[\xf0";
    file.replaceWithData (cut.data(), cut.size());
    s.load();
    EXPECT_EQ (s.sampleRate, 44100) << "a file that does not parse leaves the defaults";
}
