#!/usr/bin/env python3
"""Draws the two bitmaps of the dark-grey skin (controls.bmp, frame.bmp).

The pictures are the skin's sources; run this after changing the look and
commit the bitmaps. Cells and their places must match resources/skin/Options.dat.
"""
import os
import struct
import sys

KEY = (255, 0, 255)  # transparent colour of the skin
ACCENT = (61, 142, 240)


class Picture:
    def __init__(self, width, height, fill=KEY):
        self.w, self.h = width, height
        self.px = [[fill] * width for _ in range(height)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, x, y, w, h, c):
        for j in range(y, y + h):
            for i in range(x, x + w):
                self.put(i, j, c)

    def vgrad(self, x, y, w, h, top, bottom):
        for j in range(h):
            t = j / max(h - 1, 1)
            c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
            self.fill(x, y + j, w, 1, c)

    def frame(self, x, y, w, h, c, width=1):
        for k in range(width):
            self.fill(x + k, y + k, w - 2 * k, 1, c)
            self.fill(x + k, y + h - 1 - k, w - 2 * k, 1, c)
            self.fill(x + k, y + k, 1, h - 2 * k, c)
            self.fill(x + w - 1 - k, y + k, 1, h - 2 * k, c)

    def round_corners(self, x, y, w, h):
        for (cx, cy) in ((x, y), (x + w - 1, y), (x, y + h - 1), (x + w - 1, y + h - 1)):
            self.put(cx, cy, KEY)

    def save(self, path):
        stride = (self.w * 3 + 3) & ~3
        rows = b""
        for row in reversed(self.px):  # bottom-up
            line = b"".join(bytes((b, g, r)) for (r, g, b) in row)
            rows += line + b"\0" * (stride - len(line))
        header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + rows)


def button(p, x, y, w, h, top, bottom, border):
    p.vgrad(x, y, w, h, top, bottom)
    p.frame(x, y, w, h, border)
    p.round_corners(x, y, w, h)


