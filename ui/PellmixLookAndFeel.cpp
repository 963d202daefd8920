#include "ui/PellmixLookAndFeel.h"

#include "BinaryData.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixPictures.h"

namespace
{
juce::Typeface::Ptr readTypeface (const void* data, int size)
{
    // The stream is read in place: the embedded bytes are not copied.
    juce::MemoryInputStream stream (data, (size_t)size, false);
    return new juce::CustomTypeface (stream);
}

bool isNamed (const juce::Slider& slider, const char* name)
{
    return slider.getName() == name;
}

// The colour index of a player slider's bar (gain 5, source 2, target 3), or -1.
int playerBarColourIndex (const juce::Slider& slider)
{
    if (isNamed (slider, PellmixLookAndFeel::playerGainSliderName))
        return 5;
    if (isNamed (slider, PellmixLookAndFeel::playerProgressSourceName))
        return 2;
    if (isNamed (slider, PellmixLookAndFeel::playerProgressTargetName))
        return 3;
    return -1;
}
} // namespace

PellmixLookAndFeel* PellmixLookAndFeel::getInstance()
{
    static PellmixLookAndFeel instance;
    return &instance;
}

PellmixLookAndFeel::~PellmixLookAndFeel() = default;

juce::Typeface::Ptr PellmixLookAndFeel::getLabelTypeface()
{
    static const juce::Typeface::Ptr typeface =
        readTypeface (BinaryData::PellmixSansBook_bin, BinaryData::PellmixSansBook_binSize);
    return typeface;
}

juce::Typeface::Ptr PellmixLookAndFeel::getValueTypeface()
{
    static const juce::Typeface::Ptr typeface =
        readTypeface (BinaryData::PellmixSansMedium_bin, BinaryData::PellmixSansMedium_binSize);
    return typeface;
}

//==============================================================================
juce::Font PellmixLookAndFeel::getComboBoxFont (juce::ComboBox&)
{
    return juce::Font (getValueTypeface()).withHeight (comboBoxFontHeight);
}

juce::Label* PellmixLookAndFeel::createComboBoxTextBox (juce::ComboBox&)
{
    auto* label = new juce::Label ({}, {});
    label->setLookAndFeel (this);
    label->setMinimumHorizontalScale (0.9f);
    return label;
}

juce::Font PellmixLookAndFeel::getLabelFont (juce::Label& label)
{
    const auto height = (float)(int)label.getFont().getHeight();
    return juce::Font (getLabelTypeface()).withHeight (height);
}

juce::Label* PellmixLookAndFeel::createSliderTextBox (juce::Slider& slider)
{
    auto* box = new juce::Label ({}, {});
    box->setJustificationType (juce::Justification::centred);
    // The boxes are 12 to 15 pixels high and 24 to 30 wide: a smaller height and a thin border
    // keep every value of the knobs (up to "-2047" and six-digit offsets) whole.
    box->setFont (juce::Font (getValueTypeface()).withHeight (valueBoxFontHeight));
    box->setBorderSize ({0, 1, 0, 1});

    const auto outline = slider.findColour (juce::Slider::textBoxOutlineColourId);
    box->setColour (juce::Label::textColourId, slider.findColour (juce::Slider::textBoxTextColourId));
    box->setColour (juce::Label::backgroundColourId,
                    slider.getSliderStyle() == juce::Slider::LinearBar
                        ? juce::Colours::transparentBlack
                        : slider.findColour (juce::Slider::textBoxBackgroundColourId));
    box->setColour (juce::Label::outlineColourId, outline);
    box->setColour (juce::TextEditor::outlineColourId, outline);
    box->setColour (juce::TextEditor::highlightColourId, juce::Colour (0xffffffff));
    box->setColour (juce::TextEditor::highlightedTextColourId, juce::Colour (0xff000000));
    box->setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (0xff000000));
    box->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0xffffffff));
    return box;
}

