#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) in their own build folder
# and runs each for a bounded time, all at once: scripts/fuzz.sh [BUILD_DIR] [SECONDS]
# Every folder fuzz/<name>/ with a seeds/ folder is one target, pellmix_<name>_fuzz. New inputs
# that reach new code go to BUILD_DIR/corpus/<name>/ (kept for the next run), a failing input to
# BUILD_DIR/artifacts/. Prints each target's executions and rate; fails on any fault.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-fuzz}"
seconds="${2:-60}"

names=()
for seeds in "$here"/fuzz/*/seeds; do
    names+=("$(basename "$(dirname "$seeds")")")
done
[ ${#names[@]} -gt 0 ] || { echo "fuzz: no targets in $here/fuzz"; exit 1; }

"$here/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DPELLMIX_BUILD_APP=ON -DPELLMIX_BUILD_TESTS=OFF -DPELLMIX_BUILD_BENCH=OFF -DPELLMIX_BUILD_FUZZ=ON \
    "-DPELLMIX_SANITIZE=address,undefined" -- $(printf 'pellmix_%s_fuzz ' "${names[@]}")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$build/artifacts"
pids=()
for name in "${names[@]}"; do
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    # An input that takes longer than -timeout seconds is a fault (a hang).
    args=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$build/artifacts/$name-")
    asan="$ASAN_OPTIONS"
    case "$name" in
        # A spectral file is 18463 bytes. The target allocates nothing itself, so AddressSanitizer's
        # quarantine only holds libFuzzer's copies of the inputs: at its default 256 MB every copy
        # lands on fresh pages, which took most of each run.
        vir) args+=(-max_len=20000); asan="$asan:quarantine_size_mb=16" ;;
        *) args+=(-max_len=8192) ;;
    esac
    [ -f "$here/fuzz/$name/$name.dict" ] && args+=(-dict="$here/fuzz/$name/$name.dict")
    # The first folder receives new inputs; the seeds in the tree are only read.
    ASAN_OPTIONS="$asan" "$build/fuzz/pellmix_${name}_fuzz" "${args[@]}" "$corpus" "$here/fuzz/$name/seeds" \
        >"$build/$name.log" 2>&1 &
    pids+=($!)
done

failed=0
for i in "${!names[@]}"; do
    name="${names[$i]}"
    log="$build/$name.log"
    if ! wait "${pids[$i]}"; then
        tail -n 60 "$log"
        echo "fuzz: $name FAILED (log: $log; input: $(ls "$build/artifacts/$name-"* 2>/dev/null | tail -n 1))"
        failed=1
        continue
    fi
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
    if [ -z "$runs" ] || [ "$runs" -eq 0 ]; then
        echo "fuzz: $name ran no input (log: $log)"
        failed=1
        continue
    fi
    echo "fuzz: $name: $runs executions in $seconds s ($rate per second), no fault"
done
exit $failed
