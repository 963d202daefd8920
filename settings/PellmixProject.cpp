#include "settings/PellmixProject.h"

#include "settings/PellmixXmlFile.h"

#include <cmath>

namespace
{
// A number from the file held to [lo, hi]; not finite (NaN, or beyond a double): fallback.
float numberWithin (const juce::XmlElement& e, const char* name, float lo, float hi, float fallback)
{
    const double value = e.getDoubleAttribute (name);
    return std::isfinite (value) ? (float)juce::jlimit ((double)lo, (double)hi, value) : fallback;
}

int integerWithin (const juce::XmlElement& e, const char* name, int lo, int hi)
{
    return juce::jlimit (lo, hi, e.getIntAttribute (name));
}
} // namespace

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

bool PellmixProject::load (const juce::File& file, XmlFileProblem* why)
{
    projectFile = file;
    auto doc = readXmlFile (file, maxXmlFileBytes, why);
    if (doc == nullptr || (doc->getChildByName ("IRs") == nullptr && doc->getChildByName ("EQ") == nullptr))
        return false;

    if (auto* irs = doc->getChildByName ("IRs"))
    {
        // Children past the slot records are ignored: no slot uses them.
        int k = 0;
        for (auto* ir : irs->getChildIterator())
        {
            if (k >= irRecords.size())
                break;
            using namespace PellmixRanges;
            setIrRecord (k, juce::File (ir->getStringAttribute ("path")), ir->getIntAttribute ("solo") != 0,
                         ir->getIntAttribute ("mute") != 0,
                         integerWithin (*ir, "length", lengthMin, lengthMax),
                         integerWithin (*ir, "offset", offsetMin, offsetMax),
                         numberWithin (*ir, "phase", phaseMin, phaseMax, 0.0f), false,
                         numberWithin (*ir, "gain", gainMinDb, gainMaxDb, 0.0f));
            setIrChanged (k, true);
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
            eqGainsDb[band++] =
                numberWithin (*child, "dB", PellmixRanges::gainMinDb, PellmixRanges::gainMaxDb, 0.0f);
        }
        eqChanged = true;
    }
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