//==============================================================================
void PellmixLookAndFeel::drawLinearSliderBackground (juce::Graphics& g, int x, int y, int width, int height,
                                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                                     juce::Slider::SliderStyle style, juce::Slider& slider)
{
    if (isNamed (slider, eqSliderName))
    {
        g.drawImageAt (PELLMIX_PICTURE (eq_slider_track_png), 0, 0);
        return;
    }
    if (isNamed (slider, irGainSliderName))
    {
        g.drawImageAt (PELLMIX_PICTURE (ir_gain_track_png), 0, 0);
        return;
    }

    if (const int colourIndex = playerBarColourIndex (slider); colourIndex >= 0)
        drawColourBar (g, x, y, width, height, sliderPos, slider,
                       *PellmixConfig::getInstance()->getColourByIndex (colourIndex));
    else
        LookAndFeel_V2::drawLinearSliderBackground (g, x, y, width, height, sliderPos, minSliderPos,
                                                    maxSliderPos, style, slider);
}

void PellmixLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int x, int y, int width, int height,
                                                float sliderPos, float minSliderPos, float maxSliderPos,
                                                juce::Slider::SliderStyle style, juce::Slider& slider)
{
    const int s = (int)sliderPos;

    if (isNamed (slider, eqSliderName))
        g.drawImageAt (PELLMIX_PICTURE (eq_slider_thumb_png), 0, s - 9);
    else if (isNamed (slider, irGainSliderName))
        g.drawImageAt (PELLMIX_PICTURE (ir_gain_thumb_png), 0, s - 12);
    else
        LookAndFeel_V2::drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos,
                                               style, slider);
}

void PellmixLookAndFeel::drawColourBar (juce::Graphics& g, int x, int y, int width, int height,
                                        float sliderPos, juce::Slider& slider, juce::Colour barColour)
{
    const auto r = (float)(getSliderThumbRadius (slider) - 2);
    const auto track = slider.findColour (juce::Slider::trackColourId);
    const auto c1 = track.overlaidWith (juce::Colours::black.withAlpha (slider.isEnabled() ? 0.25f : 0.13f));
    const auto c2 = track.overlaidWith (juce::Colour (0x14000000));
    const auto iy = (float)y + (float)height * 0.5f - r * 0.5f;

    juce::Path indent;
    if (slider.isHorizontal())
    {
        indent.addRoundedRectangle ((float)x - r * 0.5f, iy, (float)width + r, r, 5.0f);
        g.setGradientFill (juce::ColourGradient (c1, 0.0f, iy, c2, 0.0f, iy + r, false));
        g.fillPath (indent);
    }
    g.setColour (juce::Colour (0x4c000000));
    g.strokePath (indent, juce::PathStrokeType (0.5f));

    juce::Path bar;
    bar.addRoundedRectangle ((float)x - r * 0.5f, iy, sliderPos, r, 5.0f);
    g.setColour (barColour);
    g.fillPath (bar);
    g.strokePath (bar, juce::PathStrokeType (0.5f));
}

//==============================================================================
int PellmixLookAndFeel::filmStripFrameFor (int frames, double value, double minimum, double maximum)
{
    if (frames < 1 || !(maximum > minimum))
        return 0;
    const auto proportion = (value - minimum) / (maximum - minimum);
    return juce::jlimit (0, frames - 1, (int)((double)(frames - 1) * proportion));
}

bool PellmixLookAndFeel::drawFilmStripFrame (juce::Graphics& g, const juce::Image& strip,
                                             juce::Slider& slider)
{
    const int side = strip.getWidth();
    const int frames = side > 0 ? strip.getHeight() / side : 0;
    if (!strip.isValid() || frames < 1)
        return false;

    const int frame = filmStripFrameFor (frames, slider.getValue(), slider.getMinimum(), slider.getMaximum());
    const int h = slider.getHeight();
    g.drawImage (strip, 0, 0, h, h, 0, frame * side, side, side);
    return true;
}

void PellmixLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                           float sliderPos, float rotaryStartAngle, float rotaryEndAngle,
                                           juce::Slider& slider)
{
    if (slider.getName().startsWith (rotarySliderPrefix) &&
        drawFilmStripFrame (g, PELLMIX_PICTURE (knob_strip_png), slider))
        return;

    drawVectorKnob (g, x, y, width, height, sliderPos, rotaryStartAngle, rotaryEndAngle, slider);
}

void PellmixLookAndFeel::drawVectorKnob (juce::Graphics& g, int x, int y, int width, int height,
                                         float sliderPos, float rotaryStartAngle, float rotaryEndAngle,
                                         juce::Slider& slider)
{
    const auto radius = (float)(juce::jmin (width / 2, height / 2) - 2);
    const auto centreX = (float)x + (float)width * 0.5f;
    const auto centreY = (float)y + (float)height * 0.5f;
    const auto rx = centreX - radius;
    const auto ry = centreY - radius;
    const auto rw = radius * 2.0f;
    const auto angle = rotaryStartAngle + sliderPos * (rotaryEndAngle - rotaryStartAngle);
    const bool enabled = slider.isEnabled();
    const bool hot = slider.isMouseOverOrDragging() && enabled;
    const juce::Colour disabledColour (0x80808080);
    const auto fill =
        enabled ? slider.findColour (juce::Slider::rotarySliderFillColourId).withAlpha (hot ? 1.0f : 0.7f)
                : disabledColour;
    constexpr float proportion = 0.9f;

    g.setColour (fill);
    if (radius > 12.0f)
    {
        juce::Path filledArc;
        filledArc.addPieSegment (rx, ry, rw, rw, rotaryStartAngle, angle, proportion);
        g.fillPath (filledArc);

        juce::Path pointer;
        pointer.addLineSegment (juce::Line<float> (0.0f, 0.0f, 0.0f, -radius), 2.6f * knobPointerWidth);
        g.setColour (enabled ? fill.withAlpha (0.7f) : disabledColour);
        g.fillPath (pointer, juce::AffineTransform::rotation (angle).translated (centreX, centreY));

        juce::Path outlineArc;
        outlineArc.addPieSegment (rx, ry, rw, rw, rotaryStartAngle, rotaryEndAngle, proportion);
        outlineArc.closeSubPath();
        g.setColour (enabled ? slider.findColour (juce::Slider::rotarySliderOutlineColourId)
                             : disabledColour);
        g.strokePath (outlineArc, juce::PathStrokeType (enabled ? (hot ? 2.0f : 1.2f) : 0.3f));
    }
    else
    {
        juce::Path p;
        p.addEllipse (-0.4f * rw, -0.4f * rw, rw * 0.8f, rw * 0.8f);
        juce::PathStrokeType (rw * 0.1f).createStrokedPath (p, p);
        p.addLineSegment (juce::Line<float> (0.0f, 0.0f, 0.0f, -radius), rw * 0.2f);
        g.fillPath (p, juce::AffineTransform::rotation (angle).translated (centreX, centreY));
    }
}

//==============================================================================
void PellmixLookAndFeel::drawScrollbar (juce::Graphics& g, juce::ScrollBar&, int x, int y, int width,
                                        int height, bool isScrollbarVertical, int thumbStartPosition,
                                        int thumbSize, bool isMouseOver, bool isMouseDown)
{
    g.setColour (juce::Colour (scrollTrack));
    g.fillRect (x, y, width, height);
    if (thumbSize <= 0)
        return;

    const auto thumb = (isScrollbarVertical ? juce::Rectangle<int> (x, thumbStartPosition, width, thumbSize)
                                            : juce::Rectangle<int> (thumbStartPosition, y, thumbSize, height))
                           .toFloat()
                           .reduced (2.0f);
    g.setColour (juce::Colour (isMouseOver || isMouseDown ? scrollThumbHot : scrollThumb));
    g.fillRoundedRectangle (thumb, juce::jmin (thumb.getWidth(), thumb.getHeight()) * 0.5f);
}

