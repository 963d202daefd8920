#include "ui/PellmixEq.h"

#include "BinaryData.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixPictures.h"

namespace
{
PellmixProject& project()
{
    return PellmixConfig::getInstance()->project;
}

// The help text, drawn as its own line breaks divide it and never wrapped: every line in the
// label's font, all squeezed by one horizontal scale when the widest would not fit the text area.
// (The framework wraps a text with line breaks at the label's width, which left "=" alone on a
// line, and its minimum horizontal scale applies only to text without line breaks.)
class HelpLabel : public juce::Label
{
public:
    using juce::Label::Label;

    void paint (juce::Graphics& g) override
    {
        auto lineFont = getLookAndFeel().getLabelFont (*this);
        const auto area = getBorderSize().subtractedFrom (getLocalBounds()).toFloat();
        const auto lines = juce::StringArray::fromTokens (getText(), "\r\n", {});
        float widest = 0.0f;
        for (const auto& line : lines)
            widest = juce::jmax (widest, lineFont.getStringWidthFloat (line.trim()));
        if (widest > area.getWidth())
            lineFont.setHorizontalScale (area.getWidth() / widest);

        g.setFont (lineFont);
        g.setColour (findColour (textColourId));
        auto row = area.withHeight (lineFont.getHeight());
        for (const auto& line : lines)
        {
            g.drawText (line.trim(), row, getJustificationType().getOnlyHorizontalFlags(), false);
            row.translate (0.0f, lineFont.getHeight());
        }
    }
};
} // namespace

const char* const PellmixEq::bandFrequencies[numBands] = {
    "20",   "25",   "31.5", "40",   "50",   "63",    "80",    "100",   "125",  "160",  "200",
    "250",  "315",  "400",  "500",  "630",  "800",   "1000",  "1250",  "1600", "2000", "2500",
    "3150", "4000", "5000", "6300", "8000", "10000", "12500", "16000", "20000"};

// The fast-reset key is Command on macOS and Ctrl elsewhere (juce::ModifierKeys::commandModifier).
#if JUCE_MAC
const char* const PellmixEq::helpText = "Shift + Hover = Fast Edit\r\rCmd + Hover =\r Fast Reset";
#else
const char* const PellmixEq::helpText = "Shift + Hover = Fast Edit\r\rCtrl + Hover =\r Fast Reset";
#endif

PellmixEq::PellmixEq()
{
    for (int i = 0; i < numBands; ++i)
    {
        bandSliders.add (new PellmixSlider (juce::String()));
        bandLabels.add (new juce::Label());
    }

    setLookAndFeel (PellmixLookAndFeel::getInstance());
    project().eqOn = true;

    helpLabel = std::make_unique<HelpLabel> ("Phase Label", helpText);
    addAndMakeVisible (helpLabel.get());
    helpLabel->setJustificationType (juce::Justification::centredTop);
    helpLabel->setFont (helpLabel->getFont().withHeight (helpFontHeight));

    eqButton = std::make_unique<juce::ImageButton> (juce::String());
    addAndMakeVisible (eqButton.get());
    eqButton->addListener (this);
    setSwitchLook (true);
    eqButton->setTooltip ("Enable graphic EQ");

    eqLabel = std::make_unique<juce::Label> ("EQ label", "EQ");
    addAndMakeVisible (eqLabel.get());
    eqLabel->setJustificationType (juce::Justification::centred);
    eqLabel->setFont (eqLabel->getFont().withHeight (35.0f));
    eqLabel->setColour (juce::Label::textColourId, juce::Colours::white);

    for (int i = 0; i < 2; ++i)
    {
        auto* label = dbLabels.add (new juce::Label ("dB label", "- dB -"));
        addAndMakeVisible (label);
        label->setJustificationType (juce::Justification::centred);
        label->setFont (label->getFont().withHeight (12.0f));
        label->setVisible (false);
    }

    for (int i = 0; i < numBands; ++i)
    {
        auto& label = *bandLabels[i];
        label.setName ("EQ Label");
        label.setFont (label.getFont().withHeight (10.0f));
        label.setJustificationType (juce::Justification::centred);
        addAndMakeVisible (label);

        auto& band = *bandSliders[i];
        band.addListener (this);
        band.addMouseListener (this, false);
        band.setName (PellmixLookAndFeel::eqSliderName);
        band.setRange (PellmixRanges::gainMinDb, PellmixRanges::gainMaxDb, 1.0);
        band.setSliderStyle (juce::Slider::LinearVertical);
        band.setTextBoxStyle (juce::Slider::TextBoxBelow, true, 40, 12);
        addAndMakeVisible (band);
    }

    for (int i = 0; i < numBands; ++i)
        bandLabels[i]->setText (bandFrequencies[i], juce::dontSendNotification);
    background = PELLMIX_PICTURE (eq_background_jpg);
    startTimer (timerIntervalMs);
    setSize (1212, 120);
}

