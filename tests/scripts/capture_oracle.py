"""Independent oracle of the capture signals and synthetic capture recordings (numpy, scipy).

Usage:
  capture_oracle.py sweep FOLDER RATE N F
      Checks FOLDER/sinus.wav and FOLDER/inverse.raw against the sweep formula and its inverse.
  capture_oracle.py sine FOLDER RATE N FREQ
      Checks FOLDER/sinustest.wav against the test-tone formula.
  capture_oracle.py record SWEEP_WAV RECORD_RAW KIND LATENCY NOISE_DB INVERT DISTORTION
      Writes a recording: the sweep through y = x + DISTORTION * x^2, then the known IR KIND (at the
      sweep's rate), negated when INVERT is 1, with white noise at NOISE_DB dB of full scale (rms)
      and LATENCY zero samples in front; as long as the sweep plus the latency, float32 LE.
  capture_oracle.py irwav WAV RATE KIND
      Writes the known IR KIND at RATE as a mono float32 WAV, 30 ms long, scaled to a largest gain
      of 0.5 at any frequency (so that a test signal through it stays below full scale): the
      impulse response of a convolver standing in for the user's gear.
  capture_oracle.py loop RECORD_RAW SWEEP_WAV LATENCY
      Checks a recording of the sweep looped straight back: after LATENCY zeros, the sweep delayed
      by a whole number of samples, exactly. Prints loop_delay and loop_max_error.
  capture_oracle.py check BANDS_RAW KIND
      BANDS_RAW holds three bands of 1792 float32 at 96000 Hz. Fits band 0 and band 1 to KIND (and
      to the plain pulse) with a free scale and a fractional shift; prints key=value lines:
      band0_error_db, band0_scale, band1_error_db (band 1 against the plain pulse, any constant
      phase turn allowed) and, for the comb, comb_ratio_db. KIND dirac (a system that only delays)
      is checked as wire after band 0 is filtered by the pulse, and band0_flatness_db gives the
      largest deviation of its magnitude from its median over 100 Hz to 10 kHz. (An impulse has
      energy up to the sweep's band edges, and the trimming at the onset cuts what rings before
      it: even a perfect loop reaches only about -38 dB of error here.)

The known IRs are defined by their continuous spectra, so they can be sampled at any rate without
aliasing: a pulse P(f) = i f exp(-2 pi^2 s^2 f^2) (the negated derivative of a Gaussian, first lobe
positive, spectral peak at 2 kHz, nothing below 40 Hz or above 10 kHz worth counting) times
  wire     1
  delay    exp(-2 pi i f 0.73 ms)                     (a fractional delay at every rate)
  comb     1 + 0.5 exp(-2 pi i f 0.5 ms)              (peaks at 0, 2, 4 kHz; notches at 1, 3, 5 kHz)
  cabinet  1 + damped resonances at 110, 850, 2300 and 4200 Hz (a loudspeaker-like colouring)
Exit status 1 when a signal check fails.
"""
import sys

import numpy as np
from scipy.io import wavfile
from scipy.optimize import minimize_scalar
from scipy.signal import fftconvolve

R = np.log(1000.0)
W = 2.0 * float(np.float32(np.pi)) * 20.0
A = np.sqrt(0.5)
SIGMA = 1.0 / (2.0 * np.pi * 2000.0)
PULSE_START = 0.5e-3  # seconds: the pulse is centred there, so it starts after 0
BAND = 1792
IR_RATE = 96000


# ---------------------------------------------------------------------------------------------
# Test signals


def sweep_formula(rate, n, fade):
    t = np.arange(n, dtype=np.float64)
    k = W * (n / rate) / R
    sweep = np.sin((np.exp(t / n * R) - 1.0) * k) * A
    rev = np.sin((np.exp((n - 1 - t) / n * R) - 1.0) * k) * A
    inverse = rev * 10.0 ** (t * R / n * -6.0 / np.log(2.0) / 20.0)
    if fade > 0:
        g = (np.arange(fade) / fade) ** 2
        for x in (sweep, inverse):
            x[:fade] *= g
            x[n - 1 - np.arange(fade)] *= g
    return sweep.astype(np.float32), inverse.astype(np.float32)


def wav_header(path):
    """(format tag, channels, rate, bits, data bytes) read straight from the RIFF chunks."""
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        return None
    pos, fmt, size = 12, None, None
    while pos + 8 <= len(data):
        cid, length = data[pos : pos + 4], int.from_bytes(data[pos + 4 : pos + 8], "little")
        body = data[pos + 8 : pos + 8 + length]
        if cid == b"fmt ":
            tag = int.from_bytes(body[0:2], "little")
            if tag == 0xFFFE and len(body) >= 26:  # extensible: the sub-format's first two bytes
                tag = int.from_bytes(body[24:26], "little")
            fmt = (tag, int.from_bytes(body[2:4], "little"), int.from_bytes(body[4:8], "little"),
                   int.from_bytes(body[14:16], "little"))
        elif cid == b"data":
            size = length
        pos += 8 + length + (length & 1)
    return None if fmt is None else fmt + (size,)


