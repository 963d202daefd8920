// The player's spectrum view rendered into images: the grid picture's rows, lines and captions at
// their pixels, the two curves with their offsets, the floor line while processing is off, the
// drawing order, and a grid that keeps its colours until the next resize.
#include "UiTestSupport.h"
#include "ui/PellmixPlayerInOutSpectroGramme.h"

#include <cmath>
#include <set>

namespace
{
const juce::Colour grid (0xff406080), input (0xffffff00), output (0xffff0000);

class SpectrumView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (ui_test::processDisplay().started());
        ASSERT_NE (env.config, nullptr) << env.jack.logText();
        env.config->gridColour = grid;
        env.config->inputColour = input;
        env.config->outputColour = output;
        env.config->processingEnabled = true;
        view = std::make_unique<PellmixPlayerInOutSpectroGramme>();
        view->setBounds (0, 0, 364, 108); // renders the grid picture
    }
    juce::Image render() { return ui_test::snapshot (*view); }

    ui_test::ConfigEnvironment env;
    std::unique_ptr<PellmixPlayerInOutSpectroGramme> view;
};

// Columns of the frequency lines, by the formula in double precision, in drawing order.
std::vector<int> lineColumns()
{
    std::vector<double> frequencies{100, 1000, 10000};
    for (double decade : {10.0, 100.0, 1000.0})
        for (int m = decade == 10.0 ? 3 : 2; m <= 9; ++m)
            frequencies.push_back (m * decade);
    std::vector<int> columns;
    for (double f : frequencies)
        columns.push_back ((int)std::floor ((std::log10 (f) - std::log10 (20.0)) * 364.0 / 3.0));
    return columns;
}

bool near (juce::Colour a, juce::Colour b, int tolerance = 2)
{
    return std::abs (a.getRed() - b.getRed()) <= tolerance &&
           std::abs (a.getGreen() - b.getGreen()) <= tolerance &&
           std::abs (a.getBlue() - b.getBlue()) <= tolerance;
}

// Rows of a column where the colour (red or yellow here) covers at least half of the pixel.
std::vector<int> rowsWith (const juce::Image& image, int x, juce::Colour colour)
{
    std::vector<int> rows;
    for (int y = 0; y < image.getHeight(); ++y)
    {
        const auto p = image.getPixelAt (x, y);
        const bool green = colour.getGreen() > 0 ? p.getGreen() >= 128 : p.getGreen() < 64;
        if (p.getRed() >= 128 && green && p.getBlue() < 64)
            rows.push_back (y);
    }
    return rows;
}

// The curve value drawn centred on a pixel row (the line then covers that row only).
float onRow (int row)
{
    return (float)((3.0 - (row + 0.5)) / 2.8);
}
} // namespace

