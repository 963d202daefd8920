#!/usr/bin/python3
"""Draws the pictures of the IR blocks and the graphic-EQ strip into resources/images/: the block
background and drop invitation, the mute, solo, capture, remove, invert and plot-selector buttons,
the EQ strip background and the EQ switch.

Uses the canvas, shapes and text helpers of pictures.py. Run with Debian's /usr/bin/python3
(numpy); resources/src/build-all.sh does it. The two backgrounds are written as JPEG (through
ImageMagick), everything else as PNG with alpha.
"""
import os
import subprocess
import sys
import tempfile

import numpy as np

from pictures import (CONVERT, FONT_BOOK, FONT_MEDIUM, IMAGES, Canvas, circle, cover, hexcol, ring,
                      rrect, segment, text_mask, vgradient, write_png)

ACCENT_HEX = "3fc1c9"
ACCENT = hexcol(ACCENT_HEX)
SCREEN = "101317"
PANEL_TOP, PANEL_BOTTOM = "d9dce0", "b8bdc4"


def save_jpeg(canvas, name):
    """Saves an opaque canvas as a JPEG (quality 92) through a temporary PNG."""
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "picture.png")
        rgb = np.clip(canvas.rgb, 0, 1)
        write_png(png, np.round(np.dstack([rgb, np.ones((canvas.h, canvas.w))]) * 255).astype(np.uint8))
        subprocess.run([CONVERT, png, "-strip", "-quality", "92", "-sampling-factor", "1x1",
                        os.path.join(IMAGES, name)], check=True)


def brushed(c, top, bottom, seed, strength=0.010):
    """A vertical gradient with fine horizontal brushing, deterministic."""
    c.fill(np.ones((c.h, c.w)), vgradient(c, 0, c.h, top, bottom))
    rng = np.random.default_rng(seed)
    streaks = rng.normal(0, 1, (c.h, 1)) * strength * 0.6 + rng.normal(0, 1, (c.h, c.w)) * strength * 0.4
    c.rgb = np.clip(c.rgb + streaks[..., None], 0, 1)


def text_at(c, text, font, size, x, y, colour, alpha=1.0, gravity="NorthWest", kerning=0.0):
    c.fill(text_mask(c.w, c.h, text, font, size, x, y, gravity=gravity, kerning=kerning),
           hexcol(colour), alpha)


# ---------------------------------------------------------------------------------------------
# IR block
def block_panel():
    """303 x 180: the light brushed panel with a bevelled edge, so that the eight blocks read as
    separate modules."""
    w, h = 303, 180
    c = Canvas(w, h)
    brushed(c, PANEL_TOP, PANEL_BOTTOM, 11)
    # Module edge: light top-left, dark bottom-right.
    c.fill(cover(np.minimum(c.x, c.y) - 1.0), hexcol("ffffff"), 0.45)
    c.fill(cover(np.minimum(w - c.x, h - c.y) - 1.0), hexcol("5d636b"), 0.9)
    return c


def display(c, x, y, w, h, corner):
    """A dark recessed screen with a light lip around it; returns its shape and its inside."""
    screen = rrect(c, x, y, w, h, corner)
    c.fill(cover(screen - 1.2), hexcol("6d737b"), 0.7)
    c.fill(cover(screen), vgradient(c, y, y + h, "161a1f", SCREEN))
    return screen, cover(screen + 1.0)


def block_background():
    """303 x 180, the block with a file: the panel (black captions at the top and under the knobs)
    with a dark display from x 24 to 251, y 20 to 141 behind the white curves (x 26-249) and the
    plot selectors, a faint grid on the display, and wells behind the knobs."""
    c = block_panel()
    screen, inside = display(c, 24, 20, 227, 121, 3)
    # Grid: the zero line of the time curve (y 80), the 0 dB line (y 30) and a few verticals.
    for gy, a in ((30, 0.16), (55, 0.08), (80, 0.22), (105, 0.08)):
        c.fill(cover(np.abs(c.y - (gy + 0.5)) - 0.5) * inside, hexcol("8fa3b5"), a)
    for gx in range(26 + 28, 250, 28):
        c.fill(cover(np.abs(c.x - (gx + 0.5)) - 0.5) * cover(c.y - 119) * inside, hexcol("8fa3b5"), 0.07)
    # The plot selectors' row, divided from the plot by a hairline.
    c.fill(cover(np.abs(c.y - 120.5) - 0.5) * inside, hexcol("000000"), 0.8)
    c.fill(cover(np.abs(c.y - 121.5) - 0.5) * inside, hexcol("3a4047"), 0.6)
    c.fill(ring(screen, 1.0), hexcol("05060a"))

    # Knob row: engraved wells behind the three knobs (x 55, 145, 235; y 145, 30 x 30).
    for kx in (55, 145, 235):
        d = circle(c, kx + 15, 160, 16.5)
        c.fill(cover(d), hexcol("9ca2aa"), 0.55)
        c.fill(ring(d, 0.8), hexcol("7b8189"), 0.8)
    # Gain column: a small "dB" mark above the fader's track.
    text_at(c, "GAIN", FONT_MEDIUM, 7, 276, 162, "3b4047", 0.9, kerning=0.6)
    c.fill(cover(segment(c, 12, 143.5, 230, 143.5, 0.4)), hexcol("ffffff"), 0.35)
    save_jpeg(c, "ir_block_background.jpg")


