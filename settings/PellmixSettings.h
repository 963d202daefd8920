#pragma once
#include <atomic>
#include <juce_core/juce_core.h>

class PellmixConfig;

// The settings record: support folders (created at construction), audio device settings, and
// the settings file "VantrelMelvane.cfg" (with "VantrelCapture.cfg" read as a fallback), which
// also carries the owner's colours, tooltip switch and live routing.
// Message thread only, except sampleRate and bufferSize, which the capture audio callback reads
// (atomics).
class PellmixSettings
{
public:
    explicit PellmixSettings (PellmixConfig* owner);

    void setDefaults();
    void load();
    // Writes the settings file through a temporary sibling; false, logged, when it could not be
    // written (the previous file is then left as it was), or when an unreadable settings file was
    // left in its place at start (settings/PellmixStoredFile.h).
    bool save();

    juce::File root; // the maker folder
    juce::File productFolder;
    juce::File tempFolder;
    juce::File impulsesFolder;
    juce::File samplesFolder;
    juce::File docsFolder;
    juce::File sourceDirectory;
    juce::File playlistFile;
    std::atomic<int> sampleRate{44100};
    juce::String audioInput;
    juce::String audioOutput;
    std::atomic<int> bufferSize{512};
    juce::String type;
    juce::BigInteger inputChannels;
    int captureAudioInput = 0;
    juce::BigInteger outputChannels;
    int captureAudioOutput = 0;
    int mainAudioOutput = 0;
    PellmixConfig* owner = nullptr;

    // The settings file's colour keys in colour-index order; the menu's colour selectors carry
    // these names too.
    static const char* const colourKeys[8];

    // The rates and block sizes a device dialog can offer; the settings file's values are held
    // to them. Its routing values that no routing dialog can give become -1 (none).
    static constexpr int minSampleRate = 8000;
    static constexpr int maxSampleRate = 768000;
    static constexpr int minBufferSize = 16;
    static constexpr int maxBufferSize = 8192;

    juce::File getSettingsFile() const { return root.getChildFile ("VantrelMelvane.cfg"); }
    juce::File getFallbackSettingsFile() const { return root.getChildFile ("VantrelCapture.cfg"); }
    // The saved device state, below the same base folder as the support folders.
    static juce::File getDeviceStateFile();

private:
    void readKeys (const juce::XmlElement& parent, bool withOwnerKeys);

    JUCE_DECLARE_NON_COPYABLE (PellmixSettings)
};
