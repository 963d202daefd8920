#!/usr/bin/python3
"""Draws the player's pictures into resources/images/: the bar's background (JPEG), the spectrum
frame, the panel behind the position sliders and transport, the transport and repeat button faces,
the listen button faces and the empty-playlist hint.

Uses the shape and text helpers of pictures.py. Run with Debian's /usr/bin/python3 (numpy);
resources/src/build-all.sh does it.
"""
import os
import subprocess
import sys
import tempfile

import numpy as np

from pictures import (CONVERT, FONT_BOOK, FONT_MEDIUM, IMAGES, Canvas, circle, cover, hexcol, ring,
                      rrect, segment, text_mask, vgradient)

ICON = hexcol("e6e9ed")
DARK_EDGE = hexcol("0b0c0e")
RIM = hexcol("4a5059")


def polygon(c, pts):
    """Signed distance to a closed polygon (negative inside)."""
    pts = np.asarray(pts, dtype=float)
    d = np.full(c.x.shape, np.inf)
    inside = np.zeros(c.x.shape, dtype=bool)
    for i in range(len(pts)):
        ax, ay = pts[i - 1]
        bx, by = pts[i]
        px, py = c.x - ax, c.y - ay
        ex, ey = bx - ax, by - ay
        t = np.clip((px * ex + py * ey) / (ex * ex + ey * ey), 0, 1)
        d = np.minimum(d, np.hypot(px - t * ex, py - t * ey))
        crosses = ((ay > c.y) != (by > c.y)) & (c.x < ax + (c.y - ay) * ex / (ey if ey else 1e-12))
        inside ^= crosses
    return np.where(inside, -d, d)


def brushed(c, seed, top, bottom, strength=0.005):
    """A vertical gradient with fine deterministic horizontal brushing."""
    c.fill(np.ones((c.h, c.w)), vgradient(c, 0, c.h, top, bottom))
    rng = np.random.default_rng(seed)
    streaks = rng.normal(0, 1, (c.h, 1)) * strength + rng.normal(0, 1, (c.h, c.w)) * strength * 0.7
    c.rgb = np.clip(c.rgb + streaks[..., None], 0, 1)


def screw(c, sx, sy):
    c.fill(cover(circle(c, sx, sy, 4.5)), vgradient(c, sy - 4.5, sy + 4.5, "4a5059", "262a30"))
    c.fill(cover(segment(c, sx - 2.6, sy + 1.2, sx + 2.6, sy - 1.2, 0.55)), hexcol("15171a"))


def save_jpeg(canvas, name):
    """Writes an opaque canvas as a JPEG (through a temporary PNG and ImageMagick)."""
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "picture.png")
        from pictures import write_png
        px = np.dstack([np.clip(canvas.rgb, 0, 1), np.ones((canvas.h, canvas.w))])
        write_png(png, np.round(px * 255).astype(np.uint8))
        subprocess.run([CONVERT, png, "-strip", "-sampling-factor", "4:4:4", "-quality", "92",
                        os.path.join(IMAGES, name)], check=True)


# ---------------------------------------------------------------------------------------------
def background():
    """The bar, 1212 x 120: brushed dark metal, light caption tabs over the two lists with shadowed
    wells, a groove before the transport panel, a link between the listen buttons and screws."""
    w, h = 1212, 120
    c = Canvas(w, h)
    brushed(c, 11, "2a2e35", "1b1e23")
    c.fill(cover(np.abs(c.y - 0.5) - 0.5), hexcol("3a3f47"), 0.7)  # top light edge
    c.fill(cover(np.abs(c.y - 119.5) - 0.5), hexcol("08090b"), 0.8)

    for x in (12, 200):
        # Caption tab behind the black "Source" / "Target" text, joined to the list below it.
        tab = rrect(c, x, 7, 175, 22, 4)
        c.fill(cover(tab + 1.0), hexcol("000000"), 0.45)
        c.fill(cover(tab), vgradient(c, 7, 27, "dfe3e8", "b9bfc7"))
        c.fill(ring(tab, 0.8), hexcol("ffffff"), 0.35)
        # Well of the list (the list paints its own white box inside).
        well = rrect(c, x - 2, 24, 179, 94, 3)
        c.fill(cover(well + 1.5), hexcol("000000"), 0.5)
        c.fill(cover(well), hexcol("0d0f12"))

    # Groove between the lists and the transport panel, and before the spectrum view.
    for gx in (391.5, 1190.5):
        c.fill(cover(np.abs(c.x - gx) - 0.5) * cover(np.abs(c.y - 60) - 48), hexcol("0a0b0d"), 0.9)
        c.fill(cover(np.abs(c.x - gx - 1) - 0.5) * cover(np.abs(c.y - 60) - 48), hexcol("3d424a"), 0.6)

    # The listen buttons: recessed seats and a thin link between them.
    for by in (8, 62):
        seat = rrect(c, 773, by - 2, 29, 29, 6)
        c.fill(cover(seat), hexcol("0d0f12"), 0.85)
        c.fill(ring(seat, 0.8), hexcol("3d424a"), 0.6)
    c.fill(cover(segment(c, 787.5, 37, 787.5, 58, 0.6)), hexcol("5a616b"), 0.8)
    for (sx, sy) in ((1201, 16), (1201, 104)):
        screw(c, sx, sy)
    save_jpeg(c, "player_background.jpg")


