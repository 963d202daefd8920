#include "settings/PellmixProject.h"

#include "settings/PellmixXmlFile.h"

#include <algorithm>
#include <cmath>

namespace
{
// Reads the numbers of one element (an "IR" of slot `slot`, or EQ band `band` when slot is -1)
// held to their ranges, and notes in the report each one that was not taken as stored.
struct HeldReader
{
    const juce::XmlElement& e;
    int slot, band;
    PellmixProjectLoadReport& report;

    // Held to [lo, hi]; not finite (NaN, or beyond a double): fallback.
    float number (const char* name, float lo, float hi, float fallback) const
    {
        const double value = e.getDoubleAttribute (name);
        if (!std::isfinite (value))
        {
            note (name, lo, hi, fallback);
            return fallback;
        }
        const double held = juce::jlimit ((double)lo, (double)hi, value);
        if (held != value)
            note (name, lo, hi, held);
        return (float)held;
    }

    int integer (const char* name, int lo, int hi) const
    {
        const int value = e.getIntAttribute (name);
        const int taken = juce::jlimit (lo, hi, value);
        if (taken != value)
            note (name, lo, hi, taken);
        return taken;
    }

    void note (const char* name, double lo, double hi, double taken) const
    {
        report.heldValues.push_back ({slot, band, name, e.getStringAttribute (name), lo, hi, taken});
    }
};

juce::String number (double v)
{
    return v == std::floor (v) && std::abs (v) < 1e15 ? juce::String ((juce::int64)v) : juce::String (v);
}
} // namespace

juce::String PellmixProjectLoadReport::describe (const juce::File& projectFile) const
{
    auto text = "The project was opened, but not all of it as it was stored:\n" +
                projectFile.getFullPathName() + "\n";
    auto slots = emptiedSlots;
    std::stable_sort (slots.begin(), slots.end(),
                      [] (const auto& a, const auto& b) { return a.slot < b.slot; });
    for (const auto& s : slots)
        text << "\nIR " << (s.slot + 1) << " was left empty: its file "
             << (s.missing ? "is missing" : "could not be read") << ":\n    " << s.file.getFullPathName();
    for (const auto& v : heldValues)
    {
        text << "\n";
        if (v.slot >= 0)
            text << "IR " << (v.slot + 1) << " " << v.field;
        else
            text << "EQ band " << (v.band + 1);
        text << (v.stored.isEmpty() ? " was missing" : " " + v.stored.quoted()) << ": ";
        text << "brought into " << number (v.lowest) << " to " << number (v.highest) << ", now "
             << number (v.taken) << ".";
    }
    return text;
}

PellmixProject::PellmixProject() = default;

void PellmixProject::addIrRecord (const juce::File& path, bool solo, bool mute, int length, int offset,
                                  float phase, bool invert, float gain)
{
    irRecords.add ({false, path, solo, mute, invert, offset, length, phase, gain});
}

void PellmixProject::setIrRecord (int index, const juce::File& path, bool solo, bool mute, int length,
                                  int offset, float phase, bool invert, float gain)
{
    irRecords.set (index, {false, path, solo, mute, invert, offset, length, phase, gain});
}

template <typename Fn>
void PellmixProject::updateRecord (int index, Fn&& change)
{
    if (!juce::isPositiveAndBelow (index, irRecords.size()))
        return;
    auto record = irRecords[index];
    change (record);
    irRecords.set (index, record);
}

