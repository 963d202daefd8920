"""Oracle for a recording of the playback callback on a JACK device.

Arguments: folder rate processed left right. The folder holds raw little-endian float32 files:
  rec0.f32 .. rec3.f32  the recorded output ports
  source.f32            the file channel that is heard
  irrate.f32            the blended IR at the device rate
The signal expected on output `left` is numpy's convolution of the source with the IR, scaled by
44100 / rate (processed = 1), or the source itself (processed = 0); it must appear whole, at one
lag, with silence around it. Output `right` (-1: none) must equal `left`; all others are silent.
"""
import sys
from pathlib import Path

import numpy as np
from scipy import signal


def load(folder, name):
    return np.fromfile(folder / name, dtype="<f4").astype(np.float64)


def main():
    folder = Path(sys.argv[1])
    rate = float(sys.argv[2])
    processed = sys.argv[3] == "1"
    left, right = int(sys.argv[4]), int(sys.argv[5])
    recs = [load(folder, f"rec{i}.f32") for i in range(4)]
    x = load(folder, "source.f32")
    ir = load(folder, "irrate.f32")
    failures = []

    if processed:
        expected = np.convolve(x, ir) * (np.float32(44100.0) / np.float32(rate))
    else:
        expected = x
    rec = recs[left]
    corr = signal.correlate(rec, expected, mode="valid", method="fft")
    if len(corr) == 0:
        failures.append(f"recording of {len(rec)} samples is shorter than the expected {len(expected)}")
    else:
        lag = int(np.argmax(corr))
        segment = rec[lag : lag + len(expected)]
        peak = np.max(np.abs(expected))
        err = np.max(np.abs(segment - expected))
        outside = np.concatenate([rec[:lag], rec[lag + len(expected) :]])
        leak = np.max(np.abs(outside)) if len(outside) else 0.0
        print(f"recorded {len(rec)} samples, signal at {lag}, peak {peak:.4f}, max error {err:.2e}, outside {leak:.2e}")
        if err > 2e-5 * peak:
            i = int(np.argmax(np.abs(segment - expected)))
            failures.append(f"output {left} differs from the oracle: {err:.3e} at {i} of {len(expected)}")
        if leak > 1e-5 * peak:
            failures.append(f"output {left} carries {leak:.3e} outside the expected signal")
        if lag == 0:
            failures.append("no silence before the signal: the recording may have started late")

    for i, r in enumerate(recs):
        if i == left:
            continue
        if i == right:
            if not np.array_equal(r, rec):
                failures.append(f"output {i} differs from output {left} of its pair")
        elif np.any(r != 0):
            failures.append(f"output {i} is not silent (peak {np.max(np.abs(r)):.3e})")

    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
