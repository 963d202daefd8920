// The look-and-feel: slider drawings chosen by exact component names and compared with the
// embedded pictures pixel by pixel, the film-strip frames, the colour bars of the player sliders,
// the fonts of labels, combo boxes and value boxes, the embedded typefaces and the tooltip.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "UiTestSupport.h"
#include "ui/PellmixLookAndFeel.h"

using ui_test::blankImage;
using ui_test::differingPixels;
using ui_test::snapshot;

namespace
{
enum class Drawing
{
    eqPictures,
    irGainPictures,
    base
};

// A vertical slider of the EQ band or IR gain size, drawn by the given look-and-feel.
struct VerticalSlider
{
    VerticalSlider (const juce::String& name, int height, double value, juce::LookAndFeel& lf)
        : slider (juce::Slider::LinearVertical, juce::Slider::NoTextBox)
    {
        slider.setName (name);
        slider.setRange (-12.0, 12.0, 1.0);
        slider.setValue (value, juce::dontSendNotification);
        slider.setSize (16, height);
        slider.setLookAndFeel (&lf);
    }
    ~VerticalSlider() { slider.setLookAndFeel (nullptr); }
    juce::Slider slider;
};

juce::Image picturesAt (int width, int height, const juce::Image& track, const juce::Image& thumb, int thumbY)
{
    auto image = blankImage (width, height);
    juce::Graphics g (image);
    g.drawImageAt (track, 0, 0);
    g.drawImageAt (thumb, 0, thumbY);
    return image;
}
} // namespace

TEST (LookAndFeelNames, LinearSlidersAreDrawnByTheirExactName)
{
    struct Case
    {
        const char* name;
        int height;
        Drawing drawing;
    };
    const Case cases[] = {
        {"EQ Slider", 100, Drawing::eqPictures},
        {"Ir Gain Slider", 120, Drawing::irGainPictures},
        {"Eq Slider", 100, Drawing::base},
        {"EQ slider", 100, Drawing::base},
        {"EQ Slider ", 100, Drawing::base},
        {" EQ Slider", 100, Drawing::base},
        {"IR Gain Slider", 120, Drawing::base},
        {"Ir Gain Slider2", 120, Drawing::base},
        {"", 100, Drawing::base},
    };
    juce::LookAndFeel_V2 base;
    const auto eqTrack = PELLMIX_PICTURE (eq_slider_track_png);
    const auto eqThumb = PELLMIX_PICTURE (eq_slider_thumb_png);
    const auto irTrack = PELLMIX_PICTURE (ir_gain_track_png);
    const auto irThumb = PELLMIX_PICTURE (ir_gain_thumb_png);
    ASSERT_EQ (eqTrack.getBounds(), juce::Rectangle<int> (16, 100));
    ASSERT_EQ (eqThumb.getBounds(), juce::Rectangle<int> (16, 18));
    ASSERT_EQ (irTrack.getBounds(), juce::Rectangle<int> (16, 120));
    ASSERT_EQ (irThumb.getBounds(), juce::Rectangle<int> (16, 43));

    for (const auto& c : cases)
        for (double value : {-12.0, 3.0, 12.0})
        {
            SCOPED_TRACE (testing::Message() << "name \"" << c.name << "\", value " << value);
            VerticalSlider ours (c.name, c.height, value, *PellmixLookAndFeel::getInstance());
            VerticalSlider plain (c.name, c.height, value, base);
            const auto drawn = snapshot (ours.slider);
            const int s = (int)ours.slider.getPositionOfValue (value);
            const auto eq = picturesAt (16, c.height, eqTrack, eqThumb, s - 9);
            const auto ir = picturesAt (16, c.height, irTrack, irThumb, s - 12);
            const auto framework = snapshot (plain.slider);
            ASSERT_GT (differingPixels (framework, c.height == 100 ? eq : ir), 0);

            switch (c.drawing)
            {
                case Drawing::eqPictures:
                    EXPECT_EQ (differingPixels (drawn, eq), 0);
                    break;
                case Drawing::irGainPictures:
                    EXPECT_EQ (differingPixels (drawn, ir), 0);
                    break;
                case Drawing::base:
                    EXPECT_EQ (differingPixels (drawn, framework), 0);
                    break;
            }
        }
}

