// The result plots against their drawing rules: curve positions for an empty and a one-impulse
// blend, the time curve's scaling, NaN handling, the grid rows and frequency lines at their exact
// pixels, the rebuild rule of the 250 ms timer, the rotated captions, the tooltips and the
// repaint on colour changes. Lines are taken from a recording graphics context; pixels from
// snapshots.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "ResultTestSupport.h"
#include "UiTestSupport.h"
#include "ui/PellmixExportBlock.h"
#include "ui/PellmixLookAndFeel.h"

#include <algorithm>
#include <cmath>
#include <limits>

using ui_test::DrawnLine;
using ui_test::OnScreen;

namespace
{
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

enum class Plot
{
    time,
    magnitude,
    phase
};

Plot plotOf (const DrawnLine& l)
{
    const float x = std::min (l.line.getStartX(), l.line.getEndX());
    return x < 420.0f ? Plot::time : (x < 800.0f ? Plot::magnitude : Plot::phase);
}

// The frequency line columns of a spectrum plot, in drawing order, computed in double precision.
std::vector<float> expectedFrequencyColumns (double x0)
{
    std::vector<double> frequencies{100.0, 1000.0, 10000.0};
    for (double decade : {10.0, 100.0, 1000.0})
        for (int m = 3; m <= 9; ++m)
            frequencies.push_back (m * decade);
    std::vector<float> columns;
    for (double f : frequencies)
        columns.push_back ((float)(std::floor (std::log10 (f / 20.0) * 301.0 / 3.0 + x0) + 0.5));
    return columns;
}

class ExportBlock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (displayStarted);
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
    }

    PellmixEngine& engine() { return env.config->engine; }

    std::vector<DrawnLine> drawnLines (PellmixExportBlock& block)
    {
        juce::Image image (juce::Image::ARGB, block.getWidth(), block.getHeight(), true);
        ui_test::LineRecorder context (image);
        juce::Graphics g (context);
        block.paint (g);
        return context.lines;
    }
    std::vector<DrawnLine> curve (PellmixExportBlock& block, Plot plot)
    {
        std::vector<DrawnLine> result;
        for (const auto& l : drawnLines (block))
            if (l.colour == env.config->outputColour && plotOf (l) == plot)
                result.push_back (l);
        return result;
    }
    std::vector<DrawnLine> grid (PellmixExportBlock& block)
    {
        std::vector<DrawnLine> result;
        for (const auto& l : drawnLines (block))
            if (l.colour == env.config->gridColour)
                result.push_back (l);
        return result;
    }

    // The engine only hands out a read-only sum; these tests plant data that no blend would make.
    PellmixIrSum& plantableSum() { return const_cast<PellmixIrSum&> (engine().getSum()); }

    // Replaces the sum's band 0 and marks its analysis out of date, as a blend does; the next
    // tick analyses it anew (a millisecond later than anything drawn before).
    void setSum (const std::vector<float>& band)
    {
        auto& sum = plantableSum();
        ASSERT_EQ (sum.bands[0].size(), band.size());
        sum.bands[0] = band;
        sum.analysisValid = false;
        juce::Thread::sleep (3);
    }

    juce::File writeImpulse (const std::string& name, int position)
    {
        juce::File file (files.child (name));
        EXPECT_TRUE (ui_test::writeIrWav (file, 96000.0, 2048, {{position, 1.0f}}));
        return file;
    }

    const bool displayStarted = ui_test::processDisplay().started(); // before anything opens X
    ui_test::ConfigEnvironment env;
    pellmix_test::TempDir files{"pellmix-plots"};
};
} // namespace

