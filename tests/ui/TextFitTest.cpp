// Every text of the main content fits its bounds: the labels (captions, value boxes, the player's
// time, file-name and repeat labels) and the text buttons of every panel, the capture window
// included, each measured in the font it is drawn with against the area it is drawn in.
#include "UiTestSupport.h"
#include "app/MainContentComponent.h"
#include "ui/PellmixCapture.h"
#include "ui/PellmixIrBlock.h"
#include "ui/PellmixIrPanel.h"
#include "ui/PellmixPlayer.h"

#include <cmath>
#include <functional>
#include <vector>

namespace
{
struct Misfit
{
    std::string where, text, shown;
    juce::Rectangle<float> inked;
    juce::Rectangle<int> bounds;
};

// The path of a component in the tree, by names (or kinds) from the content down.
std::string pathOf (const juce::Component& c, const juce::Component& root)
{
    std::string path;
    for (auto* p = &c; p != nullptr && p != &root; p = p->getParentComponent())
    {
        auto name = p->getName().isNotEmpty() ? p->getName().toStdString() : std::string (typeid (*p).name());
        path = "/" + name + path;
    }
    return path;
}

// Lays the text out as Graphics::drawFittedText does (squeezed down to the minimum horizontal
// scale, then cut with an ellipsis) and records it when characters went missing or the glyphs
// reach outside the component, which clips them.
void checkFittedText (const juce::Component& c, const juce::Component& root, const juce::String& text,
                      const juce::Font& font, juce::Rectangle<int> area, juce::Justification justification,
                      int maxLines, float minimumScale, std::vector<Misfit>& misfits)
{
    if (text.trim().isEmpty())
        return;
    juce::GlyphArrangement glyphs;
    glyphs.addFittedText (font, text, (float)area.getX(), (float)area.getY(), (float)area.getWidth(),
                          (float)area.getHeight(), justification, maxLines, minimumScale);
    juce::String shown;
    for (int i = 0; i < glyphs.getNumGlyphs(); ++i)
        shown += juce::String::charToString (glyphs.getGlyph (i).getCharacter());
    const auto inked = glyphs.getBoundingBox (0, -1, false);
    const auto bounds = c.getLocalBounds().toFloat().expanded (0.5f);
    const auto whitespace = " \t\r\n";
    if (shown.removeCharacters (whitespace) != text.removeCharacters (whitespace) || !bounds.contains (inked))
        misfits.push_back (
            {pathOf (c, root), text.toStdString(), shown.toStdString(), inked, c.getLocalBounds()});
}

void checkLabel (juce::Label& label, const juce::Component& root, std::vector<Misfit>& misfits)
{
    if (label.isBeingEdited())
        return;
    auto& lf = label.getLookAndFeel();
    const auto font = lf.getLabelFont (label);
    const auto area = lf.getLabelBorderSize (label).subtractedFrom (label.getLocalBounds());
    checkFittedText (label, root, label.getText(), font, area, label.getJustificationType(),
                     juce::jmax (1, (int)((float)area.getHeight() / font.getHeight())),
                     label.getMinimumHorizontalScale(), misfits);
}

// The text area of LookAndFeel_V2's text-button drawing.
void checkTextButton (juce::TextButton& button, const juce::Component& root, std::vector<Misfit>& misfits)
{
    const auto font = button.getLookAndFeel().getTextButtonFont (button, button.getHeight());
    const int yIndent = juce::jmin (4, button.proportionOfHeight (0.3f));
    const int cornerSize = juce::jmin (button.getHeight(), button.getWidth()) / 2;
    const int fontHeight = juce::roundToInt (font.getHeight() * 0.6f);
    const int leftIndent = juce::jmin (fontHeight, 2 + cornerSize / (button.isConnectedOnLeft() ? 4 : 2));
    const int rightIndent = juce::jmin (fontHeight, 2 + cornerSize / (button.isConnectedOnRight() ? 4 : 2));
    const juce::Rectangle<int> area (leftIndent, yIndent, button.getWidth() - leftIndent - rightIndent,
                                     button.getHeight() - yIndent * 2);
    checkFittedText (button, root, button.getButtonText(), font, area, juce::Justification::centred, 2, 0.0f,
                     misfits);
}

// Every shown label and text button below `c`. A hidden panel (the capture window) is walked too:
// what it holds shows once it is opened; a hidden label or button is not.
void walk (juce::Component& c, const juce::Component& root, std::vector<Misfit>& misfits)
{
    if (c.isVisible())
    {
        if (auto* label = dynamic_cast<juce::Label*> (&c))
            checkLabel (*label, root, misfits);
        if (auto* button = dynamic_cast<juce::TextButton*> (&c))
            checkTextButton (*button, root, misfits);
    }
    for (auto* child : c.getChildren())
        walk (*child, root, misfits);
}

void forEachSlider (juce::Component& c, const std::function<void (juce::Slider&)>& fn)
{
    if (auto* slider = dynamic_cast<juce::Slider*> (&c))
        fn (*slider);
    for (auto* child : c.getChildren())
        forEachSlider (*child, fn);
}

std::string describe (const std::vector<Misfit>& misfits)
{
    std::string text;
    for (const auto& m : misfits)
        text += m.where + " \"" + m.text + "\" shows as \"" + m.shown + "\", inked " +
                m.inked.toString().toStdString() + " in " + m.bounds.toString().toStdString() + "\n";
    return text;
}

class TextFit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
        content = std::make_unique<MainContentComponent>();
        screen = std::make_unique<ui_test::OnScreen> (*content);
    }
    void TearDown() override
    {
        screen.reset();
        content.reset();
    }

    PellmixConfig* config() const { return env.config; }

    std::vector<Misfit> misfits()
    {
        std::vector<Misfit> found;
        walk (*content, *content, found);
        return found;
    }

    const bool displayStarted = ui_test::processDisplay().started(); // before anything opens X
    ui_test::ConfigEnvironment env;
    std::unique_ptr<MainContentComponent> content;
    std::unique_ptr<ui_test::OnScreen> screen;
};
// A 1000-sample decaying IR at 96 kHz, enough for a block's loaded look.
juce::File writeIr (const juce::File& file)
{
    juce::AudioBuffer<float> ir (1, 1000);
    for (int i = 0; i < ir.getNumSamples(); ++i)
        ir.setSample (0, i, std::exp (-0.01f * (float)i) * (i % 2 == 0 ? 1.0f : -0.5f));
    file.deleteFile();
    std::unique_ptr<juce::OutputStream> out (file.createOutputStream());
    std::unique_ptr<juce::AudioFormatWriter> writer (
        juce::WavAudioFormat().createWriterFor (out.get(), 96000.0, 1, 24, {}, 0));
    if (writer != nullptr)
    {
        out.release();
        writer->writeFromAudioSampleBuffer (ir, 0, ir.getNumSamples());
    }
    return file;
}
} // namespace

