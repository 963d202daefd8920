#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every check, stage by stage:
#   format  every C++ file of ours follows .clang-format;
#   main    GCC: application, tests and benchmarks, and the whole CTest suite;
#   asan    clang, AddressSanitizer + UndefinedBehaviorSanitizer: everything built again (our
#           code warning-free under clang as well), the engine and settings tests run;
#   tsan    clang, ThreadSanitizer: the engine's threaded tests;
#   rtsan   clang 22, RealtimeSanitizer: the engine, playback and capture tests; every audio
#           callback is a real-time context, and any allocation, lock or blocking call inside
#           one fails the stage;
#   fuzz    clang, libFuzzer: every reader of outside input for a bounded time
#           (PELLMIX_FUZZ_SECONDS, default 60, per target; the targets run side by side).
# Each stage has a build folder of its own (build-test/, build-asan/, build-tsan/, build-rtsan/,
# build-fuzz/) and names every option it needs, so nothing built before (scripts/run-app.sh's
# build/, say) changes what runs. A stage that runs no test fails. A failed test case is run again only when
# its output shows the JACK client-name collision and no sanitizer report (scripts/run-ctest.py).
# Every stage runs even when one before it failed; the summary at the end names the failures.
#
#   scripts/test.sh [STAGE...]    only the named stages (setup always runs)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
all_stages=(format main asan tsan rtsan fuzz)

stage_format() {
    "$here/scripts/check-format.sh"
}

stage_main() {
    "$here/scripts/build.sh" "$here/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS= -DPELLMIX_SANITIZE= \
        -DPELLMIX_BUILD_APP=ON -DPELLMIX_BUILD_TESTS=ON -DPELLMIX_BUILD_BENCH=ON -DPELLMIX_BUILD_FUZZ=OFF
    "$here/scripts/run-ctest.py" "$here/build-test" -j"$jobs" --timeout 600
}

stage_asan() {
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    "$here/scripts/build.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-fno-sanitize-recover=undefined \
        "-DPELLMIX_SANITIZE=address,undefined" \
        -DPELLMIX_BUILD_APP=ON -DPELLMIX_BUILD_TESTS=ON -DPELLMIX_BUILD_BENCH=ON -DPELLMIX_BUILD_FUZZ=OFF
    "$here/scripts/run-ctest.py" "$here/build-asan" -j"$jobs" --timeout 900 -L 'ENGINE|GUI_settings'
}

stage_tsan() {
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    "$here/scripts/build.sh" "$here/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS= -DPELLMIX_SANITIZE=thread \
        -DPELLMIX_BUILD_APP=OFF -DPELLMIX_BUILD_TESTS=ON -DPELLMIX_BUILD_BENCH=OFF -DPELLMIX_BUILD_FUZZ=OFF
    "$here/scripts/run-ctest.py" "$here/build-tsan" -j"$jobs" --timeout 900 -L ENGINE -R 'Concurrency\.'
}

stage_rtsan() {
    export RTSAN_OPTIONS=halt_on_error=1:external_symbolizer_path=/usr/bin/llvm-symbolizer
    "$here/scripts/build.sh" "$here/build-rtsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang-22 -DCMAKE_CXX_COMPILER=clang++-22 -DCMAKE_CXX_FLAGS= -DPELLMIX_SANITIZE=realtime \
        -DPELLMIX_BUILD_APP=OFF -DPELLMIX_BUILD_TESTS=ON -DPELLMIX_BUILD_BENCH=OFF -DPELLMIX_BUILD_FUZZ=OFF
    "$here/scripts/run-ctest.py" "$here/build-rtsan" -j"$jobs" --timeout 900 -L 'ENGINE_(engine|capture)'
}

stage_fuzz() {
    "$here/scripts/fuzz.sh" "$here/build-fuzz" "${PELLMIX_FUZZ_SECONDS:-60}"
}

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
    [[ " ${all_stages[*]} " == *" $stage "* ]] || { echo "unknown stage \"$stage\" (stages: ${all_stages[*]})"; exit 2; }
done

"$here/scripts/setup.sh"

failed=()
for stage in "${stages[@]}"; do
    echo "== $stage"
    start=$SECONDS
    # A subshell per stage, with -e in force inside it (a condition around it would switch -e off).
    set +e
    (
        set -e
        "stage_$stage"
    )
    status=$?
    set -e
    if [ $status -eq 0 ]; then
        echo "== $stage passed ($((SECONDS - start)) s)"
    else
        echo "== $stage FAILED ($((SECONDS - start)) s)"
        failed+=("$stage")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "== FAILED: ${failed[*]}"
    exit 1
fi
echo "== all tests passed: ${stages[*]}"
