"""Oracle for the curves of an IR block, computed from the slot's working buffer with numpy.

Usage: irblock_curves.py FOLDER
FOLDER holds raw float32 files: work.f32 (band 0 of the slot's working buffer, 2048 samples)
and time.f32, magnitude.f32, phase.f32 (the block's three curves, 224 points each).
  time:      peak = max(|w|, 0.1); s = floor(i * (2048 / 224)) in single precision;
             40 * mean(w[s..s+8]) / peak, all in single precision as the block computes it.
  magnitude: the slot analyser's dB curve: a 2048-point window of 256 zeros and the first 1792
             samples, 224 display points at 96000 Hz (spectrum_analyse.py).
  phase:     8 times that analysis' phases (radians), compared where the phase is well
             conditioned.
"""
import sys
from pathlib import Path

import numpy as np

from spectrum_analyse import analyse

POINTS = 224


def expected_time(w):
    f32 = np.float32
    peak = max(f32(np.max(np.abs(w))), f32(0.1))
    step = f32(2048) / f32(POINTS)
    out = np.zeros(POINTS, dtype=np.float32)
    for i in range(POINTS):
        s = int(np.floor(f32(i) * step))
        acc = f32(0)
        for k in range(9):
            acc = f32(acc + w[s + k])
        out[i] = f32(f32(f32(40) * f32(acc / f32(9))) / peak)
    return out


def main():
    folder = Path(sys.argv[1])
    load = lambda name: np.fromfile(folder / name, dtype="<f4")
    w = load("work.f32")
    time, magnitude, phase = load("time.f32"), load("magnitude.f32"), load("phase.f32")
    failures = []
    if len(w) != 2048 or not all(len(c) == POINTS for c in (time, magnitude, phase)):
        sys.exit("wrong sizes")

    t = expected_time(w)
    err = np.max(np.abs(time - t))
    print(f"time: largest |point| {np.max(np.abs(t)):.3f} px, max error {err:.2e}")
    if err > 1e-5:
        failures.append(f"time curve differs by {err:.3e} at point {int(np.argmax(np.abs(time - t)))}")

    window = np.concatenate([np.zeros(256), w[:1792].astype(np.float64)])
    result = analyse(2048, POINTS, 96000.0, window)
    mags, phases, ok = result[POINTS:2 * POINTS], result[2 * POINTS:3 * POINTS], result[3 * POINTS:] > 0.5
    audible = mags > -80.0
    merr = np.max(np.abs(magnitude - mags)[audible])
    print(f"magnitude: peak {magnitude.max():.3f} dB, {audible.sum()} points above -80 dB, max error {merr:.2e} dB")
    if merr > 0.02:
        failures.append(f"magnitude differs by {merr:.3e} dB")
    use = ok & audible
    perr = np.max(np.abs(phase - 8.0 * phases)[use])
    print(f"phase: {use.sum()} well-conditioned points, max error {perr:.2e} (curve units)")
    if use.sum() < POINTS // 2:
        failures.append(f"only {use.sum()} comparable phase points")
    if perr > 8 * 2e-3:
        failures.append(f"phase differs by {perr:.3e}")

    if failures:
        print("\n".join(failures))
        sys.exit(1)


if __name__ == "__main__":
    main()