TEST_F (ExportBlock, EmptyBlendDrawsFlatCurvesOverTheBackground)
{
    PellmixExportBlock block;
    EXPECT_EQ (block.getBounds(), juce::Rectangle<int> (0, 0, 1212, 180));
    block.timerCallback();

    for (int i = 0; i < PellmixExportBlock::numPoints; ++i)
    {
        ASSERT_EQ (block.timePoints[i], 0.0f) << i;
        ASSERT_EQ (block.magnitudePoints[i], -96.0f) << i;
        ASSERT_EQ (block.phasePoints[i], 0.0f) << i;
    }

    struct Expected
    {
        Plot plot;
        size_t segments;
        float firstX, lastX, y;
    };
    // The time and phase curves start with a lead-in segment from the zero line.
    for (const auto& e : {Expected{Plot::time, 301, 77.0f, 378.0f, 90.0f},
                          Expected{Plot::magnitude, 300, 456.0f, 756.0f, 162.8f},
                          Expected{Plot::phase, 301, 833.0f, 1134.0f, 90.0f}})
    {
        const auto lines = curve (block, e.plot);
        ASSERT_EQ (lines.size(), e.segments);
        EXPECT_EQ (lines.front().line.getStartX(), e.firstX);
        EXPECT_EQ (lines.back().line.getEndX(), e.lastX);
        for (const auto& l : lines)
        {
            EXPECT_FLOAT_EQ (l.line.getStartY(), e.y);
            EXPECT_FLOAT_EQ (l.line.getEndY(), e.y);
            EXPECT_FLOAT_EQ (l.thickness, 1.0f);
            EXPECT_FLOAT_EQ (l.line.getEndX() - l.line.getStartX(), 1.0f);
        }
    }

    // Pixels: the background picture at (0, 0), the flat time curve in the output colour on the
    // two rows around y = 90 and nothing red above or below.
    const auto shot = ui_test::snapshot (block);
    const auto picture = PELLMIX_PICTURE (results_background_png);
    ASSERT_EQ (picture.getBounds(), juce::Rectangle<int> (1212, 180));
    for (auto p : {juce::Point<int> (5, 5), juce::Point<int> (76, 100), juce::Point<int> (1136, 30),
                   juce::Point<int> (1180, 90), juce::Point<int> (420, 170)})
        EXPECT_EQ (shot.getPixelAt (p.x, p.y), picture.getPixelAt (p.x, p.y)) << p.toString();
    for (int row : {89, 90})
        EXPECT_GT (shot.getPixelAt (200, row).getRed(), 100) << row;
    for (int row : {87, 92})
        EXPECT_EQ (shot.getPixelAt (200, row).getARGB(), 0xff000000) << row;
}

TEST_F (ExportBlock, OneImpulseBlendPeaksAtMinus20DecibelsOnRow26)
{
    PellmixExportBlock block;
    ASSERT_NO_FATAL_FAILURE (ui_test::loadAndBlend (*env.config, 0, writeImpulse ("impulse.wav", 0)));
    block.timerCallback();

    const float highest =
        *std::max_element (std::begin (block.magnitudePoints), std::end (block.magnitudePoints));
    EXPECT_NEAR (highest, -20.0f, 1e-4f);
    float topY = 1000.0f;
    for (const auto& l : curve (block, Plot::magnitude))
        topY = std::min ({topY, l.line.getStartY(), l.line.getEndY()});
    EXPECT_NEAR (topY, 26.0f, 1e-3f);

    // The impulse is the sum's peak: its window holds a sixth of it.
    const auto& band = engine().getSum().bands[0];
    const float peak = std::abs (band[0]);
    ASSERT_GT (peak, 0.1f);
    EXPECT_NEAR (block.timePoints[0], 40.0f / 6.0f * band[0] / peak, 1e-4f);
    const auto timeCurve = curve (block, Plot::time);
    EXPECT_FLOAT_EQ (timeCurve[0].line.getEndY(), 90.0f - 1.8f * block.timePoints[0]);
}