failures = []


def expect(cond, text):
    if not cond:
        failures.append(text)


def check_wav(path, rate, expected):
    header = wav_header(path)
    expect(header is not None, f"{path}: not a RIFF/WAVE file")
    if header is None:
        return
    tag, channels, file_rate, bits, size = header
    expect((tag, channels, file_rate, bits) == (3, 1, rate, 32),
           f"{path}: format {header}, expected IEEE float, mono, {rate} Hz, 32 bits")
    expect(size == 4 * len(expected), f"{path}: data chunk {size} bytes, expected {4 * len(expected)}")
    file_rate, samples = wavfile.read(path)
    compare(path.rsplit("/", 1)[-1], samples, expected)


def compare(name, got, expected):
    expect(got.dtype == np.float32, f"{name}: samples of type {got.dtype}")
    expect(len(got) == len(expected), f"{name}: {len(got)} samples, expected {len(expected)}")
    if len(got) == len(expected) and len(got) > 0:
        err = np.max(np.abs(got.astype(np.float64) - expected.astype(np.float64)))
        print(f"{name}_max_error={err:.3g}")
        # A few float32 steps of the largest value: libm and numpy may differ by an ulp.
        expect(err <= 4e-7, f"{name}: largest deviation {err}")


def cmd_sweep(folder, rate, n, fade):
    sweep, inverse = sweep_formula(rate, n, fade)
    check_wav(f"{folder}/sinus.wav", rate, sweep)
    raw = np.fromfile(f"{folder}/inverse.raw", dtype="<f4")
    compare("inverse.raw", raw, inverse)
    if fade > 0 and n > 0:
        expect(sweep[0] == 0 and sweep[-1] == 0 and inverse[0] == 0 and inverse[-1] == 0,
               "faded ends are not 0")


def cmd_sine(folder, rate, n, freq):
    t = np.arange(n, dtype=np.float64)
    tone = (np.sin(2.0 * (t / rate) * np.pi * freq) * A).astype(np.float32)
    check_wav(f"{folder}/sinustest.wav", rate, tone)


# ---------------------------------------------------------------------------------------------
# Known IRs and synthetic recordings


def spectrum(kind, f):
    p = 1j * f * np.exp(-2.0 * np.pi**2 * SIGMA**2 * f**2) * np.exp(-2j * np.pi * f * PULSE_START)
    if kind == "wire":
        return p
    if kind == "delay":
        return p * np.exp(-2j * np.pi * f * 0.73e-3)
    if kind == "comb":
        return p * (1.0 + 0.5 * np.exp(-2j * np.pi * f * 0.5e-3))
    if kind == "cabinet":
        w = 2j * np.pi * f
        r = np.ones_like(w)
        for freq, decay_ms, gain in ((110, 2.2, 0.6), (850, 1.5, 0.8), (2300, 1.0, -0.7), (4200, 0.6, 0.5)):
            alpha, w0 = 1000.0 / decay_ms, 2.0 * np.pi * freq
            r = r + gain * w0 / ((alpha + w) ** 2 + w0**2) * alpha  # e^-at sin(w0 t), scaled by alpha
        return p * r
    raise SystemExit(f"unknown IR kind {kind}")


def sampled_ir(kind, rate, n, shift=0.0, length=1 << 16, rotation=0.0):
    """n samples of the IR at `rate`, advanced by `shift` seconds (h(t + shift)), every component
    turned by `rotation` radians (pi/2 gives the Hilbert transform)."""
    f = np.fft.rfftfreq(length, 1.0 / rate)
    h = np.fft.irfft(spectrum(kind, f) * np.exp(2j * np.pi * f * shift + 1j * rotation), length) * rate
    return h[:n]


def cmd_irwav(wav, rate, kind):
    h = sampled_ir(kind, rate, int(0.03 * rate))
    h *= 0.5 / np.max(np.abs(np.fft.rfft(h, 1 << 16)))
    wavfile.write(wav, rate, h.astype(np.float32))