def controls():
    p = Picture(128, 136)
    # BUTTON, y 0: normal, hot, pressed, disabled (24 x 24, margins 4).
    button(p, 0, 0, 24, 24, (78, 78, 80), (60, 60, 62), (96, 96, 100))
    button(p, 24, 0, 24, 24, (92, 92, 96), (70, 70, 74), (130, 130, 136))
    button(p, 48, 0, 24, 24, (40, 40, 42), (50, 50, 52), ACCENT)
    button(p, 72, 0, 24, 24, (56, 56, 56), (52, 52, 52), (68, 68, 68))
    # SPEEDBUTTON, y 24: flatter; pressed (and Down) is filled with the accent.
    button(p, 0, 24, 24, 24, (66, 66, 68), (58, 58, 60), (84, 84, 88))
    button(p, 24, 24, 24, 24, (82, 82, 86), (70, 70, 74), (120, 120, 126))
    button(p, 48, 24, 24, 24, (36, 92, 160), (28, 74, 132), (110, 170, 245))
    button(p, 72, 24, 24, 24, (54, 54, 54), (50, 50, 50), (64, 64, 64))
    # PANEL, PANEL_LOW, PROGRESSV, GROUPBOX, y 48 (24 x 24).
    p.fill(0, 48, 24, 24, (46, 46, 48))
    p.frame(0, 48, 24, 24, (58, 58, 60))
    p.fill(24, 48, 24, 24, (20, 20, 21))
    p.frame(24, 48, 24, 24, (14, 14, 15), 2)
    p.frame(26, 50, 20, 20, (38, 38, 40), 2)
    p.fill(48, 48, 24, 24, (20, 20, 21))
    p.frame(48, 48, 24, 24, (40, 110, 200), 1)
    p.frame(49, 49, 22, 22, ACCENT, 2)
    p.frame(51, 51, 18, 18, (150, 200, 255), 1)
    p.frame(72, 48, 24, 24, (86, 86, 90))
    p.round_corners(72, 48, 24, 24)
    # EDIT and COMBOBOX fields, y 72: normal, hot, pressed/focused, disabled.
    for i, border in enumerate(((84, 84, 88), (120, 120, 126), ACCENT, (62, 62, 62))):
        back = (28, 28, 30) if i < 3 else (40, 40, 40)
        p.fill(i * 24, 72, 24, 24, back)
        p.frame(i * 24, 72, 24, 24, border)
    # CHECKBOX glyphs, y 96 (13 x 13): four unchecked, then four checked.
    for i in range(8):
        x, checked, state = i * 13, i >= 4, i % 4
        border = [(110, 110, 116), (150, 150, 158), ACCENT, (70, 70, 70)][state]
        back = ACCENT if checked and state != 3 else (28, 28, 30)
        if checked and state == 3:
            back = (70, 70, 70)
        p.fill(x, 96, 13, 13, back)
        p.frame(x, 96, 13, 13, border)
        if checked:
            tick = [(3, 6), (4, 7), (5, 8), (6, 7), (7, 6), (8, 5), (9, 4)]
            for tx, ty in tick:
                p.put(x + tx, 96 + ty, (255, 255, 255))
                p.put(x + tx, 96 + ty - 1, (255, 255, 255))
    # Drop buttons, y 112 (17 x 19): normal, hot, pressed, disabled.
    for i, (back, arrow) in enumerate((((52, 52, 56), (220, 220, 224)), ((70, 70, 74), (255, 255, 255)),
                                       (ACCENT, (255, 255, 255)), ((44, 44, 44), (100, 100, 100)))):
        x = i * 17
        p.fill(x, 112, 17, 19, back)
        p.fill(x, 112, 1, 19, (84, 84, 88))
        for row in range(4):
            p.fill(x + 5 + row, 120 + row, 7 - 2 * row, 1, arrow)
    # Browse buttons, x 68, y 112 (17 x 17): normal, hot, pressed, disabled; three dots.
    for i, (back, dot) in enumerate((((52, 52, 56), (220, 220, 224)), ((70, 70, 74), (255, 255, 255)),
                                     (ACCENT, (255, 255, 255)), ((44, 44, 44), (100, 100, 100)))):
        x = 68 + i * 15
        p.fill(x, 112, 15, 17, back)
        p.frame(x, 112, 15, 17, (84, 84, 88))
        for d in range(3):
            p.fill(x + 3 + d * 3, 122, 2, 2, dot)
    return p


def frame():
    p = Picture(128, 64)
    # Borders, y 0 (16 x 16, margins 6): active, inactive.
    for i, edge in enumerate(((60, 60, 64), (44, 44, 46))):
        p.fill(i * 16, 0, 16, 16, (34, 34, 36))
        p.frame(i * 16, 0, 16, 16, (12, 12, 12))
        p.frame(i * 16 + 1, 1, 14, 14, edge)
    # Caption bars, y 16 (24 x 24, margins 3): active with an accent line, inactive.
    p.vgrad(0, 16, 24, 24, (58, 58, 62), (38, 38, 40))
    p.fill(0, 38, 24, 2, ACCENT)
    p.vgrad(24, 16, 24, 24, (44, 44, 46), (36, 36, 38))
    p.fill(24, 38, 24, 2, (70, 70, 74))
    # Caption buttons, y 40 (18 x 16): close, maximise, restore, minimise.
    white = (230, 230, 232)
    for i in range(4):
        x = i * 18
        p.fill(x, 40, 18, 16, KEY)
    for k in range(7):  # close: a cross
        p.put(5 + k, 44 + k, white); p.put(6 + k, 44 + k, white)
        p.put(11 - k, 44 + k, white); p.put(12 - k, 44 + k, white)
    p.frame(18 + 4, 43, 10, 9, white); p.fill(18 + 4, 44, 10, 1, white)
    p.frame(36 + 6, 42, 8, 7, white); p.frame(36 + 3, 45, 8, 7, white)
    p.fill(36 + 4, 46, 6, 5, KEY)
    p.fill(54 + 4, 50, 10, 2, white)
    return p


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "..", "resources", "skin")
    controls().save(os.path.join(out, "controls.bmp"))
    frame().save(os.path.join(out, "frame.bmp"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
