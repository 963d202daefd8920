#!/usr/bin/env bash
# Runs the test command's main stage (scripts/test.sh main) several times in a row with a steady
# load beside it: one busy process per core at normal priority, and four other JACK dummy servers
# that run for the whole soak, as a running copy of the application or a second checkout's tests
# would. For each run it prints its time, the load average, the cases that failed and those that
# scripts/run-ctest.py ran again after a JACK client-name collision; at the end, every case that
# failed with how often, and how often the rerun fired. Fails when any case failed in any run.
#
#   scripts/soak.sh [RUNS]     (3 runs when not given)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-3}"
out="$here/build-test/soak"
mkdir -p "$out"
rm -f "$out"/run-*.json "$out"/run-*.log

pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

# Fixed names: JACK reclaims the table entry of a server that died without unregistering only
# when a server of the same name starts again.
servers=()
for n in 1 2 3 4; do
    name="pellmix-soak-$n"
    jackd --no-realtime -n "$name" -d dummy -r 48000 -p 256 -C 2 -P 2 >"$out/$name.log" 2>&1 &
    pids+=($!)
    servers+=("$!:$name")
    if ! jack_wait -s "$name" -w -t 15 >/dev/null 2>&1; then
        echo "soak: the JACK server $name did not start:"
        cat "$out/$name.log"
        exit 1
    fi
done
echo "soak: four JACK dummy servers running (pellmix-soak-1 to 4)"

for _ in $(seq "$(nproc)"); do
    bash -c 'while :; do :; done' &
    pids+=($!)
done
echo "soak: $(nproc) busy processes running"

loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

for run in $(seq "$runs"); do
    echo "== soak run $run of $runs (load average $(loadavg))"
    start=$SECONDS
    set +e
    PELLMIX_CTEST_REPORT="$out/run-$run.json" "$here/scripts/test.sh" main >"$out/run-$run.log" 2>&1
    status=$?
    set -e
    took=$((SECONDS - start))
    echo "$took" >"$out/run-$run.seconds"
    for entry in "${servers[@]}"; do
        kill -0 "${entry%%:*}" 2>/dev/null || echo "soak: the JACK server ${entry#*:} stopped during run $run"
    done
    summary="$(grep '^ctest: ' "$out/run-$run.log" | tail -n 1 || true)"
    echo "== soak run $run: exit $status, $((took / 60)) min $((took % 60)) s, load average $(loadavg)"
    echo "   ${summary:-no ctest summary; see $out/run-$run.log}"
done

/usr/bin/python3 - "$out" "$runs" <<'EOF'
import collections, json, os, sys

out, runs = sys.argv[1], int(sys.argv[2])
failed, rerun, missing = collections.Counter(), collections.Counter(), []
for run in range(1, runs + 1):
    path = os.path.join(out, "run-%d.json" % run)
    if not os.path.exists(path):
        missing.append(run)
        continue
    report = json.load(open(path))
    # A case that failed only with the client-name collision and passed when run again counts
    # as run again, not as failed.
    failed.update((set(report["failed"]) - set(report["rerun"])) | set(report["fatal"]))
    rerun.update(report["rerun"])
times = [int(open(os.path.join(out, "run-%d.seconds" % r)).read()) for r in range(1, runs + 1)]
print("soak: %d runs, times %s" % (runs, ", ".join("%d min %d s" % divmod(t, 60) for t in times)))
for run in missing:
    print("soak: run %d wrote no report (build or set-up failed; see %s/run-%d.log)" % (run, out, run))
if failed:
    print("soak: cases that failed (runs out of %d):" % runs)
    for name, count in failed.most_common():
        print("  %d  %s" % (count, name))
else:
    print("soak: no case failed")
print("soak: the JACK client-name rerun fired %d times%s" % (sum(rerun.values()),
      "" if not rerun else " (" + ", ".join("%s x%d" % kv for kv in rerun.most_common()) + ")"))
sys.exit(1 if failed or missing else 0)
EOF
