#pragma once
#include <juce_gui_basics/juce_gui_basics.h>

// The one look-and-feel of the panels: sliders drawn by their component names (picture tracks and
// thumbs, a film-strip knob, colour bars in configured colours), labels, combo boxes and slider
// value boxes in the two embedded typefaces, tooltips as dark text on a white box. Everything else
// is LookAndFeel_V2's.
//
// Threads: message thread only (drawing and component creation). The instance is a function-local
// static created on the first getInstance(), after PellmixConfig exists; it is destroyed at exit,
// after every component that uses it.
class PellmixLookAndFeel : public juce::LookAndFeel_V2
{
public:
    // Component names that select a drawing (compared whole and case-sensitive; the rotary name
    // is a prefix).
    static constexpr const char* eqSliderName = "EQ Slider";
    static constexpr const char* irGainSliderName = "Ir Gain Slider";
    static constexpr const char* playerGainSliderName = "Player Gain Slider";
    static constexpr const char* playerProgressSourceName = "Player Progress Slider Source";
    static constexpr const char* playerProgressTargetName = "Player Progress Slider Target";
    static constexpr const char* rotarySliderPrefix = "Rotary Slider";

    static constexpr float defaultFontHeight = 14.0f;
    static constexpr float comboBoxFontHeight = 22.0f;
    static constexpr float valueBoxFontHeight = 11.0f;

    static PellmixLookAndFeel* getInstance();
    ~PellmixLookAndFeel() override;

    juce::Font getComboBoxFont (juce::ComboBox&) override;
    juce::Label* createComboBoxTextBox (juce::ComboBox&) override;
    juce::Font getLabelFont (juce::Label&) override;
    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                     float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                     juce::Slider&) override;
    void drawLinearSliderThumb (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                juce::Slider&) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;
    void drawTooltip (juce::Graphics&, const juce::String& text, int width, int height) override;

    // The main window's menu bar and its pop-up menus, in the panels' dark look and label
    // typeface (the window sets this look-and-feel on its menu bar; its menus inherit it).
    juce::Font getMenuBarFont (juce::MenuBarComponent&, int itemIndex, const juce::String& itemText) override;
    void drawMenuBarBackground (juce::Graphics&, int width, int height, bool isMouseOverBar,
                                juce::MenuBarComponent&) override;
    void drawMenuBarItem (juce::Graphics&, int width, int height, int itemIndex, const juce::String& itemText,
                          bool isMouseOverItem, bool isMenuOpen, bool isMouseOverBar,
                          juce::MenuBarComponent&) override;
    juce::Font getPopupMenuFont() override;
    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator,
                            bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                            const juce::String& text, const juce::String& shortcutKeyText,
                            const juce::Drawable* icon, const juce::Colour* textColour) override;
    // Menu colours, ARGB.
    static constexpr juce::uint32 menuBarTop = 0xff2b3037, menuBarBottom = 0xff22262b,
                                  menuBarEdge = 0xff0c0d10, menuText = 0xffe6e9ed, menuHover = 0xff3a4048,
                                  menuAccent = 0xff3fc1c9, menuHighlightedText = 0xff101215,
                                  popupBackground = 0xff1c1f24, popupBorder = 0xff3a3f47;
    static constexpr float menuBarFontHeight = 15.0f;
    static constexpr float popupMenuFontHeight = 16.0f;

    // Scroll bars (the main window's viewport, the playlists): a dark track and a light thumb,
    // wide enough to grab, without arrow buttons.
    int getDefaultScrollbarWidth() override { return scrollBarWidth; }
    bool areScrollbarButtonsVisible() override { return false; }
    void drawScrollbar (juce::Graphics&, juce::ScrollBar&, int x, int y, int width, int height,
                        bool isScrollbarVertical, int thumbStartPosition, int thumbSize, bool isMouseOver,
                        bool isMouseDown) override;
    static constexpr int scrollBarWidth = 14;
    static constexpr juce::uint32 scrollTrack = 0xff15171b, scrollThumb = 0xff8d96a1,
                                  scrollThumbHot = 0xffc3cad2;

    // The two embedded typefaces: labels, and combo boxes and slider value boxes.
    static juce::Typeface::Ptr getLabelTypeface();
    static juce::Typeface::Ptr getValueTypeface();

    // Draws the frame of a vertical film strip (square frames, frame 0 on top) for the slider's
    // value into the square (0, 0, h, h), h the slider's height. Returns false, drawing nothing,
    // when the strip holds no whole frame; an empty value range shows frame 0.
    static bool drawFilmStripFrame (juce::Graphics&, const juce::Image& strip, juce::Slider&);
    // The frame shown for a value: (frames - 1) x (value - min) / (max - min), truncated and kept
    // within 0 .. frames - 1; 0 for an empty or reversed range.
    static int filmStripFrameFor (int frames, double value, double minimum, double maximum);

private:
    PellmixLookAndFeel() = default;

    void drawColourBar (juce::Graphics&, int x, int y, int width, int height, float sliderPos, juce::Slider&,
                        juce::Colour barColour);
    void drawVectorKnob (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                         float rotaryStartAngle, float rotaryEndAngle, juce::Slider&);

    // Pointer width factor of the vector knob; nothing sets it, so that pointer is not seen.
    float knobPointerWidth = 0.0f;

    JUCE_DECLARE_NON_COPYABLE (PellmixLookAndFeel)
};

// The look of the alert boxes (made the default look-and-feel by the application, as boxes are
// built by the default one): the framework's box in the window's dark colours, with its icon
// whole inside the box and drawn after its kind: a warning triangle with "!", an information
// circle with "i", a question circle with "?". Everything else that the default look-and-feel
// draws (file dialogs, call-out boxes) stays the framework's own.
//
// Threads: message thread only. A function-local static like PellmixLookAndFeel.
class PellmixAlertLookAndFeel : public juce::LookAndFeel_V4
{
public:
    static PellmixAlertLookAndFeel* getInstance();

    void drawAlertBox (juce::Graphics&, juce::AlertWindow&, const juce::Rectangle<int>& textArea,
                       juce::TextLayout&) override;

    // Where the icon lies: inside the 80 pixels the box keeps left of its text, clear of the edges.
    static juce::Rectangle<int> iconArea() { return {14, 24, 52, 52}; }
    static constexpr juce::uint32 warningColour = 0xffe8a33d, infoColour = PellmixLookAndFeel::menuAccent;

private:
    PellmixAlertLookAndFeel();

    JUCE_DECLARE_NON_COPYABLE (PellmixAlertLookAndFeel)
};
