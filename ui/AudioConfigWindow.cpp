#include "ui/AudioConfigWindow.h"

#include "ui/DeviceDialogLookAndFeel.h"

AudioConfigWindow::AudioConfigWindow()
    : viewport (std::make_unique<juce::Viewport> ("Viewport"))
    , okButton (std::make_unique<juce::TextButton> ("OK"))
{
    setLookAndFeel (&getDeviceDialogLookAndFeel());
    addAndMakeVisible (*viewport);
    addAndMakeVisible (*okButton);
    okButton->addListener (this);
}

AudioConfigWindow::~AudioConfigWindow()
{
    okButton.reset();
    viewport->setViewedComponent (nullptr, true);
    viewport.reset();
    setLookAndFeel (nullptr);
}

void AudioConfigWindow::setContent (juce::Component* content)
{
    viewport->setViewedComponent (content, true);
}

void AudioConfigWindow::resized()
{
    viewport->setBounds (0, 0, getWidth(), getHeight() - 50);
    okButton->setBounds ((getWidth() - 150) / 2, getHeight() - 40, 150, 24);
}

void AudioConfigWindow::buttonClicked (juce::Button* button)
{
    if (button == okButton.get())
        if (auto* dialog = getParentComponent())
            dialog->exitModalState (0);
}
