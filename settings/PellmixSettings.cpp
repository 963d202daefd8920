#include "settings/PellmixSettings.h"

#include "engine/PellmixChannelCode.h"
#include "settings/PellmixConfig.h"
#include "platform/SupportFolders.h"
#include "settings/PellmixStoredFile.h"

namespace
{
// Every support path is the application-data folder, the maker folder's literal and a name
// below it.
const char* const makerFolderLiteral = "/Application Support/Harnwick/";
const char* const productFolderName = "Vantrel Melvane/";
const char* const impulsesFolderName = "Impulses/";

juce::File supportPath (const juce::String& belowMakerFolder = {})
{
    return juce::File (getSystemApplicationDataFolder().getFullPathName() + makerFolderLiteral +
                       belowMakerFolder);
}

void readFolder (const juce::XmlElement& parent, const char* key, juce::File& folder)
{
    if (auto* e = parent.getChildByName (key))
    {
        // A path that is empty or relative would put the folder somewhere unintended (an empty
        // one at the filesystem root): keep the current folder instead.
        auto path = e->getStringAttribute ("Path");
        if (juce::File::isAbsolutePath (path))
            folder = juce::File (path);
    }
}

void readInt (const juce::XmlElement& parent, const char* key, int& value)
{
    if (auto* e = parent.getChildByName (key))
        value = e->getIntAttribute ("value", 0);
}

void readInt (const juce::XmlElement& parent, const char* key, std::atomic<int>& value)
{
    if (auto* e = parent.getChildByName (key))
        value = e->getIntAttribute ("value", 0);
}

void readText (const juce::XmlElement& parent, const char* key, juce::String& value)
{
    if (auto* e = parent.getChildByName (key))
        value = e->getStringAttribute ("value");
}

void readMask (const juce::XmlElement& parent, const char* key, juce::BigInteger& mask)
{
    if (auto* e = parent.getChildByName (key))
    {
        mask.clear();
        mask.parseString (e->getStringAttribute ("value"), 2);
    }
}

juce::XmlElement* addKey (juce::XmlElement& parent, const char* key)
{
    return parent.createNewChildElement (key);
}
} // namespace

const char* const PellmixSettings::colourKeys[8] = {"inputColour",  "outputColour", "sourceColour",
                                                    "targetColour", "irColour",     "gainColour",
                                                    "bgColour",     "gridColour"};

PellmixSettings::PellmixSettings (PellmixConfig* ownerConfig)
    : owner (ownerConfig)
{
    tempFolder = supportPath ("Temp/");
    impulsesFolder = supportPath (impulsesFolderName);
    samplesFolder = supportPath ("Samples/");
    sourceDirectory = supportPath (impulsesFolderName);
    root = supportPath();
    productFolder = supportPath (productFolderName);
    docsFolder = supportPath ("Docs/");

    for (auto* folder :
         {&tempFolder, &impulsesFolder, &samplesFolder, &sourceDirectory, &root, &productFolder, &docsFolder})
        folder->createDirectory();
}

juce::File PellmixSettings::getDeviceStateFile()
{
    return supportPath (juce::String (productFolderName) + "VantrelMelvaneAudio.xml");
}

void PellmixSettings::setDefaults()
{
    playlistFile = root.getChildFile ("playlist.xml");
    sampleRate = 44100;
    bufferSize = 512;
    audioInput.clear();
    audioOutput.clear();
    type.clear();
    inputChannels.clear();
    outputChannels.clear();
    captureAudioInput = 0;
    captureAudioOutput = 0;
    mainAudioOutput = 0;
}