def spectrum_frame():
    """366 x 110: a one-pixel sunken bevel around the 364 x 108 spectrum view (the top and left
    edges dark, the bottom and right edges light); the inside stays clear."""
    w, h = 366, 110
    c = Canvas(w, h)
    band = 1 - cover(rrect(c, 1, 1, w - 2, h - 2, 0.01))
    lit = (c.y > h - 1) | (c.x > w - 1)
    shade = np.where(lit[..., None], hexcol("5a616b"), hexcol("07080a"))
    c.fill(band, shade)
    c.save("player_spectrum_frame.png")


def transport_panel():
    """370 x 110 behind the position sliders, the file name and time, the transport buttons and the
    volume slider: a recessed panel with two slider slots, a display strip and a button tray."""
    w, h = 370, 110
    c = Canvas(w, h)
    body = rrect(c, 0.5, 0.5, w - 1, h - 1, 6)
    c.fill(cover(body), vgradient(c, 0, h, "15181c", "0e1013"))
    c.fill(ring(body, 1.0), hexcol("3a3f47"), 0.6)
    for sy in (1, 55):  # slots of the source and target position sliders
        slot = rrect(c, 2, sy, 366, 22, 4)
        c.fill(cover(slot), hexcol("08090b"), 0.8)
        c.fill(ring(slot, 0.6), hexcol("2b3037"), 0.8)
    display = rrect(c, 10, 27, 352, 24, 3)  # file name and time
    c.fill(cover(display), vgradient(c, 27, 51, "0f2326", "081214"))
    c.fill(ring(display, 0.8), hexcol("3fc1c9"), 0.35)
    tray = rrect(c, 8, 82, 202, 26, 5)  # transport and repeat buttons
    c.fill(cover(tray), hexcol("08090b"), 0.7)
    c.fill(ring(tray, 0.6), hexcol("2b3037"), 0.8)
    # Speaker mark before the volume slider.
    c.fill(cover(rrect(c, 238, 92, 4, 6, 0.5)), hexcol("8c939c"))
    c.fill(cover(polygon(c, [(241, 92), (246, 88.5), (246, 101.5), (241, 98)])), hexcol("8c939c"))
    for r in (3.5, 6.0):
        arc = np.abs(circle(c, 246, 95, r)) - 0.45
        c.fill(cover(arc) * (c.x > 247.5), hexcol("8c939c"), 0.8)
    c.save("player_transport_panel.png")


def round_face():
    c = Canvas(20, 20)
    c.fill(cover(circle(c, 10, 10.6, 9.4)), hexcol("000000"), 0.45)
    body = circle(c, 10, 10, 9.2)
    c.fill(cover(body), vgradient(c, 1, 19, "3d434b", "1c1f24"))
    c.fill(ring(body, 0.8), DARK_EDGE)
    c.fill(cover(np.abs(circle(c, 10, 10, 8.4)) - 0.3), hexcol("ffffff"), 0.10)
    return c


def transport_faces():
    """20 x 20 round buttons with light glyphs: previous, play, pause, stop, next."""
    glyphs = {
        "previous": lambda c: np.minimum.reduce([
            rrect(c, 5.5, 6, 1.8, 8, 0.4),
            polygon(c, [(11.0, 6.0), (11.0, 14.0), (7.2, 10.0)]),
            polygon(c, [(15.0, 6.0), (15.0, 14.0), (11.2, 10.0)])]),
        "play": lambda c: polygon(c, [(7.5, 5.5), (7.5, 14.5), (15.0, 10.0)]),
        "pause": lambda c: np.minimum(rrect(c, 6.5, 6, 2.6, 8, 0.5), rrect(c, 10.9, 6, 2.6, 8, 0.5)),
        "stop": lambda c: rrect(c, 6.3, 6.3, 7.4, 7.4, 0.8),
        "next": lambda c: np.minimum.reduce([
            rrect(c, 12.7, 6, 1.8, 8, 0.4),
            polygon(c, [(9.0, 6.0), (9.0, 14.0), (12.8, 10.0)]),
            polygon(c, [(5.0, 6.0), (5.0, 14.0), (8.8, 10.0)])]),
    }
    for name, glyph in glyphs.items():
        c = round_face()
        c.fill(cover(glyph(c)), ICON)
        c.save("player_%s.png" % name)


