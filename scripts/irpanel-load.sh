#!/usr/bin/env bash
# Builds and runs one of the IR panel's measurements (not tests):
#   knobs (the default): knob and EQ-band drags through the window's peer for 10 s while the
#     engine plays on a JACK dummy device at 48 kHz, 64-sample blocks; prints the callback
#     durations, the xruns and the message-thread time per knob change;
#   project-open: a project of eight one-second 44.1 kHz WAV IRs opened five times; prints per open
#     the time to the last block's curves, the message thread's CPU time and its longest hold.
#   scripts/irpanel-load.sh [BUILD_DIR] [knobs|project-open]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
case "${2:-knobs}" in
    knobs) target=pellmix_irpanel_load ;;
    project-open) target=pellmix_project_open ;;
    *) echo "unknown measurement: $2 (knobs or project-open)" >&2; exit 2 ;;
esac
export CCACHE_SLOPPINESS=time_macros CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$here"
cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target "$target" >/dev/null
"$build/bench/$target"
