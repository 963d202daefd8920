#!/usr/bin/python3
"""Draws the window background, the bypass button looks, the slider tracks and thumbs and the
knob film strip into resources/images/.

Shapes are drawn from signed distances with numpy (anti-aliased, exact and repeatable); text is
rasterised by ImageMagick's convert from the typeface sources in src/typefaces/ and used as a
coverage mask. Run with Debian's /usr/bin/python3 (numpy); resources/src/build-all.sh does it.
"""
import os
import struct
import subprocess
import sys
import zlib

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGES = os.path.join(HERE, "..", "images")
FONT_BOOK = os.path.join(HERE, "typefaces", "LeagueSpartan-Regular.otf")
FONT_MEDIUM = os.path.join(HERE, "typefaces", "LeagueSpartan-Medium.otf")
CONVERT = "/usr/bin/convert"


# ---------------------------------------------------------------------------------------------
# Canvas: float RGBA, premultiplied, painted with "over".
class Canvas:
    def __init__(self, w, h, colour=None):
        self.w, self.h = w, h
        self.rgb = np.zeros((h, w, 3))
        self.a = np.zeros((h, w))
        ys, xs = np.mgrid[0:h, 0:w]
        self.x = xs + 0.5  # pixel centres
        self.y = ys + 0.5
        if colour is not None:
            self.fill(np.ones((h, w)), colour)

    def fill(self, coverage, colour, alpha=1.0):
        """Paints colour (r, g, b in 0..1, or an array h x w x 3) over the canvas."""
        cov = np.clip(coverage, 0.0, 1.0) * alpha
        col = np.asarray(colour, dtype=float)
        if col.ndim == 1:
            col = col[None, None, :]
        self.rgb = self.rgb * (1 - cov[..., None]) + col * cov[..., None]
        self.a = self.a * (1 - cov) + cov

    def save(self, name):
        a = np.clip(self.a, 0, 1)
        rgb = np.where(a[..., None] > 0, self.rgb / np.maximum(a[..., None], 1e-9), 0)
        px = np.dstack([np.clip(rgb, 0, 1), a])
        write_png(os.path.join(IMAGES, name), np.round(px * 255).astype(np.uint8))


def write_png(path, rgba):
    h, w, _ = rgba.shape
    raw = b"".join(b"\x00" + rgba[y].tobytes() for y in range(h))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def hexcol(s):
    return np.array([int(s[i:i + 2], 16) / 255.0 for i in (0, 2, 4)])


# ---------------------------------------------------------------------------------------------
# Signed distances (negative inside) and coverage.
def cover(d):
    return np.clip(0.5 - d, 0.0, 1.0)


def rrect(c, x, y, w, h, r):
    cx, cy = x + w / 2.0, y + h / 2.0
    qx = np.abs(c.x - cx) - (w / 2.0 - r)
    qy = np.abs(c.y - cy) - (h / 2.0 - r)
    return np.hypot(np.maximum(qx, 0), np.maximum(qy, 0)) + np.minimum(np.maximum(qx, qy), 0) - r


def circle(c, cx, cy, r):
    return np.hypot(c.x - cx, c.y - cy) - r


def segment(c, ax, ay, bx, by, half_width):
    px, py = c.x - ax, c.y - ay
    dx, dy = bx - ax, by - ay
    t = np.clip((px * dx + py * dy) / (dx * dx + dy * dy), 0, 1)
    return np.hypot(px - t * dx, py - t * dy) - half_width


def ring(d, width):
    """Coverage of a band of the given width centred on the outline of a shape."""
    return cover(np.abs(d) - width / 2.0)


def vgradient(c, y0, y1, top, bottom):
    t = np.clip((c.y - y0) / max(y1 - y0, 1e-9), 0, 1)[..., None]
    return hexcol(top) * (1 - t) + hexcol(bottom) * t


def text_mask(w, h, text, font, size, x, y, gravity="NorthWest", kerning=0.0):
    """Coverage (0..1) of text drawn by ImageMagick into a w x h field, offset (x, y) from the
    gravity point."""
    cmd = [CONVERT, "-size", f"{w}x{h}", "xc:black", "-font", font, "-pointsize", str(size),
           "-kerning", str(kerning), "-fill", "white", "-gravity", gravity,
           "-annotate", f"+{x}+{y}", text, "-depth", "8", "gray:-"]
    data = subprocess.run(cmd, check=True, capture_output=True).stdout
    return np.frombuffer(data, dtype=np.uint8).reshape(h, w) / 255.0


# ---------------------------------------------------------------------------------------------
BG = "1c1f24"
PANEL_WELL = "121418"
ACCENT = hexcol("3fc1c9")


