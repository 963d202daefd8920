// pellmix_make_typeface INPUT.otf OUTPUT.bin "Typeface Name" bold(0|1)
// Copies the printable ASCII (U+0020..U+007E) and Latin-1 (U+00A0..U+00FF) glyphs, with their
// kerning, of a font file into a juce::CustomTypeface under a name of our own and writes it in
// the framework's serialised form (zlib-compressed), which the program reads from memory.
#include <juce_graphics/juce_graphics.h>

#include <iostream>

int main (int argc, char** argv)
{
    if (argc != 5)
    {
        std::cerr << "usage: pellmix_make_typeface INPUT OUTPUT NAME BOLD(0|1)\n";
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI init;
    juce::MemoryBlock fontData;
    if (!juce::File (argv[1]).loadFileAsData (fontData))
    {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }

    auto source = juce::Typeface::createSystemTypefaceFor (fontData.getData(), fontData.getSize());
    if (source == nullptr)
    {
        std::cerr << "not a font: " << argv[1] << "\n";
        return 1;
    }

    const bool bold = juce::String (argv[4]) == "1";
    juce::CustomTypeface typeface;
    typeface.setCharacteristics (juce::String::fromUTF8 (argv[3]), source->getAscent(), bold, false, ' ');
    typeface.addGlyphsFromOtherTypeface (*source, 0x20, 0x7f - 0x20);
    typeface.addGlyphsFromOtherTypeface (*source, 0xa0, 0x100 - 0xa0);

    juce::File out (argv[2]);
    out.deleteFile();
    juce::FileOutputStream stream (out);
    if (!stream.openedOk() || !typeface.writeToStream (stream))
    {
        std::cerr << "cannot write " << argv[2] << "\n";
        return 1;
    }
    stream.flush();

    // Read it back as the program does and report what it holds.
    juce::MemoryBlock written;
    out.loadFileAsData (written);
    juce::MemoryInputStream in (written, false);
    juce::CustomTypeface check (in);
    int glyphs = 0;
    for (juce::juce_wchar c = 0x20; c < 0x100; ++c)
    {
        if (c >= 0x7f && c < 0xa0)
            continue;
        juce::Array<int> indexes;
        juce::Array<float> offsets;
        check.getGlyphPositions (juce::String::charToString (c), indexes, offsets);
        if (indexes.size() == 1 && offsets[1] > 0.0f)
            ++glyphs;
        else
            std::cerr << "missing glyph U+" << juce::String::toHexString ((int)c) << "\n";
    }
    std::cout << check.getName() << " bold=" << bold << " ascent=" << check.getAscent()
              << " glyphs=" << glyphs << " bytes=" << written.getSize() << "\n";
    return glyphs == 191 ? 0 : 1;
}
