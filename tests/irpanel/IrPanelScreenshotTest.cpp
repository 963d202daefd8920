// The application on a virtual display with a JACK dummy device, driven from outside with
// xdotool: after start the IR panel shows eight empty blocks and the EQ strip; after two WAV
// files are loaded through the blocks' pop-up menu and file dialog and a gain knob is moved, the
// two blocks show their curves. Both screenshots are kept in the build folder
// (screenshots/irpanel-start.png and screenshots/irpanel-loaded.png) for people to look at.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "IrPanelTestSupport.h"
#include "support/AppOnDisplay.h"

#include <chrono>
#include <optional>
#include <thread>

namespace
{
using namespace std::chrono_literals;

pellmix_test::ProcessResult xdotool (std::vector<std::string> args)
{
    args.insert (args.begin(), "xdotool");
    return pellmix_test::run (args, {}, 10s);
}

// The first shown window whose title is exactly `title`, waited for; empty if none.
std::string waitForWindow (const std::string& title, std::chrono::milliseconds timeout = 15s)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    do
    {
        const auto r = xdotool ({"search", "--onlyvisible", "--name", "^" + title + "$"});
        if (r.exitCode == 0 && !r.output.empty())
            return r.output.substr (0, r.output.find ('\n'));
        std::this_thread::sleep_for (100ms);
    } while (std::chrono::steady_clock::now() < end);
    return {};
}

juce::Rectangle<int> windowBounds (const std::string& id)
{
    const auto out = juce::String (xdotool ({"getwindowgeometry", "--shell", id}).output);
    auto value = [&] (const char* key)
    {
        return out.fromFirstOccurrenceOf (juce::String (key) + "=", false, false)
            .upToFirstOccurrenceOf ("\n", false, false)
            .getIntValue();
    };
    return {value ("X"), value ("Y"), value ("WIDTH"), value ("HEIGHT")};
}

void clickAt (juce::Point<int> p)
{
    xdotool ({"mousemove", std::to_string (p.x), std::to_string (p.y), "click", "1"});
}

bool samePixel (juce::Colour a, juce::Colour b)
{
    return (a.getARGB() & 0xffffff) == (b.getARGB() & 0xffffff);
}

int samePixels (const juce::Image& shot, juce::Point<int> origin, const juce::Image& expected,
                juce::Rectangle<int> area, juce::Point<int> expectedOrigin = {})
{
    int n = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (samePixel (shot.getPixelAt (origin.x + x, origin.y + y),
                           expected.getPixelAt (x - expectedOrigin.x, y - expectedOrigin.y)))
                ++n;
    return n;
}

// Where the main content's top-left corner lies in the screenshot: the offset at which the title
// row of the background picture is found.
std::optional<juce::Point<int>> findContent (const juce::Image& shot)
{
    const auto background = PELLMIX_PICTURE (main_background_png);
    const juce::Rectangle<int> probe (40, 10, 400, 14);
    for (int oy = 0; oy + 818 <= shot.getHeight(); ++oy)
        for (int ox = 0; ox + 1289 <= shot.getWidth(); ++ox)
            if (samePixel (shot.getPixelAt (ox + 46, oy + 17), background.getPixelAt (46, 17)) &&
                samePixels (shot, {ox, oy}, background, probe) == probe.getWidth() * probe.getHeight())
                return juce::Point<int>{ox, oy};
    return std::nullopt;
}

// Pixels of the display area (x 26-249, y 20-140) of a block that are nearly white: the curve.
int curvePixels (const juce::Image& shot, juce::Point<int> block)
{
    int n = 0;
    for (int y = 20; y < 140; ++y)
        for (int x = 26; x < 250; ++x)
        {
            const auto c = shot.getPixelAt (block.x + x, block.y + y);
            if (c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200)
                ++n;
        }
    return n;
}

constexpr int panelX = 38, panelY = 158;

juce::Point<int> blockOrigin (int slot)
{
    return {panelX + 303 * (slot % 4), panelY + 180 * (slot / 4)};
}

const juce::Rectangle<int> dropArea (30, 25, 122, 136); // of a block

// Pixels of block `slot`'s drop area that show the empty block's picture with the drop picture.
int dropPixels (const juce::Image& shot, juce::Point<int> origin, int slot)
{
    static const auto emptyBlock = []
    {
        auto image = PELLMIX_PICTURE (ir_block_empty_background_jpg).createCopy();
        juce::Graphics (image).drawImageAt (PELLMIX_PICTURE (ir_drop_png), 30, 25);
        return image;
    }();
    const auto b = blockOrigin (slot);
    return samePixels (shot, origin, emptyBlock, dropArea + b, b);
}

class IrPanelScreenshot : public pellmix_test::AppOnDisplay
{
protected:
    // After start, once drawn and settled (the first paint and the blocks' first ticks): eight
    // empty blocks and the EQ strip.
    void startShowsEightEmptyBlocksAndTheEq()
    {
        start = ui_test::screenshotShowing (
            display, "irpanel-start.png",
            [&] (const juce::Image& shot)
            {
                const auto at = findContent (shot);
                if (!at.has_value())
                    return false;
                for (int slot = 0; slot < 8; ++slot)
                    if (dropPixels (shot, *at, slot) != wholeDropArea)
                        return false;
                return true;
            },
            true);
        ASSERT_TRUE (start.isValid());
        const auto found = findContent (start);
        ASSERT_TRUE (found.has_value()) << "the main window is not on the screen";
        origin = *found;

        for (int slot = 0; slot < 8; ++slot)
            EXPECT_EQ (dropPixels (start, origin, slot), wholeDropArea)
                << "block " << slot << " shows the drop picture";
        const auto eqBackground = PELLMIX_PICTURE (eq_background_jpg);
        const juce::Rectangle<int> eqMargin (1182, 4, 26, 112); // right of the help text
        const juce::Point<int> eqOrigin (panelX, panelY + 360);
        EXPECT_EQ (samePixels (start, origin, eqBackground, eqMargin + eqOrigin, eqOrigin),
                   eqMargin.getWidth() * eqMargin.getHeight());
    }

