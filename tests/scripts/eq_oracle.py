"""References for the graphic-EQ bank tests.

  peak CASES
      Each line of the file CASES is "IR RATE F0 Q GAIN_DB TOL_DB". Compares the spectrum of the
      impulse response IR (float32 raw) with the analytic response of the second-order peak
      filter (cookbook form, A = sqrt(gain)) from 5 Hz to just below Nyquist and at F0; fails when
      any point of any case differs by more than its TOL_DB. Prints the largest difference of
      each case.
  cascade IN OUT RATE RANGE_DB V0 .. V30
      Filters IN (float32 raw) through the 31 ISO third-octave peak filters set from the band
      values, in double precision with lfilter, band 0
      first; writes OUT (float64 raw).
"""
import sys

import numpy as np
from scipy import signal

ISO_THIRDS = [20, 25, 31.5, 40, 50, 63, 80, 100, 125, 160, 200, 250, 315, 400, 500, 630, 800, 1000,
              1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000]
BROAD_Q = 0.9899494768024271


def peak_coefficients(rate, f0, q, gain):
    a = np.sqrt(gain)
    w = 2 * np.pi * f0 / rate
    alpha = np.sin(w) / (2 * q)
    b = np.array([1 + alpha * a, -2 * np.cos(w), 1 - alpha * a]) / (1 + alpha / a)
    den = np.array([1 + alpha / a, -2 * np.cos(w), 1 - alpha / a]) / (1 + alpha / a)
    return b, den


def db(h):
    return 20 * np.log10(np.abs(h))


def third_octave_q(f0, rate):
    w = 2 * np.pi * f0 / rate
    return 0.5 / np.sinh(np.log(2) / 2 / 3 * w / np.sin(w))


def value_to_gain_q(value, range_db, band_q):
    gain = 10 ** ((2 * value - 1) * range_db / 20)
    a = abs(2 * value - 1)
    if a <= 0.5:
        return gain, BROAD_Q
    m = 0.5 * (2 * a - 1) ** 3 + 0.5
    return gain, (1 - m) * BROAD_Q + m * band_q


def peak_case(path, rate, f0, q, gain_db, tol):
    ir = np.fromfile(path, dtype=np.float32).astype(np.float64)
    size = 1 << 20
    spectrum = np.fft.rfft(ir, n=size)
    bin_hz = rate / size
    bins = np.unique(np.round(np.append(np.geomspace(5.0, rate * 0.49, 400), f0) / bin_hz).astype(int))
    freqs = bins * bin_hz
    _, expected = signal.freqz(*peak_coefficients(rate, f0, q, 10 ** (gain_db / 20)), worN=freqs, fs=rate)
    diff = np.abs(db(spectrum[bins]) - db(expected))
    worst = int(np.argmax(diff))
    print(f"{f0:g} Hz, Q {q:.5f}, {gain_db:+.3f} dB: max difference {diff[worst]:.5f} dB at {freqs[worst]:.1f} Hz")
    return diff[worst] <= tol


def peak(argv):
    results = []
    with open(argv[0]) as cases:
        for line in cases:
            if line.strip():
                path, *numbers = line.split()
                results.append(peak_case(path, *(float(v) for v in numbers)))
    if not all(results):
        sys.exit("difference above tolerance")


def cascade(argv):
    x = np.fromfile(argv[0], dtype=np.float32).astype(np.float64)
    rate, range_db = float(argv[2]), float(argv[3])
    values = [float(v) for v in argv[4:]]
    if len(values) != len(ISO_THIRDS):
        sys.exit("need 31 band values")
    for f0, v in zip(ISO_THIRDS, values):
        gain, q = value_to_gain_q(v, range_db, third_octave_q(f0, rate))
        b, a = peak_coefficients(rate, f0, q, gain)
        x = signal.lfilter(b, a, x)
    x.astype(np.float64).tofile(argv[1])


if __name__ == "__main__":
    {"peak": peak, "cascade": cascade}[sys.argv[1]](sys.argv[2:])
