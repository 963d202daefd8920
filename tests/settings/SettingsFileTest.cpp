// The settings file: every key round trip, an independent reader's view of the file, and a
// table of hand-written files (fallback file, case of tag names, missing elements/attributes).
#include "settings/ConfigFixture.h"
#include "support/Process.h"

#include <sstream>

using namespace pellmix_test;

namespace
{
// Puts every field the settings file carries back to its default.
void resetAll (PellmixConfig& c)
{
    auto& s = c.settings;
    auto base = s.root.getFullPathName();
    s.tempFolder = juce::File (base + "/Temp/");
    s.impulsesFolder = juce::File (base + "/Impulses/");
    s.samplesFolder = juce::File (base + "/Samples/");
    s.sourceDirectory = juce::File (base + "/Impulses/");
    s.setDefaults();
    for (int i = 0; i < PellmixConfig::numColours; ++i)
        *c.getColourByIndex (i) = PellmixConfig::getDefaultColour (i);
    c.toolTip = true;
    c.mainAudioOut = 0;
    c.captureAudioIn = 0;
    c.captureAudioOut = 0;
}

std::vector<std::string> lines (const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in (text);
    for (std::string line; std::getline (in, line);)
        out.push_back (line);
    return out;
}
} // namespace

using SettingsFile = ConfigFixture;

TEST_F (SettingsFile, EveryKeyRoundTripsWithNonDefaultValues)
{
    auto& s = config->settings;
    TempDir folders;
    s.tempFolder = juce::File (folders.child ("t"));
    s.impulsesFolder = juce::File (folders.child ("i"));
    s.samplesFolder = juce::File (folders.child ("s"));
    s.sourceDirectory = juce::File (folders.child ("src dir"));
    s.sampleRate = 96000;
    s.bufferSize = 64;
    s.audioInput = "In \"quoted\" & <odd>";
    s.audioOutput = "Out";
    s.type = "JACK";
    s.mainAudioOutput = 101;
    s.captureAudioInput = 1;
    s.captureAudioOutput = 3;
    s.inputChannels.setBit (0);
    s.inputChannels.setBit (5);
    s.outputChannels.setRange (0, 2, true);
    const juce::uint32 colours[] = {0xffffff00, 0x00000000, 0x80112233, 0xff8766b8,
                                    0x7fffffff, 0xff000001, 0x01020304, 0xfffefdfc};
    for (int i = 0; i < 8; ++i)
        *config->getColourByIndex (i) = juce::Colour (colours[i]);
    config->toolTip = false;
    config->mainAudioOut = 102;
    config->captureAudioIn = 2;
    config->captureAudioOut = 1;
    ASSERT_TRUE (s.save());

    // What another program reads in the file: order, spelling, versions, signed ARGB, base-2 masks.
    auto dump = lines (
        runPythonScript ("settings_xml_dump.py", {s.getSettingsFile().getFullPathName().toStdString()}));
    const std::vector<std::string> expected{
        "/Vantrel",
        "/Vantrel/Melvane Version=2",
        "/Vantrel/Melvane/TempFolder Path=" + folders.child ("t"),
        "/Vantrel/Melvane/ImpulsesFolder Path=" + folders.child ("i"),
        "/Vantrel/Melvane/SamplesFolder Path=" + folders.child ("s"),
        "/Vantrel/Melvane/SourceDirectory Path=" + folders.child ("src dir"),
        "/Vantrel/Melvane/SampleRate value=96000",
        "/Vantrel/Melvane/BufferSize value=64",
        "/Vantrel/Melvane/AudioInput value=In \"quoted\" & <odd>",
        "/Vantrel/Melvane/AudioOutput value=Out",
        "/Vantrel/Melvane/Type value=JACK",
        "/Vantrel/Melvane/MainAudioOutput value=101",
        "/Vantrel/Melvane/CaptureAudioInput value=1",
        "/Vantrel/Melvane/CaptureAudioOutput value=3",
        "/Vantrel/Melvane/InputChannnels value=100001",
        "/Vantrel/Melvane/OutputChannnels value=11",
        "/Vantrel/Melvane/inputColour value=-256",
        "/Vantrel/Melvane/outputColour value=0",
        "/Vantrel/Melvane/sourceColour value=-2146360781",
        "/Vantrel/Melvane/targetColour value=-7903560",
        "/Vantrel/Melvane/irColour value=2147483647",
        "/Vantrel/Melvane/gainColour value=-16777215",
        "/Vantrel/Melvane/bgColour value=16909060",
        "/Vantrel/Melvane/gridColour value=-66052",
        "/Vantrel/Melvane/ToolTip value=0",
        "/Vantrel/Melvane/mainAudioOut value=102",
        "/Vantrel/Melvane/captureAudioIn value=2",
        "/Vantrel/Melvane/captureAudioOut value=1",
    };
    EXPECT_EQ (dump, expected);

    resetAll (*config);
    s.load();
    EXPECT_EQ (s.tempFolder, juce::File (folders.child ("t")));
    EXPECT_EQ (s.impulsesFolder, juce::File (folders.child ("i")));
    EXPECT_EQ (s.samplesFolder, juce::File (folders.child ("s")));
    EXPECT_EQ (s.sourceDirectory, juce::File (folders.child ("src dir")));
    EXPECT_EQ (s.sampleRate, 96000);
    EXPECT_EQ (s.bufferSize, 64);
    EXPECT_EQ (s.audioInput, "In \"quoted\" & <odd>");
    EXPECT_EQ (s.audioOutput, "Out");
    EXPECT_EQ (s.type, "JACK");
    EXPECT_EQ (s.mainAudioOutput, 101);
    EXPECT_EQ (s.captureAudioInput, 1);
    EXPECT_EQ (s.captureAudioOutput, 3);
    EXPECT_EQ (s.inputChannels.toString (2), "100001");
    EXPECT_EQ (s.outputChannels.toString (2), "11");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (config->getColourByIndex (i)->getARGB(), colours[i]) << i;
    EXPECT_FALSE (config->toolTip);
    EXPECT_EQ (config->mainAudioOut, 102);
    EXPECT_EQ (config->captureAudioIn, 2);
    EXPECT_EQ (config->captureAudioOut, 1);
    EXPECT_FALSE (s.getFallbackSettingsFile().exists()) << "the fallback file is never written";
}