//==============================================================================
void PellmixLookAndFeel::drawTooltip (juce::Graphics& g, const juce::String& text, int width, int height)
{
    g.fillAll (juce::Colour (0xffffffff));

    juce::AttributedString attributed;
    attributed.setJustification (juce::Justification::centred);
    attributed.append (text, juce::Font (13.0f, juce::Font::bold),
                       findColour (juce::TooltipWindow::textColourId));

    juce::TextLayout layout;
    layout.createLayoutWithBalancedLineLengths (attributed, 400.0f);
    layout.draw (g, juce::Rectangle<float> ((float)width, (float)height));
}

//==============================================================================
juce::Font PellmixLookAndFeel::getMenuBarFont (juce::MenuBarComponent&, int, const juce::String&)
{
    return juce::Font (getLabelTypeface()).withHeight (menuBarFontHeight);
}

void PellmixLookAndFeel::drawMenuBarBackground (juce::Graphics& g, int width, int height, bool,
                                                juce::MenuBarComponent&)
{
    g.setGradientFill (juce::ColourGradient (juce::Colour (menuBarTop), 0.0f, 0.0f,
                                             juce::Colour (menuBarBottom), 0.0f, (float)height, false));
    g.fillAll();
    g.setColour (juce::Colour (menuBarEdge));
    g.fillRect (0, height - 1, width, 1);
}

void PellmixLookAndFeel::drawMenuBarItem (juce::Graphics& g, int width, int height, int itemIndex,
                                          const juce::String& itemText, bool isMouseOverItem, bool isMenuOpen,
                                          bool isMouseOverBar, juce::MenuBarComponent& bar)
{
    if (isMenuOpen || (isMouseOverItem && isMouseOverBar))
    {
        g.setColour (juce::Colour (menuHover));
        g.fillRect (0, 0, width, height - 1);
    }
    if (isMenuOpen)
    {
        g.setColour (juce::Colour (menuAccent));
        g.fillRect (0, height - 3, width, 2);
    }
    g.setColour (juce::Colour (menuText));
    g.setFont (getMenuBarFont (bar, itemIndex, itemText));
    g.drawFittedText (itemText, 0, 0, width, height, juce::Justification::centred, 1);
}

juce::Font PellmixLookAndFeel::getPopupMenuFont()
{
    return juce::Font (getLabelTypeface()).withHeight (popupMenuFontHeight);
}

void PellmixLookAndFeel::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    g.fillAll (juce::Colour (popupBackground));
    g.setColour (juce::Colour (popupBorder));
    g.drawRect (0, 0, width, height, 1);
}

void PellmixLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area,
                                            bool isSeparator, bool isActive, bool isHighlighted,
                                            bool isTicked, bool hasSubMenu, const juce::String& text,
                                            const juce::String& shortcutKeyText, const juce::Drawable* icon,
                                            const juce::Colour* textColour)
{
    if (isSeparator)
    {
        g.setColour (juce::Colour (popupBorder));
        g.fillRect (area.reduced (8, 0).withTrimmedTop (area.getHeight() / 2).withHeight (1));
        return;
    }

    auto r = area.reduced (1);
    const bool lit = isHighlighted && isActive;
    if (lit)
    {
        g.setColour (juce::Colour (menuAccent));
        g.fillRect (r);
    }
    auto colour = lit ? juce::Colour (menuHighlightedText)
                      : (textColour != nullptr ? *textColour : juce::Colour (menuText));
    g.setColour (isActive ? colour : colour.withMultipliedAlpha (0.4f));

    auto font = getPopupMenuFont();
    font.setHeight (juce::jmin (font.getHeight(), (float)area.getHeight() / 1.3f));
    g.setFont (font);

    const auto iconArea = r.removeFromLeft (r.getHeight() * 5 / 4).reduced (4).toFloat();
    if (icon != nullptr)
        icon->drawWithin (g, iconArea, juce::RectanglePlacement::centred, 1.0f);
    else if (isTicked)
    {
        const auto tick = getTickShape (1.0f);
        if (!lit)
            g.setColour (juce::Colour (menuAccent));
        g.fillPath (tick, tick.getTransformToScaleToFit (iconArea, true));
        g.setColour (isActive ? colour : colour.withMultipliedAlpha (0.4f));
    }

    if (hasSubMenu)
    {
        const auto arrow = 0.6f * font.getAscent();
        const auto x = (float)r.removeFromRight ((int)arrow + 6).getX();
        const auto y = (float)r.getCentreY();
        juce::Path p;
        p.addTriangle (x, y - arrow * 0.5f, x, y + arrow * 0.5f, x + arrow * 0.6f, y);
        g.fillPath (p);
    }

    r.removeFromRight (4);
    g.drawFittedText (text, r, juce::Justification::centredLeft, 1);
    if (shortcutKeyText.isNotEmpty())
    {
        g.setFont (font.withHeight (font.getHeight() * 0.75f));
        g.drawText (shortcutKeyText, r, juce::Justification::centredRight, true);
    }
}

