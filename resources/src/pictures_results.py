#!/usr/bin/python3
"""Draws the background of the result plots (1212 x 180) into resources/images/.

Three black plot windows framed in white (time, magnitude, phase) on a dark panel that matches
the window's wells; the columns left of each window stay plain for the rotated white captions
that the program draws there. Small dim frequency marks sit at the top of the two spectrum
windows, at the pixels where the program draws its 100 Hz, 1 kHz and 10 kHz lines.
Run with Debian's /usr/bin/python3 (numpy); resources/src/build-all.sh does it.
"""
import math
import sys

import numpy as np

from pictures import Canvas, FONT_BOOK, cover, hexcol, ring, rrect, text_mask, vgradient

WIDTH, HEIGHT = 1212, 180
# Plot windows: the white frame lies on these pixel columns and rows, black inside.
WINDOWS = ((76, 380), (454, 758), (832, 1136))
TOP, BOTTOM = 9, 171


def decade_x(x0, exponent):
    """The pixel column of a decade line, as the program computes it (single precision)."""
    span = np.float32(math.log10(20000.0)) - np.float32(math.log10(20.0))
    pos = (np.float32(exponent) - np.float32(math.log10(20.0))) * np.float32(301.0) / span
    return int(math.floor(float(pos + np.float32(x0))))


def results_background():
    c = Canvas(WIDTH, HEIGHT)
    c.fill(np.ones((HEIGHT, WIDTH)), vgradient(c, 0, HEIGHT, "2a2e35", "1d2025"))
    rng = np.random.default_rng(11)
    streaks = rng.normal(0, 1, (HEIGHT, 1)) * 0.005 + rng.normal(0, 1, (HEIGHT, WIDTH)) * 0.003
    c.rgb = np.clip(c.rgb + streaks[..., None], 0, 1)
    # A soft lip along the top and the bottom of the strip.
    c.fill(cover(np.abs(c.y - 0.5) - 0.5), hexcol("3a3f47"), 0.6)
    c.fill(cover(np.abs(c.y - (HEIGHT - 0.5)) - 0.5), hexcol("0d0f12"), 0.8)

    for (left, right) in WINDOWS:
        w, h = right - left + 1, BOTTOM - TOP + 1
        # Shadow around the window, then the white frame and the black plot area.
        c.fill(cover(rrect(c, left - 2, TOP - 2, w + 4, h + 4, 3) + 0.5), hexcol("000000"), 0.45)
        frame = (c.x > left) & (c.x < right + 1) & (c.y > TOP) & (c.y < BOTTOM + 1)
        c.fill(frame.astype(float), hexcol("f2f4f6"))
        inside = (c.x > left + 1) & (c.x < right) & (c.y > TOP + 1) & (c.y < BOTTOM)
        c.fill(inside.astype(float), hexcol("000000"))

    # Frequency marks beside the decade lines of the magnitude and phase windows.
    for (left, _) in WINDOWS[1:]:
        x0 = left + 1
        for exponent, text in ((2, "100"), (3, "1k"), (4, "10k")):
            x = decade_x(x0, exponent)
            mask = text_mask(WIDTH, HEIGHT, text, FONT_BOOK, 9, x + 3, TOP + 3)
            c.fill(mask, hexcol("7d858f"))

    # Screws at the two ends of the strip.
    for sx in (12, WIDTH - 12):
        for sy in (24, HEIGHT - 24):
            d = np.hypot(c.x - sx, c.y - sy) - 4.0
            c.fill(cover(d), vgradient(c, sy - 4, sy + 4, "4a5059", "262a30"))
            c.fill(ring(d, 0.8), hexcol("101215"), 0.6)
    c.save("results_background.png")


def main():
    results_background()
    return 0


if __name__ == "__main__":
    sys.exit(main())