def cmd_loop(record_raw, sweep_wav, latency):
    _, sweep = wavfile.read(sweep_wav)
    rec = np.fromfile(record_raw, dtype="<f4")
    expect(np.all(rec[:latency] == 0), "the first LATENCY values are not 0")
    n = min(len(rec), len(sweep), 1 << 20)
    spectrum = np.fft.rfft(rec[:n].astype(np.float64), 2 * n) * np.conj(np.fft.rfft(sweep[:n].astype(np.float64), 2 * n))
    delay = int(np.argmax(np.abs(np.fft.irfft(spectrum))[: n // 2]))
    expected = np.zeros(len(rec))
    end = min(len(rec), delay + len(sweep))
    expected[delay:end] = sweep[: end - delay]
    expected[:latency] = 0
    err = float(np.max(np.abs(rec - expected)))
    print(f"loop_delay={delay}")
    print(f"loop_max_error={err:.3g}")


def cmd_record(sweep_wav, record_raw, kind, latency, noise_db, invert, distortion):
    rate, x = wavfile.read(sweep_wav)
    x = x.astype(np.float64)
    x = x + distortion * x * x
    h = sampled_ir(kind, rate, int(0.03 * rate))
    h /= np.max(np.abs(h))
    y = fftconvolve(x, h)[: len(x)] * 0.5
    if invert:
        y = -y
    rng = np.random.default_rng(1234)
    y = y + rng.standard_normal(len(y)) * 10.0 ** (noise_db / 20.0)
    out = np.concatenate([np.zeros(latency), y]).astype("<f4")
    out.tofile(record_raw)


def fit(band, kind, any_phase=False):
    """Least-squares fit of band to the IR with a free scale and fractional shift, and with
    any_phase a free constant phase turn as well: (error dB, scale, shift)."""
    band = band.astype(np.float64)
    energy = np.dot(band, band)
    if energy == 0:
        return 0.0, 0.0, 0.0

    def residual(shift):
        basis = [sampled_ir(kind, IR_RATE, len(band), shift, 1 << 15)]
        if any_phase:
            basis.append(sampled_ir(kind, IR_RATE, len(band), shift, 1 << 15, np.pi / 2))
        m = np.stack(basis, axis=1)
        coef, *_ = np.linalg.lstsq(m, band, rcond=None)
        rest = band - m @ coef
        return np.dot(rest, rest) / energy, coef[0]

    ref0 = sampled_ir(kind, IR_RATE, 4096, 0.0, 1 << 15)
    env = np.abs(np.fft.ifft(np.fft.fft(ref0) * (np.fft.fftfreq(len(ref0)) > 0) * 2))  # envelope
    xc = np.correlate(np.concatenate([np.abs(band), np.zeros(4096)]), env, "full") if any_phase else \
        np.correlate(np.concatenate([band, np.zeros(4096)]), ref0, "full")
    lag = np.argmax(np.abs(xc)) - (len(ref0) - 1)
    best = minimize_scalar(lambda s: residual(s)[0], bounds=((-lag - 3) / IR_RATE, (-lag + 3) / IR_RATE),
                           method="bounded", options={"xatol": 1e-9})
    err, scale = residual(best.x)
    return 10.0 * np.log10(max(err, 1e-30)), scale, best.x


def dtft(x, f, rate):
    n = np.arange(len(x))
    return np.array([np.sum(x * np.exp(-2j * np.pi * fk * n / rate)) for fk in f])


def cmd_check(bands_raw, kind):
    bands = np.fromfile(bands_raw, dtype="<f4").reshape(3, BAND)
    band0 = bands[0]
    if kind == "dirac":
        f = np.fft.rfftfreq(1 << 15, 1.0 / IR_RATE)
        db = 20.0 * np.log10(np.abs(np.fft.rfft(band0.astype(np.float64), 1 << 15)) + 1e-30)
        inside = db[(f >= 100.0) & (f <= 10000.0)]
        print(f"band0_flatness_db={np.max(np.abs(inside - np.median(inside))):.3f}")
        band0 = fftconvolve(band0.astype(np.float64), sampled_ir("wire", IR_RATE, 1024, 0.0, 1 << 15))[:BAND]
        kind = "wire"
    err, scale, shift = fit(band0, kind)
    print(f"band0_error_db={err:.3f}")
    print(f"band0_scale={scale:.6g}")
    print(f"band0_shift_samples={shift * IR_RATE:.3f}")
    # The second-order response comes with a constant phase turn set by the sweep's start phase.
    err1, scale1, _ = fit(bands[1], "wire", any_phase=True)
    print(f"band1_error_db={err1:.3f}")
    if kind == "comb":
        f = np.array([1000.0, 2000.0, 3000.0])
        ratio = np.abs(dtft(bands[0].astype(np.float64), f, IR_RATE)) / np.abs(spectrum("wire", f))
        print(f"comb_ratio_db={20.0 * np.log10(ratio[1] / np.sqrt(ratio[0] * ratio[2])):.4f}")


def main(argv):
    cmd = argv[1]
    if cmd == "sweep":
        cmd_sweep(argv[2], int(argv[3]), int(argv[4]), int(argv[5]))
    elif cmd == "sine":
        cmd_sine(argv[2], int(argv[3]), int(argv[4]), float(argv[5]))
    elif cmd == "record":
        cmd_record(argv[2], argv[3], argv[4], int(argv[5]), float(argv[6]), argv[7] == "1", float(argv[8]))
    elif cmd == "loop":
        cmd_loop(argv[2], argv[3], int(argv[4]))
    elif cmd == "irwav":
        cmd_irwav(argv[2], int(argv[3]), argv[4])
    elif cmd == "check":
        cmd_check(argv[2], argv[3])
    else:
        raise SystemExit(f"unknown command {cmd}")
    for text in failures:
        print("FAIL:", text)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
