// The level meter: values fed in dB and percent mode (tables), the fall per timer tick, the peak
// reset by a click on the bar, and what is drawn.
#include "UiTestSupport.h"
#include "ui/VuMeterComponent.h"

#include <cmath>
#include <vector>

using ui_test::OnScreen;

namespace
{
struct Feed
{
    bool andPeak; // setLevelAndPeak, else setLevel
    double value;
};

struct MeterCase
{
    const char* name;
    bool dbMode;
    std::vector<Feed> feeds;
    double level, peak;
    const char* readout;
    float filled; // bar width covered by the level
};

double db (double x)
{
    return 20.0 * std::log10 (x);
}

const double minus6 = db (0.5); // -6.0206
} // namespace

TEST (VuMeter, FedValuesSetLevelPeakReadoutAndBar)
{
    const MeterCase cases[] = {
        {"new dB meter", true, {}, -96.0, -96.0, "-96 dB", 0.0f},
        {"half scale", true, {{false, 0.5}}, minus6, minus6, "-6.02 dB", 179.9588f},
        {"negative sample", true, {{false, -0.5}}, minus6, minus6, "-6.02 dB", 179.9588f},
        {"a tiny value floors at -96", true, {{false, 1.0e-7}}, -96.0, -96.0, "-96 dB", 0.0f},
        {"zero empties at once, peak holds",
         true,
         {{false, 0.5}, {false, 0.0}},
         -96.0,
         minus6,
         "-6.02 dB",
         0.0f},
        {"full scale leaves the level",
         true,
         {{false, 0.5}, {false, 1.0}},
         minus6,
         minus6,
         "-6.02 dB",
         179.9588f},
        {"above full scale leaves the level", true, {{false, 2.5}}, -96.0, -96.0, "-96 dB", 0.0f},
        {"quieter value keeps level and peak",
         true,
         {{false, 0.5}, {false, 0.25}},
         minus6,
         minus6,
         "-6.02 dB",
         179.9588f},
        {"a readout of five characters",
         true,
         {{false, std::pow (10.0, -12.3457 / 20.0)}},
         -12.3457,
         -12.3457,
         "-12.3 dB",
         167.3086f},
        {"whole dB", true, {{true, std::pow (10.0, -6.0 / 20.0)}}, -6.0, -6.0, "-6 dB", 180.0f},
        {"full scale with peak", true, {{true, 1.0}}, 0.0, 0.0, "CLIP", 192.0f},
        {"full scale, negative", true, {{true, -1.5}}, 0.0, 0.0, "CLIP", 192.0f},
        {"peak follows down", true, {{false, 0.5}, {true, 0.0}}, -96.0, -96.0, "-96 dB", 0.0f},
        {"peak follows the level, not the value",
         true,
         {{false, 0.5}, {true, 0.25}},
         minus6,
         minus6,
         "-6.02 dB",
         179.9588f},
        {"percent", false, {{false, 42.0}}, 42.0, 42.0, "42 %", 80.0f},
        {"percent, fractional", false, {{false, 33.3}}, 33.3, 33.3, "33.3 %", 63.0f},
        {"percent full", false, {{false, 100.0}}, 100.0, 100.0, "100 %", 192.0f},
        {"percent zero", false, {{false, 0.0}}, 0.0, 0.0, "", 0.0f},
        {"percent above 100 is kept at 100", false, {{false, 150.0}}, 100.0, 100.0, "100 %", 192.0f},
        {"percent below 0 is kept at 0", false, {{false, -2.0}}, 0.0, 0.0, "", 0.0f},
        {"percent peak keeps the largest", false, {{false, 60.0}, {false, 10.0}}, 10.0, 60.0, "10 %", 19.0f},
        {"percent peak follows", false, {{false, 60.0}, {true, 10.0}}, 10.0, 10.0, "10 %", 19.0f},
        {"new percent meter", false, {}, -96.0, -96.0, "", 0.0f},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        VuMeterComponent meter (c.dbMode);
        meter.setSize (300, 16);
        for (const auto& f : c.feeds)
            f.andPeak ? meter.setLevelAndPeak (f.value) : meter.setLevel (f.value);
        EXPECT_NEAR (meter.getLevel(), c.level, 1.0e-4);
        EXPECT_NEAR (meter.getPeak(), c.peak, 1.0e-4);
        EXPECT_EQ (meter.getReadout(), c.readout);
        EXPECT_NEAR (meter.getFilledWidth(), c.filled, 1.0e-3f);
    }
}

TEST (VuMeter, LevelFallsOneDbPerTickAndClipHoldsUntilANewValue)
{
    VuMeterComponent meter (true);
    meter.setLevelAndPeak (1.0);
    meter.timerCallback();
    EXPECT_EQ (meter.getLevel(), -1.0);
    EXPECT_EQ (meter.getReadout(), "CLIP") << "the peak holds until a value is fed";
    meter.setLevelAndPeak (0.25); // quieter than the falling level: the level stands
    EXPECT_EQ (meter.getLevel(), -1.0);
    EXPECT_EQ (meter.getReadout(), "-1 dB");

    for (int tick = 2; tick <= 96; ++tick)
        meter.timerCallback();
    EXPECT_EQ (meter.getLevel(), -96.0);
    meter.timerCallback();
    EXPECT_EQ (meter.getLevel(), -96.0);

    VuMeterComponent percent (false);
    percent.setLevel (50.0);
    percent.timerCallback();
    EXPECT_EQ (percent.getLevel(), 50.0);
}