TEST_F (SettingsFile, EmptyMasksAreWrittenAsOneDigit)
{
    ASSERT_TRUE (config->settings.save());
    auto text = config->settings.getSettingsFile().loadFileAsString();
    EXPECT_TRUE (text.contains ("<InputChannnels value=\"0\"/>")) << text;
    EXPECT_TRUE (text.contains ("<OutputChannnels value=\"0\"/>"));
}

namespace
{
struct SettingsCase
{
    const char* name;
    const char* primary;  // null: no "VantrelMelvane.cfg"
    const char* fallback; // null: no "VantrelCapture.cfg"
    std::function<void (PellmixConfig&)> check;
};

// Hand-written settings files (a primary, a fallback, both or neither) and what the
// configuration holds after reading them.
const SettingsCase handWrittenCases[] = {
    {"only ToolTip 0: only the tooltip switch changes",
     R"(<Vantrel><Melvane Version="2"><ToolTip value="0"/></Melvane></Vantrel>)", nullptr,
     [] (PellmixConfig& c)
     {
         EXPECT_FALSE (c.toolTip);
         EXPECT_EQ (c.settings.sampleRate, 44100);
         EXPECT_EQ (c.settings.bufferSize, 512);
         EXPECT_EQ (c.inputColour.getARGB(), 0xffffff00u);
         EXPECT_TRUE (c.settings.tempFolder.getFullPathName().endsWith ("Harnwick/Temp"));
     }},
    {"tag names are found whatever their case; the root's name is ignored",
     R"(<whatever><MELVANE><samplerate value="48000"/><TOOLTIP value="1"/><inputchannnels value="101"/><GRIDCOLOUR value="-1"/></MELVANE></whatever>)",
     nullptr,
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.sampleRate, 48000);
         EXPECT_TRUE (c.toolTip);
         EXPECT_EQ (c.settings.inputChannels.toString (2), "101");
         EXPECT_EQ (c.gridColour.getARGB(), 0xffffffffu);
     }},
    {"a missing attribute reads as 0, empty or false",
     R"(<Vantrel><Melvane><SampleRate/><BufferSize/><AudioInput/><Type/><InputChannnels/><inputColour/><ToolTip/><mainAudioOut/></Melvane></Vantrel>)",
     nullptr,
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.sampleRate, 8000) << "0, held to the lowest rate a device offers";
         EXPECT_EQ (c.settings.bufferSize, 16) << "0, held to the smallest block a device offers";
         EXPECT_EQ (c.settings.audioInput, "");
         EXPECT_EQ (c.settings.inputChannels.countNumberOfSetBits(), 0);
         EXPECT_EQ (c.inputColour.getARGB(), 0u) << "transparent black";
         EXPECT_FALSE (c.toolTip);
         EXPECT_EQ (c.mainAudioOut, 0);
     }},
    {"an empty or relative folder path keeps the folder's default",
     R"(<Vantrel><Melvane><TempFolder/><ImpulsesFolder Path=""/><SamplesFolder Path="relative/dir"/><SourceDirectory Path="/abs/src"/></Melvane></Vantrel>)",
     nullptr,
     [] (PellmixConfig& c)
     {
         EXPECT_TRUE (c.settings.tempFolder.getFullPathName().endsWith ("Harnwick/Temp"));
         EXPECT_TRUE (c.settings.impulsesFolder.getFullPathName().endsWith ("Harnwick/Impulses"));
         EXPECT_TRUE (c.settings.samplesFolder.getFullPathName().endsWith ("Harnwick/Samples"));
         EXPECT_EQ (c.settings.sourceDirectory, juce::File ("/abs/src"));
     }},
    {"stored copy and live routing are different keys",
     R"(<Vantrel><Melvane><MainAudioOutput value="5"/><mainAudioOut value="7"/><CaptureAudioInput value="8"/><captureAudioIn value="9"/></Melvane></Vantrel>)",
     nullptr,
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.mainAudioOutput, 5);
         EXPECT_EQ (c.mainAudioOut, 7);
         EXPECT_EQ (c.settings.captureAudioInput, 8);
         EXPECT_EQ (c.captureAudioIn, 9);
     }},
    {"rates and block sizes are held to what a device offers; routing no dialog offers is none",
     R"(<Vantrel><Melvane><SampleRate value="2000000000"/><BufferSize value="-512"/><MainAudioOutput value="99"/><CaptureAudioInput value="-7"/><CaptureAudioOutput value="-2"/><mainAudioOut value="-100"/><captureAudioIn value="-2147483648"/><captureAudioOut value="5"/></Melvane></Vantrel>)",
     nullptr,
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.sampleRate, 768000);
         EXPECT_EQ (c.settings.bufferSize, 16);
         EXPECT_EQ (c.settings.mainAudioOutput, -1) << "99 is neither a channel nor a pair";
         EXPECT_EQ (c.settings.captureAudioInput, -1);
         EXPECT_EQ (c.settings.captureAudioOutput, -1);
         EXPECT_EQ (c.mainAudioOut, -1);
         EXPECT_EQ (c.captureAudioIn, -1);
         EXPECT_EQ (c.captureAudioOut, 5) << "whether a position exists is the device's";
     }},
    {"the largest block, a pair and none are kept",
     R"(<Vantrel><Melvane><SampleRate value="8000"/><BufferSize value="9000"/><mainAudioOut value="103"/><captureAudioIn value="-1"/><MainAudioOutput value="98"/></Melvane></Vantrel>)",
     nullptr,
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.sampleRate, 8000);
         EXPECT_EQ (c.settings.bufferSize, 8192);
         EXPECT_EQ (c.mainAudioOut, 103);
         EXPECT_EQ (c.captureAudioIn, -1);
         EXPECT_EQ (c.settings.mainAudioOutput, 98);
     }},
    {"a primary that does not parse leaves the defaults and the fallback unread",
     "<Vantrel><Melvane><SampleRate value=\"1\"", R"(<V><Capture><SampleRate value="22050"/></Capture></V>)",
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.sampleRate, 44100);
         EXPECT_TRUE (c.toolTip);
     }},
    {"a primary without Melvane leaves the defaults and the fallback unread",
     R"(<Vantrel><Other><SampleRate value="1"/></Other></Vantrel>)",
     R"(<V><Capture><SampleRate value="22050"/></Capture></V>)",
     [] (PellmixConfig& c) { EXPECT_EQ (c.settings.sampleRate, 44100); }},
    {"both files: only the primary is read",
     R"(<Vantrel><Melvane><BufferSize value="256"/></Melvane></Vantrel>)",
     R"(<V><Capture><SampleRate value="22050"/><BufferSize value="128"/></Capture></V>)",
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.bufferSize, 256);
         EXPECT_EQ (c.settings.sampleRate, 44100);
     }},
    {"only the fallback: its folders and audio settings, never colours or live routing", nullptr,
     R"(<Old><Capture><TempFolder Path="/cap/temp"/><SampleRate value="22050"/><Type value="ALSA"/><OutputChannnels value="1100"/><MainAudioOutput value="4"/><inputColour value="0"/><ToolTip value="0"/><mainAudioOut value="3"/></Capture></Old>)",
     [] (PellmixConfig& c)
     {
         EXPECT_EQ (c.settings.tempFolder, juce::File ("/cap/temp"));
         EXPECT_EQ (c.settings.sampleRate, 22050);
         EXPECT_EQ (c.settings.type, "ALSA");
         EXPECT_EQ (c.settings.outputChannels.toString (2), "1100");
         EXPECT_EQ (c.settings.mainAudioOutput, 4);
         EXPECT_EQ (c.inputColour.getARGB(), 0xffffff00u);
         EXPECT_TRUE (c.toolTip);
         EXPECT_EQ (c.mainAudioOut, 0);
     }},
    {"a fallback without Capture: nothing read", nullptr,
     R"(<Old><Melvane><SampleRate value="22050"/></Melvane></Old>)",
     [] (PellmixConfig& c) { EXPECT_EQ (c.settings.sampleRate, 44100); }},
};
} // namespace

