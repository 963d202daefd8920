// Project record and project file: round trips, hand-written files, a failed write.
#include "engine/PellmixEngine.h"
#include "settings/PellmixProject.h"
#include "support/Fixtures.h"
#include "support/Process.h"

#include <cmath>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pellmix_test;

namespace
{
PellmixProject makeDefaultProject()
{
    PellmixProject p;
    for (int i = 0; i < 8; ++i)
        p.addIrRecord ({}, false, false, 1792, 0, 0.0f, false, 0.0f);
    return p;
}

bool sameBits (float a, float b)
{
    return std::memcmp (&a, &b, sizeof (float)) == 0;
}

juce::File writeFile (const TempDir& dir, const char* name, const char* text)
{
    juce::File f (dir.child (name));
    f.replaceWithText (text);
    return f;
}
} // namespace

TEST (ProjectFile, RoundTripKeepsEveryRecordFieldAndGainBitExact)
{
    TempDir dir;
    auto saved = makeDefaultProject();
    const float phases[8] = {12.3f, 0.1f, 99.9f, 1e-7f, 100.0f, 33.333333f, 0.0f, 57.7f};
    const float gains[8] = {-12.0f, 11.5f, -0.1f, 3.0f, 0.0f, -7.77f, 12.0f, 1.0f / 3.0f};
    for (int i = 0; i < 8; ++i)
        saved.setIrRecord (i, juce::File (dir.child ("ir " + std::to_string (i) + ".wav")), i % 2 == 0,
                           i % 3 == 0, 100 + i * 37, i * 5 - 3, phases[i], true, gains[i]);
    for (int b = 0; b < PellmixProject::numEqBands; ++b)
        saved.eqGainsDb[b] = static_cast<float> (b - 15) * 0.7f;
    saved.eqOn = false;

    auto file = juce::File (dir.child ("project.vmp"));
    ASSERT_TRUE (saved.save (file));

    auto loaded = makeDefaultProject();
    loaded.load (file);
    EXPECT_EQ (loaded.projectFile, file);
    ASSERT_EQ (loaded.irRecords.size(), 8);
    for (int i = 0; i < 8; ++i)
    {
        auto a = saved.irRecords[i];
        auto b = loaded.irRecords[i];
        EXPECT_EQ (a.path, b.path) << i;
        EXPECT_EQ (a.solo, b.solo) << i;
        EXPECT_EQ (a.mute, b.mute) << i;
        EXPECT_EQ (a.length, b.length) << i;
        EXPECT_EQ (a.offset, b.offset) << i;
        EXPECT_TRUE (sameBits (a.phase, b.phase)) << i << ": " << a.phase << " vs " << b.phase;
        EXPECT_TRUE (sameBits (a.gain, b.gain)) << i << ": " << a.gain << " vs " << b.gain;
        EXPECT_FALSE (b.invert) << "the file does not carry the invert flag";
        EXPECT_TRUE (b.changed) << i;
    }
    for (int band = 0; band < PellmixProject::numEqBands; ++band)
        EXPECT_TRUE (sameBits (saved.eqGainsDb[band], loaded.eqGainsDb[band])) << band;
    EXPECT_FALSE (loaded.eqOn);
    EXPECT_TRUE (loaded.eqChanged);
}

TEST (ProjectFile, WrittenStructureSeenByAnIndependentReader)
{
    TempDir dir;
    auto project = makeDefaultProject();
    auto file = juce::File (dir.child ("p.vmp"));
    ASSERT_TRUE (project.save (file));

    auto dump = runPythonScript ("settings_xml_dump.py", {file.getFullPathName().toStdString()});
    std::vector<std::string> lines;
    std::istringstream in (dump);
    for (std::string line; std::getline (in, line);)
        lines.push_back (line);
    ASSERT_EQ (lines.size(), 1u + 1u + 8u + 1u + 31u);
    EXPECT_EQ (lines[0], "/MelvaneProject Version=1");
    EXPECT_EQ (lines[1], "/MelvaneProject/IRs");
    EXPECT_EQ (lines[2],
               "/MelvaneProject/IRs/IR path= solo=0 mute=0 length=1792 offset=0 phase=0.0 gain=0.0");
    EXPECT_EQ (lines[10], "/MelvaneProject/EQ on=1");
    EXPECT_EQ (lines[11], "/MelvaneProject/EQ/band dB=0.0");
}

