# Sourced by the measurement scripts: takes one of the four JACK server slots that the tests share
# (see tests/support/Fixtures.cpp) and sets jack_server to the slot's server name. The slot is held
# on file descriptor 9 until the script ends, so a run waits here while all four are taken.
take_jack_slot()
{
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
}
