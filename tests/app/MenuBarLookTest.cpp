// The main window's menu bar and the menus it opens are drawn in the panels' dark look, with
// light text, not in the framework's default look. (The process-level menu run looks at an open
// menu on the screen.)
#include "InProcessDevice.h"
#include "app/MainWindow.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixMenu.h"

using namespace app_test;

namespace
{
juce::Image snapshotOf (juce::Component& c)
{
    return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f).convertedToFormat (juce::Image::ARGB);
}

bool isLight (juce::Colour c)
{
    return c.getRed() > 170 && c.getGreen() > 170 && c.getBlue() > 170;
}

int count (const juce::Image& image, std::function<bool (juce::Colour)> test)
{
    int n = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (test (image.getPixelAt (x, y)))
                ++n;
    return n;
}

} // namespace

class MenuBarLook : public InProcessDevice
{
};

TEST_F (MenuBarLook, BarAndMenusUseThePanelsLook)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    MainWindow window ("Vantrel Melvane");
    auto* bar = dynamic_cast<juce::MenuBarComponent*> (window.getMenuBarComponent());
    ASSERT_NE (bar, nullptr);
    EXPECT_EQ (&bar->getLookAndFeel(), PellmixLookAndFeel::getInstance());

    // A dark bar (no light-grey strip) with light item names at its left.
    const auto barShot = snapshotOf (*bar);
    const auto empty = barShot.getPixelAt (barShot.getWidth() - 10, barShot.getHeight() / 2);
    EXPECT_LT (empty.getBrightness(), 0.25f) << empty.toDisplayString (true);
    EXPECT_GT (count (barShot.getClippedImage ({0, 0, 150, barShot.getHeight()}), isLight), 30);

    // The menus it opens take the bar's look-and-feel (the bar hands it to them); drawn by it,
    // a menu has the panels' dark background, light item text, an accent bar under the
    // highlighted item and an accent tick.
    auto& look = *PellmixLookAndFeel::getInstance();
    juce::Image menuImage (juce::Image::ARGB, 200, 150, true);
    {
        juce::Graphics g (menuImage);
        look.drawPopupMenuBackground (g, 200, 150);
        look.drawPopupMenuItem (g, {0, 5, 200, 25}, false, true, false, false, false, "Open project", {},
                                nullptr, nullptr);
        look.drawPopupMenuItem (g, {0, 30, 200, 25}, false, true, true, false, false, "Save project", {},
                                nullptr, nullptr);
        look.drawPopupMenuItem (g, {0, 55, 200, 10}, true, true, false, false, false, {}, {}, nullptr,
                                nullptr);
        look.drawPopupMenuItem (g, {0, 65, 200, 25}, false, true, false, true, true, "Show ToolTip", {},
                                nullptr, nullptr);
    }
    const juce::Colour background (PellmixLookAndFeel::popupBackground);
    const juce::Colour accent (PellmixLookAndFeel::menuAccent);
    auto same = [] (juce::Colour c) { return [c] (juce::Colour p) { return p == c; }; };
    EXPECT_EQ (menuImage.getPixelAt (100, 120), background);
    EXPECT_EQ (menuImage.getPixelAt (0, 100), juce::Colour (PellmixLookAndFeel::popupBorder));
    EXPECT_GT (count (menuImage.getClippedImage ({0, 5, 200, 25}), isLight), 30) << "light text";
    EXPECT_GT (count (menuImage.getClippedImage ({0, 30, 200, 25}), same (accent)), 200 * 25 / 2)
        << "the highlighted item";
    EXPECT_EQ (menuImage.getPixelAt (100, 60), juce::Colour (PellmixLookAndFeel::popupBorder)) << "separator";
    EXPECT_GT (count (menuImage.getClippedImage ({0, 65, 30, 25}), same (accent)), 10) << "the tick";
    EXPECT_EQ (look.getPopupMenuFont().getTypefaceName(), PellmixLookAndFeel::getLabelTypeface()->getName());
}
