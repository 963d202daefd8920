#!/usr/bin/env bash
# Configures and builds one build folder:
#   scripts/build.sh [BUILD_DIR] [extra cmake args...] [-- target...]
# With targets, only those are built. A folder configured before with another compiler than the
# one the arguments name (-DCMAKE_CXX_COMPILER=...) is configured afresh, since CMake keeps the
# first compiler of a folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
shift || true

cmake_args=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--" ]; then
        shift
        targets=("$@")
        break
    fi
    cmake_args+=("$1")
    shift
done

wanted=""
for arg in "${cmake_args[@]}"; do
    case "$arg" in -DCMAKE_CXX_COMPILER=*) wanted="${arg#*=}" ;; esac
done
if [ -n "$wanted" ] && [ -f "$build/CMakeCache.txt" ]; then
    cached="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")"
    if [ "$(readlink -f "$(command -v "$wanted")")" != "$(readlink -f "$cached")" ]; then
        echo "build: $build was configured with $cached; configuring it afresh for $wanted"
        rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
    fi
fi

export CCACHE_SLOPPINESS=time_macros CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$here"
cmake -S "$here" -B "$build" -G Ninja "${cmake_args[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
else
    cmake --build "$build" -j"$(nproc)"
fi