struct ProjectLoadCase
{
    const char* name;
    const char* xml;
    std::function<void (const PellmixProject&)> check;
};

TEST (ProjectFile, HandWrittenFilesTable)
{
    const ProjectLoadCase cases[] = {
        {"three records replace only records 0 to 2",
         R"(<MelvaneProject><IRs><IR path="/a.wav" length="10"/><IR path="/b.wav"/><X path="/c.wav"/></IRs></MelvaneProject>)",
         [] (const PellmixProject& p)
         {
             EXPECT_EQ (p.irRecords[0].path, juce::File ("/a.wav"));
             EXPECT_EQ (p.irRecords[0].length, 10);
             EXPECT_EQ (p.irRecords[1].length, 1)
                 << "a missing length reads as 0, the length knob's lowest is 1";
             EXPECT_EQ (p.irRecords[2].path, juce::File ("/c.wav")) << "children taken whatever their names";
             for (int i = 0; i < 3; ++i)
                 EXPECT_TRUE (p.irRecords[i].changed);
             for (int i = 3; i < 8; ++i)
             {
                 EXPECT_EQ (p.irRecords[i].length, 555) << i;
                 EXPECT_EQ (p.irRecords[i].changed, i == 5) << "untouched records keep their marks";
             }
             EXPECT_FALSE (p.eqChanged) << "no EQ element leaves the EQ alone";
             EXPECT_EQ (p.eqGainsDb[4], 4.0f);
         }},
        {"non-numeric text reads as the leading digits, else 0",
         R"(<any><irs><IR solo="yes" mute="1" length="12abc" offset="x" phase="7.5kg" gain="-"/></irs></any>)",
         [] (const PellmixProject& p)
         {
             EXPECT_FALSE (p.irRecords[0].solo);
             EXPECT_TRUE (p.irRecords[0].mute);
             EXPECT_EQ (p.irRecords[0].length, 12);
             EXPECT_EQ (p.irRecords[0].offset, 0);
             EXPECT_FLOAT_EQ (p.irRecords[0].phase, 7.5f);
             EXPECT_EQ (p.irRecords[0].gain, 0.0f);
         }},
        {"an EQ with 40 bands takes the first 31, fractional gains kept",
         R"(<MelvaneProject><EQ on="1"><band dB="1.5"/><band dB="-2.25"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="3"/><band dB="-9"/><band dB="99"/><band dB="99"/><band dB="99"/><band dB="99"/><band dB="99"/><band dB="99"/><band dB="99"/><band dB="99"/><band dB="99"/></EQ></MelvaneProject>)",
         [] (const PellmixProject& p)
         {
             EXPECT_TRUE (p.eqOn);
             EXPECT_EQ (p.eqGainsDb[0], 1.5f);
             EXPECT_EQ (p.eqGainsDb[1], -2.25f);
             EXPECT_EQ (p.eqGainsDb[30], -9.0f);
             EXPECT_TRUE (p.eqChanged);
         }},
        {"an EQ with 10 bands leaves bands 10 to 30; a missing on switches off",
         R"(<MelvaneProject><EQ><b dB="-1"/><b dB="-1"/><b dB="-1"/><b dB="-1"/><b dB="-1"/><b dB="-1"/><b dB="-1"/><b dB="-1"/><b dB="-1"/><b dB="-1"/></EQ></MelvaneProject>)",
         [] (const PellmixProject& p)
         {
             EXPECT_FALSE (p.eqOn);
             EXPECT_EQ (p.eqGainsDb[9], -1.0f);
             EXPECT_EQ (p.eqGainsDb[10], 10.0f);
             EXPECT_TRUE (p.eqChanged);
         }},
        {"more than eight records: the eight slot records only",
         R"(<P><IRs><IR length="1"/><IR length="2"/><IR length="3"/><IR length="4"/><IR length="5"/><IR length="6"/><IR length="7"/><IR length="8"/><IR length="9"/><IR length="10"/></IRs></P>)",
         [] (const PellmixProject& p)
         {
             ASSERT_EQ (p.irRecords.size(), 8);
             EXPECT_EQ (p.irRecords[7].length, 8);
         }},
        {"a file that does not parse changes nothing but the project file",
         "<MelvaneProject><IRs><IR length=\"1\"",
         [] (const PellmixProject& p)
         {
             EXPECT_EQ (p.irRecords[0].length, 555);
             EXPECT_FALSE (p.irRecords[0].changed);
             EXPECT_FALSE (p.eqChanged);
         }},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        TempDir dir;
        auto project = makeDefaultProject();
        for (int i = 0; i < 8; ++i)
            project.setIrLength (i, 555);
        project.setIrChanged (5, true);
        for (int b = 0; b < PellmixProject::numEqBands; ++b)
            project.eqGainsDb[b] = static_cast<float> (b);
        auto file = writeFile (dir, "case.vmp", c.xml);
        project.load (file);
        EXPECT_EQ (project.projectFile, file);
        c.check (project);
    }
}