TEST_F (ExportBlock, TimeCurveIsTheSixSampleMeanRelativeToThePeak)
{
    PellmixExportBlock block;
    block.timerCallback();
    struct Case
    {
        const char* name;
        std::function<void (std::vector<float>&)> fill;
        std::vector<std::pair<int, float>> points; // (point, plot units); others 0 unless `all`
        bool all;
        float allValue;
    };
    const Case cases[] = {
        {"six samples at the peak and six at minus the peak give +-40 (y 18 and 162)",
         [] (auto& x)
         {
             std::fill (x.begin() + 68, x.begin() + 74, 0.5f);    // window 10: samples 68..73
             std::fill (x.begin() + 136, x.begin() + 142, -0.5f); // window 20: samples 136..141
         },
         {{10, 40.0f}, {20, -40.0f}},
         false,
         0.0f},
        {"a sum whose largest sample is 0.05 is scaled as if its peak were 0.1",
         [] (auto& x) { std::fill (x.begin(), x.end(), 0.05f); },
         {},
         true,
         20.0f},
        {"samples outside every window count for the peak only",
         [] (auto& x)
         {
             std::fill (x.begin(), x.begin() + 6, 0.5f);
             x[12] = 1.0f;   // between window 1 (6..11) and window 2 (13..18)
             x[2047] = 1.0f; // after the last window (2041..2046)
         },
         {{0, 20.0f}},
         false,
         0.0f},
        {"a NaN sample makes its point 0",
         [] (auto& x)
         {
             std::fill (x.begin() + 299, x.begin() + 305, 0.5f); // window 44: samples 299..304
             std::fill (x.begin() + 306, x.begin() + 312, 0.5f); // window 45: samples 306..311
             x[300] = notANumber;
         },
         {{45, 40.0f}},
         false,
         0.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        std::vector<float> band (2048, 0.0f);
        c.fill (band);
        ASSERT_NO_FATAL_FAILURE (setSum (band));
        block.timerCallback();

        std::vector<float> expected (PellmixExportBlock::numPoints, c.all ? c.allValue : 0.0f);
        for (auto [point, value] : c.points)
            expected[(size_t)point] = value;
        for (int i = 0; i < PellmixExportBlock::numPoints; ++i)
            ASSERT_NEAR (block.timePoints[i], expected[(size_t)i], 1e-4f) << "point " << i;

        // Drawn 1.8 pixels per unit from the zero line at y = 90.
        const auto lines = curve (block, Plot::time);
        for (int i = 0; i < PellmixExportBlock::numPoints - 1; ++i)
        {
            ASSERT_FLOAT_EQ (lines[(size_t)i + 1].line.getStartX(), 78.0f + (float)i);
            ASSERT_NEAR (lines[(size_t)i + 1].line.getStartY(), 90.0f - 1.8f * expected[(size_t)i], 1e-3f);
        }
    }
}

TEST_F (ExportBlock, NaNFromTheAnalyserIsDrawnAsZero)
{
    PellmixExportBlock block;
    ASSERT_NO_FATAL_FAILURE (ui_test::loadAndBlend (*env.config, 0, writeImpulse ("impulse.wav", 0)));
    block.timerCallback();

    // A newer analysis whose values hold NaN.
    auto& sum = plantableSum();
    sum.analyser.magnitudesDb[5] = notANumber;
    sum.analyser.phases[7] = notANumber;
    sum.analysedTime = juce::Time::getCurrentTime() + juce::RelativeTime::seconds (1.0);
    block.timerCallback();

    EXPECT_EQ (block.magnitudePoints[5], 0.0f);
    EXPECT_EQ (block.phasePoints[7], 0.0f);
    const auto magnitude = curve (block, Plot::magnitude);
    EXPECT_FLOAT_EQ (magnitude[5].line.getStartY(), -10.0f);
    const auto phase = curve (block, Plot::phase);
    EXPECT_FLOAT_EQ (phase[8].line.getStartY(), 90.0f); // segment 0 is the lead-in
}

TEST_F (ExportBlock, GridRowsAndFrequencyLinesLieOnTheirPixels)
{
    PellmixExportBlock block;
    const auto lines = grid (block);

    std::vector<DrawnLine> rows, columns;
    for (const auto& l : lines)
    {
        EXPECT_EQ (l.thickness, 0.0f) << "grid lines use the default line";
        (l.line.getStartY() == l.line.getEndY() ? rows : columns).push_back (l);
    }

    // Three rows per plot at y = 48.5, 89.5, 129.5.
    ASSERT_EQ (rows.size(), 9u);
    const float rowX[3][2] = {{77.0f, 378.0f}, {455.0f, 756.0f}, {833.0f, 1134.0f}};
    const float rowY[3] = {48.5f, 89.5f, 129.5f};
    for (size_t i = 0; i < rows.size(); ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (rows[i].line.getStartY(), rowY[i % 3]);
        EXPECT_EQ (rows[i].line.getStartX(), rowX[i / 3][0]);
        EXPECT_EQ (rows[i].line.getEndX(), rowX[i / 3][1]);
    }

    // Decades first, then 30..90, 200..900, 2000..9000 Hz, from y = 11 to 169, in both plots.
    ASSERT_EQ (columns.size(), 48u);
    for (int plot = 0; plot < 2; ++plot)
    {
        const double x0 = plot == 0 ? 455.0 : 833.0;
        const auto expected = expectedFrequencyColumns (x0);
        for (size_t i = 0; i < expected.size(); ++i)
        {
            const auto& l = columns[(size_t)plot * 24 + i].line;
            SCOPED_TRACE (testing::Message() << "plot " << plot << " line " << i);
            EXPECT_EQ (l.getStartX(), expected[i]);
            EXPECT_EQ (l.getEndX(), expected[i]);
            EXPECT_EQ (l.getStartY(), 11.0f);
            EXPECT_EQ (l.getEndY(), 169.0f);
            EXPECT_NE (l.getStartX(), (float)x0 + 0.5f) << "no line at 20 Hz";
            EXPECT_NE (l.getStartX(), (float)x0 + 301.5f) << "no line at 20 kHz";
        }
    }
    const float spots[] = {525.5f, 625.5f, 725.5f, 472.5f, 903.5f, 1003.5f, 1103.5f};
    for (float x : spots)
        EXPECT_TRUE (
            std::any_of (columns.begin(), columns.end(), [x] (auto& l) { return l.line.getStartX() == x; }))
            << x;
    EXPECT_FLOAT_EQ (PellmixExportBlock::frequencyLineX (std::log10 (30.0f), 455.0f), 472.5f);
}

TEST_F (ExportBlock, RebuildsOnlyAfterANewAnalysis)
{
    PellmixExportBlock block;
    block.timerCallback();
    const auto first = block.lastDrawnTime;
    EXPECT_NE (first, juce::Time()) << "the first tick always draws";

    // A tick without a blend changes nothing.
    block.timePoints[0] = 123.0f;
    juce::Thread::sleep (3);
    block.timerCallback();
    EXPECT_EQ (block.timePoints[0], 123.0f);
    EXPECT_EQ (block.lastDrawnTime, first);

    // Two blends before one tick: the tick draws the second.
    ASSERT_NO_FATAL_FAILURE (ui_test::loadAndBlend (*env.config, 0, writeImpulse ("at0.wav", 0)));
    engine().setMute (0, true);
    ASSERT_NO_FATAL_FAILURE (ui_test::loadAndBlend (*env.config, 1, writeImpulse ("at410.wav", 410)));
    juce::Thread::sleep (3);
    block.timerCallback();
    EXPECT_LT (first, block.lastDrawnTime);
    const auto loudest = [&block]
    {
        return (int)(std::max_element (std::begin (block.timePoints), std::end (block.timePoints),
                                       [] (float a, float b) { return std::abs (a) < std::abs (b); }) -
                     std::begin (block.timePoints));
    };
    EXPECT_EQ (loudest(), 60) << "window 60 holds samples 408..413";

    // The component's own timer takes the next blend within a tick.
    engine().setMute (0, false);
    engine().setMute (1, true);
    engine().blend (nullptr, false, env.config->project.eqOn);
    const auto second = block.lastDrawnTime;
    OnScreen::pump (400);
    EXPECT_LT (second, block.lastDrawnTime);
    EXPECT_EQ (loudest(), 0);
}

TEST_F (ExportBlock, CaptionsAreRotatedAboutTheirOwnCornersAndTakeNoClicks)
{
    PellmixExportBlock block;
    struct Caption
    {
        juce::Label* label;
        const char* name;
        const char* text;
        juce::Point<float> corner;
    };
    const Caption captions[] = {{block.timeLabel.get(), "Time Label", "TIME", {30.0f, 170.0f}},
                                {block.freqLabel.get(), "Freq Label", "FREQ.", {407.0f, 170.0f}},
                                {block.phaseLabel.get(), "Phase Label", "PHASE", {784.0f, 170.0f}}};
    const auto shot = ui_test::snapshot (block);
    for (const auto& c : captions)
    {
        SCOPED_TRACE (c.name);
        auto& label = *c.label;
        EXPECT_EQ (label.getName(), c.name);
        EXPECT_EQ (label.getText(), c.text);
        EXPECT_EQ (label.getBounds(), juce::Rectangle<int> ((int)c.corner.x, 170, 150, 70));
        EXPECT_EQ (label.getFont().getHeight(), 35.0f);
        EXPECT_EQ (label.getJustificationType(), juce::Justification (juce::Justification::centredTop));
        EXPECT_EQ (label.findColour (juce::Label::textColourId), juce::Colours::white);
        bool clicks = true, childClicks = true;
        label.getInterceptsMouseClicks (clicks, childClicks);
        EXPECT_FALSE (clicks);
        EXPECT_EQ (&label.getLookAndFeel(), PellmixLookAndFeel::getInstance());

        // The label's top-left corner stays put; its top edge runs upwards to y = 20 and its
        // left edge to the right.
        const auto t = label.getTransform();
        const auto map = [&] (float x, float y)
        {
            t.transformPoint (x, y);
            return juce::Point<float> (x, y);
        };
        EXPECT_LT (map (c.corner.x, c.corner.y).getDistanceFrom (c.corner), 1e-3f);
        EXPECT_LT (map (c.corner.x + 150.0f, c.corner.y)
                       .getDistanceFrom (c.corner + juce::Point<float> (0.12f, -150.0f)),
                   0.01f);
        EXPECT_LT (map (c.corner.x, c.corner.y + 70.0f)
                       .getDistanceFrom (c.corner + juce::Point<float> (70.0f, 0.06f)),
                   0.01f);
        EXPECT_TRUE (t == juce::AffineTransform::rotation (-1.57f, c.corner.x, c.corner.y));

        // White text in the left half of the rotated label only (the font's 35 pixels).
        int white = 0, whiteBeyond = 0;
        for (int y = 20; y < 170; ++y)
            for (int x = (int)c.corner.x; x < (int)c.corner.x + 46; ++x)
            {
                const auto p = shot.getPixelAt (x, y);
                if (p.getRed() > 230 && p.getGreen() > 230 && p.getBlue() > 230)
                    ++(x < (int)c.corner.x + 38 ? white : whiteBeyond);
            }
        EXPECT_GT (white, 200);
        EXPECT_EQ (whiteBeyond, 0);
    }

    // Over the time plot's edge, inside the rotated caption's area, the plot itself is hit.
    block.setVisible (true);
    EXPECT_EQ (block.getComponentAt (90, 100), &block);
    EXPECT_EQ (block.getComponentAt (470, 100), &block);
    EXPECT_EQ (block.getComponentAt (840, 100), &block);
}

TEST_F (ExportBlock, TooltipsFollowThePointerOverEachPlot)
{
    PellmixExportBlock block;
    OnScreen screen (block);
    struct Case
    {
        int x, y;
        const char* text;
    };
    const char* time = "Time domain resulting impulse plot";
    const char* freq = "Frequency domain resulting Impulse plot";
    const char* phase = "Resulting IR phase";
    const Case cases[] = {{78, 13, time},   {377, 100, ""},   {755, 100, ""},   {1132, 171, phase},
                          {500, 172, ""},   {77, 100, ""},    {376, 171, time}, {90, 100, time},
                          {456, 13, freq},  {754, 171, freq}, {470, 60, freq},  {455, 100, ""},
                          {834, 13, phase}, {833, 100, ""},   {1133, 100, ""},  {600, 12, ""},
                          {800, 100, ""},   {20, 100, ""}};
    for (const auto& c : cases)
    {
        // What the tooltip window asks: the client under the pointer (the captions lie over the
        // plots' edges, so they must not be under it).
        screen.move ({(float)c.x, (float)c.y});
        auto* under = juce::Desktop::getInstance().getMainMouseSource().getComponentUnderMouse();
        auto* client = dynamic_cast<juce::TooltipClient*> (under);
        ASSERT_NE (client, nullptr) << c.x << ", " << c.y;
        EXPECT_EQ (client->getTooltip(), juce::String (c.text)) << c.x << ", " << c.y;
    }
}

namespace
{
struct CountingBlock : PellmixExportBlock
{
    void paint (juce::Graphics& g) override
    {
        ++paints;
        PellmixExportBlock::paint (g);
    }
    int paints = 0;
};
} // namespace

TEST_F (ExportBlock, OutputAndGridColourChangesRepaintAtOnce)
{
    CountingBlock block;
    OnScreen screen (block);
    OnScreen::pump (300);
    struct Case
    {
        int index;
        bool repaints;
    };
    for (const auto& c : {Case{1, true}, Case{6, false}, Case{7, true}, Case{0, false}, Case{5, false}})
    {
        const int before = block.paints;
        env.config->notifyColourChanged (c.index);
        OnScreen::pump (150);
        EXPECT_EQ (block.paints > before, c.repaints) << "colour " << c.index;
    }

    // The curves are drawn in the colour of the moment.
    env.config->outputColour = juce::Colours::lime;
    const auto shot = ui_test::snapshot (block);
    EXPECT_GT (shot.getPixelAt (200, 90).getGreen(), 100);
    EXPECT_EQ (shot.getPixelAt (200, 90).getRed(), 0);
}

TEST_F (ExportBlock, ConstructionPreparesTheSumAndBlendsOnce)
{
    const juce::File file (files.child ("impulse.wav"));
    ASSERT_TRUE (ui_test::writeIrWav (file, 96000.0, 2048, {{0, 1.0f}}));
    ASSERT_TRUE (engine().loadIr (2, file));
    engine().setIrParameters (2, 1792, 0, 0.0f, false, 0.0f);
    const auto& band = engine().getSum().bands[0];
    ASSERT_TRUE (std::all_of (band.begin(), band.end(), [] (float v) { return v == 0.0f; }));

    PellmixExportBlock block;
    EXPECT_TRUE (std::any_of (band.begin(), band.end(), [] (float v) { return v != 0.0f; }));
    EXPECT_EQ (engine().getSum().analyser.numPoints, 301);
    EXPECT_EQ (engine().getSum().analyser.fftSize, 2048);
    EXPECT_TRUE (block.isTimerRunning());
    EXPECT_EQ (block.getTimerInterval(), 250);
    EXPECT_EQ (block.lastDrawnTime, juce::Time());
    EXPECT_EQ (&block.getLookAndFeel(), PellmixLookAndFeel::getInstance());
}
