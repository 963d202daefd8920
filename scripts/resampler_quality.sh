#!/usr/bin/env bash
# Resampler quality report: PellmixResampler beside libsamplerate (SRC_SINC_BEST_QUALITY) and
# soxr (very high quality) on the same sine tones, 20 Hz to 20 kHz, for the ratios the system
# uses. Prints one row per converter and ratio: SNR at 1 kHz, worst SNR over the tones, gain
# ripple over the tones and the gain at 18 and 20 kHz.
#   scripts/resampler_quality.sh [BUILD_DIR]   (default: build; builds pellmix_bench if needed)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
[ -x "$build/bench/pellmix_bench" ] || cmake --build "$build" --target pellmix_bench
"$build/bench/pellmix_bench" --benchmark_filter='BM_ResamplerQuality' --benchmark_format=json 2>/dev/null |
    /usr/bin/python3 -c '
import json, sys
rows = json.load(sys.stdin)["benchmarks"]
head = ("converter", "ratio", "SNR 1k", "SNR min", "ripple", "18 kHz", "20 kHz")
print("%-26s %14s %8s %8s %9s %9s %9s" % head)
print("%-26s %14s %8s %8s %9s %9s %9s" % ("", "", "dB", "dB", "dB", "dB", "dB"))
for r in sorted(rows, key=lambda r: r["label"].split(", ")[1]):
    name, ratio = r["label"].split(", ")
    print("%-26s %14s %8.1f %8.1f %9.4f %9.4f %9.4f" % (name, ratio, r["SNR_1k_dB"], r["SNR_worst_dB"],
          r["ripple_dB"], r["gain_18k_dB"], r["gain_20k_dB"]))
'
