#include "app/MainWindow.h"

#include "app/MainContentComponent.h"
#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixMenu.h"

namespace
{
constexpr int contentWidth = 1289;
constexpr int contentHeight = 818;
} // namespace

MainWindow::MainWindow (const juce::String& name)
    : juce::DocumentWindow (name, juce::Colours::lightgrey, juce::DocumentWindow::allButtons, true)
{
    setResizable (true, true);

    auto* viewport = new juce::Viewport();
    viewport->setSize (contentWidth, contentHeight);
    setContentOwned (viewport, true);
    viewport->setViewedComponent (new MainContentComponent(), true);

    setUsingNativeTitleBar (true);
    setMenuBar (PellmixConfig::getInstance()->menu.get(), 0);
    // The bar and the menus it opens are drawn in the panels' look.
    if (auto* bar = getMenuBarComponent())
        bar->setLookAndFeel (PellmixLookAndFeel::getInstance());
    setTitleBarHeight (22);
    setTopLeftPosition (10, 36);

    // The limits allow the whole content, the native frame and the menu bar, and no more.
    juce::BorderSize<int> frame;
    if (auto* peer = getPeer())
        if (const auto frameSize = peer->getFrameSizeIfPresent())
            frame = *frameSize;
    const int barHeight = getMenuBarComponent() != nullptr ? getMenuBarComponent()->getHeight() : 0;
    setResizeLimits (800, 600, contentWidth + frame.getLeftAndRight(),
                     contentHeight + frame.getTopAndBottom() + barHeight);

    setVisible (true);
}

MainWindow::~MainWindow()
{
    clearContentComponent();
    getSharedAudioDeviceManager()->removeAllChangeListeners();
    deleteSharedAudioDeviceManager();
}

void MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}