TEST (LookAndFeelNames, ThumbPictureTopEdgeFollowsTheTruncatedSliderPosition)
{
    struct Case
    {
        const char* name;
        float sliderPos;
        int height;
        int thumbTop;
    };
    const Case cases[] = {
        {"EQ Slider", 57.9f, 100, 48},      {"Ir Gain Slider", 57.9f, 120, 45}, {"EQ Slider", 9.0f, 100, 0},
        {"Ir Gain Slider", 12.99f, 120, 0}, {"EQ Slider", -0.7f, 100, -9},      {"EQ Slider", 91.0f, 100, 82},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.name << " at " << c.sliderPos);
        juce::Slider slider (juce::Slider::LinearVertical, juce::Slider::NoTextBox);
        slider.setName (c.name);
        slider.setSize (16, c.height);
        const bool eq = juce::String (c.name) == "EQ Slider";
        const auto thumb = eq ? PELLMIX_PICTURE (eq_slider_thumb_png) : PELLMIX_PICTURE (ir_gain_thumb_png);

        auto drawn = blankImage (16, c.height);
        {
            juce::Graphics g (drawn);
            PellmixLookAndFeel::getInstance()->drawLinearSliderThumb (
                g, 3, 5, 10, c.height - 10, c.sliderPos, 0.0f, 0.0f, juce::Slider::LinearVertical, slider);
        }
        auto expected = blankImage (16, c.height);
        juce::Graphics (expected).drawImageAt (thumb, 0, c.thumbTop);
        EXPECT_EQ (differingPixels (drawn, expected), 0);
    }
}

//==============================================================================
namespace
{
struct Knob
{
    Knob (const juce::String& name, double minimum, double maximum, double value, int size = 45)
        : slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::NoTextBox)
    {
        slider.setName (name);
        slider.setRange (minimum, maximum, 0.0);
        slider.setValue (value, juce::dontSendNotification);
        slider.setSize (size, size);
        slider.setLookAndFeel (PellmixLookAndFeel::getInstance());
    }
    ~Knob() { slider.setLookAndFeel (nullptr); }
    juce::Slider slider;
};

juce::Image stripFrame (int frame, int size = 45)
{
    const auto strip = PELLMIX_PICTURE (knob_strip_png);
    auto image = blankImage (size, size);
    juce::Graphics (image).drawImage (strip, 0, 0, size, size, 0, frame * 45, 45, 45);
    return image;
}
} // namespace

TEST (LookAndFeelFilmStrip, StripHas128SquareFrames)
{
    const auto strip = PELLMIX_PICTURE (knob_strip_png);
    ASSERT_EQ (strip.getWidth(), 45);
    ASSERT_EQ (strip.getHeight(), 5760);
    // Every frame differs from the one before it: the pointer turns through all of them.
    for (int f = 1; f < 128; ++f)
        ASSERT_GT (differingPixels (stripFrame (f), stripFrame (f - 1)), 0) << "frame " << f;
}

TEST (LookAndFeelFilmStrip, ValueSelectsTheFrame)
{
    struct Case
    {
        double minimum, maximum, value;
        int frame;
    };
    const Case cases[] = {
        {0.0, 10.0, 0.0, 0},       {0.0, 10.0, 5.0, 63},  {0.0, 10.0, 10.0, 127},
        {-6.0, 6.0, -6.0, 0},      {-6.0, 6.0, 0.0, 63},  {-6.0, 6.0, 6.0, 127},
        {0.0, 127.0, 126.99, 126}, {0.0, 31.68, 0.01, 0}, {0.0, 1.0, 0.999, 126},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.minimum << ".." << c.maximum << " at " << c.value);
        Knob knob ("Rotary Slider", c.minimum, c.maximum, c.value);
        EXPECT_EQ (differingPixels (snapshot (knob.slider), stripFrame (c.frame)), 0);
    }
}

TEST (LookAndFeelFilmStrip, FrameIsScaledToTheSliderHeight)
{
    Knob knob ("Rotary Slider Gain", 0.0, 1.0, 1.0, 60);
    EXPECT_EQ (differingPixels (snapshot (knob.slider), stripFrame (127, 60)), 0);
}

