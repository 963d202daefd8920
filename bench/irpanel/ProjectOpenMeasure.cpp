// Measures what opening a project costs the message thread: the IR panel on a virtual display
// (the configuration on a JACK dummy device, 48 kHz), a project of eight one-second 44.1 kHz WAV
// IRs, then what the menu does once the dialog is confirmed (PellmixConfig::loadProject) and the
// message loop running until every block has computed the curves of its new IR (what its next
// paint draws). Five opens, alternating between two such projects so that each open reads and
// converts eight files anew.
//
// Reports per open: the wall time from loadProject to the last block's curves, the message
// thread's CPU time over it, and the longest the message loop was held by one piece of work (the
// loop is run in 1 ms slices; a slice that lasts longer than its millisecond was held). Run
// through scripts/irpanel-load.sh BUILD_DIR project-open; not a test.
#include "bench/BenchTiming.h"
#include "engine/EngineTestHelpers.h"
#include "ui/PellmixIrPanel.h"
#include "ui/UiTestSupport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
using pellmix_bench::Clock;

double millisecondsSince (Clock::time_point t)
{
    return pellmix_bench::microsecondsSince (t) / 1000.0;
}

bool curvesComputed (PellmixIrBlock& block)
{
    const auto& curve = block.getTimeCurve();
    return block.getLook() == PellmixIrBlock::Look::loaded &&
           std::any_of (curve.begin(), curve.end(), [] (float v) { return v != 0.0f; });
}

// One slot's IR: a second of decaying noise at 44.1 kHz, different for every slot and project.
juce::File writeIr (const pellmix_test::TempDir& dir, int project, int slot)
{
    auto samples = pellmix_test::noise (44100, 100u * (unsigned)project + (unsigned)slot, 0.8f);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] *= std::exp (-(float)i / 2205.0f);
    return engine_test::writeWav (
        dir.child ("p" + std::to_string (project) + "-ir" + std::to_string (slot) + ".wav"), samples,
        44100.0);
}
} // namespace

static int run()
{
    pellmix_test::TempDir home{"pellmix-project-open"};
    pellmix_test::ScopedEnv homeEnv{"HOME", home.path()};
    pellmix_test::JackServer jack{{48000, 512, 2, 4, false, false}};
    if (!ui_test::processDisplay().started() || !jack.started() || !openSharedDeviceForTests())
    {
        std::fprintf (stderr, "no display or no JACK device\n%s\n", jack.logText().c_str());
        return 1;
    }
    auto& config = *PellmixConfig::getInstance();
    {
        PellmixIrPanel panel;
        ui_test::OnScreen screen (panel);
        ui_test::OnScreen::pump (300);

        juce::File projects[2];
        for (int p = 0; p < 2; ++p)
        {
            for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
                config.project.setIrRecord (slot, writeIr (home, p, slot), false, false, 2048, 0, 0.0f, false,
                                            0.0f);
            projects[p] = juce::File (home.child ("project" + std::to_string (p) + ".vmp"));
            if (!config.saveProject (projects[p]))
            {
                std::fprintf (stderr, "the project could not be written\n");
                return 1;
            }
        }
        for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
            config.project.setIrRecord (slot, {}, false, false, 2048, 0, 0.0f, false, 0.0f);
        ui_test::OnScreen::pump (600);

        std::printf ("opening a project of eight one-second 44.1 kHz WAV IRs (load average %.2f)\n",
                     []
                     {
                         double l[1] = {};
                         return getloadavg (l, 1) == 1 ? l[0] : 0.0;
                     }());
        for (int open = 0; open < 5; ++open)
        {
            // Empty curves first, so that the new ones are seen when they come.
            for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
                panel.getBlock (slot).buttonClicked (&panel.getBlock (slot).getRemoveButton());
            ui_test::OnScreen::pump (600);

            const auto start = Clock::now();
            const double cpuStart = pellmix_bench::threadCpuMicroseconds();
            config.loadProject (projects[open % 2]);
            double longestHold = 0.0;
            auto allDrawn = [&]
            {
                for (int slot = 0; slot < PellmixIrPanel::numBlocks; ++slot)
                    if (!curvesComputed (panel.getBlock (slot)))
                        return false;
                return true;
            };
            while (!allDrawn() && millisecondsSince (start) < 10000.0)
            {
                const auto slice = Clock::now();
                ui_test::OnScreen::pump (1);
                longestHold = std::max (longestHold, millisecondsSince (slice) - 1.0);
            }
            const double wall = millisecondsSince (start);
            const double cpu = (pellmix_bench::threadCpuMicroseconds() - cpuStart) / 1000.0;
            std::printf ("  open %d: last block's curves after %6.1f ms, message-thread CPU %6.1f ms, "
                         "longest hold %6.1f ms%s\n",
                         open + 1, wall, cpu, longestHold, allDrawn() ? "" : " (not all drawn)");
        }
    }
    deleteSharedAudioDeviceManager();
    return 0;
}

int main()
{
    // No application object: JUCE then installs its X error handler (see the GUI test entry).
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juceInit;
    return run();
}
