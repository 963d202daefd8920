#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
shift || true
export CCACHE_SLOPPINESS=time_macros CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$here"
cmake -S "$here" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