// Values a project file can hold but no control offers are held to the controls' ranges: phase
// 0 to 100, gains -12 to 12 dB, length 1 to 2048, offset -2047 to 191999 (the last sample of the
// longest IR a slot keeps); a value that is not a number takes the field's default.
TEST (ProjectFile, ValuesAreHeldToTheRangesOfTheControls)
{
    struct Case
    {
        const char* phase;
        const char* gain;
        const char* length;
        const char* offset;
        const char* band;
        float expectedPhase, expectedGain;
        int expectedLength, expectedOffset;
        float expectedBand;
    };
    const Case cases[] = {
        {"-1", "1000", "0", "-1000000", "1e6", 0.0f, 12.0f, 1, -2047, 12.0f},
        {"250", "-1e30", "5000", "1000000000", "-50", 100.0f, -12.0f, 2048, 191999, -12.0f},
        {"nan", "NaN", "2048", "191999", "nan", 0.0f, 0.0f, 2048, 191999, 0.0f},
        {"inf", "-inf", "1", "-2047", "inf", 0.0f, 0.0f, 1, -2047, 0.0f},
        {"1e400", "-1e400", "1792", "0", "-1e400", 0.0f, 0.0f, 1792, 0, 0.0f},
        {"99.9", "-11.5", "300", "-20", "11", 99.9f, -11.5f, 300, -20, 11.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::string ("phase ") + c.phase + ", gain " + c.gain + ", band " + c.band);
        TempDir dir;
        const auto xml = juce::String ("<MelvaneProject><IRs><IR path=\"/a.wav\" length=\"") + c.length +
                         "\" offset=\"" + c.offset + "\" phase=\"" + c.phase + "\" gain=\"" + c.gain +
                         "\"/></IRs><EQ on=\"1\"><band dB=\"" + c.band + "\"/></EQ></MelvaneProject>";
        auto file = writeFile (dir, "ranges.vmp", xml.toRawUTF8());
        auto project = makeDefaultProject();
        project.load (file);
        const auto r = project.irRecords[0];
        EXPECT_EQ (r.phase, c.expectedPhase);
        EXPECT_EQ (r.gain, c.expectedGain);
        EXPECT_EQ (r.length, c.expectedLength);
        EXPECT_EQ (r.offset, c.expectedOffset);
        EXPECT_EQ (project.eqGainsDb[0], c.expectedBand);
    }
}

