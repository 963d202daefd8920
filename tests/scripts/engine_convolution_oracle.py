"""Oracle for the preview convolution.

Arguments: folder rate [scale]. The folder holds raw little-endian float32 files:
  input.f32   the signal fed to the convolver
  ir96.f32    the blended IR at 96000 Hz (2048 samples)
  irrate.f32  that IR at the device rate, as the convolver uses it
  output.f32  what the convolver produced, as long as input.f32
Checks that irrate.f32 is ir96.f32 brought to the rate (against scipy's polyphase resampler,
aligned by the best lag) and that output.f32 is numpy's convolution of the input with
irrate.f32, scaled by 44100 / rate.
"""
import sys
from fractions import Fraction
from pathlib import Path

import numpy as np
from scipy import signal


def load(folder, name):
    return np.fromfile(folder / name, dtype="<f4").astype(np.float64)


def main():
    folder = Path(sys.argv[1])
    rate = float(sys.argv[2])
    x = load(folder, "input.f32")
    ir96 = load(folder, "ir96.f32")
    ir = load(folder, "irrate.f32")
    y = load(folder, "output.f32")
    failures = []

    expected_len = int(np.floor(len(ir96) * rate / 96000.0))
    if len(ir) != expected_len:
        failures.append(f"IR at rate has {len(ir)} samples, expected {expected_len}")

    ratio = Fraction(int(rate), 96000)
    ref = signal.resample_poly(ir96, ratio.numerator, ratio.denominator)[: len(ir)]
    best = None
    for lag in range(0, 16):
        a = ir[lag:]
        b = ref[: len(a)]
        err = np.sqrt(np.sum((a - b) ** 2) / np.sum(b ** 2))
        if best is None or err < best[1]:
            best = (lag, err)
    print(f"IR at rate vs scipy: lag {best[0]}, relative error {best[1]:.2e}")
    if best[1] > 0.02:
        failures.append(f"IR at rate differs from the resampled IR: relative error {best[1]:.3e}")

    scale = np.float32(44100.0) / np.float32(rate)
    oracle = np.convolve(x, ir)[: len(y)] * scale
    peak = np.max(np.abs(oracle))
    err = np.max(np.abs(y - oracle))
    print(f"convolution: peak {peak:.4f}, max error {err:.2e}, scale {float(scale):.6f}")
    if len(y) != len(x):
        failures.append(f"output has {len(y)} samples, input {len(x)}")
    if not peak > 0:
        failures.append("oracle is silent")
    if err > 2e-5 * peak:
        i = int(np.argmax(np.abs(y - oracle)))
        failures.append(f"output differs from the oracle: max error {err:.3e} at {i} (peak {peak:.3e})")

    for f in failures:
        print("FAIL:", f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
