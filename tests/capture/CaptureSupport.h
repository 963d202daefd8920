#pragma once
// Shared helpers of the capture tests: a temporary folder laid out like the support folders, the
// test signals written into it, raw float files, a worker run driven from the message thread with
// its progress and boxes recorded, and decoding of the vir file it writes.
#include "engine/Calculs.h"
#include "engine/FFTReal.h"
#include "engine/PellmixTestSignal.h"
#include "engine/PellmixVirFile.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <array>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace capture_test
{
inline void writeFloats (const juce::File& file, const std::vector<float>& samples)
{
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk()) << file.getFullPathName();
    for (float v : samples)
        out.writeFloat (v);
}

inline std::vector<float> readFloats (const juce::File& file)
{
    juce::MemoryBlock block;
    if (!file.loadFileAsData (block))
        return {};
    std::vector<float> samples (block.getSize() / 4);
    juce::MemoryInputStream in (block, false);
    for (auto& v : samples)
        v = in.readFloat();
    return samples;
}

// Parses the key=value lines a Python oracle prints.
inline std::map<std::string, double> parseValues (const std::string& output)
{
    std::map<std::string, double> values;
    std::istringstream lines (output);
    for (std::string line; std::getline (lines, line);)
        if (auto eq = line.find ('='); eq != std::string::npos && line.find (' ') == std::string::npos)
            values[line.substr (0, eq)] = std::stod (line.substr (eq + 1));
    return values;
}

struct Box
{
    Calculs::BoxKind kind;
    juce::String title, text;
    int progressWhileShown;
    juce::String statusWhileShown, pathWhileShown;
};

// A temporary folder, a worker on it and the record of one run.
class CaptureFolder
{
public:
    CaptureFolder()
        : temp (juce::File (dir.path()).getChildFile ("Temp"))
        , worker (temp, lastCapturePath,
                  [this] (Calculs::BoxKind kind, const juce::String& title, const juce::String& text)
                  {
                      EXPECT_TRUE (juce::MessageManager::existsAndIsCurrentThread());
                      boxes.push_back ({kind, title, text, worker.progress.load(), worker.statusText.get(),
                                        lastCapturePath.get()});
                  })
    {
        temp.createDirectory();
    }

    ~CaptureFolder() { worker.stopThread (-1); }

    // The sweep of `seconds` at `rate` with the capture window's fade of seconds x rate / 60 samples.
    void writeSweep (int rate, int seconds)
    {
        PellmixTestSignal signal;
        signal.makeSweep (rate, seconds * rate, seconds * rate / 60);
        ASSERT_TRUE (signal.writeFile (temp, 0, false, seconds * rate));
        ASSERT_TRUE (signal.writeFile (temp, 2, true, seconds * rate));
    }

    // Starts the worker and pumps the message loop until the run has ended, recording every
    // progress value seen. Returns false on time-out.
    bool run (int rate, const juce::File& output, int timeoutMs = 120000)
    {
        worker.sampleRate = rate;
        worker.setOutputFile (output);
        progressSeen.clear();
        worker.startThread();
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
        while (juce::Time::getMillisecondCounter() < end)
        {
            const int p = worker.progress.load();
            if (progressSeen.empty() || progressSeen.back() != p)
                progressSeen.push_back (p);
            if (p == -1 && !worker.isThreadRunning())
                return true;
            juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
        }
        return false;
    }

    // Band b of the vir file at `file`, decoded (empty when the file cannot be decoded).
    static std::array<std::vector<float>, 3> decodeVir (const juce::File& file)
    {
        juce::MemoryBlock data;
        std::array<std::vector<float>, 3> bands;
        if (!file.loadFileAsData (data))
            return {};
        for (auto& b : bands)
            b.assign (PellmixVir::bandLength, 0.0f);
        float* pointers[3] = {bands[0].data(), bands[1].data(), bands[2].data()};
        FFTReal<float> fft (PellmixVir::fftSize);
        if (!PellmixVir::decode ((const uint8_t*)data.getData(), data.getSize(), pointers, fft))
            return {};
        return bands;
    }

    // The names in a folder, and `extra`, sorted and joined by commas.
    static std::string fileNames (const juce::File& folder, const juce::String& extra = {})
    {
        juce::StringArray names;
        for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false))
            names.add (f.getFileName());
        if (extra.isNotEmpty())
            names.addIfNotAlreadyThere (extra);
        names.sort (false);
        return names.joinIntoString (",").toStdString();
    }

    pellmix_test::TempDir dir{"pellmix-capture"};
    juce::File temp;
    PellmixSharedString lastCapturePath;
    std::vector<Box> boxes;
    std::vector<int> progressSeen;
    Calculs worker;
};
} // namespace capture_test