// The road from a damaged project file to the audio: the records and gains as the IR block and
// the EQ panel hand them to the engine.
TEST (ProjectFile, DamagedValuesNeverReachTheAudio)
{
    TempDir dir;
    const juce::File wav (dir.child ("ir.wav"));
    {
        juce::WavAudioFormat format;
        std::unique_ptr<juce::AudioFormatWriter> writer (
            format.createWriterFor (new juce::FileOutputStream (wav), 96000.0, 1, 32, {}, 0));
        ASSERT_NE (writer, nullptr);
        std::vector<float> ir (500);
        for (size_t i = 0; i < ir.size(); ++i)
            ir[i] = std::exp (-(float)i / 60.0f) * (i % 2 == 0 ? 1.0f : -0.5f);
        const float* channels[] = {ir.data()};
        ASSERT_TRUE (writer->writeFromFloatArrays (channels, 1, (int)ir.size()));
    }

    const char* damaged[] = {
        R"(phase="-1")", R"(gain="1000")", R"(gain="nan")", R"(phase="nan")", R"(length="-5")",
    };
    const char* damagedBands[] = {R"(dB="1e6")", R"(dB="nan")"};
    auto run = [&] (const std::string& irAttributes, const std::string& bandAttributes)
    {
        SCOPED_TRACE (irAttributes + " " + bandAttributes);
        const auto xml = "<MelvaneProject><IRs><IR path=\"" + wav.getFullPathName().toStdString() +
                         "\" length=\"2048\" " + irAttributes + "/></IRs><EQ on=\"1\"><band " +
                         bandAttributes + "/></EQ></MelvaneProject>";
        auto file = writeFile (dir, "damaged.vmp", xml.c_str());
        auto project = makeDefaultProject();
        project.load (file);

        PellmixEngine engine;
        engine.initialise();
        const auto r = project.irRecords[0];
        ASSERT_TRUE (engine.loadIr (0, r.path));
        engine.setIrParameters (0, r.length, r.offset, r.phase, r.invert, r.gain);
        engine.blend (project.eqGainsDb, true, project.eqOn);
        engine.prepareToPlay (256, 96000.0);
        engine.reset();

        std::vector<float> block (256);
        float loudest = 0.0f;
        for (int n = 0; n < 8; ++n)
        {
            std::fill (block.begin(), block.end(), 0.0f);
            block[0] = n == 0 ? 1.0f : 0.0f;
            const float* in[] = {block.data()};
            float* out[] = {block.data()};
            engine.processBlock (in, out, 1, 256, true);
            for (float v : block)
            {
                ASSERT_TRUE (std::isfinite (v)) << "block " << n;
                loudest = std::max (loudest, std::abs (v));
            }
        }
        EXPECT_GT (loudest, 0.01f) << "the IR plays";
    };
    for (const char* attributes : damaged)
        run (attributes, R"(dB="0")");
    for (const char* attributes : damagedBands)
        run ("", attributes);
}

TEST (ProjectFile, MissingFileChangesOnlyTheProjectFile)
{
    TempDir dir;
    auto project = makeDefaultProject();
    project.setIrGain (2, 4.0f);
    juce::File missing (dir.child ("missing.vmp"));
    project.load (missing);
    EXPECT_EQ (project.projectFile, missing);
    EXPECT_EQ (project.irRecords[2].gain, 4.0f);
    EXPECT_FALSE (project.irRecords[2].changed);
}

