"""Reference analysis of one window without smoothing, computed with numpy in double precision.

Usage: spectrum_analyse.py N POINTS RATE WINDOW OUT [N POINTS RATE WINDOW OUT ...]
  WINDOW  N raw float32 samples, oldest first
  OUT     written as float64: display frequencies, magnitudes (dB, highest point at -20 dB unless
          every point is at -96), phases (radians), and per point 1.0 where its phase is well
          conditioned (no bin used lies near the +-pi wrap or has a tiny magnitude), else 0.0.
Display points run logarithmically from 20 Hz to 20 kHz (to the rate at 20 kHz and below);
points at or above the Nyquist frequency take the Nyquist bin.
"""
import sys

import numpy as np

FLOOR_DB = -96.0


def display_frequencies(points, rate):
    span = 3.0 if rate > 20000.0 else np.log10(rate / 20.0)
    if points == 1:
        return np.array([10.0 ** 1.30103])
    return 10.0 ** (1.30103 + np.arange(points) * span / (points - 1))


def bins(window):
    n = len(window)
    if not np.any(window != 0):
        spectrum = np.zeros(n // 2 + 1, dtype=complex)
    else:
        spectrum = np.fft.rfft(window) / np.sqrt(n)
    magnitude = np.abs(spectrum)
    with np.errstate(divide="ignore"):
        db = np.where(magnitude == 0.0, FLOOR_DB, 20.0 * np.log10(magnitude))
    phase = np.where(magnitude == 0.0, 0.0, np.angle(spectrum))
    phase[0] = 0.0
    phase[-1] = 0.0
    reliable = (np.abs(np.abs(phase) - np.pi) > 1e-3) & (magnitude > 1e-4)
    reliable[0] = reliable[-1] = True
    return db, phase, reliable


def analyse(n, points, rate, window):
    db, phase, reliable = bins(window)
    freqs = display_frequencies(points, rate)
    x = freqs * n / rate
    nyquist = n // 2
    j = np.minimum(np.floor(x).astype(int), nyquist)
    frac = np.where(x >= nyquist, 0.0, x - j)
    upper = np.minimum(j + 1, nyquist)
    mags = db[j] * (1.0 - frac) + db[upper] * frac
    phases = (1.0 - frac) * phase[j] + frac * phase[upper]
    ok = (reliable[j] | (frac > 1.0 - 1e-6)) & (reliable[upper] | (frac < 1e-6))
    peak = max(FLOOR_DB, mags.max())
    if peak > FLOOR_DB:
        mags = mags - (peak + 20.0)
    return np.concatenate([freqs, mags, phases, ok.astype(float)])


def main(args):
    if len(args) == 0 or len(args) % 5 != 0:
        sys.exit(__doc__)
    for i in range(0, len(args), 5):
        n, points, rate, src, dst = int(args[i]), int(args[i + 1]), float(args[i + 2]), args[i + 3], args[i + 4]
        window = np.fromfile(src, dtype=np.float32).astype(np.float64)
        if len(window) != n:
            sys.exit(f"{src}: {len(window)} samples, expected {n}")
        analyse(n, points, rate, window).tofile(dst)


if __name__ == "__main__":
    main(sys.argv[1:])