// Each tick repaints while the shown values change; a tick that finds nothing new stops the timer
// without a repaint, and a value that changes the level or the peak starts it again at the
// owner's period. A value that changes nothing leaves it resting.
TEST (VuMeter, TimerRestsWhileNothingChangesAndRunsAgainOnANewValue)
{
    struct RestCase
    {
        const char* name;
        bool dbMode;
        int periodMs;
        double value;        // fed before the ticks
        int repaintingTicks; // ticks that draw something new
        double unchangedValue, newValue;
    };
    const RestCase cases[] = {
        {"dB meter falling from -6 dB", true, 30, 0.5, 90, 1.0e-7, 0.25},
        {"dB meter at the floor", true, 30, 1.0e-7, 0, 0.0, 0.5},
        {"percent meter", false, 200, 40.0, 1, 40.0, 41.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        juce::Component parent;
        parent.setVisible (true);
        VuMeterComponent meter (c.dbMode);
        parent.addAndMakeVisible (meter);
        auto& repaints = ui_test::RepaintCounter::attach (meter);
        meter.startTimer (c.periodMs);
        meter.setLevel (c.value);

        for (int tick = 1; tick <= c.repaintingTicks; ++tick)
            meter.timerCallback();
        EXPECT_EQ (repaints.requests, c.repaintingTicks);
        EXPECT_TRUE (meter.isTimerRunning());
        meter.timerCallback();
        EXPECT_EQ (repaints.requests, c.repaintingTicks) << "nothing new, nothing drawn";
        EXPECT_FALSE (meter.isTimerRunning());

        meter.setLevel (c.unchangedValue);
        EXPECT_FALSE (meter.isTimerRunning()) << "a value that changes nothing";
        meter.setLevel (c.newValue);
        EXPECT_TRUE (meter.isTimerRunning());
        EXPECT_EQ (meter.getTimerInterval(), c.periodMs);
        meter.timerCallback();
        EXPECT_EQ (repaints.requests, c.repaintingTicks + 1);
        meter.stopTimer();
    }
}

TEST (VuMeter, AClickOnTheBarResetsThePeakAndOneOnTheReadoutDoesNot)
{
    ASSERT_TRUE (ui_test::processDisplay().started());
    VuMeterComponent meter (true);
    meter.setSize (300, 16);
    OnScreen screen (meter);

    struct ClickCase
    {
        float x;
        bool resets;
    };
    for (const auto& c : {ClickCase{193.0f, false}, ClickCase{192.0f, true}, ClickCase{20.0f, true},
                          ClickCase{290.0f, false}})
    {
        SCOPED_TRACE (c.x);
        meter.setLevel (0.5);
        ASSERT_NEAR (meter.getPeak(), minus6, 1.0e-4);
        screen.click ({c.x, 8.0f});
        EXPECT_EQ (meter.getPeak() == -96.0, c.resets);
        EXPECT_EQ (meter.getReadout() == "-96 dB", c.resets);
        meter.setLevelAndPeak (0.0);
    }
}

TEST (VuMeter, DrawsTheBarOutlineAndReadout)
{
    const juce::Colour darkGrey (0xff555555);
    auto colourAt = [] (const juce::Image& image, int x, int y) { return image.getPixelAt (x, y); };
    auto blackInReadout = [] (const juce::Image& image)
    {
        int n = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 200; x < image.getWidth(); ++x)
                if (image.getPixelAt (x, y).getBrightness() < 0.3f &&
                    image.getPixelAt (x, y).getAlpha() > 200)
                    ++n;
        return n;
    };

    VuMeterComponent meter (true);
    meter.setSize (300, 16);
    auto empty = ui_test::snapshot (meter);
    EXPECT_EQ (colourAt (empty, 10, 7), darkGrey);
    EXPECT_EQ (colourAt (empty, 0, 7), juce::Colours::black); // the outline
    EXPECT_EQ (colourAt (empty, 191, 7), juce::Colours::black);
    EXPECT_EQ (colourAt (empty, 100, 15).getAlpha(), 0) << "the last row is left clear";
    EXPECT_GT (blackInReadout (empty), 20) << "the readout is drawn";

    meter.setLevel (0.5); // filled to 179.96
    auto half = ui_test::snapshot (meter);
    const auto low = colourAt (half, 10, 7), mid = colourAt (half, 160, 7), high = colourAt (half, 178, 7);
    EXPECT_GT (low.getGreen(), 200);
    EXPECT_LT (low.getRed(), 170) << "light green at the left";
    EXPECT_GT (mid.getRed(), 230);
    EXPECT_GT (mid.getGreen(), 230) << "yellow near -12 dB";
    EXPECT_GT (high.getRed(), 230);
    EXPECT_LT (high.getGreen(), 200) << "towards red above -12 dB";
    EXPECT_EQ (colourAt (half, 182, 7), darkGrey);

    VuMeterComponent percent (false);
    percent.setSize (300, 16);
    percent.setLevel (42.0); // 80 pixels
    auto bar = ui_test::snapshot (percent);
    EXPECT_GT (colourAt (bar, 40, 7).getBrightness(), 0.9f);
    EXPECT_EQ (colourAt (bar, 81, 7), darkGrey);
    EXPECT_GT (blackInReadout (bar), 20);
    percent.setLevel (0.0);
    EXPECT_EQ (blackInReadout (ui_test::snapshot (percent)), 0) << "no readout at 0";
}