PellmixEq::~PellmixEq()
{
    stopTimer();
    eqButton.reset();
    helpLabel.reset();
    eqLabel.reset();
    dbLabels.clear();
    bandLabels.clear();
    bandSliders.clear();
    setLookAndFeel (nullptr);
}

void PellmixEq::resized()
{
    eqLabel->setBounds (2, 30, 105, 70);
    dbLabels[0]->setBounds (112, 105, 36, 10);
    dbLabels[1]->setBounds (1068, 105, 36, 10);
    helpLabel->setBounds (1080, 20, 100, 100);
    eqButton->setBounds (15, 2, 30, 22);
    for (int i = 0; i < numBands; ++i)
    {
        bandSliders[i]->setBounds (150 + 30 * i, 5, 26, 112);
        bandLabels[i]->setBounds (140 + 30 * i, 105, 36, 10);
    }
}

void PellmixEq::paint (juce::Graphics& g)
{
    g.drawImageAt (background, 0, 0);
}

void PellmixEq::blend()
{
    auto& p = project();
    PellmixConfig::getInstance()->engine.blend (p.eqGainsDb, true, p.eqOn);
}

void PellmixEq::sliderValueChanged (juce::Slider*)
{
    auto& p = project();
    for (int i = 0; i < numBands; ++i)
        p.eqGainsDb[i] = (float)bandSliders[i]->getValue();
    blend();
}

void PellmixEq::setSwitchLook (bool on)
{
    const auto normal = on ? PELLMIX_PICTURE (eq_switch_on_png) : PELLMIX_PICTURE (eq_switch_off_png);
    const auto pressed =
        on ? PELLMIX_PICTURE (eq_switch_on_pressed_png) : PELLMIX_PICTURE (eq_switch_off_pressed_png);
    setButtonFaces (*eqButton, normal, normal, pressed, opaqueScaledFaces);
}

void PellmixEq::buttonClicked (juce::Button* button)
{
    if (button != eqButton.get())
        return;
    auto& p = project();
    p.eqOn = !p.eqOn;
    setSwitchLook (p.eqOn);
    blend();
}

void PellmixEq::mouseMove (const juce::MouseEvent& e)
{
    const int band = bandSliders.indexOf (dynamic_cast<PellmixSlider*> (e.eventComponent));
    if (band < 0)
        return;

    const auto mods = juce::ModifierKeys::getCurrentModifiers();
    if (mods.isShiftDown())
        bandSliders[band]->setValue (-(((double)e.getPosition().y / 100.0) * 24.0 - 12.0),
                                     juce::sendNotificationAsync);
    else if (mods.isCommandDown())
        bandSliders[band]->setValue (0.0, juce::sendNotificationAsync);
}

void PellmixEq::timerCallback()
{
    auto& p = project();
    if (p.eqChanged)
    {
        for (int i = 0; i < numBands; ++i)
            bandSliders[i]->setValue (p.eqGainsDb[i], juce::dontSendNotification);
        p.eqChanged = false;
        // The switch shows the state the loaded project brought.
        setSwitchLook (p.eqOn);
        blend();
    }
    for (auto* band : bandSliders)
        band->setValueShown (false);
}