def block_empty_background():
    """303 x 180, the block without a file: the same panel with one dark display from x 24 to 268,
    y 20 to 168 that holds the drop invitation (x 30-151, y 25-160), "OR" and the capture key
    (x 178-259, y 53-134) whole; no knob wells and no gain caption, as the empty block has no such
    controls."""
    c = block_panel()
    screen, inside = display(c, 24, 20, 244, 148, 4)
    for gy, a in ((30, 0.10), (80, 0.12), (130, 0.08)):
        c.fill(cover(np.abs(c.y - (gy + 0.5)) - 0.5) * inside, hexcol("8fa3b5"), a)
    for gx in range(26 + 28, 266, 28):
        c.fill(cover(np.abs(c.x - (gx + 0.5)) - 0.5) * inside, hexcol("8fa3b5"), 0.05)
    c.fill(ring(screen, 1.0), hexcol("05060a"))
    save_jpeg(c, "ir_block_empty_background.jpg")


def drop_invitation():
    """122 x 136: a dashed tray with an arrow and "DROP IR FILE", readable over the dark display
    and the light panel below it."""
    w, h = 122, 136
    c = Canvas(w, h)
    box = rrect(c, 2, 2, w - 4, h - 4, 9)
    c.fill(cover(box), hexcol("1b2027"), 0.92)
    # Dashed outline: the ring masked by a pattern along the perimeter.
    perimeter = np.arctan2(c.y - h / 2.0, c.x - w / 2.0)
    dashes = (np.sin(perimeter * 36) > -0.2).astype(float)
    c.fill(ring(box + 4, 1.4) * dashes, hexcol("9aa7b3"), 0.9)
    # Arrow into a tray.
    cx = w / 2.0
    c.fill(cover(segment(c, cx, 22, cx, 60, 3.2)), ACCENT)
    tip = np.maximum(np.abs(c.x - cx) - (74 - c.y) * 0.85, c.y - 74)
    c.fill(cover(np.maximum(tip, 56 - c.y)), ACCENT)
    tray = np.minimum(np.minimum(segment(c, 34, 70, 34, 82, 2.0), segment(c, 34, 82, 88, 82, 2.0)),
                      segment(c, 88, 82, 88, 70, 2.0))
    c.fill(cover(tray), hexcol("dfe4ea"))
    text_at(c, "DROP IR FILE", FONT_MEDIUM, 12, 0, 96, "e6e9ed", gravity="North", kerning=1.2)
    text_at(c, "WAV  AIFF  VIR", FONT_BOOK, 9, 0, 114, "8e98a3", gravity="North", kerning=1.0)
    c.save("ir_drop.png")


def small_key(w, h, lit, pressed, letter, lamp):
    """A small rounded key with a letter; lit keys glow in the lamp colour."""
    c = Canvas(w, h)
    body = rrect(c, 0.5, 0.5, w - 1, h - 1, 3)
    if lit:
        c.fill(cover(body), hexcol(lamp))
        c.fill(cover(body), vgradient(c, 0, h, "ffffff", "000000"), 0.18 if not pressed else 0.05)
    else:
        top, bottom = ("4a5059", "262a30") if not pressed else ("23272d", "343940")
        c.fill(cover(body), vgradient(c, 0, h, top, bottom))
    c.fill(ring(body, 1.0), hexcol("0b0c0e"))
    shift = 1 if pressed else 0
    colour = "15181c" if lit else "d5dae0"
    mask = text_mask(w, h, letter, FONT_MEDIUM, 11, 0, shift, gravity="Center")
    c.fill(mask, hexcol(colour))
    return c


