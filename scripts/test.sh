#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
#   1. the main build (application, tests, benchmarks) and all its tests;
#   2. the engine tests again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the engine's threaded tests under ThreadSanitizer;
#   4. the engine and playback tests under RealtimeSanitizer (clang 22): every audio callback is a
#      real-time context, and any allocation, lock or blocking call inside one fails the stage;
#   5. the fuzz targets for a bounded time (clang, libFuzzer).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

"$here/scripts/setup.sh"

echo "== main build"
"$here/scripts/build.sh" "$here/build"
( cd "$here/build" && ctest -j"$jobs" --repeat until-pass:3 --output-on-failure --timeout 600 )

echo "== engine tests under ASan + UBSan"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
"$here/scripts/build.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DPELLMIX_BUILD_APP=OFF \
    -DPELLMIX_BUILD_BENCH=OFF "-DPELLMIX_SANITIZE=address,undefined" -DCMAKE_CXX_FLAGS=-fno-sanitize-recover=undefined
( cd "$here/build-asan" && ctest -j"$jobs" --repeat until-pass:3 --output-on-failure --timeout 900 -L ENGINE )

echo "== threaded engine tests under TSan"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
"$here/scripts/build.sh" "$here/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLMIX_BUILD_APP=OFF \
    -DPELLMIX_BUILD_BENCH=OFF -DPELLMIX_SANITIZE=thread
( cd "$here/build-tsan" && ctest -j"$jobs" --repeat until-pass:3 --output-on-failure --timeout 900 -L ENGINE -R 'Concurrency\.' --no-tests=ignore )

echo "== engine and playback tests under RealtimeSanitizer"
export RTSAN_OPTIONS=halt_on_error=1:external_symbolizer_path=/usr/bin/llvm-symbolizer
"$here/scripts/build.sh" "$here/build-rtsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-22 \
    -DCMAKE_CXX_COMPILER=clang++-22 -DPELLMIX_BUILD_APP=OFF -DPELLMIX_BUILD_BENCH=OFF -DPELLMIX_SANITIZE=realtime
( cd "$here/build-rtsan" && ctest -j"$jobs" --output-on-failure --timeout 900 -L ENGINE_engine --no-tests=error )

if [ -x "$here/scripts/fuzz.sh" ]; then
    echo "== fuzzing"
    "$here/scripts/fuzz.sh"
fi
echo "== all tests passed"