TEST (ProjectFile, LoadTellsWhetherTheFileWasAProject)
{
    TempDir dir;
    struct Case
    {
        const char* name;
        const char* xml; // null: no file
        bool loaded;
    };
    const Case cases[] = {
        {"missing", nullptr, false},
        {"not XML", "just text", false},
        {"cut short", "<MelvaneProject><IRs><IR length=\"1\"", false},
        {"XML of something else", "<PellmixPlayList><Entry/></PellmixPlayList>", false},
        {"IRs only", "<MelvaneProject><IRs><IR length=\"7\"/></IRs></MelvaneProject>", true},
        {"EQ only, any root name", "<x><eq on=\"1\"/></x>", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto project = makeDefaultProject();
        const juce::File file (dir.child (std::string (c.name) + ".vmp"));
        if (c.xml != nullptr)
        {
            ASSERT_TRUE (file.replaceWithText (c.xml));
        }
        EXPECT_EQ (project.load (file), c.loaded);
        EXPECT_EQ (project.irRecords[0].changed, c.loaded && std::string (c.name) == "IRs only");
        EXPECT_EQ (project.eqChanged, c.loaded && std::string (c.name) != "IRs only");
    }
}

TEST (ProjectFile, FieldSetterKeepsTheChangedMarkAndOtherFields)
{
    auto project = makeDefaultProject();
    project.setIrRecord (3, juce::File ("/x.wav"), true, false, 900, 12, 4.5f, true, -3.0f);
    project.setIrChanged (3, true);
    project.setIrGain (3, 6.0f);
    auto r = project.irRecords[3];
    EXPECT_TRUE (r.changed);
    EXPECT_EQ (r.gain, 6.0f);
    EXPECT_EQ (r.path, juce::File ("/x.wav"));
    EXPECT_TRUE (r.solo);
    EXPECT_TRUE (r.invert);
    EXPECT_EQ (r.length, 900);
    EXPECT_EQ (r.offset, 12);
    EXPECT_EQ (r.phase, 4.5f);
    project.setIrGain (8, 1.0f); // past the records: ignored
    EXPECT_EQ (project.irRecords.size(), 8);
}

TEST (ProjectFile, FailedWriteLeavesThePreviousProjectIntact)
{
    TempDir dir;
    juce::File file (dir.child ("keep.vmp"));
    auto original = makeDefaultProject();
    ASSERT_TRUE (original.save (file));
    auto before = file.loadFileAsString();

    // A child process whose file-size limit is far below a project file's size.
    pid_t pid = fork();
    if (pid == 0)
    {
        signal (SIGXFSZ, SIG_IGN);
        rlimit limit{200, 200};
        setrlimit (RLIMIT_FSIZE, &limit);
        auto project = makeDefaultProject();
        project.setIrPath (0, juce::File ("/a/much/longer/path/than/before.wav"));
        _exit (project.save (file) ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ (waitpid (pid, &status, 0), pid);
    ASSERT_TRUE (WIFEXITED (status));
    EXPECT_EQ (WEXITSTATUS (status), 3) << "the failed write must be reported";
    EXPECT_EQ (file.loadFileAsString(), before);
    EXPECT_EQ (dir.path(), juce::File (dir.path()).getFullPathName().toStdString());
    EXPECT_EQ (juce::File (dir.path()).getNumberOfChildFiles (juce::File::findFiles), 1)
        << "no temporary left";
}

// What a load could not take as stored, in its report: slots whose file is missing and values
// brought into their ranges (with the stored text, the range and the value taken); a project
// that loads whole reports nothing. Each load starts a new report.
TEST (ProjectFile, LoadReportListsEmptiedSlotsAndHeldValues)
{
    TempDir dir;
    const juce::File present (dir.child ("present.wav"));
    present.replaceWithText ("an IR file");
    const auto presentPath = present.getFullPathName().toStdString();
    const auto missingPath = dir.child ("gone.wav");

    struct Case
    {
        const char* name;
        std::string irs, bands;
        std::vector<std::string>
            expected; // "emptied slot missing|unreadable path" or "held slot field stored lo hi now"
    };
    const Case cases[] = {
        {"whole",
         "<IR path=\"" + presentPath +
             "\" length=\"2048\" offset=\"-20\" phase=\"12.3\" gain=\"-3\"/><IR path=\"\" length=\"1\"/>",
         "<band dB=\"11\"/><band dB=\"-12\"/>",
         {}},
        // No length: read as 0, held to 1.
        {"missing attribute", "<IR path=\"\"/>", "", {"held 0 length  1 2048 1"}},
        {"missing file",
         "<IR path=\"" + missingPath + "\" length=\"1792\"/>",
         "",
         {"emptied 0 missing " + missingPath}},
        {"values beyond their ranges",
         "<IR path=\"" + presentPath + "\" length=\"5000\" offset=\"-3000\" phase=\"250\" gain=\"-40\"/>",
         "<band dB=\"0\"/><band dB=\"1e6\"/>",
         {"held 0 length 5000 1 2048 2048", "held 0 offset -3000 -2047 191999 -2047",
          "held 0 phase 250 0 100 100", "held 0 gain -40 -12 12 -12", "held -1 dB 1e6 -12 12 12"}},
        {"not numbers",
         "<IR path=\"\" length=\"1792\" phase=\"nan\" gain=\"inf\"/>",
         "",
         {"held 0 phase nan 0 100 0", "held 0 gain inf -12 12 0"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto xml =
            "<MelvaneProject><IRs>" + c.irs + "</IRs><EQ on=\"1\">" + c.bands + "</EQ></MelvaneProject>";
        auto project = makeDefaultProject();
        project.lastLoadReport.emptiedSlots.push_back ({5, juce::File ("/from/before.wav"), false});
        ASSERT_TRUE (project.load (writeFile (dir, "report.vmp", xml.c_str())));

        std::vector<std::string> got;
        for (const auto& s : project.lastLoadReport.emptiedSlots)
            got.push_back ("emptied " + std::to_string (s.slot) + (s.missing ? " missing " : " unreadable ") +
                           s.file.getFullPathName().toStdString());
        for (const auto& v : project.lastLoadReport.heldValues)
            got.push_back (
                "held " + std::to_string (v.slot == -1 ? -1 : v.slot) + " " + v.field.toStdString() + " " +
                v.stored.toStdString() + " " + juce::String (v.lowest).toStdString() + " " +
                juce::String (v.highest).toStdString() + " " + juce::String (v.taken).toStdString());
        EXPECT_EQ (got, c.expected) << "the entry of the load before is gone";
    }
}

// The text of the one box: the project, then each emptied slot (numbered from 1, in slot order,
// with why and its file), then each value with what was stored, its range and what was taken.
TEST (ProjectFile, LoadReportTextNamesSlotsReasonsAndRanges)
{
    PellmixProjectLoadReport report;
    report.emptiedSlots.push_back ({4, juce::File ("/irs/broken.wav"), false});
    report.emptiedSlots.push_back ({1, juce::File ("/irs/gone.wav"), true});
    report.heldValues.push_back ({0, 0, "length", "5000", 1, 2048, 2048});
    report.heldValues.push_back ({2, 0, "length", "", 1, 2048, 1});
    report.heldValues.push_back ({-1, 6, "dB", "20.5", -12, 12, 12});
    EXPECT_FALSE (report.isEmpty());
    EXPECT_EQ (report.describe (juce::File ("/projects/live.vmp")),
               "The project was opened, but not all of it as it was stored:\n/projects/live.vmp\n"
               "\nIR 2 was left empty: its file is missing:\n    /irs/gone.wav"
               "\nIR 5 was left empty: its file could not be read:\n    /irs/broken.wav"
               "\nIR 1 length \"5000\": brought into 1 to 2048, now 2048."
               "\nIR 3 length was missing: brought into 1 to 2048, now 1."
               "\nEQ band 7 \"20.5\": brought into -12 to 12, now 12.");
    EXPECT_TRUE (PellmixProjectLoadReport{}.isEmpty());
}