def mute_solo_looks():
    """Mute ("M", red when muted) and solo ("S", yellow when soloed), 23 x 16 each: the off and
    on looks, normal and pressed."""
    for name, letter, lamp in (("mute", "M", "e8503c"), ("solo", "S", "f2c53d")):
        for lit in (False, True):
            for pressed in (False, True):
                c = small_key(23, 16, lit, pressed, letter, lamp)
                c.save("%s_%s%s.png" % (name, "on" if lit else "off", "_pressed" if pressed else ""))


def capture_button():
    """82 x 82: a round capture button with a red record lamp and "CAPTURE"."""
    s = 82
    c = Canvas(s, s)
    cx = cy = s / 2.0
    c.fill(cover(circle(c, cx, cy + 1.5, 39)), hexcol("000000"), 0.45)
    outer = circle(c, cx, cy, 38)
    c.fill(cover(outer), vgradient(c, 3, 79, "4a5059", "15181c"))
    c.fill(ring(outer, 1.0), hexcol("05060a"))
    face = circle(c, cx, cy, 33)
    c.fill(cover(face), vgradient(c, 8, 74, "262a30", "1b1e23"))
    c.fill(ring(face, 0.8), hexcol("ffffff"), 0.10)
    c.fill(cover(circle(c, cx, 33, 13)), hexcol("e8503c"), 0.25)
    c.fill(cover(circle(c, cx, 33, 9.5)), hexcol("0b0c0e"))
    c.fill(cover(circle(c, cx, 33, 8)), vgradient(c, 25, 41, "ff7a63", "c0301f"))
    c.fill(cover(circle(c, cx - 2.5, 30.5, 2.2)), hexcol("ffffff"), 0.55)
    text_at(c, "CAPTURE", FONT_MEDIUM, 10, 0, 50, "e6e9ed", gravity="North", kerning=1.2)
    c.save("ir_capture.png")


def remove_looks():
    """20 x 20: a cross in a ring; normal, mouse-over (brighter) and pressed."""
    s = 20
    for suffix, ring_col, cross, face_top in (("", "8c939c", "d5dae0", "3a4048"),
                                              ("_over", "e8503c", "ffffff", "454c55"),
                                              ("_pressed", "e8503c", "e8503c", "1f2227")):
        c = Canvas(s, s)
        d = circle(c, 10, 10, 8.8)
        c.fill(cover(d), vgradient(c, 1, 19, face_top, "1c1f24"))
        c.fill(ring(d, 1.2), hexcol(ring_col))
        for (ax, ay, bx, by) in ((6.5, 6.5, 13.5, 13.5), (13.5, 6.5, 6.5, 13.5)):
            c.fill(cover(segment(c, ax, ay, bx, by, 1.0)), hexcol(cross))
        c.save("remove%s.png" % suffix)


def invert_looks():
    """17 x 17: the polarity sign (a circle crossed by a slash); normal polarity dark, inverted
    lit; each normal, mouse-over and pressed."""
    s = 17
    for state in ("normal", "inverted"):
        for suffix, lift in (("", 0.0), ("_over", 0.12), ("_pressed", -0.1)):
            c = Canvas(s, s)
            d = circle(c, 8.5, 8.5, 7.8)
            if state == "inverted":
                c.fill(cover(d), hexcol(ACCENT_HEX))
                sign = "0c1a1c"
            else:
                c.fill(cover(d), vgradient(c, 0, s, "3a4048", "1c1f24"))
                sign = "d5dae0"
            if lift > 0:
                c.fill(cover(d), hexcol("ffffff"), lift)
            elif lift < 0:
                c.fill(cover(d), hexcol("000000"), -lift * 2)
            c.fill(ring(d, 1.0), hexcol("0b0c0e"))
            c.fill(ring(circle(c, 8.5, 8.5, 3.6), 1.3), hexcol(sign))
            c.fill(cover(segment(c, 5.0, 12.5, 12.0, 4.5, 0.65)), hexcol(sign))
            c.save("invert_%s%s.png" % (state, suffix))


def plot_selectors():
    """55 x 16: "TIME", "FREQ" and "PHASE" tabs, selected (lit, with an underline) and not."""
    w, h = 55, 16
    for name, label in (("time", "TIME"), ("frequency", "FREQ"), ("phase", "PHASE")):
        for selected in (True, False):
            c = Canvas(w, h)
            body = rrect(c, 0.5, 0.5, w - 1, h - 1, 3)
            if selected:
                c.fill(cover(body), vgradient(c, 0, h, "2c3a40", "1e282d"))
                c.fill(ring(body, 1.0), hexcol(ACCENT_HEX), 0.8)
                colour = "e6f7f8"
            else:
                c.fill(cover(body), vgradient(c, 0, h, "23272d", "1a1d21"))
                c.fill(ring(body, 1.0), hexcol("3a4047"))
                colour = "7d858f"
            text_at(c, label, FONT_MEDIUM, 9, 0, 0, colour, gravity="Center", kerning=1.0)
            c.save("plot_%s_%s.png" % (name, "on" if selected else "off"))