TEST (LookAndFeelFilmStrip, RotaryPrefixIsCaseSensitive)
{
    struct Case
    {
        const char* name;
        bool filmStrip;
    };
    const Case cases[] = {
        {"Rotary Slider", true},   {"Rotary Slider Phase", true}, {"Rotary Slider1", true},
        {"rotary slider", false},  {"Rotary slider", false},      {"Rotary Slide", false},
        {" Rotary Slider", false}, {"EQ Slider", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Knob knob (c.name, 0.0, 10.0, 5.0);
        const auto drawn = snapshot (knob.slider);
        EXPECT_EQ (differingPixels (drawn, stripFrame (63)) == 0, c.filmStrip);
        EXPECT_GT (ui_test::opaquePixels (drawn), 0); // the vector knob draws something too
    }
}

TEST (LookAndFeelFilmStrip, EmptyRangeOrUnusablePictureNeverDividesByZero)
{
    struct Case
    {
        int frames;
        double value, minimum, maximum;
        int frame;
    };
    const Case cases[] = {
        {128, 3.0, 3.0, 3.0, 0}, {128, 5.0, 6.0, 2.0, 0},     {0, 1.0, 0.0, 2.0, 0},
        {1, 2.0, 0.0, 2.0, 0},   {128, 12.0, 0.0, 10.0, 127}, {128, -1.0, 0.0, 10.0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ (PellmixLookAndFeel::filmStripFrameFor (c.frames, c.value, c.minimum, c.maximum), c.frame)
            << c.frames << " frames, " << c.value << " in " << c.minimum << ".." << c.maximum;

    // A knob whose range is empty shows frame 0.
    Knob knob ("Rotary Slider", 0.0, 10.0, 0.0);
    knob.slider.setRange (4.0, 4.0, 0.0);
    EXPECT_EQ (differingPixels (snapshot (knob.slider), stripFrame (0)), 0);

    // A picture that failed to load, or holds no whole frame, draws nothing and falls back.
    for (const auto& strip : {juce::Image(), blankImage (45, 30)})
    {
        auto image = blankImage (45, 45);
        juce::Graphics g (image);
        EXPECT_FALSE (PellmixLookAndFeel::drawFilmStripFrame (g, strip, knob.slider));
        EXPECT_EQ (ui_test::opaquePixels (image), 0);
    }
}

//==============================================================================
class LookAndFeelColourBar : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE (env.config, nullptr) << env.jack.logText(); }

    // A player slider of the player's size with its value at 80 of 100.
    juce::Image draw (const juce::String& name, bool enabled = true)
    {
        juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
        slider.setName (name);
        slider.setRange (0.0, 100.0, 0.1);
        slider.setValue (80.0, juce::dontSendNotification);
        slider.setSize (364, 20);
        slider.setEnabled (enabled);
        slider.setLookAndFeel (PellmixLookAndFeel::getInstance());
        auto image = snapshot (slider);
        slider.setLookAndFeel (nullptr);
        return image;
    }

    ui_test::ConfigEnvironment env;
};

TEST_F (LookAndFeelColourBar, BarTakesTheConfiguredColourAtEveryRepaint)
{
    struct Case
    {
        const char* name;
        juce::Colour PellmixConfig::*colour;
    };
    const Case cases[] = {
        {"Player Gain Slider", &PellmixConfig::gainColour},
        {"Player Progress Slider Source", &PellmixConfig::sourceColour},
        {"Player Progress Slider Target", &PellmixConfig::targetColour},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto& colour = env.config->*(c.colour);
        EXPECT_EQ (ui_test::argb (draw (c.name).getPixelAt (100, 10)), ui_test::argb (colour));
        colour = juce::Colour (0xff12c4a0);
        EXPECT_EQ (ui_test::argb (draw (c.name).getPixelAt (100, 10)), "FF12C4A0");
        // Right of the thumb the bar is not filled.
        EXPECT_NE (ui_test::argb (draw (c.name).getPixelAt (340, 10)), "FF12C4A0");
    }
}

TEST_F (LookAndFeelColourBar, OtherNamesAreDrawnByTheBase)
{
    juce::LookAndFeel_V2 base;
    for (const char* name :
         {"Player gain Slider", "Player Progress Slider", "Player Progress Slider Source ", ""})
    {
        SCOPED_TRACE (name);
        juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
        slider.setName (name);
        slider.setRange (0.0, 100.0, 0.1);
        slider.setValue (80.0, juce::dontSendNotification);
        slider.setSize (364, 20);
        slider.setLookAndFeel (&base);
        const auto framework = snapshot (slider);
        slider.setLookAndFeel (nullptr);
        EXPECT_EQ (differingPixels (draw (name), framework), 0);
    }
}

TEST_F (LookAndFeelColourBar, DisabledSliderHasALighterTrackAndTheSameBar)
{
    const auto enabled = draw ("Player Gain Slider", true);
    const auto disabled = draw ("Player Gain Slider", false);
    EXPECT_EQ (enabled.getPixelAt (100, 10).getARGB(), disabled.getPixelAt (100, 10).getARGB());
    // The unfilled track: alpha 0.13 of black over the track colour instead of 0.25.
    const auto e = enabled.getPixelAt (340, 8), d = disabled.getPixelAt (340, 8);
    EXPECT_NE (e.getARGB(), d.getARGB());
    EXPECT_GT (d.getBrightness(), e.getBrightness());
}

//==============================================================================
TEST (LookAndFeelFonts, LabelFontIsTheBookTypefaceAtTheWholeHeight)
{
    struct Case
    {
        float height;
        float expected;
    };
    const Case cases[] = {{10.9f, 10.0f}, {14.0f, 14.0f}, {16.5f, 16.0f}, {12.0f, 12.0f}};
    for (const auto& c : cases)
    {
        juce::Label label;
        label.setFont (juce::Font (c.height));
        const auto font = PellmixLookAndFeel::getInstance()->getLabelFont (label);
        EXPECT_EQ (font.getTypefaceName(), "Pellmix Sans Book");
        EXPECT_FLOAT_EQ (font.getHeight(), c.expected) << "label font " << c.height;
        EXPECT_EQ (font.getTypefacePtr(), PellmixLookAndFeel::getLabelTypeface());
    }
}

TEST (LookAndFeelFonts, ComboBoxFontIsTheMediumTypefaceAt22WhateverTheBox)
{
    for (int boxHeight : {20, 22, 60})
    {
        juce::ComboBox box;
        box.setSize (120, boxHeight);
        const auto font = PellmixLookAndFeel::getInstance()->getComboBoxFont (box);
        EXPECT_EQ (font.getTypefaceName(), "Pellmix Sans Medium");
        EXPECT_TRUE (font.isBold());
        EXPECT_FLOAT_EQ (font.getHeight(), 22.0f);
    }

    juce::ComboBox box;
    std::unique_ptr<juce::Label> text (PellmixLookAndFeel::getInstance()->createComboBoxTextBox (box));
    EXPECT_TRUE (text->getName().isEmpty());
    EXPECT_TRUE (text->getText().isEmpty());
    EXPECT_EQ (&text->getLookAndFeel(), PellmixLookAndFeel::getInstance());
    EXPECT_FLOAT_EQ (text->getMinimumHorizontalScale(), 0.9f);
    text->setLookAndFeel (nullptr);
}

TEST (LookAndFeelFonts, SliderValueBoxTakesTheSliderColours)
{
    for (auto style :
         {juce::Slider::LinearBar, juce::Slider::LinearVertical, juce::Slider::RotaryVerticalDrag})
    {
        SCOPED_TRACE ((int)style);
        juce::Slider slider (style, juce::Slider::TextBoxBelow);
        slider.setColour (juce::Slider::textBoxTextColourId, juce::Colour (0xff102030));
        slider.setColour (juce::Slider::textBoxBackgroundColourId, juce::Colour (0xff405060));
        slider.setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0xff708090));
        std::unique_ptr<juce::Label> box (PellmixLookAndFeel::getInstance()->createSliderTextBox (slider));

        EXPECT_TRUE (box->getName().isEmpty());
        EXPECT_TRUE (box->getText().isEmpty());
        EXPECT_EQ (box->getJustificationType(), juce::Justification (juce::Justification::centred));
        EXPECT_EQ (box->getFont().getTypefaceName(), "Pellmix Sans Medium");
        EXPECT_FLOAT_EQ (box->getFont().getHeight(), PellmixLookAndFeel::valueBoxFontHeight);
        const std::pair<int, juce::uint32> colours[] = {
            {juce::Label::textColourId, 0xff102030},
            {juce::Label::backgroundColourId, style == juce::Slider::LinearBar ? 0x00000000u : 0xff405060u},
            {juce::Label::outlineColourId, 0xff708090},
            {juce::TextEditor::outlineColourId, 0xff708090},
            {juce::TextEditor::highlightColourId, 0xffffffff},
            {juce::TextEditor::highlightedTextColourId, 0xff000000},
            {juce::TextEditor::focusedOutlineColourId, 0xff000000},
            {juce::TextEditor::backgroundColourId, 0xffffffff},
        };
        for (const auto& [id, value] : colours)
        {
            EXPECT_TRUE (box->isColourSpecified (id)) << std::hex << id;
            EXPECT_EQ (box->findColour (id).getARGB(), value) << std::hex << id;
        }
    }
}