def background():
    """The window's 1289 x 818 background: a dark frame, a title bar and recessed wells where the
    player (38, 38), the IR panel (38, 158) and the result plots (38, 638) lie, 1212 wide."""
    w, h = 1289, 818
    c = Canvas(w, h)
    c.fill(np.ones((h, w)), vgradient(c, 0, h, "23272d", "181a1e"))
    # Fine horizontal brushing, deterministic.
    rng = np.random.default_rng(7)
    streaks = rng.normal(0, 1, (h, 1)) * 0.006 + rng.normal(0, 1, (h, w)) * 0.004
    c.rgb = np.clip(c.rgb + streaks[..., None], 0, 1)

    # Title bar: a slightly lighter band with a hairline under it.
    bar = cover(np.maximum(-c.y, c.y - 34))
    c.fill(bar, vgradient(c, 0, 34, "2b3037", "22262b"))
    c.fill(cover(np.abs(c.y - 34.5) - 0.5), hexcol("0c0d10"))
    c.fill(cover(np.abs(c.y - 35.5) - 0.5), hexcol("31363d"), 0.6)

    # Brand: an accent mark, the product name, a small caption.
    c.fill(cover(circle(c, 46, 17, 6.5)), ACCENT)
    c.fill(cover(circle(c, 46, 17, 3.0)), hexcol("22262b"))
    title = text_mask(w, h, "VANTREL MELVANE", FONT_MEDIUM, 19, 60, 7, kerning=2.5)
    c.fill(title, hexcol("e6e9ed"))
    caption = text_mask(w, h, "IMPULSE RESPONSE BLENDER", FONT_BOOK, 11, 262, 12, kerning=1.8)
    c.fill(caption, hexcol("7d858f"))
    label = text_mask(w, h, "PROCESS", FONT_BOOK, 11, 1040, 12, kerning=1.5)
    c.fill(label, hexcol("7d858f"))

    # Wells behind the three panels, with a dark lip above and a light lip below.
    for (x, y, pw, ph) in ((38, 38, 1212, 120), (38, 158, 1212, 480), (38, 638, 1212, 180)):
        d = rrect(c, x - 3, y - 3, pw + 6, ph + 6, 4)
        c.fill(cover(d + 0.5), hexcol("0d0f12"))
        c.fill(ring(d, 1.0), hexcol("3a3f47"), 0.5)
        c.fill(cover(rrect(c, x, y, pw, ph, 2)), hexcol(PANEL_WELL))
    # Corner screws of the frame.
    for (sx, sy) in ((16, 60), (1273, 60), (16, 800), (1273, 800)):
        c.fill(cover(circle(c, sx, sy, 5)), vgradient(c, sy - 5, sy + 5, "4a5059", "262a30"))
        c.fill(cover(segment(c, sx - 3, sy, sx + 3, sy, 0.6)), hexcol("15171a"))
    c.save("main_background.png")


def bypass_looks():
    """Four 109 x 24 looks of the bypass button: processing on (lit green lamp, "PROCESSING")
    and off (amber lamp, "BYPASSED"), each normal and pressed."""
    w, h = 109, 24
    for on in (True, False):
        for pressed in (False, True):
            c = Canvas(w, h)
            body = rrect(c, 0.5, 0.5, w - 1, h - 1, 5)
            top, bottom = ("3a4048", "23272d") if not pressed else ("1f2227", "2c3137")
            c.fill(cover(body), vgradient(c, 0, h, top, bottom))
            c.fill(ring(body, 1.0), hexcol("0b0c0e"))
            inner = rrect(c, 1.5, 1.5, w - 3, h - 3, 4)
            c.fill(ring(inner, 1.0), hexcol("ffffff"), 0.05 if pressed else 0.10)
            shift = 1 if pressed else 0
            lamp = hexcol("52e36b") if on else hexcol("f0a030")
            ly = 12 + shift
            c.fill(cover(circle(c, 13, ly, 7.5)), lamp, 0.18)  # glow
            c.fill(cover(circle(c, 13, ly, 4.2)), hexcol("0b0c0e"))
            c.fill(cover(circle(c, 13, ly, 3.4)), lamp)
            c.fill(cover(circle(c, 12.2, ly - 1.0, 1.2)), hexcol("ffffff"), 0.6)
            text = "PROCESSING" if on else "BYPASSED"
            mask = text_mask(w - 24, h, text, FONT_MEDIUM, 11, 0, 1 + shift, gravity="Center",
                             kerning=1.4)
            full = np.zeros((h, w))
            full[:, 24:] = mask
            c.fill(full, hexcol("e8ebef") if on else hexcol("c7a47a"))
            c.save("bypass_%s%s.png" % ("on" if on else "off", "_pressed" if pressed else ""))


