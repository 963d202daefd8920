// The graphic-EQ strip: its layout and texts, hover editing with Shift and Ctrl, the band values
// reaching the blend, the switch, and a loaded project's gains taken over by its timer.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "IrPanelTestSupport.h"

using namespace irpanel_test;

namespace
{
struct ChangeCounter : juce::Slider::Listener
{
    void sliderValueChanged (juce::Slider*) override { ++changes; }
    int changes = 0;
};

class EqPanelTest : public IrPanelTest
{
protected:
    PellmixEq& eq() { return panel->getEq(); }
    // A point of band slider `band`, in its own coordinates, as a panel point.
    juce::Point<float> onBand (int band, int y)
    {
        return panel->getLocalPoint (&eq().getBandSlider (band), juce::Point<int> (13, y)).toFloat();
    }

    // The blend a fresh engine makes from slot 0's file and record with these gains and switch.
    std::vector<float> referenceBlend (const float* gains, bool eqOn)
    {
        PellmixEngine reference;
        reference.initialise();
        const auto r = record (0);
        EXPECT_TRUE (reference.loadIr (0, r.path));
        reference.setIrParameters (0, r.length, r.offset, r.phase, r.invert, r.gain);
        reference.blend (gains, true, eqOn);
        return sumBand0 (reference);
    }

    std::vector<float> sliderGains()
    {
        std::vector<float> g;
        for (int i = 0; i < PellmixEq::numBands; ++i)
            g.push_back ((float)eq().getBandSlider (i).getValue());
        return g;
    }

    void expectSwitchLook (bool on)
    {
        auto& b = eq().getEqButton();
        const auto normal = on ? PELLMIX_PICTURE (eq_switch_on_png) : PELLMIX_PICTURE (eq_switch_off_png);
        const auto pressed =
            on ? PELLMIX_PICTURE (eq_switch_on_pressed_png) : PELLMIX_PICTURE (eq_switch_off_pressed_png);
        EXPECT_EQ (ui_test::differingPixels (b.getNormalImage(), normal), 0);
        EXPECT_EQ (ui_test::differingPixels (b.getOverImage(), normal), 0);
        EXPECT_EQ (ui_test::differingPixels (b.getDownImage(), pressed), 0);
    }

    const juce::ModifierKeys shift{juce::ModifierKeys::shiftModifier};
    const juce::ModifierKeys command{juce::ModifierKeys::commandModifier};
};
} // namespace

TEST_F (EqPanelTest, BandsLabelsAndTexts)
{
    for (int i = 0; i < PellmixEq::numBands; ++i)
    {
        SCOPED_TRACE (i);
        auto& band = eq().getBandSlider (i);
        EXPECT_EQ (band.getName(), "EQ Slider");
        EXPECT_EQ (band.getBounds(), juce::Rectangle<int> (150 + 30 * i, 5, 26, 112));
        EXPECT_EQ (band.getMinimum(), -12.0);
        EXPECT_EQ (band.getMaximum(), 12.0);
        EXPECT_EQ (band.getInterval(), 1.0);
        EXPECT_EQ (band.getSliderStyle(), juce::Slider::LinearVertical);
        EXPECT_TRUE (band.isTextBoxEditable() == false);
        auto& label = eq().getBandLabel (i);
        EXPECT_EQ (label.getName(), "EQ Label");
        EXPECT_EQ (label.getText(), PellmixEq::bandFrequencies[i]);
        EXPECT_EQ (label.getBounds(), juce::Rectangle<int> (140 + 30 * i, 105, 36, 10));
    }
    EXPECT_EQ (eq().getBandLabel (0).getText(), "20");
    EXPECT_EQ (eq().getBandLabel (30).getText(), "20000");
    EXPECT_EQ (eq().getEqLabel().getText(), "EQ");
    EXPECT_EQ (eq().getEqLabel().findColour (juce::Label::textColourId), juce::Colours::white);
    EXPECT_FALSE (eq().getDbLabel (0).isVisible() || eq().getDbLabel (1).isVisible());
    EXPECT_EQ (eq().getEqButton().getTooltip(), "Enable graphic EQ");
    EXPECT_EQ (eq().getEqButton().getBounds(), juce::Rectangle<int> (15, 2, 30, 22));
    // The fast-reset key is named as this platform has it.
    EXPECT_EQ (eq().getHelpLabel().getText(), "Shift + Hover = Fast Edit\r\rCtrl + Hover =\r Fast Reset");
    EXPECT_TRUE (project().eqOn);
    expectSwitchLook (true);
}

