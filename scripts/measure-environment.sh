# Sourced by the measurement scripts. measure_environment NAME makes what a run of the program
# needs from outside and sets:
#   work         a fresh folder /tmp/pellmix-NAME.XXXXXX, removed when the script ends;
#   jack_server  the name of one of the four JACK server slots that the tests share (see
#                tests/support/Fixtures.cpp), held on file descriptor 9 until the script ends, so
#                a run waits here while all four are taken;
#   DISPLAY      a virtual display (Xvfb), exported.
# Processes the script adds to pids are stopped when it ends, the display last.
pids=()

measure_cleanup()
{
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}

measure_environment()
{
    work="$(mktemp -d "/tmp/pellmix-$1.XXXXXX")"
    trap measure_cleanup EXIT

    mkdir -p /tmp/pellmix-jack-slots
    local slot="" i
    while [ -z "$slot" ]; do
        for i in 0 1 2 3; do
            exec 9>"/tmp/pellmix-jack-slots/slot-$i.lock"
            if flock -n 9; then slot=$i; break; fi
        done
        [ -n "$slot" ] || sleep 1
    done
    jack_server="pellmix-slot-$slot"

    Xvfb -displayfd 8 -screen 0 1600x1000x24 -nolisten tcp 8>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$work/display")"
}
