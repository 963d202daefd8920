"""Reference real FFT in the packed layout, computed with numpy in double precision.

Usage: fft_packed.py MODE DTYPE N IN OUT [MODE DTYPE N IN OUT ...]
  MODE   forward (IN holds a signal) or inverse (IN holds a packed spectrum)
  DTYPE  float32 or float64: the type of the raw samples in IN; OUT is written as float64
  Forward writes f[k] = Re X[k] (k = 0..N/2) and f[N/2+k] = -Im X[k] (k = 1..N/2-1) with
  X[k] = sum x[n] exp(-2 pi i k n / N). Inverse writes N times the signal of a packed spectrum.
"""
import sys

import numpy as np


def forward(x):
    n = len(x)
    if n == 1:
        return x.copy()
    spectrum = np.fft.rfft(x)
    f = np.empty(n)
    f[: n // 2 + 1] = spectrum.real
    f[n // 2 + 1 :] = -spectrum.imag[1 : n // 2]
    return f


def inverse(f):
    n = len(f)
    if n == 1:
        return f.copy()
    spectrum = f[: n // 2 + 1].astype(complex)
    spectrum[1 : n // 2] -= 1j * f[n // 2 + 1 :]
    return np.fft.irfft(spectrum, n=n) * n


def main(args):
    if len(args) == 0 or len(args) % 5 != 0:
        sys.exit(__doc__)
    for i in range(0, len(args), 5):
        mode, dtype, n, src, dst = args[i : i + 5]
        data = np.fromfile(src, dtype=dtype).astype(np.float64)
        if len(data) != int(n):
            sys.exit(f"{src}: {len(data)} values, expected {n}")
        result = {"forward": forward, "inverse": inverse}[mode](data)
        result.astype(np.float64).tofile(dst)


if __name__ == "__main__":
    main(sys.argv[1:])
