"""Reference vir encoder and decoder, written from the format description alone.

Commands (all float files are raw little-endian float32, band after band):
  flat OUT.vir OUT_EXPECTED.f32 [EXTRA_BYTES]
      writes a flat file of a fixed test IR (plus EXTRA_BYTES of trailing junk) and the three
      bands a reader must give (band 0 as stored, bands 1 and 2 low-passed at 5000 / 3333.3 Hz).
  spectral OUT.vir OUT_EXPECTED.f32 [EXTRA_BYTES]
      encodes three fixed test bands as a spectral file and writes the bands its decoding gives.
  check FILE.vir INPUT.f32 LENGTH
      compares a spectral file against this encoder's output for the three bands of INPUT
      (LENGTH samples each): exact size, header, marker and check sums, magnitude and phase
      codes within one code.
Exits non-zero with a message on any mismatch.
"""
import math
import sys

import numpy as np
from scipy import signal

BANDS, LEN, N, BINS = 3, 1792, 2048, 1024
HEADER = bytes([0x01, 0x0E] + [0] * 10 + [0x00, 0x02])
MARKER = bytes([0xAE, 0x10, 0x54, 0x98])
RATE = 96000.0


def s24(b, off):
    v = b[off] + 256 * b[off + 1] + 65536 * b[off + 2]
    return v - 16777216 if b[off + 2] >= 128 else v


def p24(v):
    v &= 0xFFFFFF
    return bytes([v & 255, (v >> 8) & 255, (v >> 16) & 255])


def test_ir(seed, dc_sign=1.0):
    rng = np.random.default_rng(seed)
    n = np.arange(LEN)
    x = rng.standard_normal(LEN) * np.exp(-n / 180.0) * 0.3
    x[0] = 0.8 * dc_sign
    x[3] += 0.4
    return x