//==============================================================================
PellmixAlertLookAndFeel* PellmixAlertLookAndFeel::getInstance()
{
    static PellmixAlertLookAndFeel instance;
    return &instance;
}

PellmixAlertLookAndFeel::PellmixAlertLookAndFeel()
{
    using L = PellmixLookAndFeel;
    setColour (juce::AlertWindow::backgroundColourId, juce::Colour (L::popupBackground));
    setColour (juce::AlertWindow::textColourId, juce::Colour (L::menuText));
    setColour (juce::AlertWindow::outlineColourId, juce::Colour (L::popupBorder));
}

void PellmixAlertLookAndFeel::drawAlertBox (juce::Graphics& g, juce::AlertWindow& alert,
                                            const juce::Rectangle<int>&, juce::TextLayout& textLayout)
{
    const auto bounds = alert.getLocalBounds();
    g.fillAll (alert.findColour (juce::AlertWindow::backgroundColourId));
    g.setColour (alert.findColour (juce::AlertWindow::outlineColourId));
    g.drawRect (bounds, 2);

    const auto kind = alert.getAlertType();
    if (kind != juce::MessageBoxIconType::NoIcon)
    {
        const auto area = iconArea().toFloat();
        juce::Path icon;
        char mark = '!';
        if (kind == juce::MessageBoxIconType::WarningIcon)
        {
            icon.addTriangle (area.getCentreX(), area.getY(), area.getRight(), area.getBottom(), area.getX(),
                              area.getBottom());
            icon = icon.createPathWithRoundedCorners (5.0f);
        }
        else
        {
            icon.addEllipse (area);
            mark = kind == juce::MessageBoxIconType::InfoIcon ? 'i' : '?';
        }
        // The mark is cut out of the shape, lower in the triangle where it is wider.
        const auto markArea = kind == juce::MessageBoxIconType::WarningIcon
                                  ? area.withTrimmedTop (area.getHeight() * 0.3f)
                                  : area;
        juce::GlyphArrangement glyphs;
        glyphs.addFittedText (juce::Font (markArea.getHeight() * 0.7f, juce::Font::bold),
                              juce::String::charToString ((juce::juce_wchar)mark), markArea.getX(),
                              markArea.getY(), markArea.getWidth(), markArea.getHeight(),
                              juce::Justification::centred, 1);
        glyphs.createPath (icon);
        icon.setUsingNonZeroWinding (false);
        g.setColour (
            juce::Colour (kind == juce::MessageBoxIconType::WarningIcon ? warningColour : infoColour));
        g.fillPath (icon);
    }

    // The text where the framework's own drawing puts it: right of the icon space, below the top.
    const int iconSpace = kind == juce::MessageBoxIconType::NoIcon ? 0 : 80;
    g.setColour (alert.findColour (juce::AlertWindow::textColourId));
    textLayout.draw (g, juce::Rectangle<int> (1 + iconSpace, 30, bounds.getWidth() - 2 - iconSpace,
                                              bounds.getHeight() - getAlertWindowButtonHeight() - 20)
                            .toFloat());
}
