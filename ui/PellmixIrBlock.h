#pragma once
#include "settings/PellmixConfig.h"
#include "ui/PellmixSlider.h"

#include <array>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The editor of one IR slot, 303 x 180: takes a file by drop or from its pop-up menu, asks for a
// capture into its slot, shows the file's name and its time, magnitude or phase curve, and
// carries the gain, offset, length and phase knobs and the mute, solo, invert and remove buttons.
//
// The slot's settings live in its record of the project, the audio in the engine's slot. Every
// user action writes the record first, then applies it to the engine and blends. A 250 ms timer
// pulls what is shown from the record and the engine, takes over records that a project load
// marked changed, and completes the capture hand-off for its slot. A project load marks several
// records at once: the first block whose tick sees its mark takes the marked records of all the
// blocks beside it (its parent's) in that tick, in slot order, their files read and converted
// side by side beforehand (PellmixEngine::prepareIrs).
//
// Three looks, chosen at every tick: loaded (the record names an existing file: every control
// but the capture button, the curve), capturing (no file, a capture pending for this slot:
// "Capturing ..."), empty (the capture button, the drop picture).
//
// Threads: message thread only (the public calls assert it in Debug builds). The capture request and the
// taking of its file go through PellmixConfig::captureHandOff.
class PellmixIrBlock : public juce::Component,
                       public juce::FileDragAndDropTarget,
                       public juce::Slider::Listener,
                       public juce::Button::Listener,
                       public juce::Timer,
                       public PellmixConfig::Listener,
                       public juce::TooltipClient
{
public:
    static constexpr int blockWidth = 303;
    static constexpr int blockHeight = 180;
    static constexpr int timerIntervalMs = 250;
    static constexpr int numCurvePoints = 224;
    static constexpr int curveLeft = 26; // x of the first curve point
    static constexpr const char* acceptedExtensions = "wav;aif;aiff;vir";
    static constexpr const char* dropTooltip = "Drag & drop impulse file (.wav or .aiff)";

    enum class Look
    {
        empty,
        capturing,
        loaded
    };

    PellmixIrBlock();
    ~PellmixIrBlock() override;

    // Called once by the panel: the slot this block edits; empties that record's path.
    void setSlotIndex (int slot);

    // Outcome of reading the record's file into the engine.
    enum class LoadResult
    {
        noFile,    // the record names no existing file: nothing was called
        loaded,    // read, shaped and blended
        unreadable // the file exists but the engine could not read it; the slot kept what it held
    };
    // Reads the record's file into the slot, applies the record's settings and blends with the
    // project's EQ gains.
    LoadResult reloadAndBlend();
    // Applies the record's settings to the loaded slot and blends with the EQ gains in force.
    void applyParametersAndBlend();

    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void resized() override;
    bool isInterestedInFileDrag (const juce::StringArray& files) override;
    void filesDropped (const juce::StringArray& files, int x, int y) override;
    void timerCallback() override;
    void buttonClicked (juce::Button*) override;
    void sliderValueChanged (juce::Slider*) override;
    void colourSettingChanged (int colourIndex) override;
    juce::String getTooltip() override;

    int getSlotIndex() const { return slotIndex; }
    int getPlotMode() const { return plotMode; }
    Look getLook() const { return look; }
    const std::array<float, numCurvePoints>& getTimeCurve() const { return timeCurve; }
    const std::array<float, numCurvePoints>& getMagnitudeCurve() const { return magnitudeCurve; }
    const std::array<float, numCurvePoints>& getPhaseCurve() const { return phaseCurve; }
    juce::Label& getIrLabel() const { return *irLabel; }
    PellmixSlider& getGainSlider() const { return *gainSlider; }
    PellmixSlider& getOffsetSlider() const { return *offsetSlider; }
    PellmixSlider& getLengthSlider() const { return *lengthSlider; }
    PellmixSlider& getPhaseSlider() const { return *phaseSlider; }
    juce::Label& getOffsetLabel() const { return *offsetLabel; }
    juce::Label& getLengthLabel() const { return *lengthLabel; }
    juce::Label& getPhaseLabel() const { return *phaseLabel; }
    juce::ImageButton& getMuteButton() const { return *muteButton; }
    juce::ImageButton& getSoloButton() const { return *soloButton; }
    juce::ImageButton& getCaptureButton() const { return *captureButton; }
    juce::ImageButton& getRemoveButton() const { return *removeButton; }
    juce::ImageButton& getInvertButton() const { return *invertButton; }
    juce::ImageButton& getTimePlotButton() const { return *timePlotButton; }
    juce::ImageButton& getFrequencyPlotButton() const { return *frequencyPlotButton; }
    juce::ImageButton& getPhasePlotButton() const { return *phasePlotButton; }

private:
    PellmixIrRecord record() const;
    bool slotHasFile() const;
    // Drop, menu and capture: the record takes the file and the slot loads it; a file that
    // cannot be read leaves record and slot as they were and is reported.
    void takeFile (const juce::File& file);
    void requestCapture();
    void completeCapture();
    void takeMarkedRecords();
    // prepared: the record's file as the engine read it beforehand, or null to read it now.
    void takeProjectRecord (PellmixEngine::PreparedIr* prepared);
    LoadResult loadAndBlend (PellmixEngine::PreparedIr* prepared);
    void showLook (Look newLook);
    void leaveBlendIfEmpty();
    void computeCurves();
    void keepOffsetKnobWithinRange();
    void clearCurves();
    void setPlotMode (int mode);
    void blendWithoutNewGains();
    static void reportUnreadable (const juce::File& file);

    void setMuteLook (bool muted);
    void setSoloLook (bool soloed);
    void setInvertLook (bool inverted);

    juce::Image backgroundImage;      // loaded look
    juce::Image emptyBackgroundImage; // empty and capturing looks
    juce::Image dropImage;
    std::unique_ptr<juce::Label> irLabel;
    int slotIndex = -1;
    int plotMode = 0;
    std::unique_ptr<PellmixSlider> gainSlider;
    std::unique_ptr<PellmixSlider> offsetSlider;
    std::unique_ptr<juce::Label> offsetLabel;
    std::unique_ptr<PellmixSlider> lengthSlider;
    std::unique_ptr<juce::Label> lengthLabel;
    std::unique_ptr<PellmixSlider> phaseSlider;
    std::unique_ptr<juce::Label> phaseLabel;
    std::unique_ptr<juce::ImageButton> muteButton, soloButton, captureButton, removeButton, invertButton,
        timePlotButton, frequencyPlotButton, phasePlotButton;
    int maxLength = 2048;
    std::array<float, numCurvePoints> timeCurve{}, phaseCurve{}, magnitudeCurve{};
    juce::Time lastDrawnTime;
    Look look = Look::empty;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PellmixIrBlock)
};