TEST_F (SettingsFile, HandWrittenFilesTable)
{
    auto& s = config->settings;
    for (const auto& c : handWrittenCases)
    {
        SCOPED_TRACE (c.name);
        s.getSettingsFile().deleteFile();
        s.getFallbackSettingsFile().deleteFile();
        if (c.primary != nullptr)
            s.getSettingsFile().replaceWithText (c.primary);
        if (c.fallback != nullptr)
            s.getFallbackSettingsFile().replaceWithText (c.fallback);
        resetAll (*config);
        s.load();
        c.check (*config);
    }
}

TEST_F (SettingsFile, LoadNotifiesListenersOfColoursAndTooltips)
{
    struct Listener : PellmixConfig::Listener
    {
        void colourSettingChanged (int index) override { colours.push_back (index); }
        void tooltipsChanged (bool on) override { tooltips.push_back (on); }
        std::vector<int> colours;
        std::vector<bool> tooltips;
    } listener;
    config->addListener (&listener);
    config->settings.getSettingsFile().replaceWithText (
        R"(<Vantrel><Melvane><gainColour value="1"/><inputColour value="2"/><ToolTip value="0"/></Melvane></Vantrel>)");
    config->settings.load();
    EXPECT_EQ (listener.colours, (std::vector<int>{0, 5})) << "colour keys are read in colour-index order";
    EXPECT_EQ (listener.tooltips, (std::vector<bool>{false}));
}

