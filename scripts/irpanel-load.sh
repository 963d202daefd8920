#!/usr/bin/env bash
# Builds and runs the IR panel's load measurement: knob and EQ-band drags through the window's
# peer for 10 s while the engine plays on a JACK dummy device at 48 kHz, 64-sample blocks.
# Prints the callback durations, the xruns and the message-thread time per knob change.
#   scripts/irpanel-load.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
export CCACHE_SLOPPINESS=time_macros CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$here"
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target pellmix_irpanel_load >/dev/null
"$build/bench/pellmix_irpanel_load"
