// The application on a virtual display with a JACK dummy device and a playlist file in its HOME:
// both lists come up filled, a double click (through xdotool) plays the first source row, and the
// spectrum view and the position bar move. The screenshot is kept in the build folder
// (screenshots/player.png) for people to look at.
#include "PlayerTestSupport.h"
#include "support/AppOnDisplay.h"

#include <chrono>
#include <regex>
#include <thread>

namespace
{
using namespace std::chrono_literals;

std::string windowId()
{
    const auto r =
        pellmix_test::run ({"xdotool", "search", "--onlyvisible", "--name", "^Vantrel Melvane$"}, {}, 5s);
    return r.exitCode == 0 ? r.output.substr (0, r.output.find ('\n')) : std::string();
}

// The content's top-left corner on the screen: below the menu bar, which takes the window's height
// beyond the content's 818 pixels.
juce::Point<int> contentOrigin (const std::string& id)
{
    const auto r = pellmix_test::run ({"xdotool", "getwindowgeometry", id}, {}, 5s);
    std::smatch m;
    const std::regex position ("Position: (\\d+),(\\d+)"), geometry ("Geometry: (\\d+)x(\\d+)");
    int x = 0, y = 0, height = 818;
    if (std::regex_search (r.output, m, position))
    {
        x = std::stoi (m[1]);
        y = std::stoi (m[2]);
    }
    if (std::regex_search (r.output, m, geometry))
        height = std::stoi (m[2]);
    return {x, y + height - 818};
}

int countPixels (const juce::Image& image, juce::Rectangle<int> area,
                 const std::function<bool (juce::Colour)>& test)
{
    int n = 0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            n += test (image.getPixelAt (x, y)) ? 1 : 0;
    return n;
}
// Media in `media`: a source with a few partials and a dry target, 20 s each; and a playlist
// file in the maker folder that lists two entries of each in each list.
void writeMediaAndPlaylist (const juce::File& media, const juce::File& maker)
{
    media.createDirectory();
    const double rate = 44100.0;
    const int length = (int)(20 * rate);
    juce::AudioBuffer<float> guitar (2, length);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < length; ++i)
        {
            const double t = i / rate, decay = std::exp (-3.0 * std::fmod (t, 0.5));
            double v = 0.0;
            for (int k = 1; k <= 6; ++k)
                v += std::sin (2.0 * M_PI * (110.0 + 55.0 * c) * k * t) / k;
            guitar.setSample (c, i, (float)(0.2 * decay * v));
        }
    player_test::writeAudio (media.getChildFile ("Guitar DI, neck pickup, take 3.wav"), guitar, rate);
    player_test::writeAudio (media.getChildFile ("Bass DI.wav"),
                             player_test::sines (1, length, rate, {55.0}, 0.3f), rate);
    player_test::writeAudio (media.getChildFile ("Reference amp.aiff"),
                             player_test::sines (2, length, rate, {220.0, 330.0}, 0.2f), rate);
    player_test::writeAudio (media.getChildFile ("Cab 4x12 room.wav"),
                             player_test::sines (1, length, rate, {440.0}, 0.2f), rate);

    maker.createDirectory();
    auto sample = [&] (const char* name, int channel)
    {
        return "<Sample path=\"" + media.getChildFile (name).getFullPathName() + "\" channel=\"" +
               juce::String (channel) + "\"/>";
    };
    maker.getChildFile ("playlist.xml")
        .replaceWithText (
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PellmixPlayList Version=\"1\"><Samples>" +
            sample ("Guitar DI, neck pickup, take 3.wav", 1) +
            sample ("Guitar DI, neck pickup, take 3.wav", 2) + sample ("Bass DI.wav", 0) +
            "</Samples><Targets>" + sample ("Reference amp.aiff", 1) + sample ("Reference amp.aiff", 2) +
            sample ("Cab 4x12 room.wav", 0) + "</Targets></PellmixPlayList>");
}

class PlayerScreenshot : public pellmix_test::AppOnDisplay
{
};
} // namespace

