// The main window built in this process on a display without a window manager (so the native
// frame is empty), and what its destructor releases.
#include "InProcessDevice.h"
#include "app/MainContentComponent.h"
#include "app/MainWindow.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixMenu.h"

using namespace app_test;

class MainWindowInProcess : public InProcessDevice
{
};

TEST_F (MainWindowInProcess, LayoutLimitsAndMenuBar)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    MainWindow window ("Vantrel Melvane");

    EXPECT_EQ (window.getName(), "Vantrel Melvane");
    EXPECT_TRUE (window.isOnDesktop());
    EXPECT_TRUE (window.isVisible());
    EXPECT_TRUE (window.isUsingNativeTitleBar());
    EXPECT_TRUE (window.isResizable());
    EXPECT_EQ (window.getBackgroundColour(), juce::Colours::lightgrey);
    EXPECT_EQ (window.getPosition(), juce::Point<int> (10, 36));
    auto* bar = dynamic_cast<juce::MenuBarComponent*> (window.getMenuBarComponent());
    ASSERT_NE (bar, nullptr);
    EXPECT_EQ (bar->getModel(), config->menu.get());
    EXPECT_NE (PellmixMenu::fromConfig(), nullptr);
    const int barHeight = bar->getHeight();
    EXPECT_GT (barHeight, 0);
    EXPECT_EQ (window.getWidth(), 1289);
    EXPECT_EQ (window.getHeight(), 818 + barHeight) << "the window fits the content and the menu bar";

    auto* limits = window.getConstrainer();
    ASSERT_NE (limits, nullptr);
    EXPECT_EQ (limits->getMinimumWidth(), 800);
    EXPECT_EQ (limits->getMinimumHeight(), 600);
    EXPECT_EQ (limits->getMaximumWidth(), 1289);
    EXPECT_EQ (limits->getMaximumHeight(), 818 + barHeight);

    auto* viewport = dynamic_cast<juce::Viewport*> (window.getContentComponent());
    ASSERT_NE (viewport, nullptr);
    EXPECT_EQ (viewport->getName(), "");
    auto* content = dynamic_cast<MainContentComponent*> (viewport->getViewedComponent());
    ASSERT_NE (content, nullptr);
    EXPECT_EQ (content->getWidth(), 1289);
    EXPECT_EQ (content->getHeight(), 818);

    // Sizes outside the limits are brought back inside them.
    struct Case
    {
        int width, height, expectedWidth, expectedHeight;
    };
    for (auto c : {Case{300, 200, 800, 600}, Case{1000, 700, 1000, 700},
                   Case{3000, 3000, 1289, 818 + barHeight}, Case{3000, 650, 1289, 650}})
    {
        window.setBoundsConstrained ({10, 36, c.width, c.height});
        EXPECT_EQ (window.getWidth(), c.expectedWidth) << c.width << "x" << c.height;
        EXPECT_EQ (window.getHeight(), c.expectedHeight) << c.width << "x" << c.height;
    }
}

TEST_F (MainWindowInProcess, DestructorReleasesTheDeviceAfterTheContent)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    juce::Component::SafePointer<juce::Component> content;
    {
        MainWindow window ("Vantrel Melvane");
        auto* viewport = dynamic_cast<juce::Viewport*> (window.getContentComponent());
        ASSERT_NE (viewport, nullptr);
        content = viewport->getViewedComponent();
        EXPECT_NE (jack->ports().listing().find ("JUCEJack:"), std::string::npos);
    }
    EXPECT_EQ (content.getComponent(), nullptr);
    EXPECT_EQ (jack->ports().listing().find ("JUCEJack"), std::string::npos) << "device closed";
}

TEST_F (MainWindowInProcess, DestructorMakesNoDeviceManagerWhenNoneIsLeft)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    auto window = std::make_unique<MainWindow> ("Vantrel Melvane");
    deleteSharedAudioDeviceManager();

    struct RecordingLogger : juce::Logger
    {
        void logMessage (const juce::String& message) override { lines.add (message); }
        juce::StringArray lines;
    } logger;
    juce::Logger::setCurrentLogger (&logger);
    window.reset();
    juce::Logger::setCurrentLogger (config->logger.get());
    EXPECT_TRUE (logger.lines.isEmpty()) << "a new manager would open a device and report it:\n"
                                         << logger.lines.joinIntoString ("\n");
    EXPECT_EQ (getExistingSharedAudioDeviceManager(), nullptr);
}

// Made smaller than the content, the window scrolls it with scroll bars in the window's look: a
// dark track and a light thumb, wide enough to grab.
TEST_F (MainWindowInProcess, ScrollBarsAtTheSmallestSizeAreWideAndInTheWindowsLook)
{
    ASSERT_NO_FATAL_FAILURE (startConfiguration());
    MainWindow window ("Vantrel Melvane");
    window.setBoundsConstrained ({10, 36, 800, 600});
    auto* viewport = dynamic_cast<juce::Viewport*> (window.getContentComponent());
    ASSERT_NE (viewport, nullptr);
    auto& vertical = viewport->getVerticalScrollBar();
    auto& horizontal = viewport->getHorizontalScrollBar();
    ASSERT_TRUE (vertical.isVisible());
    ASSERT_TRUE (horizontal.isVisible());
    EXPECT_GE (vertical.getWidth(), 12);
    EXPECT_GE (horizontal.getHeight(), 12);

    for (auto* bar : {&vertical, &horizontal})
    {
        const auto shot =
            bar->createComponentSnapshot (bar->getLocalBounds()).convertedToFormat (juce::Image::ARGB);
        int track = 0, thumb = 0;
        for (int y = 0; y < shot.getHeight(); ++y)
            for (int x = 0; x < shot.getWidth(); ++x)
            {
                const auto argb = shot.getPixelAt (x, y).getARGB();
                track += argb == PellmixLookAndFeel::scrollTrack ? 1 : 0;
                thumb += argb == PellmixLookAndFeel::scrollThumb ? 1 : 0;
            }
        const int area = shot.getWidth() * shot.getHeight();
        EXPECT_GT (track, area / 10) << "the dark track";
        EXPECT_GT (thumb, area / 10) << "the light thumb";
    }
    // Kept for people to look at.
    const juce::File kept (pellmix_test::screenshotFolder() + "/main-window-800x600.png");
    kept.deleteFile();
    juce::FileOutputStream out (kept);
    juce::PNGImageFormat().writeImageToStream (window.createComponentSnapshot (window.getLocalBounds()), out);
}