TEST_F (SettingsFile, SaveAudioSettingsCopiesTheOpenDeviceAndWritesItsState)
{
    config->saveAudioSettings();
    auto& s = config->settings;
    EXPECT_EQ (s.type, "JACK");
    EXPECT_EQ (s.sampleRate, 44100);
    EXPECT_EQ (s.bufferSize, 512);
    EXPECT_TRUE (s.getSettingsFile().existsAsFile());
    auto text = s.getSettingsFile().loadFileAsString();
    EXPECT_TRUE (text.contains ("<Type value=\"JACK\"/>")) << text;
}

// A device choice that opened nothing (the user picked no device, or one that failed) is no
// state to start from: the saved one stays.
TEST_F (SettingsFile, SaveAudioSettingsKeepsTheStateWhenTheChoiceOpenedNothing)
{
    auto& manager = *getSharedAudioDeviceManager();
    auto setup = manager.getAudioDeviceSetup();
    setup.useDefaultInputChannels = false;
    setup.inputChannels = 1; // an explicit choice: the first input only
    ASSERT_EQ (manager.setAudioDeviceSetup (setup, true), juce::String());
    config->saveAudioSettings();
    const auto stateFile = PellmixSettings::getDeviceStateFile();
    const auto saved = stateFile.loadFileAsString();
    ASSERT_TRUE (saved.contains ("audioOutputDeviceName=\"system\"")) << saved;

    setup.outputDeviceName = {};
    setup.inputDeviceName = {};
    manager.setAudioDeviceSetup (setup, true);
    ASSERT_EQ (manager.getCurrentAudioDevice(), nullptr);
    ASSERT_NE (manager.createStateXml(), nullptr) << "the device manager has a state to give";
    config->settings.getSettingsFile().deleteFile();
    config->saveAudioSettings();
    EXPECT_EQ (stateFile.loadFileAsString(), saved);
    EXPECT_TRUE (config->settings.getSettingsFile().existsAsFile())
        << "the settings file is written all the same";
}

TEST_F (SettingsFile, FailedWriteKeepsThePreviousFile)
{
    auto& s = config->settings;
    ASSERT_TRUE (s.save());
    auto before = s.getSettingsFile().loadFileAsString();
    // A file in place of the maker folder's temporary sibling cannot make the write fail, but a
    // read-only maker folder can: root ignores permissions, so use a folder that no longer exists.
    auto savedRoot = s.root;
    s.root = juce::File (home.child ("missing/and/more"));
    EXPECT_FALSE (s.save());
    s.root = savedRoot;
    EXPECT_EQ (s.getSettingsFile().loadFileAsString(), before);
}
