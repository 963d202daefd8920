#!/usr/bin/python3
"""Draws the capture window's background and the three looks of the close button into
resources/images/, with the helpers of pictures.py. Run with Debian's /usr/bin/python3 (numpy);
resources/src/build-all.sh does it.

The window shows 471 x 172 pixels of its 473 x 200 background from the top-left corner. Its
labels and the meters' readouts are black text, so the plate is light; the meters' bars sit in
dark wells and their readouts on pale windows.
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pictures import (FONT_BOOK, FONT_MEDIUM, IMAGES, Canvas, circle, cover, hexcol, ring,  # noqa: E402
                      rrect, segment, text_mask, vgradient)

ACCENT = hexcol("3fc1c9")
SHOWN_W, SHOWN_H = 471, 172


def well(c, x, y, w, h, top="15171b", bottom="262a30"):
    """A recessed dark slot: shadow above, light lip below."""
    d = rrect(c, x, y, w, h, 2)
    c.fill(cover(rrect(c, x - 1, y - 1, w + 2, h + 2, 3)), hexcol("8d949d"))
    c.fill(cover(d), vgradient(c, y, y + h, top, bottom))
    c.fill(cover(np.abs(c.y - (y + h + 0.5)) - 0.5) * cover(np.abs(c.x - (x + w / 2.0)) - w / 2.0),
           hexcol("ffffff"), 0.7)


def window(c, x, y, w, h):
    """A pale readout window with a thin dark rim."""
    d = rrect(c, x, y, w, h, 2)
    c.fill(cover(d), vgradient(c, y, y + h, "f7f9f4", "e6ebe0"))
    c.fill(ring(d, 0.8), hexcol("7a818a"))


def background():
    w, h = 473, 200
    c = Canvas(w, h)
    c.fill(np.ones((h, w)), vgradient(c, 0, SHOWN_H, "eef0f2", "d3d8dd"))
    # Fine vertical brushing of the plate, deterministic.
    rng = np.random.default_rng(11)
    grain = rng.normal(0, 1, (1, w)) * 0.006 + rng.normal(0, 1, (h, w)) * 0.003
    c.rgb = np.clip(c.rgb + grain[..., None], 0, 1)

    # Header band with the window's name.
    band = cover(np.maximum(-c.y, c.y - 36))
    c.fill(band, vgradient(c, 0, 36, "2b3037", "1f2328"))
    c.fill(cover(np.abs(c.y - 36.5) - 0.5), hexcol("0c0d10"))
    c.fill(cover(circle(c, 20, 18, 6.5)), ACCENT)
    c.fill(cover(circle(c, 20, 18, 3.0)), hexcol("22262b"))
    c.fill(text_mask(w, h, "IR CAPTURE", FONT_MEDIUM, 17, 34, 9, kerning=2.2), hexcol("e6e9ed"))
    c.fill(text_mask(w, h, "SWEEP MEASUREMENT", FONT_BOOK, 10, 150, 14, kerning=1.6), hexcol("7d858f"))
    # Signal path marks at the right of the band: output -> device -> input.
    for i, x in enumerate((392, 420, 448)):
        c.fill(cover(circle(c, x, 18, 4.2)), hexcol("0b0c0e"))
        c.fill(cover(circle(c, x, 18, 3.0)), hexcol("52e36b") if i != 1 else hexcol("8c939c"), 0.85)
        if i < 2:
            c.fill(cover(segment(c, x + 6, 18, x + 22, 18, 0.6)), hexcol("8c939c"), 0.7)

    # Device line: a recessed strip behind the device text and the close button.
    strip = rrect(c, 48, 44, 390, 26, 4)
    c.fill(cover(strip), vgradient(c, 44, 70, "c9ced4", "dde1e6"))
    c.fill(ring(strip, 1.0), hexcol("8d949d"))

    # Left column: a shallow tray behind the two buttons.
    tray = rrect(c, 46, 86, 116, 74, 5)
    c.fill(cover(tray), vgradient(c, 86, 160, "dfe3e7", "cdd2d8"))
    c.fill(ring(tray, 1.0), hexcol("a3aab2"))
    c.fill(text_mask(w, h, "LEVEL", FONT_BOOK, 8, 12, 100, kerning=1.2), hexcol("6b727c"))
    c.fill(text_mask(w, h, "SWEEP", FONT_BOOK, 8, 12, 135, kerning=1.2), hexcol("6b727c"))

    # Meter wells under the bars (192 x 15 at x 169) and readout windows right of them.
    for y in (99, 133):
        well(c, 168, y - 1, 194, 17)
        window(c, 366, y - 2, 101, 19)

    # A groove between the columns, and the frame of the shown part.
    c.fill(cover(np.abs(c.x - 163.5) - 0.5) * cover(np.abs(c.y - 123) - 36), hexcol("ffffff"), 0.5)
    c.fill(cover(np.abs(c.x - 162.5) - 0.5) * cover(np.abs(c.y - 123) - 36), hexcol("9aa1a9"), 0.6)
    frame = rrect(c, 0.5, 0.5, SHOWN_W - 1, SHOWN_H - 1, 3)
    c.fill(ring(frame, 1.0), hexcol("4a5059"))
    for (sx, sy) in ((9, 163), (SHOWN_W - 9, 163)):
        c.fill(cover(circle(c, sx, sy, 3.5)), vgradient(c, sy - 3.5, sy + 3.5, "f4f6f8", "8d949d"))
        c.fill(cover(segment(c, sx - 2, sy, sx + 2, sy, 0.45)), hexcol("4a5059"))
    c.save("capture_background.png")


def close_looks():
    """Three 20 x 20 looks of a round close button: normal (dark), mouse over (red) and pressed
    (darker red, the cross a pixel lower)."""
    size = 20
    looks = (("close_normal.png", "4a5059", "23272d", "e6e9ed", 0.0),
             ("close_over.png", "e0584a", "a8291d", "ffffff", 0.0),
             ("close_pressed.png", "9c2419", "c0392b", "f2d6d2", 0.8))
    for name, top, bottom, cross, shift in looks:
        c = Canvas(size, size)
        cx, cy = size / 2.0, size / 2.0
        c.fill(cover(circle(c, cx, cy + 0.6, 8.8)), hexcol("000000"), 0.35)
        body = circle(c, cx, cy, 8.6)
        c.fill(cover(body), vgradient(c, cy - 8.6, cy + 8.6, top, bottom))
        c.fill(ring(body, 0.9), hexcol("0b0c0e"), 0.8)
        k = 3.6
        y = cy + shift
        for (ax, ay, bx, by) in ((cx - k, y - k, cx + k, y + k), (cx - k, y + k, cx + k, y - k)):
            c.fill(cover(segment(c, ax, ay, bx, by, 1.05)), hexcol(cross))
        c.save(name)


def main():
    os.makedirs(IMAGES, exist_ok=True)
    background()
    close_looks()
    return 0


if __name__ == "__main__":
    sys.exit(main())
