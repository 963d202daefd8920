// The application started on a virtual display with a JACK dummy device: its main window shows the
// background picture, the bypass button and the panels in their places. The screenshot is kept in
// the build folder (screenshots/main-window.png) for people to look at.
#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "UiTestSupport.h"
#include "support/AppOnDisplay.h"

#include <chrono>
#include <thread>

namespace
{
using namespace std::chrono_literals;

bool windowShown (const std::string& title)
{
    return pellmix_test::run ({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}, {}, 5s)
               .exitCode == 0;
}

int samePixels (const juce::Image& shot, juce::Point<int> origin, const juce::Image& expected,
                juce::Rectangle<int> area)
{
    int n = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if ((shot.getPixelAt (origin.x + x, origin.y + y).getARGB() & 0xffffff) ==
                (expected.getPixelAt (x, y).getARGB() & 0xffffff))
                ++n;
    return n;
}

// Where the content's top-left corner lies in the screenshot: the offset at which the title row
// of the background picture is found.
std::optional<juce::Point<int>> findContent (const juce::Image& shot, const juce::Image& background)
{
    const juce::Rectangle<int> probe (40, 10, 400, 14);
    for (int oy = 0; oy + 818 <= shot.getHeight(); ++oy)
        for (int ox = 0; ox + 1289 <= shot.getWidth(); ++ox)
            if ((shot.getPixelAt (ox + 46, oy + 17).getARGB() & 0xffffff) ==
                    (background.getPixelAt (46, 17).getARGB() & 0xffffff) &&
                samePixels (shot, {ox, oy}, background, probe) == probe.getWidth() * probe.getHeight())
                return juce::Point<int>{ox, oy};
    return std::nullopt;
}
class MainWindowScreenshot : public pellmix_test::AppOnDisplay
{
};
} // namespace

TEST_F (MainWindowScreenshot, WindowShowsBackgroundBypassButtonAndPanels)
{
    auto& app = startApp (PELLMIX_APP_PATH);

    const auto end = std::chrono::steady_clock::now() + 40s;
    while (!windowShown ("Vantrel Melvane") && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for (100ms);
    ASSERT_TRUE (windowShown ("Vantrel Melvane")) << appOutput();

    // The window's first paint: the content's background picture on the screen (the whole window
    // is drawn, then shown at once).
    const auto background = PELLMIX_PICTURE (main_background_png);
    const auto shot = ui_test::screenshotShowing (display, "main-window.png",
                                                  [&] (const juce::Image& s)
                                                  { return findContent (s, background).has_value(); });
    app.signal (SIGINT);
    EXPECT_EQ (app.wait (15000ms).exitCode, 0);

    ASSERT_TRUE (shot.isValid());
    const auto origin = findContent (shot, background);
    ASSERT_TRUE (origin.has_value()) << "the background picture is not on the screen";

    // The frame around the panels shows the background picture.
    for (const auto& area : {juce::Rectangle<int> (0, 0, 1100, 38), juce::Rectangle<int> (0, 38, 38, 780)})
        EXPECT_EQ (samePixels (shot, *origin, background, area), area.getWidth() * area.getHeight())
            << area.toString();

    // The result plots at (38, 638) over their own picture (its right end holds no curve).
    const auto plots = PELLMIX_PICTURE (results_background_png);
    const juce::Rectangle<int> plotsEnd (1140, 0, 72, 180);
    EXPECT_EQ (samePixels (shot, *origin + juce::Point<int> (38, 638), plots, plotsEnd),
               plotsEnd.getWidth() * plotsEnd.getHeight());

    // The bypass button in its processing-on look, over the background.
    auto expected = background.createCopy();
    juce::Graphics (expected).drawImageAt (PELLMIX_PICTURE (bypass_on_png), 1110, 7);
    const juce::Rectangle<int> button (1110, 7, 109, 24);
    EXPECT_EQ (samePixels (shot, *origin, expected, button), button.getWidth() * button.getHeight());

    // The places of the player and the IR panel are taken by them (not the background).
    for (const auto& area :
         {juce::Rectangle<int> (38, 38, 1212, 120), juce::Rectangle<int> (38, 158, 1212, 480)})
        EXPECT_LT (samePixels (shot, *origin, background, area), area.getWidth() * area.getHeight());
}