TEST (LookAndFeelFonts, EmbeddedTypefacesHoldAllTheirGlyphs)
{
    struct Case
    {
        const char* data;
        int size;
        const char* name;
        bool bold;
    };
    const Case cases[] = {
        {BinaryData::PellmixSansBook_bin, BinaryData::PellmixSansBook_binSize, "Pellmix Sans Book", false},
        {BinaryData::PellmixSansMedium_bin, BinaryData::PellmixSansMedium_binSize, "Pellmix Sans Medium",
         true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        // The stream's head: name, bold and italic flags, ascent, default character, glyph count.
        juce::MemoryInputStream raw (c.data, (size_t)c.size, false);
        juce::GZIPDecompressorInputStream head (raw);
        EXPECT_EQ (head.readString(), c.name);
        EXPECT_EQ (head.readBool(), c.bold);
        EXPECT_FALSE (head.readBool());
        const float ascent = head.readFloat();
        EXPECT_GT (ascent, 0.6f);
        EXPECT_LT (ascent, 0.9f);
        EXPECT_EQ (head.readShort(), (short)' ');
        EXPECT_EQ (head.readInt(), 191);

        juce::MemoryInputStream stream (c.data, (size_t)c.size, false);
        juce::CustomTypeface typeface (stream);
        EXPECT_EQ (typeface.getName(), c.name);
        EXPECT_EQ (typeface.getStyle(), c.bold ? "Bold" : "Regular");
        for (juce::juce_wchar ch = 0x20; ch <= 0xff; ++ch)
        {
            if (ch >= 0x7f && ch < 0xa0)
                continue;
            juce::Array<int> glyphs;
            juce::Array<float> offsets;
            typeface.getGlyphPositions (juce::String::charToString (ch), glyphs, offsets);
            ASSERT_EQ (glyphs.size(), 1) << "U+" << std::hex << (int)ch;
            EXPECT_GT (offsets[1], 0.0f) << "U+" << std::hex << (int)ch;
            juce::Path outline;
            typeface.getOutlineForGlyph (glyphs[0], outline);
            const bool blank = ch == ' ' || ch == 0xa0;
            EXPECT_EQ (outline.isEmpty(), blank) << "U+" << std::hex << (int)ch;
        }
    }
}

TEST (LookAndFeelFonts, LabelsAreDrawnInTheEmbeddedTypeface)
{
    // "Vantrel Melvane" in the label font, drawn by a label of each look-and-feel.
    juce::LookAndFeel_V2 base;
    auto drawLabel = [] (juce::LookAndFeel& lf)
    {
        juce::Label label ({}, juce::String::fromUTF8 ("Vantrel Melvane \xc3\xa9\xc3\xa0 0.5 dB"));
        label.setFont (juce::Font (16.0f));
        label.setColour (juce::Label::textColourId, juce::Colours::black);
        label.setSize (240, 24);
        label.setLookAndFeel (&lf);
        auto image = snapshot (label);
        label.setLookAndFeel (nullptr);
        return image;
    };
    const auto ours = drawLabel (*PellmixLookAndFeel::getInstance());
    const auto framework = drawLabel (base);
    EXPECT_GT (ui_test::opaquePixels (ours), 200); // text was drawn
    EXPECT_GT (differingPixels (ours, framework), 200);

    auto expected = blankImage (240, 24);
    {
        juce::Graphics g (expected);
        g.setColour (juce::Colours::black);
        g.setFont (juce::Font (PellmixLookAndFeel::getLabelTypeface()).withHeight (16.0f));
        g.drawFittedText (juce::String::fromUTF8 ("Vantrel Melvane \xc3\xa9\xc3\xa0 0.5 dB"), 5, 1, 230, 22,
                          juce::Justification::centredLeft, 1, 1.0f);
    }
    EXPECT_EQ (differingPixels (ours, expected), 0);
}

//==============================================================================
TEST (LookAndFeelTooltip, WhiteBoxWithBalancedDarkText)
{
    auto draw = [] (const juce::String& text, int w, int h)
    {
        auto image = blankImage (w, h);
        juce::Graphics g (image);
        PellmixLookAndFeel::getInstance()->drawTooltip (g, text, w, h);
        return image;
    };
    auto darkRows = [] (const juce::Image& image)
    {
        int first = -1, last = -1;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (image.getPixelAt (x, y).getBrightness() < 0.5f)
                {
                    first = first < 0 ? y : first;
                    last = y;
                }
        return std::pair<int, int>{first, last};
    };

    const auto empty = draw ({}, 60, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ (empty.getPixelAt (x, y).getARGB(), 0xffffffffu);

    const auto shortTip = draw ("Bypass the Vantrel process", 200, 24);
    EXPECT_EQ (shortTip.getPixelAt (0, 0).getARGB(), 0xffffffffu); // no outline
    EXPECT_EQ (shortTip.getPixelAt (199, 23).getARGB(), 0xffffffffu);
    const auto [top1, bottom1] = darkRows (shortTip);
    ASSERT_GE (top1, 0);
    EXPECT_LT (bottom1 - top1, 16); // one line of 13-pixel text

    const juce::String longText ("Drag and drop source audio files here; they are heard through the blended "
                                 "impulse response, while the target files are heard dry");
    const auto longTip = draw (longText, 420, 80);
    const auto [top2, bottom2] = darkRows (longTip);
    EXPECT_GT (bottom2 - top2, 20); // wrapped onto more than one line
}

namespace
{
// The bounds of the pixels near `colour` (each channel within 24), empty when there are none.
juce::Rectangle<int> pixelsOfColour (const juce::Image& image, juce::Colour colour)
{
    juce::Rectangle<int> found;
    bool any = false;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto p = image.getPixelAt (x, y);
            if (std::abs (p.getRed() - colour.getRed()) > 24 ||
                std::abs (p.getGreen() - colour.getGreen()) > 24 ||
                std::abs (p.getBlue() - colour.getBlue()) > 24)
                continue;
            const juce::Rectangle<int> pixel (x, y, 1, 1);
            found = any ? found.getUnion (pixel) : pixel;
            any = true;
        }
    return found;
}
} // namespace

// Each kind of alert box draws its own icon (warning in its colour, information and question in
// the other), whole inside the box; a box without an icon draws none. The boxes are kept in the
// screenshots folder (alert-*.png).
TEST (LookAndFeelAlertBox, IconIsWholeAndOfTheBoxKind)
{
    using Kind = juce::MessageBoxIconType;
    auto& lf = *PellmixAlertLookAndFeel::getInstance();
    const juce::Colour warning (PellmixAlertLookAndFeel::warningColour),
        info (PellmixAlertLookAndFeel::infoColour);
    struct Case
    {
        const char* name;
        Kind kind;
        const char* title;
        const char* message;
    };
    for (const auto& c :
         {Case{"warning", Kind::WarningIcon, "Load IR", "The IR file could not be read:\n/tmp/cab.wav"},
          Case{"info", Kind::InfoIcon, "Info", "The IR must be either in vir, aiff or wav format."},
          Case{"question", Kind::QuestionIcon, "File already exists", "Replace it?"},
          Case{"none", Kind::NoIcon, "", "Audio clipping occured. Lower the input gain and try again."}})
    {
        SCOPED_TRACE (c.name);
        std::unique_ptr<juce::AlertWindow> box (
            lf.createAlertWindow (c.title, c.message, "OK", {}, {}, c.kind, 1, nullptr));
        box->setLookAndFeel (&lf);
        const auto shot = snapshot (*box);
        box->setLookAndFeel (nullptr);
        juce::PNGImageFormat png;
        juce::FileOutputStream out (
            juce::File (pellmix_test::screenshotFolder() + "/alert-" + c.name + ".png"));
        if (out.openedOk())
        {
            out.setPosition (0);
            out.truncate();
            png.writeImageToStream (shot, out);
        }

        const auto warningPixels = pixelsOfColour (shot, warning), infoPixels = pixelsOfColour (shot, info);
        const auto icon = c.kind == Kind::WarningIcon ? warningPixels : infoPixels;
        const auto other = c.kind == Kind::WarningIcon ? infoPixels : warningPixels;
        if (c.kind == Kind::NoIcon)
        {
            EXPECT_TRUE (warningPixels.isEmpty() && infoPixels.isEmpty());
            continue;
        }
        EXPECT_GT (icon.getWidth(), 40) << icon.toString();
        EXPECT_GT (icon.getHeight(), 40) << icon.toString();
        EXPECT_TRUE (shot.getBounds().reduced (8).contains (icon))
            << icon.toString() << " in " << shot.getBounds().toString();
        EXPECT_TRUE (other.isEmpty()) << other.toString();
    }
}