def repeat_face():
    """60 x 35, drawn centred on the 45 x 20 button (image pixels 7..51 by 7..26 show): a rim around
    the visible part, a loop mark on its left and a clear window where the mode label lies under
    the button."""
    c = Canvas(60, 35)
    rim = rrect(c, 7.5, 7.5, 44, 19, 5)
    c.fill(cover(rim) * (c.x < 25), vgradient(c, 7, 27, "3d434b", "1c1f24"))
    c.fill(ring(rim, 0.8), RIM)
    c.fill(cover(np.abs(c.x - 25.5) - 0.4) * cover(np.abs(c.y - 17) - 8), RIM)
    loop = np.abs(circle(c, 16.5, 17, 4.6)) - 0.7
    c.fill(cover(loop) * ~((c.x > 16.5) & (c.y < 15.5)), ICON)
    c.fill(cover(polygon(c, [(16.2, 9.6), (20.2, 12.4), (16.2, 15.0)])), ICON)
    c.save("player_repeat.png")


def listen_faces():
    """25 x 25 faces over the coloured squares of the listen buttons: lit with a bold "S" or "T"
    (that list is heard), or dimmed with a quiet speaker mark (not heard)."""
    for name, letter in (("source", "S"), ("target", "T")):
        c = Canvas(25, 25)
        face = rrect(c, 0.5, 0.5, 24, 24, 5)
        gloss = cover(face) * np.clip((13 - c.y) / 13.0, 0, 1)
        c.fill(gloss, hexcol("ffffff"), 0.30)
        c.fill(ring(face, 1.0), hexcol("ffffff"), 0.75)
        shadow = text_mask(25, 25, letter, FONT_MEDIUM, 17, 1, 2, gravity="Center")
        c.fill(shadow, hexcol("000000"), 0.45)
        c.fill(text_mask(25, 25, letter, FONT_MEDIUM, 17, 0, 1, gravity="Center"), hexcol("ffffff"))
        c.save("player_listen_%s.png" % name)

    c = Canvas(25, 25)
    face = rrect(c, 0.5, 0.5, 24, 24, 5)
    c.fill(cover(face), hexcol("000000"), 0.6)
    c.fill(ring(face, 0.8), hexcol("000000"), 0.8)
    mark = np.minimum(rrect(c, 7, 10, 3.5, 5, 0.5), polygon(c, [(10, 10), (14.5, 6.5), (14.5, 18.5), (10, 15)]))
    c.fill(cover(mark), hexcol("8c939c"), 0.9)
    c.fill(cover(segment(c, 16.5, 10, 19.5, 15, 0.55)), hexcol("8c939c"), 0.9)
    c.fill(cover(segment(c, 16.5, 15, 19.5, 10, 0.55)), hexcol("8c939c"), 0.9)
    c.save("player_listen_off.png")


def empty_hint():
    """92 x 103, shown in an empty playlist (faded by the program): an arrow into a tray and
    "Drop audio files here"; the parts below the list's 90 pixels stay clear."""
    w, h = 92, 103
    c = Canvas(w, h)
    grey = hexcol("8a929c")
    c.fill(cover(segment(c, 46, 6, 46, 26, 2.2)), grey)
    c.fill(cover(polygon(c, [(36, 23), (56, 23), (46, 35)])), grey)
    tray = np.maximum(rrect(c, 28, 30, 36, 14, 3), -rrect(c, 32.2, 26, 27.6, 14, 1.5))
    c.fill(cover(tray), grey)
    for i, line in enumerate(("Drop audio", "files here")):
        c.fill(text_mask(w, h, line, FONT_BOOK, 12, 0, 50 + 15 * i, gravity="North"), grey)
    c.save("player_empty_hint.png")


def main():
    os.makedirs(IMAGES, exist_ok=True)
    background()
    spectrum_frame()
    transport_panel()
    transport_faces()
    repeat_face()
    listen_faces()
    empty_hint()
    return 0


if __name__ == "__main__":
    sys.exit(main())
