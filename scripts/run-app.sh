#!/usr/bin/env bash
# Builds and starts the application.
#  - On a desktop (DISPLAY set) it simply opens the window.
#  - Without a display it starts a virtual display (Xvfb) and, when no sound card and no JACK
#    server exist, a JACK server with the dummy backend; it then takes a screenshot of the running
#    window, says where it is, and stops (pass --keep to leave it running until Ctrl-C).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
# Only the application is built; the folder's other options stay as they are (scripts/test.sh
# uses folders of its own).
"$here/scripts/build.sh" "$here/build" -DPELLMIX_BUILD_APP=ON -- VantrelMelvane >/dev/null
app="$(find "$here/build" -type f -perm -u+x -name 'Vantrel Melvane' | head -n 1)"
[ -x "$app" ] || { echo "application not built"; exit 1; }

if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != "--headless" ]; then
    exec "$app"
fi

keep=0; [ "${1:-}" = "--keep" ] && keep=1
out="$here/build/run"; mkdir -p "$out"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

Xvfb -displayfd 4 -screen 0 1600x1000x24 -nolisten tcp 4>"$out/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$out/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$out/display")"
openbox >/dev/null 2>&1 & pids+=($!)

if ! grep -q '[0-9]' /proc/asound/cards 2>/dev/null && ! jack_lsp >/dev/null 2>&1; then
    export JACK_DEFAULT_SERVER="vantrel-run-$$"
    jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 512 -C 2 -P 4 >"$out/jackd.log" 2>&1 &
    pids+=($!)
    jack_wait -s "$JACK_DEFAULT_SERVER" -w -t 10 >/dev/null 2>&1
    echo "JACK dummy server \"$JACK_DEFAULT_SERVER\" (no sound card here)"
fi

"$app" >"$out/app.log" 2>&1 & app_pid=$!
pids+=($app_pid)
for _ in $(seq 100); do xdotool search --name "Vantrel Melvane" >/dev/null 2>&1 && break; sleep 0.1; done
sleep 2
import -window root "$out/screenshot.png"
echo "Vantrel Melvane is running on virtual display $DISPLAY (pid $app_pid)."
echo "Screenshot: $out/screenshot.png"
echo "Log: ${HOME}/.config/Application Support/Harnwick/Vantrel Melvane/VantrelMelvane.log"
if [ $keep -eq 1 ]; then
    echo "Press Ctrl-C to stop."
    wait $app_pid
else
    kill -INT $app_pid; wait $app_pid || true
fi
