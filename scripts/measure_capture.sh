#!/usr/bin/env bash
# Measures whole 60-second captures through the capture window on dummy JACK servers, output 1
# looped back to input 1: at 44100, 48000 and 96000 Hz with 512-sample blocks (the time from the
# end of the sweep to the IR written and loaded) and at 48000 Hz with 64-sample blocks (the capture
# callback's longest block against the period). Prints one line of figures per set-up (see
# bench/capture/CaptureWindowMeasure.cpp). Usage: scripts/measure_capture.sh [BUILD_DIR]
# Takes one of the four JACK server slots the tests share, so it may wait for one. The servers run
# with real-time scheduling where the system allows it (else without), so that the figures show
# the callback rather than the machine's other load; each line says which.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
export CCACHE_SLOPPINESS=time_macros CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$here"
cmake --build "$build" --target pellmix_capture_measure >/dev/null
program="$build/bench/pellmix_capture_measure"

source "$here/scripts/measure-environment.sh"
measure_environment measure
server="$jack_server"

realtime="--no-realtime"
chrt -f 10 true 2>/dev/null && realtime="--realtime"

for setup in "44100 512" "48000 512" "96000 512" "48000 64"; do
    set -- $setup
    echo -n "jackd $realtime: "
    jackd "$realtime" -n "$server" -d dummy -r "$1" -p "$2" -C 2 -P 4 >"$work/jackd.log" 2>&1 &
    jack_pid=$!
    jack_wait -s "$server" -w -t 10 >/dev/null
    home="$work/home-$1-$2"
    mkdir -p "$home"
    HOME="$home" JACK_DEFAULT_SERVER="$server" "$program" || echo "rate=$1 block=$2 failed"
    kill "$jack_pid"; wait "$jack_pid" 2>/dev/null || true
done
