#!/usr/bin/env bash
# Measures what the application costs while the user does nothing: the Release build on a virtual
# display with a JACK dummy device at 48 kHz / 512, a fresh HOME, three phases of 30 s each:
#   idle      nothing loaded, nothing playing;
#   eight IRs a project of eight one-second 44.1 kHz IRs opened through "File" > "Open project";
#   playing   a source file of the playlist played through that blend (the play button clicked).
# For each phase it prints the process's CPU (% of one core, from /proc/PID/stat) and, per thread
# name, the CPU and the voluntary context switches per second (the wake-ups, from
# /proc/PID/task/*/status), with the load average of the machine before and after the phase.
# Screenshots of each phase are kept in BUILD_DIR/measure-idle/.
#   scripts/measure-idle.sh [BUILD_DIR]        builds the application there (Release) and measures;
#   APP=/path/to/binary scripts/measure-idle.sh [OUT_DIR]   measures another build.
# PHASE_SECONDS (default 30) sets each phase's length. Takes one of the four JACK server slots the
# tests share, so it may wait for one.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-release}"
seconds="${PHASE_SECONDS:-30}"
python=/usr/bin/python3 # Debian's, with numpy (platform notes)

if [ -z "${APP:-}" ]; then
    "$here/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DPELLMIX_BUILD_APP=ON -DPELLMIX_BUILD_TESTS=OFF \
        -DPELLMIX_BUILD_BENCH=OFF -DPELLMIX_BUILD_FUZZ=OFF -DPELLMIX_SANITIZE= -- VantrelMelvane >/dev/null
    APP="$(find "$build" -type f -perm -u+x -name 'Vantrel Melvane' | head -n 1)"
fi
[ -x "$APP" ] || { echo "measure-idle: no application binary (APP=$APP)"; exit 1; }
out="$build/measure-idle"
mkdir -p "$out"

source "$here/scripts/measure-environment.sh"
measure_environment idle
server="$jack_server"

jackd --no-realtime -n "$server" -d dummy -r 48000 -p 512 -C 2 -P 4 >"$work/jackd.log" 2>&1 &
pids+=($!)
jack_wait -s "$server" -w -t 10 >/dev/null 2>&1 || { echo "measure-idle: JACK did not start"; cat "$work/jackd.log"; exit 1; }

# The files: eight IRs (decaying noise, one second at 44.1 kHz), a project naming them, and a
# playlist whose one source is two minutes of stereo noise at the device rate.
home="$work/home"
maker="$home/.config/Application Support/Harnwick"
mkdir -p "$maker/Vantrel Melvane" "$work/irs"
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<MelvaneProject Version="1"><IRs>'
    for i in 0 1 2 3 4 5 6 7; do
        sox -V1 -R -n -r 44100 -b 24 -c 1 "$work/irs/ir$i.wav" synth 1 whitenoise lowpass $((2000 + 2500 * i)) fade q 0 1 0.99 gain -$((12 + i))
        echo "<IR path=\"$work/irs/ir$i.wav\" solo=\"0\" mute=\"0\" length=\"2048\" offset=\"0\" phase=\"0\" gain=\"0\"/>"
    done
    echo '</IRs><EQ on="1">'
    for _ in $(seq 31); do echo '<band dB="0"/>'; done
    echo '</EQ></MelvaneProject>'
} >"$work/eight.vmp"
sox -V1 -R -n -r 48000 -b 16 -c 2 "$work/source.wav" synth 120 pinknoise gain -12
cat >"$maker/playlist.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<PellmixPlayList Version="1"><Samples><Sample path="$work/source.wav" channel="1"/></Samples><Targets/></PellmixPlayList>
EOF