def track(h, name, ticks):
    """A dark vertical slot 16 px wide with tick marks; the thumb centre travels over it."""
    c = Canvas(16, h)
    slot = rrect(c, 6, 3, 4, h - 6, 2)
    c.fill(cover(slot - 0.8), hexcol("000000"), 0.35)
    c.fill(cover(slot), vgradient(c, 0, h, "08090b", "15171b"))
    c.fill(ring(slot, 0.8), hexcol("5a616b"), 0.45)
    for i in range(ticks):
        ty = 9 + i * (h - 18) / (ticks - 1)
        major = i in (0, ticks // 2, ticks - 1)
        length = 3.5 if major else 2.2
        for x0, x1 in ((4.0 - length, 4.0), (12.0, 12.0 + length)):
            c.fill(cover(segment(c, x0, ty, x1, ty, 0.35)), hexcol("8c939c"), 0.9 if major else 0.6)
    c.save(name)


def eq_thumb():
    """Light fader cap, 16 x 18, with a dark index line across its middle."""
    c = Canvas(16, 18)
    c.fill(cover(rrect(c, 1, 2, 14, 16, 3)), hexcol("000000"), 0.35)  # shadow
    cap = rrect(c, 1, 1, 14, 15.5, 3)
    c.fill(cover(cap), vgradient(c, 1, 16.5, "f4f6f8", "b3b9c1"))
    c.fill(ring(cap, 0.8), hexcol("5f6670"))
    c.fill(cover(np.abs(c.y - 9.0) - 0.6) * cover(np.abs(c.x - 8) - 5.5), hexcol("2a2e34"))
    c.save("eq_slider_thumb.png")


def gain_thumb():
    """Dark ribbed fader cap, 16 x 43, with a white index line at its centre."""
    c = Canvas(16, 43)
    c.fill(cover(rrect(c, 0.5, 1.5, 15, 41.5, 3)), hexcol("000000"), 0.4)
    cap = rrect(c, 0.5, 0.5, 15, 41, 3)
    c.fill(cover(cap), vgradient(c, 0.5, 41.5, "4a5059", "1c1f24"))
    c.fill(ring(cap, 0.8), hexcol("0a0b0d"))
    inside = cover(np.abs(c.x - 8) - 5.5)
    for k in range(-7, 8):
        if k == 0:
            continue
        ry = 21.5 + k * 2.6
        c.fill(cover(np.abs(c.y - ry) - 0.45) * inside, hexcol("0e1013"), 0.9)
        c.fill(cover(np.abs(c.y - ry - 0.9) - 0.35) * inside, hexcol("6b727c"), 0.5)
    c.fill(cover(np.abs(c.y - 21.5) - 0.7) * cover(np.abs(c.x - 8) - 6.0), hexcol("ffffff"))
    c.save("ir_gain_thumb.png")


def knob_strip():
    """128 frames of 45 x 45 stacked vertically: a dark metal knob whose white pointer turns from
    seven o'clock (frame 0) over twelve (frame 63) to five o'clock (frame 127)."""
    size, frames = 45, 128
    c = Canvas(size, size)
    cx = cy = size / 2.0
    ang = np.arctan2(c.x - cx, cy - c.y)  # 0 at twelve o'clock, clockwise positive
    rad = np.hypot(c.x - cx, c.y - cy)
    # Fixed parts: scale dots, body, rim, brushed face.
    base = Canvas(size, size)
    for i in range(11):
        a = np.radians(-150 + 30 * i)
        px, py = cx + 20.5 * np.sin(a), cy - 20.5 * np.cos(a)
        base.fill(cover(circle(base, px, py, 0.9 if i % 5 else 1.2)), hexcol("8c939c"))
    base.fill(cover(circle(base, cx, cy + 1.2, 17.5)), hexcol("000000"), 0.45)
    base.fill(cover(circle(base, cx, cy, 17)), vgradient(base, cy - 17, cy + 17, "5a616b", "15181c"))
    face = circle(base, cx, cy, 14)
    brushed = 0.5 + 0.5 * np.cos(2 * ang) * 0.25 + 0.03 * np.sin(rad * 3.1)
    shade = hexcol("23272d")[None, None, :] + (brushed[..., None] - 0.5) * 0.25
    base.fill(cover(face), shade)
    base.fill(ring(face, 0.8), hexcol("0b0c0e"))
    base.fill(cover(np.abs(circle(base, cx, cy, 16.6)) - 0.35), hexcol("ffffff"), 0.10)

    strip = np.zeros((size * frames, size, 4), dtype=np.uint8)
    for f in range(frames):
        k = Canvas(size, size)
        k.rgb, k.a = base.rgb.copy(), base.a.copy()
        a = np.radians(-150 + 300 * f / (frames - 1))
        sx, sy = np.sin(a), -np.cos(a)
        k.fill(cover(segment(k, cx + 5.5 * sx, cy + 5.5 * sy, cx + 13 * sx, cy + 13 * sy, 1.6)),
               hexcol("000000"), 0.5)
        k.fill(cover(segment(k, cx + 5.5 * sx, cy + 5.5 * sy, cx + 13 * sx, cy + 13 * sy, 1.1)),
               hexcol("ffffff"))
        a_ = np.clip(k.a, 0, 1)
        rgb = np.where(a_[..., None] > 0, k.rgb / np.maximum(a_[..., None], 1e-9), 0)
        strip[f * size:(f + 1) * size] = np.round(np.dstack([np.clip(rgb, 0, 1), a_]) * 255)
    write_png(os.path.join(IMAGES, "knob_strip.png"), strip)


def main():
    os.makedirs(IMAGES, exist_ok=True)
    background()
    bypass_looks()
    track(100, "eq_slider_track.png", 13)
    eq_thumb()
    track(120, "ir_gain_track.png", 11)
    gain_thumb()
    knob_strip()
    return 0


if __name__ == "__main__":
    sys.exit(main())
