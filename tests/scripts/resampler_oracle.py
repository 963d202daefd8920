"""Reference conversions for the resampler tests (float32 raw files in and out).

  poly IN OUT IN_RATE OUT_RATE COUNT   band-limited conversion by polyphase filtering with a long
                                       Kaiser-windowed sinc (about -120 dB stopband); COUNT samples
  halfband IN OUT up|down              the 25-tap half-band filter applied by upfirdn: 2x with
                                       gain 2, or keeping every second sample
"""
import sys
from fractions import Fraction

import numpy as np
from scipy import signal

HALF_BAND = np.array([0, -0.0004927838, 0, 0.005177148, 0, -0.016844185, 0, 0.04005134, 0,
                      -0.09052389, 0, 0.31274536, 0.49977398], dtype=np.float64)
HALF_BAND = np.concatenate([HALF_BAND, HALF_BAND[-2::-1]])


def read(path):
    return np.fromfile(path, dtype=np.float32).astype(np.float64)


def write(path, y):
    np.asarray(y, dtype=np.float32).tofile(path)


def poly(x, in_rate, out_rate, count):
    ratio = Fraction(int(out_rate), int(in_rate))
    up, down = ratio.numerator, ratio.denominator
    if up == down:
        y = x
    else:
        widest = max(up, down)
        taps = signal.firwin(2 * 64 * widest + 1, 1.0 / widest, window=("kaiser", 12.0))
        y = signal.resample_poly(x, up, down, window=taps)
    out = np.zeros(count)
    out[:min(count, len(y))] = y[:count]
    return out


def main(argv):
    mode, src, dst = argv[1], argv[2], argv[3]
    x = read(src)
    if mode == "poly":
        write(dst, poly(x, float(argv[4]), float(argv[5]), int(argv[6])))
    elif mode == "halfband" and argv[4] == "up":
        write(dst, 2.0 * signal.upfirdn(HALF_BAND, x, up=2)[:2 * len(x)])
    elif mode == "halfband" and argv[4] == "down":
        write(dst, signal.upfirdn(HALF_BAND, x, down=2)[:len(x) // 2])
    else:
        sys.exit("unknown mode: " + " ".join(argv[1:]))


if __name__ == "__main__":
    main(sys.argv)