window_of() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
wait_window()
{
    for _ in $(seq 150); do
        local w
        w="$(window_of "$1")"
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

HOME="$home" JACK_DEFAULT_SERVER="$server" "$APP" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
main="$(wait_window "Vantrel Melvane")" || { echo "measure-idle: no main window"; cat "$work/app.log"; exit 1; }
[ -z "$(window_of "Audio device settings")" ] || { echo "measure-idle: the device did not open"; exit 1; }
geometry "$main"
# The content lies below the menu bar, at the window's foot.
cx=$X
cy=$((Y + HEIGHT - 818))
sleep 5 # the first ticks of every panel

# measure NAME: samples the process before and after PHASE_SECONDS and prints the phase's figures.
measure()
{
    xdotool mousemove $((X + 5)) $((cy + 810)) # the pointer off the controls and tooltips
    sleep 1
    "$python" - "$app" "$seconds" "$1" <<'EOF'
import os, sys, time

pid, seconds, phase = int(sys.argv[1]), float(sys.argv[2]), sys.argv[3]
tick = os.sysconf("SC_CLK_TCK")

def cpu_of(stat_path):
    with open(stat_path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick  # utime + stime, seconds

def sample():
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            status = dict(line.split(":\t", 1) for line in open(f"/proc/{pid}/task/{tid}/status").read().splitlines() if ":\t" in line)
            threads[tid] = (status["Name"].strip(), int(status["voluntary_ctxt_switches"]), cpu_of(f"/proc/{pid}/task/{tid}/stat"))
        except (FileNotFoundError, ProcessLookupError):
            pass
    return time.monotonic(), cpu_of(f"/proc/{pid}/stat"), threads

load_before = open("/proc/loadavg").read().split()[:3]
t0, cpu0, before = sample()
time.sleep(seconds)
t1, cpu1, after = sample()
load_after = open("/proc/loadavg").read().split()[:3]
elapsed = t1 - t0

rows = []
for tid, (name, switches, cpu) in after.items():
    _, switches0, cpu_0 = before.get(tid, (name, 0, 0.0))
    label = f"{name} (message)" if int(tid) == pid else name
    rows.append((label, int(tid), (switches - switches0) / elapsed, 100 * (cpu - cpu_0) / elapsed))

print(f"== {phase}: CPU {100 * (cpu1 - cpu0) / elapsed:.2f} % of one core over {elapsed:.1f} s"
      f" (load average {' '.join(load_before)} -> {' '.join(load_after)})")
print(f"   {'thread':<26} {'tid':>7} {'wake-ups/s':>11} {'CPU %':>7}")
for label, tid, wakes, cpu in sorted(rows, key=lambda r: -r[2]):
    if wakes >= 0.05 or cpu >= 0.005:
        print(f"   {label:<26} {tid:>7} {wakes:>11.1f} {cpu:>7.2f}")
EOF
    import -window root "$out/$1.png"
}

measure idle

# "File" > "Open project": the menu opens on a click on its name (the window focused first, as menus
# close at once without the input focus), "Open project" is its second item; the framework's own
# file dialog takes the typed path in its file name box, along the dialog's foot.
xdotool windowfocus --sync "$main"
xdotool mousemove $((X + 20)) $((Y + 12)) click 1
sleep 1
xdotool key Down key Return
dialog="$(wait_window "Open Melvane project")" || { echo "measure-idle: no project dialog"; exit 1; }
geometry "$dialog"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 63)) click 1
sleep 0.3
xdotool key ctrl+a type --delay 10 "$work/eight.vmp"
xdotool key Return # the first Return goes to the typed file's folder, the second opens it
sleep 0.5
xdotool key Return
for _ in $(seq 100); do [ -z "$(window_of "Open Melvane project")" ] && break; sleep 0.1; done
geometry "$main"
sleep 3 # the blocks' and plots' ticks load and draw the eight IRs
measure eight-irs

# The play button of the player (at 443, 94 of the player, which sits at 38, 38 of the content).
xdotool mousemove $((cx + 38 + 453)) $((cy + 38 + 104)) click 1
sleep 2
measure playing

kill -INT "$app"
wait "$app" 2>/dev/null || true
echo "Screenshots: $out/{idle,eight-irs,playing}.png"
