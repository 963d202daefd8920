#pragma once
#include "settings/PellmixXmlFile.h"

#include <juce_core/juce_core.h>
#include <vector>

// The ranges that the IR block's knobs and the EQ panel's bands offer. Values read from a project
// file are held to them.
namespace PellmixRanges
{
constexpr float phaseMin = 0.0f;
constexpr float phaseMax = 100.0f;
constexpr float gainMinDb = -12.0f; // IR gain and every EQ band
constexpr float gainMaxDb = 12.0f;
constexpr int lengthMin = 1;
constexpr int lengthMax = 2048; // the working length of a slot
constexpr int offsetMin = 1 - lengthMax;
constexpr int offsetMax = 2 * 96000 - 1; // the last sample of the longest IR a slot keeps (2 s at 96 kHz)
} // namespace PellmixRanges

// One IR slot's settings, as the project file keeps them.
struct PellmixIrRecord
{
    bool changed = false; // filled by a project load and not yet taken by its IR block
    juce::File path;      // the slot's IR file; empty: no file
    bool solo = false;
    bool mute = false;
    bool invert = false;
    int offset = 0;     // start offset in samples
    int length = 1792;  // window length in samples
    float phase = 0.0f; // phase control 0..100
    float gain = 0.0f;  // dB
};

// What a project load could not take as stored: slots emptied (the file they name is missing, or
// could not be read when their IR block loaded it) and values brought into the range of their
// control. Empty when the project loaded whole.
struct PellmixProjectLoadReport
{
    struct EmptiedSlot
    {
        int slot; // 0..7
        juce::File file;
        bool missing; // false: the file exists but could not be read
    };
    struct HeldValue
    {
        int slot;            // 0..7, or -1 for an EQ band
        int band;            // the EQ band (0..30) when slot is -1
        juce::String field;  // "length", "offset", "phase", "gain" or "dB"
        juce::String stored; // the attribute's text, empty when it was missing
        double lowest, highest, taken;
    };

    std::vector<EmptiedSlot> emptiedSlots;
    std::vector<HeldValue> heldValues;

    bool isEmpty() const { return emptiedSlots.empty() && heldValues.empty(); }
    // The text of the one box that tells it, slots first, in slot order, then the values.
    juce::String describe (const juce::File& projectFile) const;
};

// The project: eight IR records, the 31 graphic-EQ gains and the EQ switch.
// Message thread only; the engine is fed from it by the user interface.
class PellmixProject
{
public:
    static constexpr int numEqBands = 31;

    PellmixProject();

    void addIrRecord (const juce::File& path, bool solo, bool mute, int length, int offset, float phase,
                      bool invert, float gain);
    void setIrRecord (int index, const juce::File& path, bool solo, bool mute, int length, int offset,
                      float phase, bool invert, float gain);
    void setIrChanged (int index, bool changed);
    void setIrPath (int index, const juce::File& path);
    void setIrSolo (int index, bool solo);
    void setIrInvert (int index, bool invert);
    void setIrMute (int index, bool mute);
    void setIrLength (int index, int length);
    void setIrOffset (int index, int offset);
    void setIrPhase (int index, float phase);
    void setIrGain (int index, float gain);

    // Loads a project file into the records and the EQ (marking them changed). False when the
    // file is missing, cannot be read or parsed (readXmlFile: only a regular file of at most
    // maxXmlFileBytes, nested no deeper than maxXmlDepth; the reason in `why` when given), or
    // holds neither "IRs" nor "EQ" (`why` is then none): only projectFile changes. Numbers are held
    // to PellmixRanges; one that is not finite takes its field's default. Every value held so, and
    // every slot whose file is missing, goes into lastLoadReport, which each load starts afresh.
    bool load (const juce::File& file, XmlFileProblem* why = nullptr);
    // An IR block found the file of a loaded record unreadable and emptied the slot.
    void noteUnreadableFile (int index, const juce::File& file);
    // Writes the project file; false when it could not be written (the old file is kept).
    bool save (const juce::File& file);

    juce::File projectFile;
    juce::Array<PellmixIrRecord> irRecords; // record i belongs to slot i; read as copies
    float eqGainsDb[numEqBands]{};
    bool eqChanged = false;
    bool eqOn = true;
    PellmixProjectLoadReport lastLoadReport;

private:
    template <typename Fn>
    void updateRecord (int index, Fn&& change);
};