def encode_band(x):
    """Magnitudes, negated unwrapped phases of one band (steps 1 to 6)."""
    buf = np.zeros(N)
    buf[: min(len(x), LEN)] = x[:LEN]
    X = np.fft.rfft(buf)
    packed = np.zeros(N)
    packed[: N // 2 + 1] = X.real
    packed[N // 2 + 1:] = -X.imag[1: N // 2]
    packed[N // 2] = 0.0
    re = packed[:BINS]
    v = np.concatenate(([packed[N // 2]], packed[N // 2 + 1:]))
    mag = np.sqrt(re * re + v * v)
    raw = np.arctan2(v, re)
    M = mag.max()
    peak = 0
    if M > 0:
        mag = mag / M * 0.95
        above = np.nonzero(mag > 0.015)[0]
        peak = int(above[-1]) if len(above) else 0
    ph = np.empty(BINS)
    ph[0] = raw[0]
    off = 0.0
    for k in range(1, BINS):
        d = raw[k] - raw[k - 1]
        if abs(d) >= math.pi and k <= peak:
            off += 2 * math.pi if d < 0 else -2 * math.pi
        ph[k] = raw[k] + off
    return mag, -ph


def quantise(mag, q):
    lo, hi = q.min(), q.max()
    shift = 2 * math.pi * math.ceil(lo / (-2 * math.pi))
    # Divisor 1 only when every shifted phase is 0; otherwise the largest shifted phase maps to
    # 0.95 of full scale, the divisor kept within its 24-bit field.
    if hi + shift <= 0:
        D = 1
    else:
        D = int(min(max(math.floor(7969176.65 / (hi + shift)), 1), 8388607))
    mcodes = [int(math.floor(m * 8388607)) for m in mag]
    pcodes = [int(math.floor((p + shift) * D)) for p in q]
    return mcodes, pcodes, D


def checksums(body):
    a = b = 0
    for byte in body:
        a = (a + byte) % 65536
        b = (b + a) % 65536
    return a, b


def encode(bands):
    body = bytearray(HEADER)
    codes = []
    for x in bands:
        mc, pc, D = quantise(*encode_band(np.asarray(x, dtype=np.float64)))
        codes.append((mc, pc, D))
        for c in mc + pc + [D]:
            body += p24(c)
    a, b = checksums(body)
    return bytes(body) + MARKER + bytes([a >> 8, a & 255, b >> 8, b & 255]), codes


def s24_array(data, off, count):
    b = np.frombuffer(data, dtype=np.uint8, count=3 * count, offset=off).reshape(count, 3).astype(np.int64)
    v = b[:, 0] + 256 * b[:, 1] + 65536 * b[:, 2]
    return np.where(b[:, 2] >= 128, v - 16777216, v)


def decode_spectral(data):
    out = []
    for b in range(BANDS):
        s = 14 + 6147 * b
        d = np.float32(s24(data, s + 6144) * 256)
        m = (s24_array(data, s, BINS) * 256).astype(np.float32) * np.float32(2.0 ** -31) * np.float32(1.2)
        p = ((s24_array(data, s + 3072, BINS) * 256).astype(np.float32) / d).astype(np.float64)
        X = np.zeros(N // 2 + 1, dtype=complex)
        # The DC term keeps the sign its stored phase (0 or pi) gives it.
        X[0] = m[0] if math.cos(p[0]) >= 0 else -m[0]
        X[1:BINS] = m[1:].astype(np.float64) * np.exp(1j * p[1:])
        x = np.fft.irfft(X, N)  # irfft already divides by N
        out.append(x[:LEN])
    return out


def low_passed(x):
    bands = [x]
    for fc in (5000.0, 3333.3):
        b, a = signal.butter(2, fc / (RATE / 2))
        bands.append(signal.lfilter(b, a, x))
    return bands


def write_f32(path, bands):
    np.concatenate([np.asarray(b, dtype=np.float64) for b in bands]).astype('<f4').tofile(path)


def fail(msg):
    print("vir_reference: " + msg)
    sys.exit(1)


def cmd_flat(out, expected, extra):
    x = test_ir(11) * 0.05  # flat samples span only about +-0.0556
    codes = [int(round(v * 150994944)) for v in x]
    if max(abs(c) for c in codes) > 8388607:
        fail("flat test IR out of range")
    data = bytearray(HEADER)
    data[12] = 0x01  # any non-zero variant byte selects the flat variant
    for c in codes:
        data += p24(c)
    data += bytes((i * 37 + 5) & 255 for i in range(extra))
    open(out, "wb").write(data)
    stored = np.array([np.float32(c * 256) / np.float32(38654705664.0) for c in codes])
    write_f32(expected, low_passed(stored.astype(np.float64)))


def cmd_spectral(out, expected, extra):
    bands = [test_ir(21), test_ir(22, dc_sign=-1.0), test_ir(23)[::-1].copy() * 0.5]
    data, _ = encode(bands)
    open(out, "wb").write(data + bytes((i * 53 + 1) & 255 for i in range(extra)))
    write_f32(expected, decode_spectral(data))


def cmd_check(path, inp, length):
    data = open(path, "rb").read()
    x = np.fromfile(inp, dtype='<f4').astype(np.float64).reshape(BANDS, length)
    ref, codes = encode(list(x))
    if len(data) != 18463:
        fail("size %d" % len(data))
    if data[:14] != HEADER:
        fail("header %s" % data[:14].hex())
    if data[18455:18459] != MARKER:
        fail("marker %s" % data[18455:18459].hex())
    a, b = checksums(data[:18455])
    if data[18459:] != bytes([a >> 8, a & 255, b >> 8, b & 255]):
        fail("check sums %s, expected %04x %04x" % (data[18459:].hex(), a, b))
    for band, (mc, pc, D) in enumerate(codes):
        s = 14 + 6147 * band
        fd = s24(data, s + 6144)
        if abs(fd - D) > 1:
            fail("band %d divisor %d, expected %d" % (band, fd, D))
        for k in range(BINS):
            fm = s24(data, s + 3 * k)
            fp = s24(data, s + 3072 + 3 * k)
            if abs(fm - mc[k]) > 1:
                fail("band %d bin %d magnitude code %d, expected %d" % (band, k, fm, mc[k]))
            # With equal divisors the codes agree within one; otherwise compare the phases.
            if fd == D and abs(fp - pc[k]) > 1:
                fail("band %d bin %d phase code %d, expected %d" % (band, k, fp, pc[k]))
            if fd != D and abs(fp / fd - pc[k] / D) > 2.0 / D:
                fail("band %d bin %d phase %g, expected %g" % (band, k, fp / fd, pc[k] / D))
    print("ok")


def main(argv):
    cmd = argv[1]
    if cmd == "flat":
        cmd_flat(argv[2], argv[3], int(argv[4]) if len(argv) > 4 else 0)
    elif cmd == "spectral":
        cmd_spectral(argv[2], argv[3], int(argv[4]) if len(argv) > 4 else 0)
    elif cmd == "check":
        cmd_check(argv[2], argv[3], int(argv[4]))
    else:
        fail("unknown command " + cmd)


if __name__ == "__main__":
    main(sys.argv)
