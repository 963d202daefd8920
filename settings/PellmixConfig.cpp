#include "settings/PellmixConfig.h"

#include "engine/PellmixInputFile.h"
#include "engine/PellmixThreadCheck.h"
#include "settings/SharedAudioDeviceManager.h"
#include "settings/PellmixStoredFile.h"

PellmixConfig* PellmixConfig::getInstance()
{
    static PellmixConfig instance;
    return &instance;
}

PellmixConfig::PellmixConfig()
    : settings (this)
{
    // The logger opens the log and cuts it to its last 128 kB: only a regular file, or none yet
    // (a pipe would block the open, a device would be read and written as if it were the log).
    const auto log = settings.productFolder.getChildFile ("VantrelMelvane.log");
    if (log.exists() && !PellmixInputFile::isRegularFile (log))
        juce::Logger::writeToLog ("The log is not a regular file and is not used: " + log.getFullPathName());
    else if (settings.productFolder.hasWriteAccess())
    {
        logFile = std::make_unique<juce::File> (log);
        logger = std::make_unique<juce::FileLogger> (*logFile, "Vantrel Melvane", 131072);
        juce::Logger::setCurrentLogger (logger.get());
    }

    setDefaults();
    audioDeviceReady = 0;
}

PellmixConfig::~PellmixConfig()
{
    juce::Logger::setCurrentLogger (nullptr);
    logger.reset();
    logFile.reset();
    menu.reset();
}

juce::Colour PellmixConfig::getDefaultColour (int colourIndex)
{
    switch (colourIndex)
    {
        case 0:
            return juce::Colours::yellow;
        case 1:
            return juce::Colours::red;
        case 2:
            return juce::Colours::blue;
        case 3:
            return juce::Colour (135, 102, 184);
        case 4:
            return juce::Colours::white;
        case 5:
            return juce::Colours::green;
        case 6:
            return juce::Colours::black;
        case 7:
            return juce::Colours::darkgrey.darker (0.8f);
        default:
            return {};
    }
}

juce::Colour* PellmixConfig::getColourByIndex (int colourIndex)
{
    juce::Colour* colours[numColours] = {&inputColour, &outputColour, &sourceColour, &targetColour,
                                         &irColour,    &gainColour,   &bgColour,     &gridColour};
    return juce::isPositiveAndBelow (colourIndex, numColours) ? colours[colourIndex] : nullptr;
}

void PellmixConfig::setDefaults()
{
    getSharedAudioDeviceManager();

    for (int i = 0; i < numColours; ++i)
        *getColourByIndex (i) = getDefaultColour (i);

    project.eqOn = true;
    processingEnabled = true;
    std::fill (std::begin (project.eqGainsDb), std::end (project.eqGainsDb), 0.0f);

    for (int slot = 0; slot < 8; ++slot)
        project.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);

    engine.initialise();
    settings.load();
    formatManager.registerBasicFormats();
    previewThread.startThread (juce::Thread::Priority::low);
}

bool PellmixConfig::hasOutputDevice() const
{
    return getSharedAudioDeviceManager()->getAudioDeviceSetup().outputDeviceName.isNotEmpty();
}

void PellmixConfig::addListener (Listener* listener)
{
    const juce::ScopedLock sl (lock);
    if (listener != nullptr)
        listeners.add (listener);
}

void PellmixConfig::removeListener (Listener* listener)
{
    const juce::ScopedLock sl (lock);
    listeners.remove (listener);
}

void PellmixConfig::notifyProcessingChanged (bool processingOn)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    listeners.call ([processingOn] (Listener& l) { l.processingChanged (processingOn); });
}

void PellmixConfig::notifyColourChanged (int colourIndex)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    listeners.call ([colourIndex] (Listener& l) { l.colourSettingChanged (colourIndex); });
}

void PellmixConfig::notifyTooltipsChanged (bool tooltipsOn)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    listeners.call ([tooltipsOn] (Listener& l) { l.tooltipsChanged (tooltipsOn); });
}

void PellmixConfig::resetColours()
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    for (int i = 0; i < numColours; ++i)
        *getColourByIndex (i) = getDefaultColour (i);

    for (int i = 0; i < numColours; ++i)
        notifyColourChanged (i);
}

void PellmixConfig::toggleTooltips()
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    toolTip = !toolTip;
    notifyTooltipsChanged (toolTip);
}

void PellmixConfig::handleAsyncUpdate()
{
    listeners.call ([] (Listener& l) { l.configChanged(); });
}

void PellmixConfig::saveAudioSettings()
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    auto* deviceManager = getSharedAudioDeviceManager();
    auto setup = deviceManager->getAudioDeviceSetup();

    settings.sampleRate = static_cast<int> (setup.sampleRate);
    settings.bufferSize = setup.bufferSize;
    settings.audioOutput = setup.outputDeviceName;
    settings.audioInput = setup.inputDeviceName;
    settings.inputChannels = setup.inputChannels;
    settings.outputChannels = setup.outputChannels;
    settings.type = deviceManager->getCurrentAudioDeviceType();
    settings.save(); // a failure is logged

    // With no explicitly chosen device there is no state to keep, and a choice that opened no
    // device is no state to start from: an older file stays in place.
    if (deviceManager->getCurrentAudioDevice() == nullptr)
        return;
    if (auto state = deviceManager->createStateXml())
        PellmixStoredFile::write (*state, PellmixSettings::getDeviceStateFile(), "audio device state");
}

bool PellmixConfig::loadProject (const juce::File& file, XmlFileProblem* why)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    return project.load (file, why);
}

bool PellmixConfig::saveProject (const juce::File& file)
{
    PELLMIX_ASSERT_MESSAGE_THREAD();
    return project.save (file);
}