TEST_F (EqPanelTest, HelpTextShowsItsOwnLinesOnly)
{
    // The label drawn alone: rows of dark ink grouped into the lines it shows.
    auto& help = eq().getHelpLabel();
    const auto image = ui_test::snapshot (help);
    const auto area = help.getBorderSize().subtractedFrom (help.getLocalBounds());
    std::vector<std::pair<int, int>> lines; // first and last row of each line of ink
    int left = image.getWidth(), right = -1;
    for (int y = 0; y < image.getHeight(); ++y)
    {
        bool ink = false;
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto c = image.getPixelAt (x, y);
            if (c.getAlpha() > 128 && c.getBrightness() < 0.5f)
            {
                ink = true;
                left = std::min (left, x);
                right = std::max (right, x);
            }
        }
        if (ink && (lines.empty() || lines.back().second < y - 1))
            lines.push_back ({y, y});
        else if (ink)
            lines.back().second = y;
    }
    // "Shift + Hover = Fast Edit", an empty line, "Ctrl + Hover =" and "Fast Reset": nothing wraps.
    ASSERT_EQ (lines.size(), 3u);
    EXPECT_GT (lines[1].first - lines[0].second, 2 * (lines[2].first - lines[1].second)) << "the empty line";
    EXPECT_GE (left, area.getX());
    EXPECT_LT (right, area.getRight());
    EXPECT_GT (right - left, area.getWidth() * 3 / 4) << "the widest line fills the box's width";
}