# ---------------------------------------------------------------------------------------------
# Graphic-EQ strip
def eq_background():
    """1212 x 120: a mid-grey brushed strip with a dark frame; a dark plate behind the white "EQ"
    caption (2, 30, 105, 70), light bands behind the black frequency labels (y 104-116) and the
    help text (1080, 20, 100, 100), and engraved dB marks left of the 31 bands."""
    w, h = 1212, 120
    c = Canvas(w, h)
    brushed(c, "b4b9c0", "9aa0a8", 23, 0.008)
    frame = rrect(c, 0.5, 0.5, w - 1, h - 1, 2)
    c.fill(ring(frame, 1.0), hexcol("1c1f24"))
    c.fill(ring(rrect(c, 1.5, 1.5, w - 3, h - 3, 2), 1.0), hexcol("ffffff"), 0.25)
    # The caption's plate.
    plate = rrect(c, 6, 28, 100, 74, 5)
    c.fill(cover(plate - 1.0), hexcol("ffffff"), 0.35)
    c.fill(cover(plate), vgradient(c, 28, 102, "2b3037", "1a1d21"))
    c.fill(ring(plate, 1.0), hexcol("0b0c0e"))
    # Label band and help panel, lighter for the black text.
    band = rrect(c, 138, 103, 30 * 31 + 2, 14, 2)
    c.fill(cover(band), hexcol("dfe2e6"), 0.85)
    c.fill(ring(band, 0.8), hexcol("6d737b"), 0.7)
    help_panel = rrect(c, 1082, 15, 96, 101, 4)
    c.fill(cover(help_panel), hexcol("dfe2e6"), 0.85)
    c.fill(ring(help_panel, 0.8), hexcol("6d737b"), 0.7)
    # dB scale lines across the bands: the tracks run from y 5 to 105 (thumb centre +12 dB at
    # about y 14, 0 dB at y 55, -12 dB at about y 96).
    left, right = 149, 140 + 30 * 31
    for gy, label in ((14, "+12"), (34.5, "+6"), (55, "0"), (75.5, "-6"), (96, "-12")):
        strong = label in ("+12", "0", "-12")
        line = cover(np.abs(c.y - gy) - 0.45) * cover(np.maximum(left - c.x, c.x - right))
        c.fill(line, hexcol("3b4047"), 0.45 if strong else 0.22)
        text_at(c, label, FONT_MEDIUM, 8, w - 146, int(gy) - 5, "2a2e34", 0.9, gravity="NorthEast",
                kerning=0.4)
    save_jpeg(c, "eq_background.jpg")


def eq_switch_looks():
    """44 x 32: a small key marked ON, lit green while the EQ is on and dark while it is off;
    each normal and pressed."""
    w, h = 44, 32
    for on in (True, False):
        for pressed in (False, True):
            c = Canvas(w, h)
            c.fill(cover(rrect(c, 1, 2, w - 2, h - 2, 5)), hexcol("000000"), 0.35)
            body = rrect(c, 1, 1, w - 2, h - 3, 5)
            top, bottom = ("3a4048", "1e2226") if not pressed else ("1b1e22", "2a2e34")
            c.fill(cover(body), vgradient(c, 0, h, top, bottom))
            c.fill(ring(body, 1.0), hexcol("0b0c0e"))
            shift = 1 if pressed else 0
            lamp = hexcol("52e36b") if on else hexcol("2b3a2e")
            if on:
                c.fill(cover(rrect(c, 8, 5 + shift, 28, 5, 2.5) - 2.0), lamp, 0.25)
            c.fill(cover(rrect(c, 8, 5 + shift, 28, 5, 2.5)), lamp)
            text_at(c, "ON", FONT_MEDIUM, 12, 0, 6 + shift, "e6e9ed" if on else "7d858f",
                    gravity="Center", kerning=1.0)
            c.save("eq_switch_%s%s.png" % ("on" if on else "off", "_pressed" if pressed else ""))


def main():
    os.makedirs(IMAGES, exist_ok=True)
    block_background()
    block_empty_background()
    drop_invitation()
    mute_solo_looks()
    capture_button()
    remove_looks()
    invert_looks()
    plot_selectors()
    eq_background()
    eq_switch_looks()
    return 0


if __name__ == "__main__":
    sys.exit(main())
