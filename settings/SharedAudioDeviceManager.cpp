#include "settings/SharedAudioDeviceManager.h"

#include "settings/PellmixSettings.h"
#include "settings/PellmixStoredFile.h"

namespace
{
// The program's one device manager. Emptied by deleteSharedAudioDeviceManager(); a manager
// still held at program exit goes with this static.
std::unique_ptr<juce::AudioDeviceManager> sharedManager;

constexpr int numInputChannels = 2;
constexpr int numOutputChannels = 4;

const char* const separatorLine = "--------------------------------------";

void logFramedBlock (const juce::String& error, const juce::String& notice)
{
    juce::Logger::writeToLog (separatorLine);
    juce::Logger::writeToLog (error);
    juce::Logger::writeToLog (notice);
    juce::Logger::writeToLog (separatorLine);
}

void openDefaultDevice (juce::AudioDeviceManager& manager)
{
    const auto error = manager.initialise (numInputChannels, numOutputChannels, nullptr, true, {}, nullptr);
    if (error.isNotEmpty())
        logFramedBlock (error, "The default device could not be opened");
}
} // namespace

std::unique_ptr<juce::XmlElement> readSavedDeviceState (const juce::File& stateFile)
{
    auto state = PellmixStoredFile::read (stateFile, "audio device state");
    if (state == nullptr || state->getStringAttribute ("deviceType").isEmpty())
        return {};
    for (auto* name : {"audioDeviceName", "audioOutputDeviceName", "audioInputDeviceName"})
        if (state->getStringAttribute (name).isNotEmpty())
            return state;
    return {};
}

void openAudioDevice (juce::AudioDeviceManager& manager, const juce::File& stateFile)
{
    const auto state = readSavedDeviceState (stateFile);
    if (state == nullptr)
    {
        openDefaultDevice (manager);
        return;
    }

    // The saved request twice, then the default device.
    auto error = manager.initialise (numInputChannels, numOutputChannels, state.get(), false, {}, nullptr);
    if (error.isEmpty())
        return;

    logFramedBlock (
        error,
        "Retrying - if the device specified fails to open, then a default device will be used instead");
    error = manager.initialise (numInputChannels, numOutputChannels, state.get(), false, {}, nullptr);
    if (error.isEmpty())
        return;

    logFramedBlock (error, "The default device will be used instead");
    openDefaultDevice (manager);
}

juce::AudioDeviceManager* getSharedAudioDeviceManager()
{
    if (sharedManager != nullptr)
        return sharedManager.get();

    // Stored before opening, so that calls made while it opens (the report) get this manager.
    sharedManager = std::make_unique<juce::AudioDeviceManager>();
    auto& manager = *sharedManager;
    openAudioDevice (manager, PellmixSettings::getDeviceStateFile());
    logAudioDeviceInfo();
    return &manager;
}

juce::AudioDeviceManager* getExistingSharedAudioDeviceManager()
{
    return sharedManager.get();
}

void deleteSharedAudioDeviceManager()
{
    // Emptied before deletion: nothing reached from the manager's destructor sees a dying manager.
    auto manager = std::move (sharedManager);
    manager.reset();
}

void logAudioDeviceInfo()
{
    auto& manager = *getSharedAudioDeviceManager();
    juce::Logger::writeToLog (separatorLine);

    auto* type = manager.getCurrentDeviceTypeObject();
    juce::Logger::writeToLog ("Current audio device type: " +
                              (type != nullptr ? type->getTypeName() : juce::String ("<none>")));

    auto* device = manager.getCurrentAudioDevice();
    if (device == nullptr)
    {
        juce::Logger::writeToLog ("No audio device open");
        return;
    }

    juce::Logger::writeToLog ("Current audio device: " + device->getName().quoted());
    juce::Logger::writeToLog ("Sample rate: " + juce::String (device->getCurrentSampleRate()) + " Hz");
    juce::Logger::writeToLog ("Block size: " + juce::String (device->getCurrentBufferSizeSamples()) +
                              " samples");
    juce::Logger::writeToLog ("Bit depth: " + juce::String (device->getCurrentBitDepth()));
    juce::Logger::writeToLog ("Input channel names: " + device->getInputChannelNames().joinIntoString (", "));
    juce::Logger::writeToLog ("Active input channels: " +
                              channelMaskToString (device->getActiveInputChannels()));
    juce::Logger::writeToLog ("Output channel names: " +
                              device->getOutputChannelNames().joinIntoString (", "));
    juce::Logger::writeToLog ("Active output channels: " +
                              channelMaskToString (device->getActiveOutputChannels()));
}

juce::String channelMaskToString (const juce::BigInteger& mask)
{
    juce::StringArray indexes;
    for (int i = 0; i <= mask.getHighestBit(); ++i)
        if (mask[i])
            indexes.add (juce::String (i));
    return indexes.joinIntoString (", ");
}