void PellmixProject::setIrChanged (int i, bool v)
{
    updateRecord (i, [v] (auto& r) { r.changed = v; });
}
void PellmixProject::setIrPath (int i, const juce::File& v)
{
    updateRecord (i, [&v] (auto& r) { r.path = v; });
}
void PellmixProject::setIrSolo (int i, bool v)
{
    updateRecord (i, [v] (auto& r) { r.solo = v; });
}
void PellmixProject::setIrInvert (int i, bool v)
{
    updateRecord (i, [v] (auto& r) { r.invert = v; });
}
void PellmixProject::setIrMute (int i, bool v)
{
    updateRecord (i, [v] (auto& r) { r.mute = v; });
}
void PellmixProject::setIrLength (int i, int v)
{
    updateRecord (i, [v] (auto& r) { r.length = v; });
}
void PellmixProject::setIrOffset (int i, int v)
{
    updateRecord (i, [v] (auto& r) { r.offset = v; });
}
void PellmixProject::setIrPhase (int i, float v)
{
    updateRecord (i, [v] (auto& r) { r.phase = v; });
}
void PellmixProject::setIrGain (int i, float v)
{
    updateRecord (i, [v] (auto& r) { r.gain = v; });
}

void PellmixProject::noteUnreadableFile (int index, const juce::File& file)
{
    lastLoadReport.emptiedSlots.push_back ({index, file, false});
}

bool PellmixProject::load (const juce::File& file, XmlFileProblem* why)
{
    projectFile = file;
    lastLoadReport = {};
    auto doc = readXmlFile (file, maxXmlFileBytes, why);
    if (doc == nullptr || (doc->getChildByName ("IRs") == nullptr && doc->getChildByName ("EQ") == nullptr))
        return false;
    PellmixProjectLoadReport report;

    if (auto* irs = doc->getChildByName ("IRs"))
    {
        // Children past the slot records are ignored: no slot uses them.
        int k = 0;
        for (auto* ir : irs->getChildIterator())
        {
            if (k >= irRecords.size())
                break;
            using namespace PellmixRanges;
            const HeldReader read{*ir, k, 0, report};
            const juce::File path (ir->getStringAttribute ("path"));
            const int length = read.integer ("length", lengthMin, lengthMax);
            const int offset = read.integer ("offset", offsetMin, offsetMax);
            const float phase = read.number ("phase", phaseMin, phaseMax, 0.0f);
            const float gain = read.number ("gain", gainMinDb, gainMaxDb, 0.0f);
            setIrRecord (k, path, ir->getIntAttribute ("solo") != 0, ir->getIntAttribute ("mute") != 0,
                         length, offset, phase, false, gain);
            setIrChanged (k, true);
            if (path != juce::File() && !path.existsAsFile())
                report.emptiedSlots.push_back ({k, path, true});
            ++k;
        }
    }

    if (auto* eq = doc->getChildByName ("EQ"))
    {
        eqOn = eq->getIntAttribute ("on") != 0;
        int band = 0;
        for (auto* child : eq->getChildIterator())
        {
            if (band >= numEqBands)
                break;
            const HeldReader read{*child, -1, band, report};
            eqGainsDb[band++] = read.number ("dB", PellmixRanges::gainMinDb, PellmixRanges::gainMaxDb, 0.0f);
        }
        eqChanged = true;
    }
    lastLoadReport = std::move (report);
    return true;
}

bool PellmixProject::save (const juce::File& file)
{
    projectFile = file;

    juce::XmlElement root ("MelvaneProject");
    root.setAttribute ("Version", 1);

    auto* irs = root.createNewChildElement ("IRs");
    for (const auto& r : irRecords)
    {
        auto* ir = irs->createNewChildElement ("IR");
        ir->setAttribute ("path", r.path.getFullPathName());
        ir->setAttribute ("solo", r.solo ? 1 : 0);
        ir->setAttribute ("mute", r.mute ? 1 : 0);
        ir->setAttribute ("length", r.length);
        ir->setAttribute ("offset", r.offset);
        ir->setAttribute ("phase", static_cast<double> (r.phase));
        ir->setAttribute ("gain", static_cast<double> (r.gain));
    }

    auto* eq = root.createNewChildElement ("EQ");
    eq->setAttribute ("on", eqOn ? 1 : 0);
    for (float gain : eqGainsDb)
        eq->createNewChildElement ("band")->setAttribute ("dB", static_cast<double> (gain));

    // Written through a temporary sibling: a failed write leaves the previous project intact.
    return writeXmlFile (root, file);
}
