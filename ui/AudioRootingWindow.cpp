#include "ui/AudioRootingWindow.h"

#include "BinaryData.h"
#include "ui/PellmixPictures.h"
#include "engine/PellmixChannelCode.h"
#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixConfig.h"
#include "ui/DeviceDialogLookAndFeel.h"

namespace
{
juce::Label* makeLabel (juce::Component& parent, const juce::String& text, int y)
{
    auto* label = new juce::Label ({}, text);
    label->setBounds (10, y, 100, 15);
    parent.addAndMakeVisible (label);
    return label;
}

juce::ComboBox* makeBox (juce::Component& parent, juce::ComboBox::Listener* listener, int y)
{
    auto* box = new juce::ComboBox();
    box->setBounds (150, y, 250, 15);
    parent.addAndMakeVisible (box);
    box->addListener (listener);
    return box;
}
} // namespace

AudioRootingWindow::AudioRootingWindow (PellmixConfig* configToEdit)
    : config (configToEdit)
{
    setLookAndFeel (&getDeviceDialogLookAndFeel());
    mainOutLabel = makeLabel (*this, "Main Out", 10);
    captureInLabel = makeLabel (*this, "Capture In", 50);
    captureOutLabel = makeLabel (*this, "Capture Out", 90);

    mainOutBox = makeBox (*this, this, 10);
    captureInBox = makeBox (*this, this, 50);
    captureOutBox = makeBox (*this, this, 90);

    okButton = new juce::TextButton ("OK");
    addAndMakeVisible (okButton);
    okButton->addListener (this);

    setSize (496, 557);
    okButton->setBounds ((getWidth() - 150) / 2, getHeight() - 40, 150, 24);

    fillChannelLists();
    background = PELLMIX_PICTURE (routing_background_png);
}

AudioRootingWindow::~AudioRootingWindow()
{
    deleteAllChildren();
    setLookAndFeel (nullptr);
}

void AudioRootingWindow::fillChannelLists()
{
    for (auto* box : {captureInBox, captureOutBox, mainOutBox})
        box->clear (juce::dontSendNotification);

    auto* device = getSharedAudioDeviceManager()->getCurrentAudioDevice();
    if (device == nullptr)
        return;

    const auto inputNames = device->getInputChannelNames();
    const auto outputNames = device->getOutputChannelNames();
    const auto activeInputs = device->getActiveInputChannels();
    const auto activeOutputs = device->getActiveOutputChannels();

    for (int channel = 0, position = 0; channel <= activeInputs.getHighestBit(); ++channel)
        if (activeInputs[channel])
            captureInBox->addItem (inputNames[channel], ++position);

    juce::String previousName;
    for (int channel = 0, position = 0; channel <= activeOutputs.getHighestBit(); ++channel)
    {
        if (!activeOutputs[channel])
            continue;
        const auto name = outputNames[channel];
        if (position >= 1)
            mainOutBox->addItem (previousName + " + " + name, PellmixChannelCode::pair (position) + 1);
        captureOutBox->addItem (name, position + 1);
        mainOutBox->addItem (name, position + 1);
        previousName = name;
        ++position;
    }

    captureInBox->setSelectedId (config->captureAudioIn + 1, juce::sendNotificationAsync);
    captureOutBox->setSelectedId (config->captureAudioOut + 1, juce::sendNotificationAsync);
    mainOutBox->setSelectedId (config->mainAudioOut + 1, juce::sendNotificationAsync);
}

void AudioRootingWindow::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::white);
    g.drawImageAt (background, 5, 145);
}

void AudioRootingWindow::comboBoxChanged (juce::ComboBox* box)
{
    const int value = box->getSelectedId() - 1;
    if (box == captureInBox)
        config->captureAudioIn = value;
    else if (box == captureOutBox)
        config->captureAudioOut = value;
    else if (box == mainOutBox)
        config->mainAudioOut = value;
}

void AudioRootingWindow::buttonClicked (juce::Button* button)
{
    if (button == okButton)
        if (auto* dialog = getParentComponent())
            dialog->exitModalState (0);
}