TEST_F (SpectrumView, GridRowsLinesAndCaptionsAtTheirPixels)
{
    EXPECT_TRUE (view->isOpaque());
    EXPECT_EQ (view->gridImage.getBounds(), juce::Rectangle<int> (364, 108));
    EXPECT_EQ (view->gridImage.getFormat(), juce::Image::ARGB);
    const auto image = view->gridImage;

    const auto columns = lineColumns();
    EXPECT_EQ (columns[0], 84);
    EXPECT_EQ (columns[1], 206);
    EXPECT_EQ (columns[2], 327);
    EXPECT_EQ (columns[3], 21); // 30 Hz
    for (int exponent : {2, 3, 4})
        EXPECT_EQ (PellmixPlayerInOutSpectroGramme::gridX ((float)exponent),
                   columns[(size_t)exponent - 2] + 0.5f);

    // Every pixel outside the captions' corner: grid colour on the level rows 24, 52 and 79 from
    // x = 1 to 362 and on the frequency columns from y = 1 to 106; opaque black elsewhere.
    const std::set<int> columnSet (columns.begin(), columns.end()), rowSet{24, 52, 79};
    int wrong = 0;
    for (int y = 0; y < 108; ++y)
        for (int x = 0; x < 364; ++x)
        {
            if (x > 290 && y < 24)
                continue;
            const bool onGrid =
                (rowSet.count (y) && x >= 1 && x <= 362) || (columnSet.count (x) && y >= 1 && y <= 106);
            const auto expected = onGrid ? grid : juce::Colour (0xff000000);
            if (image.getPixelAt (x, y) != expected && ++wrong < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is "
                              << ui_test::argb (image.getPixelAt (x, y));
        }
    EXPECT_EQ (wrong, 0);

    // "INPUT" in the input colour on the first line, "OUTPUT" in the output colour below it, both
    // right-aligned at x = 360.
    auto count = [&] (juce::Colour c, juce::Rectangle<int> r)
    {
        int n = 0;
        for (int y = r.getY(); y < r.getBottom(); ++y)
            for (int x = r.getX(); x < r.getRight(); ++x)
                n += near (image.getPixelAt (x, y), c, 60) ? 1 : 0;
        return n;
    };
    EXPECT_GT (count (input, {320, 1, 40, 10}), 20);
    EXPECT_EQ (count (input, {290, 12, 74, 12}), 0);
    EXPECT_GT (count (output, {310, 11, 50, 11}), 20);
    EXPECT_EQ (count (output, {290, 0, 74, 10}), 0);
    EXPECT_EQ (count (output, {360, 0, 4, 24}) + count (input, {360, 0, 4, 24}), 0);
}

TEST_F (SpectrumView, CurvesStartOnePixelApartAndInputIsDrawnOnTop)
{
    // Both curves at 0, flat at y = 3 (shared by rows 2 and 3), input over output.
    view->outputCurve.fill (0.0f);
    view->inputCurve.fill (0.0f);
    auto image = render();
    for (int y : {1, 4, 40})
        EXPECT_EQ (image.getPixelAt (150, y), view->gridImage.getPixelAt (150, y)) << y;
    for (int y : {2, 3})
        EXPECT_GT (image.getPixelAt (150, y).getGreen(), 64) << y;

    EXPECT_FLOAT_EQ (PellmixPlayerInOutSpectroGramme::curveY (0.0f), 3.0f);
    EXPECT_FLOAT_EQ (PellmixPlayerInOutSpectroGramme::curveY (-10.0f), 31.0f);
    EXPECT_FLOAT_EQ (PellmixPlayerInOutSpectroGramme::curveY (-36.0f), 103.8f);

    view->outputCurve.fill (onRow (30));
    view->inputCurve.fill (onRow (58));
    image = render();
    for (int x : {1, 100, 363})
    {
        SCOPED_TRACE (x);
        EXPECT_EQ (rowsWith (image, x, output), std::vector<int>{30});
        EXPECT_EQ (rowsWith (image, x, input), std::vector<int>{58});
    }
    // The output curve starts at x = 0, the input curve at x = 1: column 0 has only the output.
    EXPECT_EQ (rowsWith (image, 0, output), std::vector<int>{30});
    EXPECT_TRUE (rowsWith (image, 0, input).empty());

    // Equal curves: the input covers the output wherever both are drawn.
    view->outputCurve.fill (onRow (40));
    view->inputCurve.fill (onRow (40));
    image = render();
    EXPECT_TRUE (near (image.getPixelAt (100, 40), input)) << ui_test::argb (image.getPixelAt (100, 40));
    EXPECT_TRUE (near (image.getPixelAt (0, 40), output)) << ui_test::argb (image.getPixelAt (0, 40));

    // The last point, index 363, lies at x = 364: a step there shows in column 363 only.
    view->inputCurve.fill (onRow (40));
    view->inputCurve[363] = -36.0f;
    image = render();
    EXPECT_EQ (rowsWith (image, 362, input), std::vector<int>{40});
    ASSERT_FALSE (rowsWith (image, 363, input).empty());
    EXPECT_GT (rowsWith (image, 363, input).back(), 90);
}

TEST_F (SpectrumView, FloorLineReplacesTheOutputCurveWhileProcessingIsOff)
{
    view->outputCurve.fill (onRow (30));
    view->inputCurve.fill (onRow (58));
    env.config->processingEnabled = false;
    const auto image = render();
    for (int x : {1, 150, 363})
    {
        SCOPED_TRACE (x);
        EXPECT_EQ (rowsWith (image, x, output), std::vector<int>{103}) << "y = 103.8, mostly in row 103";
        EXPECT_EQ (image.getPixelAt (x, 30), view->gridImage.getPixelAt (x, 30)) << "no output curve";
        EXPECT_EQ (rowsWith (image, x, input), std::vector<int>{58});
    }
    EXPECT_EQ (image.getPixelAt (0, 103), view->gridImage.getPixelAt (0, 103))
        << "the floor line starts at x = 1";
    EXPECT_NE (image.getPixelAt (150, 104), view->gridImage.getPixelAt (150, 104))
        << "and takes a little of row 104";

    // With processing on, values of -36 put the output curve on the same line.
    env.config->processingEnabled = true;
    view->outputCurve.fill (-36.0f);
    const auto onFloor = render();
    for (int y : {103, 104})
        EXPECT_EQ (onFloor.getPixelAt (150, y), image.getPixelAt (150, y)) << y;
}

TEST_F (SpectrumView, GridKeepsItsColoursUntilTheNextResize)
{
    const auto before = view->gridImage.createCopy();
    const juce::Colour newGrid (0xff00ff00), newInput (0xff00ffff);
    env.config->gridColour = newGrid;
    env.config->inputColour = newInput;
    view->inputCurve.fill (onRow (40));
    auto image = render();
    EXPECT_EQ (image.getPixelAt (84, 60), grid) << "the grid picture is not drawn again";
    EXPECT_EQ (ui_test::differingPixels (view->gridImage, before), 0);
    EXPECT_TRUE (near (image.getPixelAt (100, 40), newInput)) << "but the curves follow";

    view->setBounds (0, 0, 364, 108); // the same size: no new picture
    EXPECT_EQ (view->gridImage.getPixelAt (84, 60), grid);
    view->setSize (365, 108);
    view->setSize (364, 108);
    EXPECT_EQ (view->gridImage.getPixelAt (84, 60), newGrid);

    image = render();
    int notOpaque = 0;
    for (int y = 0; y < 108; ++y)
        for (int x = 0; x < 364; ++x)
            notOpaque += image.getPixelAt (x, y).getAlpha() != 255 ? 1 : 0;
    EXPECT_EQ (notOpaque, 0) << "the view paints every pixel";
}

// Nothing to show: just made, or told so, both curves lie on the floor line, the same line as
// the floor drawn while processing is off; nothing is drawn above it.
TEST_F (SpectrumView, WithNothingToShowBothCurvesLieOnTheFloor)
{
    auto expectOnFloor = [&] (const char* when)
    {
        SCOPED_TRACE (when);
        for (const auto* curve : {&view->outputCurve, &view->inputCurve})
            for (float v : *curve)
                ASSERT_EQ (v, PellmixPlayerInOutSpectroGramme::floorValue);
        const auto image = render();
        for (int x : {1, 100, 300, 363})
        {
            EXPECT_TRUE (rowsWith (image, x, output).empty()) << x << ": the input covers the output";
            EXPECT_EQ (rowsWith (image, x, input), std::vector<int> ({103})) << x;
        }
    };
    expectOnFloor ("just made");

    view->outputCurve.fill (0.0f);
    view->inputCurve.fill (-10.0f);
    view->showNothing();
    expectOnFloor ("told there is nothing");
}

// A curve through the captions' corner does not hide them: they are drawn again over the curves,
// on a dark plate that the curve does not cross.
TEST_F (SpectrumView, CaptionsStayReadableOverAnyCurve)
{
    const auto plain = render();
    // Inside both captions' plates (both end at x = 362, "INPUT" is the shorter).
    const juce::Rectangle<int> plates (334, 0, 26, 21);
    for (const int row : {2, 6, 15, 19})
    {
        SCOPED_TRACE (row);
        view->outputCurve.fill (onRow (row));
        view->inputCurve.fill (onRow (row));
        const auto image = render();
        EXPECT_EQ (ui_test::differingPixels (image.getClippedImage (plates), plain.getClippedImage (plates)),
                   0);
        // Left of the captions the curve runs on.
        EXPECT_FALSE (rowsWith (image, 200, input).empty());
    }
}
