#include "settings/PellmixProject.h"

#include "settings/PellmixXmlFile.h"

PellmixProject::PellmixProject() = default;

void PellmixProject::addIrRecord (const juce::File& path, bool solo, bool mute, int length, int offset,
                                  float phase, bool invert, float gain)
{
    irRecords.add ({ false, path, solo, mute, invert, offset, length, phase, gain });
}

void PellmixProject::setIrRecord (int index, const juce::File& path, bool solo, bool mute, int length,
                                  int offset, float phase, bool invert, float gain)
{
    irRecords.set (index, { false, path, solo, mute, invert, offset, length, phase, gain });
}

template <typename Fn>
void PellmixProject::updateRecord (int index, Fn&& change)
{
    if (! juce::isPositiveAndBelow (index, irRecords.size()))
        return;
    auto record = irRecords[index];
    change (record);
    irRecords.set (index, record);
}

void PellmixProject::setIrChanged (int i, bool v) { updateRecord (i, [v] (auto& r) { r.changed = v; }); }
void PellmixProject::setIrPath (int i, const juce::File& v) { updateRecord (i, [&v] (auto& r) { r.path = v; }); }
void PellmixProject::setIrSolo (int i, bool v) { updateRecord (i, [v] (auto& r) { r.solo = v; }); }
void PellmixProject::setIrInvert (int i, bool v) { updateRecord (i, [v] (auto& r) { r.invert = v; }); }
void PellmixProject::setIrMute (int i, bool v) { updateRecord (i, [v] (auto& r) { r.mute = v; }); }
void PellmixProject::setIrLength (int i, int v) { updateRecord (i, [v] (auto& r) { r.length = v; }); }
void PellmixProject::setIrOffset (int i, int v) { updateRecord (i, [v] (auto& r) { r.offset = v; }); }
void PellmixProject::setIrPhase (int i, float v) { updateRecord (i, [v] (auto& r) { r.phase = v; }); }
void PellmixProject::setIrGain (int i, float v) { updateRecord (i, [v] (auto& r) { r.gain = v; }); }

bool PellmixProject::load (const juce::File& file)
{
    projectFile = file;
    if (! file.existsAsFile())
        return false;

    auto doc = juce::XmlDocument::parse (file);
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
            setIrRecord (k, juce::File (ir->getStringAttribute ("path")), ir->getIntAttribute ("solo") != 0,
                         ir->getIntAttribute ("mute") != 0, ir->getIntAttribute ("length"),
                         ir->getIntAttribute ("offset"), static_cast<float> (ir->getDoubleAttribute ("phase")),
                         false, static_cast<float> (ir->getDoubleAttribute ("gain")));
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
            eqGainsDb[band++] = static_cast<float> (child->getDoubleAttribute ("dB"));
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
