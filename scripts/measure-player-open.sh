#!/usr/bin/env bash
# Opens each hostile audio file through each of the player's paths (the add rule, the stored
# playlist, loading an entry to play) in a process of its own, then reads a stored playlist of
# 100,000 entries naming missing files (and one real file) as at start, and prints one line per
# run: the program's own line (see bench/player/PlayerOpenMeasure.cpp), the elapsed time, the
# peak resident and virtual memory (VmHWM, VmPeak, sampled every 20 ms) and the exit status. A run
# still going after LIMIT seconds is stopped ("hung", with its time and peak so far). With
# AS_LIMIT_MB set, each runs under that address-space limit. PLAYER_OPEN_PROGRAM names another
# build of the program (for example one kept from before a change); otherwise the build folder's
# is built and run.
# Usage: scripts/measure-player-open.sh [BUILD_DIR] [LIMIT]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
limit="${2:-30}"
export CCACHE_SLOPPINESS=time_macros CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$here"
program="${PLAYER_OPEN_PROGRAM:-}"
if [ -z "$program" ]; then
    cmake --build "$build" --target pellmix_player_open_measure >/dev/null
    program="$build/bench/pellmix_player_open_measure"
fi

work="$(mktemp -d /tmp/pellmix-player-open.XXXXXX)"
xvfb=""
cleanup()
{
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

files="$work/files"
mkdir -p "$files/folder.wav" "$work/home"
mkfifo "$files/fifo.wav"
ln -s /dev/zero "$files/zero.wav"
truncate -s 2G "$files/sparse.wav"
truncate -s 2G "$files/sparse.mp3"
echo "This is not audio." >"$files/text.mp3"
seeds="$here/fuzz/audio/seeds"
cp "$seeds/regression-cue-chunk-1.9GB.wav" "$files/cue-chunk.wav"
cp "$seeds/regression-rf64-bext-4GB.wav" "$files/rf64-bext.wav"
cp "$seeds/regression-lying-channels.wav" "$files/lying-channels.wav"
cp "$seeds/regression-lying-channels.aiff" "$files/lying-channels.aiff"
cp "$seeds/pcm16-44100-mono.wav" "$files/plain.wav"
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<PellmixPlayList Version=\"1\"><Samples><Sample path=\"$files/plain.wav\" channel=\"0\"/>"
    seq 1 100000 | sed "s|.*|<Sample path=\"$files/missing-&.wav\" channel=\"0\"/>|"
    echo '</Samples><Targets/></PellmixPlayList>'
} >"$files/missing-100000.xml"

Xvfb -displayfd 8 -screen 0 1600x1000x24 -nolisten tcp 8>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

# Runs the program once and prints its line: run MODE NAME PATH
run()
{
    local mode="$1" name="$2" path="$3"
    (
        [ -n "${AS_LIMIT_MB:-}" ] && ulimit -v $((AS_LIMIT_MB * 1024))
        exec env HOME="$work/home" "$program" "$mode" "$path" >"$work/out" 2>/dev/null
    ) &
    pid=$!
    begin=$(date +%s%N)
    peak=0
    virtual=0
    hung=""
    while kill -0 "$pid" 2>/dev/null; do
        status_file="$(cat "/proc/$pid/status" 2>/dev/null || true)"
        hwm="$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' <<<"$status_file")"
        vm="$(sed -n 's/^VmPeak:[[:space:]]*\([0-9]*\) kB/\1/p' <<<"$status_file")"
        [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
        [ -n "$vm" ] && [ "$vm" -gt "$virtual" ] && virtual=$vm
        if [ $(( ($(date +%s%N) - begin) / 1000000000 )) -ge "$limit" ]; then
            hung="hung (stopped after ${limit} s) "
            kill -KILL "$pid" 2>/dev/null || true
            break
        fi
        sleep 0.02
    done
    set +e
    wait "$pid"
    status=$?
    set -e
    elapsed=$(( ($(date +%s%N) - begin) / 1000000 ))
    line="$(tail -n 1 "$work/out" 2>/dev/null || true)"
    [ -n "$line" ] || line="path=$name"
    echo "$mode $line ${hung}elapsed_ms=$elapsed peak_rss_kb=$peak peak_virtual_kb=$virtual status=$status"
    : >"$work/out"
}

for name in plain.wav fifo.wav folder.wav zero.wav sparse.wav sparse.mp3 text.mp3 cue-chunk.wav \
    rf64-bext.wav lying-channels.wav lying-channels.aiff; do
    for mode in add stored play; do
        run "$mode" "$name" "$files/$name"
    done
done
run playlist missing-100000.xml "$files/missing-100000.xml"