void PellmixSettings::readKeys (const juce::XmlElement& parent, bool withOwnerKeys)
{
    readFolder (parent, "TempFolder", tempFolder);
    readFolder (parent, "ImpulsesFolder", impulsesFolder);
    readFolder (parent, "SamplesFolder", samplesFolder);
    readFolder (parent, "SourceDirectory", sourceDirectory);
    readInt (parent, "SampleRate", sampleRate);
    readInt (parent, "BufferSize", bufferSize);
    readText (parent, "AudioInput", audioInput);
    readText (parent, "AudioOutput", audioOutput);
    readText (parent, "Type", type);
    readInt (parent, "MainAudioOutput", mainAudioOutput);
    readInt (parent, "CaptureAudioInput", captureAudioInput);
    readInt (parent, "CaptureAudioOutput", captureAudioOutput);
    readMask (parent, "InputChannnels", inputChannels);
    readMask (parent, "OutputChannnels", outputChannels);

    // Held to what the device and routing dialogs offer: the audio callbacks size and index
    // with these values.
    sampleRate = juce::jlimit (minSampleRate, maxSampleRate, sampleRate.load());
    bufferSize = juce::jlimit (minBufferSize, maxBufferSize, bufferSize.load());
    mainAudioOutput = PellmixChannelCode::validMainOutput (mainAudioOutput);
    captureAudioInput = PellmixChannelCode::validPosition (captureAudioInput);
    captureAudioOutput = PellmixChannelCode::validPosition (captureAudioOutput);

    if (!withOwnerKeys || owner == nullptr)
        return;

    for (int i = 0; i < PellmixConfig::numColours; ++i)
    {
        if (auto* e = parent.getChildByName (colourKeys[i]))
        {
            *owner->getColourByIndex (i) =
                juce::Colour (static_cast<juce::uint32> (e->getIntAttribute ("value", 0)));
            owner->notifyColourChanged (i);
        }
    }

    if (auto* e = parent.getChildByName ("ToolTip"))
    {
        owner->toolTip = e->getBoolAttribute ("value", false);
        owner->notifyTooltipsChanged (owner->toolTip);
    }

    readInt (parent, "mainAudioOut", owner->mainAudioOut);
    readInt (parent, "captureAudioIn", owner->captureAudioIn);
    readInt (parent, "captureAudioOut", owner->captureAudioOut);
    owner->mainAudioOut = PellmixChannelCode::validMainOutput (owner->mainAudioOut);
    owner->captureAudioIn = PellmixChannelCode::validPosition (owner->captureAudioIn);
    owner->captureAudioOut = PellmixChannelCode::validPosition (owner->captureAudioOut);
}

void PellmixSettings::load()
{
    setDefaults();

    // Whatever is at the settings file's path, read or refused, stands for the settings file: the
    // fallback is read only when there is nothing.
    auto problem = XmlFileProblem::none;
    if (auto doc = PellmixStoredFile::read (getSettingsFile(), "settings file", maxXmlFileBytes, &problem))
        if (auto* melvane = doc->getChildByName ("Melvane"))
            readKeys (*melvane, true);
    if (problem != XmlFileProblem::missing)
        return;

    // The fallback belongs to the capture program, which writes it: a file that cannot be read is
    // left as it is.
    const auto fallback = getFallbackSettingsFile();
    if (auto doc = readXmlFile (fallback, maxXmlFileBytes, &problem))
    {
        if (auto* capture = doc->getChildByName ("Capture"))
            readKeys (*capture, false);
    }
    else if (problem != XmlFileProblem::missing)
        juce::Logger::writeToLog ("The fallback settings file could not be read (it " + describe (problem) +
                                  "): " + fallback.getFullPathName());
}

bool PellmixSettings::save()
{
    juce::XmlElement vantrel ("Vantrel");
    auto* melvane = vantrel.createNewChildElement ("Melvane");
    melvane->setAttribute ("Version", 2);

    addKey (*melvane, "TempFolder")->setAttribute ("Path", tempFolder.getFullPathName());
    addKey (*melvane, "ImpulsesFolder")->setAttribute ("Path", impulsesFolder.getFullPathName());
    addKey (*melvane, "SamplesFolder")->setAttribute ("Path", samplesFolder.getFullPathName());
    addKey (*melvane, "SourceDirectory")->setAttribute ("Path", sourceDirectory.getFullPathName());
    addKey (*melvane, "SampleRate")->setAttribute ("value", sampleRate.load());
    addKey (*melvane, "BufferSize")->setAttribute ("value", bufferSize.load());
    addKey (*melvane, "AudioInput")->setAttribute ("value", audioInput);
    addKey (*melvane, "AudioOutput")->setAttribute ("value", audioOutput);
    addKey (*melvane, "Type")->setAttribute ("value", type);
    addKey (*melvane, "MainAudioOutput")->setAttribute ("value", mainAudioOutput);
    addKey (*melvane, "CaptureAudioInput")->setAttribute ("value", captureAudioInput);
    addKey (*melvane, "CaptureAudioOutput")->setAttribute ("value", captureAudioOutput);
    addKey (*melvane, "InputChannnels")->setAttribute ("value", inputChannels.toString (2, 1));
    addKey (*melvane, "OutputChannnels")->setAttribute ("value", outputChannels.toString (2, 1));

    if (owner != nullptr)
    {
        for (int i = 0; i < PellmixConfig::numColours; ++i)
            addKey (*melvane, colourKeys[i])
                ->setAttribute ("value", static_cast<int> (owner->getColourByIndex (i)->getARGB()));

        addKey (*melvane, "ToolTip")->setAttribute ("value", owner->toolTip ? 1 : 0);
        addKey (*melvane, "mainAudioOut")->setAttribute ("value", owner->mainAudioOut.load());
        addKey (*melvane, "captureAudioIn")->setAttribute ("value", owner->captureAudioIn.load());
        addKey (*melvane, "captureAudioOut")->setAttribute ("value", owner->captureAudioOut.load());
    }

    // Written through a temporary sibling: a failed write keeps the old file.
    return PellmixStoredFile::write (vantrel, getSettingsFile(), "settings file");
}
