#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) in their own build
# folder and runs each for a bounded time: scripts/fuzz.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-fuzz}"
seconds="${2:-60}"

export CCACHE_SLOPPINESS=time_macros CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$here"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DPELLMIX_BUILD_APP=OFF -DPELLMIX_BUILD_TESTS=OFF -DPELLMIX_BUILD_BENCH=OFF -DPELLMIX_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" --target pellmix_vir_fuzz -j"$(nproc)"

# Seeds: one flat and one spectral file from the independent reference writer.
corpus="$build/corpus/vir"
mkdir -p "$corpus"
/usr/bin/python3 "$here/tests/scripts/vir_reference.py" flat "$corpus/seed-flat.vir" "$build/seed-flat.f32"
/usr/bin/python3 "$here/tests/scripts/vir_reference.py" spectral "$corpus/seed-spectral.vir" "$build/seed-spectral.f32"

log="$build/vir_fuzz.log"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
if ! "$build/fuzz/pellmix_vir_fuzz" -max_total_time="$seconds" -max_len=20000 -print_final_stats=1 \
        -artifact_prefix="$build/" "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: pellmix_vir_fuzz FAILED (log: $log)"
    exit 1
fi
runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
echo "fuzz: pellmix_vir_fuzz ran ${runs:-?} executions in ${seconds} s without a fault"