TEST_F (EqPanelTest, ShiftHoverPaintsTheBandAndCtrlHoverResetsIt)
{
    struct Case
    {
        const char* name;
        int band, y;
        juce::ModifierKeys mods;
        double expected;
    };
    const auto both = shift.withFlags (juce::ModifierKeys::commandModifier);
    const Case cases[] = {
        {"shift at 25 gives +6", 5, 25, shift, 6.0},
        {"shift at the top gives +12", 5, 0, shift, 12.0},
        {"shift at 50 gives 0", 7, 50, shift, 0.0},
        {"shift at 99 gives -12", 7, 99, shift, -12.0},
        {"shift at 37 gives 3.12, rounded to 3", 9, 37, shift, 3.0},
        {"no key changes nothing", 9, 80, {}, 3.0},
        {"ctrl resets", 5, 80, command, 0.0},
        {"shift wins over ctrl", 9, 10, both, 10.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        screen->move (onBand (c.band, c.y), c.mods);
        pump (30); // the band's asynchronous change
        EXPECT_EQ (eq().getBandSlider (c.band).getValue(), c.expected);
        EXPECT_EQ (std::vector<float> (project().eqGainsDb, project().eqGainsDb + 31), sliderGains());
    }
}

TEST_F (EqPanelTest, ShiftOverAnythingButABandChangesNothing)
{
    const juce::Point<int> places[] = {
        {40, 60},   // the caption
        {1120, 60}, // the help text
        {148, 60},  // between the caption and band 0
        {300, 2},   // above the bands
    };
    for (auto p : places)
    {
        screen->move (panel->getLocalPoint (&eq(), p).toFloat(), shift);
        pump (30);
    }
    EXPECT_EQ (sliderGains(), std::vector<float> (31, 0.0f));
}

TEST_F (EqPanelTest, BandChangesReachTheBlendWithAllGains)
{
    loadInto (0, someIr ("eq.wav"));
    screen->wheel (onBand (3, 50), 1.0f);
    screen->wheel (onBand (3, 50), 1.0f);
    screen->wheel (onBand (20, 50), -1.0f);
    auto gains = sliderGains();
    EXPECT_EQ (gains[3], 2.0f);
    EXPECT_EQ (gains[20], -1.0f);
    EXPECT_EQ (std::vector<float> (project().eqGainsDb, project().eqGainsDb + 31), gains);
    EXPECT_EQ (sumBand0 (engine()), referenceBlend (gains.data(), true));

    // Hover editing reaches the blend too.
    screen->move (onBand (30, 0), shift);
    pump (30);
    gains = sliderGains();
    EXPECT_EQ (gains[30], 12.0f);
    EXPECT_EQ (sumBand0 (engine()), referenceBlend (gains.data(), true));
}

TEST_F (EqPanelTest, SwitchTurnsTheEqOffAndOnKeepingTheGains)
{
    loadInto (0, someIr ("switch.wav"));
    screen->wheel (onBand (10, 50), 1.0f);
    screen->wheel (onBand (10, 50), 1.0f);
    const auto gains = sliderGains();
    const auto withEq = sumBand0 (engine());

    click (eq().getEqButton());
    EXPECT_FALSE (project().eqOn);
    expectSwitchLook (false);
    EXPECT_EQ (sumBand0 (engine()), referenceBlend (gains.data(), false));
    EXPECT_NE (sumBand0 (engine()), withEq);
    EXPECT_EQ (sliderGains(), gains);

    click (eq().getEqButton());
    EXPECT_TRUE (project().eqOn);
    expectSwitchLook (true);
    EXPECT_EQ (sumBand0 (engine()), withEq);
}

TEST_F (EqPanelTest, TimerTakesOverALoadedProjectOnceAndQuietly)
{
    loadInto (0, someIr ("project.wav"));
    ChangeCounter counter;
    for (int i = 0; i < PellmixEq::numBands; ++i)
        eq().getBandSlider (i).addListener (&counter);

    std::vector<float> loaded (31);
    for (int i = 0; i < 31; ++i)
        loaded[(size_t)i] = (float)((i * 7) % 25 - 12);
    std::copy (loaded.begin(), loaded.end(), project().eqGainsDb);
    project().eqOn = false;
    project().eqChanged = true;

    const auto sumTime = engine().getSum().changedTime;
    juce::Thread::sleep (2);
    eq().timerCallback();
    EXPECT_EQ (sliderGains(), loaded);
    EXPECT_FALSE (project().eqChanged);
    EXPECT_EQ (counter.changes, 0) << "no band sends its own change";
    EXPECT_GT (engine().getSum().changedTime, sumTime);
    EXPECT_EQ (sumBand0 (engine()), referenceBlend (loaded.data(), false));
    expectSwitchLook (false);

    // Nothing more happens on the next ticks.
    const auto afterTime = engine().getSum().changedTime;
    juce::Thread::sleep (2);
    eq().timerCallback();
    EXPECT_EQ (engine().getSum().changedTime, afterTime);

    for (int i = 0; i < PellmixEq::numBands; ++i)
        eq().getBandSlider (i).removeListener (&counter);
}

TEST_F (EqPanelTest, ValueBoxHidesAtTheNextTickAfterTheMouseLeft)
{
    auto& band = eq().getBandSlider (12);
    screen->move (onBand (12, 40));
    ASSERT_NE (band.getValueBox(), nullptr);
    EXPECT_TRUE (band.getValueBox()->isVisible());
    screen->move (onBand (12, 40) + juce::Point<float> (0.0f, -60.0f)); // above the strip
    eq().timerCallback();
    EXPECT_FALSE (band.getValueBox()->isVisible());
}