    // A file through block `slot`'s pop-up menu and the file dialog, as a user would.
    void loadThroughThePopUpMenu (int slot, const juce::File& f)
    {
        SCOPED_TRACE (f.getFileName().toStdString());
        clickAt (origin + blockOrigin (slot) + juce::Point<int> (12, 100));
        const auto menu = waitForWindow ("menu");
        ASSERT_FALSE (menu.empty());
        std::this_thread::sleep_for (300ms); // the menu takes no click in its first 250 ms
        clickAt (windowBounds (menu).getTopLeft() + juce::Point<int> (30, 12)); // "Load Impulse file"
        const auto dialog = waitForWindow ("Select the folder");
        ASSERT_FALSE (dialog.empty());
        std::this_thread::sleep_for (500ms);
        const auto d = windowBounds (dialog);
        clickAt ({d.getCentreX(), d.getBottom() - 63}); // the file name box
        std::this_thread::sleep_for (200ms);
        xdotool ({"type", "--delay", "20", f.getFullPathName().toStdString()});
        xdotool ({"key", "Return"}); // goes to the folder and keeps the name
        std::this_thread::sleep_for (700ms);
        xdotool ({"key", "Return"}); // opens it
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!waitForWindow ("Select the folder", 100ms).empty() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for (100ms);
    }

    // Block 0's gain slider six notches down, then the pointer away.
    void turnTheFirstGainDown()
    {
        const auto gain = origin + blockOrigin (0) + juce::Point<int> (287, 60);
        xdotool ({"mousemove", std::to_string (gain.x), std::to_string (gain.y)});
        for (int i = 0; i < 6; ++i)
            xdotool ({"click", "5"});
        xdotool ({"mousemove", "5", "5"});
    }

    // Pixels where the gain sliders of blocks 0 and 5 differ: the moved thumb sits lower in 0.
    int faderDifference (const juce::Image& shot) const
    {
        const juce::Rectangle<int> fader (275, 20, 16, 120);
        const auto at = [&] (int slot, int x, int y) {
            return shot.getPixelAt (origin.x + blockOrigin (slot).x + x, origin.y + blockOrigin (slot).y + y);
        };
        int differing = 0;
        for (int y = fader.getY(); y < fader.getBottom(); ++y)
            for (int x = fader.getX(); x < fader.getRight(); ++x)
                differing += samePixel (at (0, x, y), at (5, x, y)) ? 0 : 1;
        return differing;
    }

    // Once the blocks' ticks have drawn both files and the gain, and the pointer's tooltip is gone:
    // blocks 0 and 5 show their curves, the others as at start, and the gain moved.
    void loadedShowsBothCurvesAndTheMovedGain()
    {
        const auto loaded = ui_test::screenshotShowing (
            display, "irpanel-loaded.png",
            [&] (const juce::Image& shot)
            {
                for (int slot = 0; slot < 8; ++slot)
                {
                    const auto b = origin + blockOrigin (slot);
                    const bool loadedSlot = slot == 0 || slot == 5;
                    if (loadedSlot ? curvePixels (shot, b) <= 100
                                   : curvePixels (shot, b) != curvePixels (start, b))
                        return false;
                }
                return faderDifference (shot) > 100;
            },
            true);
        ASSERT_TRUE (loaded.isValid());
        for (int slot = 0; slot < 8; ++slot)
        {
            SCOPED_TRACE (slot);
            const auto b = origin + blockOrigin (slot);
            if (slot == 0 || slot == 5)
            {
                EXPECT_GT (curvePixels (loaded, b), 100) << "the white curve";
                EXPECT_LT (dropPixels (loaded, origin, slot), wholeDropArea / 2);
            }
            else
            {
                EXPECT_EQ (curvePixels (loaded, b), curvePixels (start, b));
            }
        }
        EXPECT_GT (faderDifference (loaded), 100);
    }

    const int wholeDropArea = dropArea.getWidth() * dropArea.getHeight();
    juce::Image start;       // the first settled screenshot
    juce::Point<int> origin; // the main content's corner on the screen
};
} // namespace

TEST_F (IrPanelScreenshot, EmptyAtStartThenTwoLoadedBlocksWithCurves)
{
    const auto cab = irpanel_test::writeAudio (juce::File (home.child ("Cab Alpha.wav")),
                                               engine_test::decayingIr (3000, 96000.0, 1.0), 96000.0);
    const auto room = irpanel_test::writeAudio (juce::File (home.child ("Room Beta.wav")),
                                                engine_test::decayingIr (4000, 48000.0, 2.3), 48000.0);

    auto& app = startApp (PELLMIX_APP_PATH);
    const auto window = waitForWindow ("Vantrel Melvane", 40s);
    ASSERT_FALSE (window.empty()) << appOutput();

    ASSERT_NO_FATAL_FAILURE (startShowsEightEmptyBlocksAndTheEq());
    ASSERT_NO_FATAL_FAILURE (loadThroughThePopUpMenu (0, cab));
    ASSERT_NO_FATAL_FAILURE (loadThroughThePopUpMenu (5, room));
    turnTheFirstGainDown();
    ASSERT_NO_FATAL_FAILURE (loadedShowsBothCurvesAndTheMovedGain());

    app.signal (SIGINT);
    EXPECT_EQ (app.wait (15000ms).exitCode, 0);
}
