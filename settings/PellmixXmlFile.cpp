#include "settings/PellmixXmlFile.h"

#include "engine/PellmixFileWriter.h"
#include "engine/PellmixInputFile.h"

#include <cctype>
#include <string_view>

namespace
{
bool isSpace (char c)
{
    return c == ' ' || (c >= 9 && c <= 13);
}

// The framework's identifier characters below 128 (names of elements and attributes).
bool isNameChar (char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == ':' || c == '.';
}

bool isHexDigit (char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Follows juce::XmlDocument through a document, step by step as its recursive parser reads it,
// and counts the elements open at each point. Where the parser would read on in a way that the
// walk does not follow (its error paths, entities from a DTD), the walk stops: not XML.
class MarkupWalk
{
public:
    explicit MarkupWalk (std::string_view text)
        : s (text)
    {
    }

    XmlFileProblem run (int maxDepth)
    {
        // Before the root: white space, comments, the declaration and other instructions.
        if (!skipSpaceAndComments (true) || pos >= s.size() || s[pos] != '<' || next (1) == '!')
            return XmlFileProblem::notXml;

        int depth = 0;
        do
        {
            if (!skipSpaceAndComments (false) || pos >= s.size())
                return XmlFileProblem::notXml; // the root is not closed
            if (s[pos] != '<')
            {
                if (!skipText())
                    return XmlFileProblem::notXml;
            }
            else if (next (1) == '/')
            {
                // A closing tag ends the element, whatever its name.
                const auto end = s.find ('>', pos);
                if (end == std::string_view::npos)
                    return XmlFileProblem::notXml;
                pos = end + 1;
                --depth;
            }
            else if (startsWith ("<![CDATA["))
            {
                if (!skipPast ("]]>", pos + 9))
                    return XmlFileProblem::notXml;
            }
            else
            {
                const auto tag = readStartTag();
                if (tag == Tag::malformed)
                    return XmlFileProblem::notXml;
                if (tag == Tag::opened && ++depth > maxDepth)
                    return XmlFileProblem::tooDeep;
            }
        } while (depth > 0);
        // The parser reads nothing after the root element.
        return XmlFileProblem::none;
    }

private:
    enum class Tag
    {
        empty,
        opened,
        malformed
    };

    char next (size_t offset) const { return pos + offset < s.size() ? s[pos + offset] : '\0'; }
    bool startsWith (std::string_view w) const { return s.compare (pos, w.size(), w) == 0; }

    bool skipPast (std::string_view end, size_t from)
    {
        const auto at = from <= s.size() ? s.find (end, from) : std::string_view::npos;
        if (at == std::string_view::npos)
            return false;
        pos = at + end.size();
        return true;
    }

    // White space and comments; processing instructions too before the root. (Inside it, the
    // parser never returns from one followed by text.) False at an unclosed comment, or at an
    // instruction inside the root.
    bool skipSpaceAndComments (bool beforeRoot)
    {
        for (;;)
        {
            while (pos < s.size() && isSpace (s[pos]))
                ++pos;
            if (startsWith ("<!--"))
            {
                if (!skipPast ("-->", pos + 4))
                    return false;
            }
            else if (startsWith ("<?"))
            {
                if (!beforeRoot || !skipPast ("?>", pos + 2))
                    return false;
            }
            else
                return true;
        }
    }

    // A reference as the parser reads it, within a text or an attribute value: one of the five
    // named entities (letter case not regarded) or a character reference. The parser reads any
    // other name up to the next ';' of the document and parses a value beginning with '<' as
    // elements; a reference it does not close correctly makes it skip a character, a quote
    // perhaps.
    bool skipReference()
    {
        ++pos; // '&'
        for (std::string_view name : {"amp;", "quot;", "apos;", "lt;", "gt;"})
        {
            bool same = pos + name.size() <= s.size();
            for (size_t i = 0; same && i < name.size(); ++i)
                same = (char)std::tolower ((unsigned char)s[pos + i]) == name[i];
            if (same)
            {
                pos += name.size();
                return true;
            }
        }
        if (next (0) != '#')
            return false;
        ++pos;
        const bool hex = next (0) == 'x' || next (0) == 'X';
        pos += hex ? 1 : 0;
        size_t digits = 0;
        while (pos < s.size() && (hex ? isHexDigit (s[pos]) : (s[pos] >= '0' && s[pos] <= '9')))
            ++pos, ++digits;
        if (next (0) != ';' || (hex ? digits > 8 : (digits == 0 || digits > 12)))
            return false;
        ++pos;
        return true;
    }

    // Text up to the next tag; comments in it are skipped.
    bool skipText()
    {
        for (;;)
        {
            while (pos < s.size() && s[pos] != '<' && s[pos] != '&')
                ++pos;
            if (pos >= s.size())
                return false;
            if (s[pos] == '&')
            {
                if (!skipReference())
                    return false;
            }
            else if (startsWith ("<!--"))
            {
                if (!skipPast ("-->", pos + 4))
                    return false;
            }
            else
                return true;
        }
    }

    // A name of ASCII identifier characters. (Past 127 the parser's classes depend on the
    // character: a name that goes on there is not followed.)
    bool skipName()
    {
        const auto start = pos;
        while (pos < s.size() && isNameChar (s[pos]))
            ++pos;
        return pos > start && (pos >= s.size() || (unsigned char)s[pos] < 0x80);
    }

    bool skipQuotedValue()
    {
        const char quote = s[pos++];
        for (;;)
        {
            while (pos < s.size() && s[pos] != quote && s[pos] != '&')
                ++pos;
            if (pos >= s.size())
                return false;
            if (s[pos] == quote)
            {
                ++pos;
                return true;
            }
            if (!skipReference())
                return false;
        }
    }

    // A start tag at '<': its name, then attributes (name, '=', quoted value) up to "/>" or '>'.
    // The parser skips white space and comments between them.
    Tag readStartTag()
    {
        ++pos;
        if (!isNameChar (next (0)) && !skipSpaceAndComments (false))
            return Tag::malformed;
        if (!skipName())
            return Tag::malformed;
        for (;;)
        {
            if (!skipSpaceAndComments (false))
                return Tag::malformed;
            if (startsWith ("/>"))
            {
                pos += 2;
                return Tag::empty;
            }
            if (next (0) == '>')
            {
                ++pos;
                return Tag::opened;
            }
            if (!skipName() || !skipSpaceAndComments (false) || next (0) != '=')
                return Tag::malformed;
            ++pos;
            if (!skipSpaceAndComments (false) || (next (0) != '"' && next (0) != '\'') || !skipQuotedValue())
                return Tag::malformed;
        }
    }

    std::string_view s;
    size_t pos = 0;
};
} // namespace

juce::String describe (XmlFileProblem problem)
{
    using R = PellmixInputFile::Refusal;
    switch (problem)
    {
        case XmlFileProblem::none:
            return {};
        case XmlFileProblem::missing:
            return PellmixInputFile::describe (R::missing);
        case XmlFileProblem::notRegular:
            return PellmixInputFile::describe (R::notRegular);
        case XmlFileProblem::tooLarge:
            return PellmixInputFile::describe (R::tooLarge);
        case XmlFileProblem::unreadable:
            return PellmixInputFile::describe (R::unreadable);
        case XmlFileProblem::tooDeep:
            return "is nested too deeply";
        case XmlFileProblem::notXml:
            break;
    }
    return "is not a well-formed XML document";
}

XmlFileProblem checkXmlMarkup (const juce::String& text, int maxDepth)
{
    return MarkupWalk ({text.toRawUTF8(), text.getNumBytesAsUTF8()}).run (maxDepth);
}

std::unique_ptr<juce::XmlElement> readXmlFile (const juce::File& file, juce::int64 maxBytes,
                                               XmlFileProblem* why)
{
    auto problem = XmlFileProblem::none;
    std::unique_ptr<juce::XmlElement> document;

    juce::MemoryBlock bytes;
    auto refusal = PellmixInputFile::Refusal::none;
    if (!PellmixInputFile::readAll (file, maxBytes, bytes, &refusal))
    {
        using R = PellmixInputFile::Refusal;
        problem = refusal == R::missing      ? XmlFileProblem::missing
                  : refusal == R::notRegular ? XmlFileProblem::notRegular
                  : refusal == R::tooLarge   ? XmlFileProblem::tooLarge
                                             : XmlFileProblem::unreadable;
    }
    else
    {
        // A line end after the document: juce::XmlDocument steps one character past a character
        // reference cut off at the very end ("&#x"), which then stays inside the text.
        const auto text = juce::String::createStringFromData (bytes.getData(), (int)bytes.getSize()) + "\n";
        problem = checkXmlMarkup (text);
        if (problem == XmlFileProblem::none)
        {
            document = juce::XmlDocument::parse (text);
            if (document == nullptr)
                problem = XmlFileProblem::notXml;
        }
    }

    if (why != nullptr)
        *why = problem;
    return document;
}

bool writeXmlFile (const juce::XmlElement& document, const juce::File& target)
{
    juce::XmlElement::TextFormat format;
    format.lineWrapLength = 60;
    const auto text = document.toString (format);
    return writeFileThroughTemporary (target, text.toRawUTF8(), text.getNumBytesAsUTF8());
}