TEST_F (PlayerScreenshot, BothListsFilledOneFilePlayingSpectrumMoving)
{
    const juce::File media (home.child ("media"));
    const juce::File maker (home.path() + "/.config/Application Support/Harnwick");
    writeMediaAndPlaylist (media, maker);

    auto& app = startApp (PELLMIX_APP_PATH);

    std::string id;
    for (auto end = std::chrono::steady_clock::now() + 40s;
         id.empty() && std::chrono::steady_clock::now() < end;)
    {
        std::this_thread::sleep_for (100ms);
        id = windowId();
    }
    ASSERT_FALSE (id.empty()) << appOutput();
    const auto origin = contentOrigin (id);
    const juce::Point<int> player = origin + juce::Point<int> (38, 38);
    auto at = [&] (int x, int y, int w, int h)
    { return juce::Rectangle<int> (player.x + x, player.y + y, w, h); };

    // Both lists show rows of dark text on white (a screen not painted yet is all dark); the first
    // source row is selected (light blue).
    const auto dark = [] (juce::Colour c) { return c.getBrightness() < 0.3f; };
    const auto light = [] (juce::Colour c) { return c.getBrightness() > 0.8f; };
    const auto listsShown = [&] (const juce::Image& shot)
    {
        for (int listX : {12, 200})
            for (int r = 0; r < 3; ++r)
            {
                const auto rowArea = at (listX + 4, 28 + 18 * r, 160, 18);
                if (countPixels (shot, rowArea, dark) <= 20 || countPixels (shot, rowArea, light) <= 1000)
                    return false;
            }
        return true;
    };
    const auto rowSelected = [&] (const juce::Image& shot)
    {
        return countPixels (shot, at (16, 28, 160, 18),
                            [] (juce::Colour c) { return c == juce::Colours::lightblue; }) > 500;
    };
    // The file name is shown in white; the curves are drawn above the floor: coloured pixels in
    // the upper half of the view.
    const auto nameShown = [&] (const juce::Image& shot)
    {
        return countPixels (shot, at (414, 38, 250, 20),
                            [] (juce::Colour c) { return c.getBrightness() > 0.9f; }) > 50;
    };
    const auto curvesShown = [&] (const juce::Image& shot)
    {
        return countPixels (shot, at (812, 20, 300, 40),
                            [] (juce::Colour c) { return c.getRed() > 150 && c.getBlue() < 100; }) > 20;
    };
    // Moving: the spectrum view and the source position bar change between two screenshots.
    const auto spectrum = at (810, 7, 364, 108), bar = at (404, 11, 364, 20);
    const auto movedSince = [&] (const juce::Image& before, const juce::Image& shot)
    {
        return ui_test::differingPixels (before.getClippedImage (spectrum), shot.getClippedImage (spectrum)) >
                   100 &&
               ui_test::differingPixels (before.getClippedImage (bar), shot.getClippedImage (bar)) > 10;
    };

    // The window's first paint, with both lists filled.
    ASSERT_TRUE (listsShown (ui_test::screenshotShowing (display, "player-start.png", listsShown)));

    // A double click on the first source row plays it.
    const auto row = player + juce::Point<int> (12 + 80, 26 + 2 + 9);
    ASSERT_EQ (pellmix_test::run ({"xdotool", "mousemove", std::to_string (row.x), std::to_string (row.y),
                                   "click", "--repeat", "2", "--delay", "80", "1"})
                   .exitCode,
               0);

    const auto a =
        ui_test::screenshotShowing (display, "player.png",
                                    [&] (const juce::Image& shot)
                                    { return rowSelected (shot) && nameShown (shot) && curvesShown (shot); });
    ASSERT_TRUE (a.isValid());
    const auto b = ui_test::screenshotShowing (
        display, "player-later.png", [&] (const juce::Image& shot) { return movedSince (a, shot); });
    ASSERT_TRUE (b.isValid());
    app.signal (SIGINT);
    EXPECT_EQ (app.wait (15000ms).exitCode, 0);

    EXPECT_TRUE (listsShown (a));
    EXPECT_TRUE (rowSelected (a));
    EXPECT_TRUE (nameShown (a));
    EXPECT_TRUE (movedSince (a, b));
    EXPECT_TRUE (curvesShown (a));
    // The lists were written back at exit.
    const auto saved = maker.getChildFile ("playlist.xml").loadFileAsString();
    EXPECT_EQ (saved.length() > 0, true);
    EXPECT_EQ (juce::XmlDocument::parse (saved)->getChildByName ("Targets")->getNumChildElements(), 3);
}