// At start (empty blocks), with one block loaded, in each repeat mode and with every slider at
// either end of its range (the offset knob over its widest range, a two-second IR).
TEST_F (TextFit, EveryLabelAndTextButtonShowsItsWholeText)
{
    EXPECT_TRUE (misfits().empty()) << "at start:\n" << describe (misfits());

    auto& block = content->getIrPanel()->getBlock (0);
    config()->project.setIrPath (0, writeIr (juce::File (env.home.child ("ir.wav"))));
    block.reloadAndBlend();
    block.timerCallback();
    ASSERT_EQ (block.getLook(), PellmixIrBlock::Look::loaded);
    block.getOffsetSlider().setRange (PellmixRanges::offsetMin, PellmixRanges::offsetMax, 1.0);
    EXPECT_TRUE (misfits().empty()) << "one block loaded:\n" << describe (misfits());

    auto& player = *content->getPlayer();
    for (const char* mode : {"Off", "1", "All"})
    {
        player.buttonClicked (player.repeatButton.get());
        ASSERT_EQ (player.repeatLabel->getText(), mode);
        EXPECT_TRUE (misfits().empty()) << "repeat " << mode << ":\n" << describe (misfits());
    }

    for (const bool atMaximum : {false, true})
    {
        forEachSlider (
            *content, [atMaximum] (juce::Slider& s)
            { s.setValue (atMaximum ? s.getMaximum() : s.getMinimum(), juce::dontSendNotification); });
        // The value boxes show while the pointer is over their slider.
        forEachSlider (*content,
                       [] (juce::Slider& s)
                       {
                           for (auto* child : s.getChildren())
                               if (dynamic_cast<juce::Label*> (child) != nullptr)
                                   child->setVisible (s.getTextBoxPosition() != juce::Slider::NoTextBox);
                       });
        EXPECT_TRUE (misfits().empty())
            << (atMaximum ? "sliders at their maximum:\n" : "sliders at their minimum:\n")
            << describe (misfits());
        // Kept for people to look at: the loaded block with its value boxes shown.
        const juce::File kept (pellmix_test::screenshotFolder() +
                               (atMaximum ? "/text-fit-block-max.png" : "/text-fit-block-min.png"));
        kept.deleteFile();
        juce::FileOutputStream out (kept);
        juce::PNGImageFormat().writeImageToStream (ui_test::snapshot (block), out);
    }
}
