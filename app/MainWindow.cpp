#include "app/MainWindow.h"

#include "app/MainContentComponent.h"
#include "platform/WindowSizeHints.h"
#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "ui/PellmixLookAndFeel.h"
#include "ui/PellmixMenu.h"

namespace
{
constexpr int contentWidth = 1289;
constexpr int contentHeight = 818;
constexpr int minimumWidth = 800;
constexpr int minimumHeight = 600;
} // namespace

MainWindow::MainWindow (const juce::String& name)
    : juce::DocumentWindow (name, juce::Colours::lightgrey, juce::DocumentWindow::allButtons, false)
{
    setResizable (true, true);

    auto* viewport = new juce::Viewport();
    viewport->setLookAndFeel (PellmixLookAndFeel::getInstance()); // its scroll bars
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
    // The native window is made only once everything that shapes it is set: the framework maps a
    // window on the desktop whenever it changes its kind (the native title bar above), which would
    // show it before its limits, menu bar and position.
    addToDesktop();
    startSize = {getWidth(), getHeight()};
    updateSizeLimits();
    setVisible (true);
}

MainWindow::~MainWindow()
{
    clearContentComponent();
    if (auto* manager = getExistingSharedAudioDeviceManager())
        manager->removeAllChangeListeners();
    deleteSharedAudioDeviceManager();
}

void MainWindow::updateSizeLimits()
{
    auto* peer = getPeer();
    juce::BorderSize<int> frame;
    if (peer != nullptr)
        if (const auto frameSize = peer->getFrameSizeIfPresent())
            frame = *frameSize;
    if (limitsFrame != frame)
    {
        if (limitsFrame.has_value())
        {
            // What the window manager may have been told since the frame became known: the old
            // limits less the new frame.
            const auto* old = getConstrainer();
            staleShrink = juce::Point<int> (old->getMaximumWidth() - frame.getLeftAndRight(),
                                            old->getMaximumHeight() - frame.getTopAndBottom());
        }
        limitsFrame = frame;
        // The limits count the native frame: at the largest size the whole content and the menu
        // bar show, and no more.
        const int barHeight = getMenuBarComponent() != nullptr ? getMenuBarComponent()->getHeight() : 0;
        setResizeLimits (minimumWidth, minimumHeight, contentWidth + frame.getLeftAndRight(),
                         contentHeight + barHeight + frame.getTopAndBottom());
    }
    if (peer != nullptr)
        handSizeLimitsToWindowSystem (*peer);
}

void MainWindow::undoStaleShrink()
{
    if (!staleShrink.has_value())
        return;
    const juce::Point<int> size (getWidth(), getHeight());
    if (size == startSize)
        return; // not shrunk (yet): the window manager may still act on the stale limits
    if (size == *staleShrink && *staleShrink != startSize)
    {
        staleShrink.reset();
        setSize (startSize.x, startSize.y);
        return;
    }
    staleShrink.reset(); // another size: the user's, kept
}

// A window manager reports the frame it adds after the window is shown, and moves or resizes the
// window then; every placement of the window by the framework replaces its size hints.
void MainWindow::moved()
{
    juce::DocumentWindow::moved();
    if (limitsFrame.has_value())
        updateSizeLimits();
}

void MainWindow::resized()
{
    juce::DocumentWindow::resized();
    if (!limitsFrame.has_value())
        return;
    updateSizeLimits();
    undoStaleShrink();
}

// Before its first paint the framework places the window once more, replacing its size hints.
// The frame may have become known since the last move or resize: the limits are brought up to
// date before they are handed on.
void MainWindow::paint (juce::Graphics& g)
{
    juce::DocumentWindow::paint (g);
    if (painted)
        return;
    painted = true;
    updateSizeLimits();
    undoStaleShrink();
}

void MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}
