// Reading the XML files, and the faults of the framework's parser kept away from it: a file cut
// inside a multi-byte UTF-8 sequence or inside a character reference was read past its end
// (AddressSanitizer shows it), a processing instruction followed by text inside an element made
// the parser loop for ever (both found by fuzzing the settings and project readers), and deep
// nesting overflowed its stack. A file in another 8-bit encoding keeps its text.
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

namespace
{
std::string repeat (const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// `depth` elements, each inside the one before.
std::string nested (int depth)
{
    return repeat ("<a>", depth) + repeat ("</a>", depth);
}
} // namespace

// The walk before the parser counts the elements open as the parser reads them: markup that
// only looks like elements (in values, comments, sections) does not count, and what the walk
// cannot follow the parser through is refused rather than guessed.
TEST (XmlFile, MarkupIsWalkedAsTheParserReadsIt)
{
    static_assert (maxXmlDepth == 8);
    struct Case
    {
        const char* name;
        std::string text;
        XmlFileProblem expected;
    };
    const Case cases[] = {
        {"as deep as the bound", nested (8), XmlFileProblem::none},
        {"one deeper", nested (9), XmlFileProblem::tooDeep},
        {"empty elements and closed siblings do not add up",
         "<a>" + repeat ("<b><c/></b>", 20) + repeat ("<b x='1'/>", 20) + "</a>", XmlFileProblem::none},
        {"a closing tag ends whatever is open", "<a><b><c></x></y>" + nested (6) + "</a>",
         XmlFileProblem::none},
        {"tags in values, comments, sections and instructions before the root",
         "<?xml version=\"1.0\"?><!-- " + repeat ("<a>", 20) + " --><?pi " + repeat ("<a>", 20) +
             "?><r v=\"" + repeat ("<a>", 20) + "\" w='>" + repeat ("<a>", 20) + "'><!--" +
             repeat ("<a>", 20) + "--><![CDATA[" + repeat ("<a>", 20) +
             "]]>text &lt;a&gt; &#60;a&#x3e; &AMP;</r>",
         XmlFileProblem::none},
        {"what the writers write",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<Vantrel>\r\n  <Melvane Version=\"2\">\r\n"
         "    <AudioInput value=\"In &quot;q&quot; &amp; &lt;odd&gt;&#10;\"\r\n"
         "                Path=\"/Caf\xc3\xa9\"/>\r\n  </Melvane>\r\n</Vantrel>\r\n",
         XmlFileProblem::none},
        {"the parser reads nothing after the root", "<r/>" + repeat ("<a>", 20) + "<!DOCTYPE",
         XmlFileProblem::none},
        // Entities of a document type can expand to elements.
        {"a document type", "<!DOCTYPE r [<!ENTITY e \"" + nested (20) + "\">]><r>&e;</r>",
         XmlFileProblem::notXml},
        // The parser reads an unknown name up to the next ';' and parses it as elements.
        {"an unknown entity", "<r>&" + repeat ("<a>", 20) + ";</r>", XmlFileProblem::notXml},
        // A character reference not closed where it should be makes the parser skip a character:
        // here the quote, so the tags after it are elements to the parser.
        {"a character reference that is not closed", "<r><e v=\"&#x\" w=\"" + repeat ("<a>", 20) + "\"/></r>",
         XmlFileProblem::notXml},
        {"a character reference too long", "<r>&#1234567890123;</r>", XmlFileProblem::notXml},
        // Past ASCII the parser's name and space classes depend on the character.
        {"a tag going on past ASCII", "<r\xc3\xa9 v=\"1\"/>", XmlFileProblem::notXml},
        {"a value without quotes", "<r v=1>" + nested (20) + "</r>", XmlFileProblem::notXml},
        {"an instruction inside the root", "<r><?pi?>text</r>", XmlFileProblem::notXml},
        {"cut inside a tag", "<r><e v=\"1\"", XmlFileProblem::notXml},
        {"cut inside a value", "<r v=\"1><a>", XmlFileProblem::notXml},
        {"an unclosed root", "<r><e/>", XmlFileProblem::notXml},
        {"an unclosed comment", "<r><!-- </r>", XmlFileProblem::notXml},
        {"an unclosed section", "<r><![CDATA[ </r>", XmlFileProblem::notXml},
        {"text before the root", "x<r/>", XmlFileProblem::notXml},
        {"nothing", "", XmlFileProblem::notXml},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EXPECT_EQ (checkXmlMarkup (juce::String::fromUTF8 (c.text.data(), (int)c.text.size())), c.expected);
    }
}

// 200,000 nested elements overflowed the parser's stack: the program died at every start.
TEST (XmlFile, DeepNestingIsRefusedBeforeTheParser)
{
    TempDir dir;
    auto why = XmlFileProblem::none;
    // 1.4 MB: read within the playlist's larger limit.
    EXPECT_EQ (readXmlFile (writeBytes (dir, "deep.xml", nested (200000)), maxPlaylistFileBytes, &why),
               nullptr);
    EXPECT_EQ (why, XmlFileProblem::tooDeep);
    EXPECT_EQ (describe (why), "is nested too deeply");

    // The deepest document read: every level reaches the parser.
    auto xml = readXmlFile (writeBytes (dir, "eight.xml", nested (maxXmlDepth)), maxXmlFileBytes, &why);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (why, XmlFileProblem::none);
    int depth = 1;
    for (auto* e = xml.get(); e->getFirstChildElement() != nullptr; e = e->getFirstChildElement())
        ++depth;
    EXPECT_EQ (depth, maxXmlDepth);
}
