#!/usr/bin/env python3
"""Draws Kestrum's pictures as 16-colour XPM files: the four toolbar glyphs
(16 x 16), the title bitmap (105 x 25) and the program icon (32 x 32).

Run it from anywhere; it rewrites the .xpm files beside itself. The files are
kept in the repository, so the build needs no Python."""

import os

# The 16 colours of the classic Windows palette, one XPM character each.
PALETTE = {
    ".": "None", "k": "#000000", "r": "#800000", "g": "#008000", "y": "#808000",
    "b": "#000080", "m": "#800080", "c": "#008080", "s": "#C0C0C0", "d": "#808080",
    "R": "#FF0000", "G": "#00FF00", "Y": "#FFFF00", "B": "#0000FF", "M": "#FF00FF",
    "C": "#00FFFF", "w": "#FFFFFF",
}


class Canvas:
    def __init__(self, width, height, fill="."):
        self.width, self.height = width, height
        self.rows = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge or fill:
                    self.put(x, y, colour if edge else fill)

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), colour)

    def disc(self, cx, cy, radius, colour, edge=None):
        for y in range(self.height):
            for x in range(self.width):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if d <= radius:
                    self.put(x, y, edge if edge and d > radius - 1.2 else colour)

    def sprite(self, x0, y0, rows, colours):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != " ":
                    self.put(x0 + dx, y0 + dy, colours.get(ch, ch))

    def write(self, name):
        used = sorted({c for row in self.rows for c in row})
        lines = [f'"{self.width} {self.height} {len(used)} 1",']
        lines += [f'"{c} c {PALETTE[c]}",' for c in used]
        lines += [f'"{"".join(row)}",' for row in self.rows]
        lines[-1] = lines[-1].rstrip(",")
        path = os.path.join(os.path.dirname(os.path.abspath(__file__)), name)
        with open(path, "w", newline="\n") as f:
            f.write("/* XPM */\n")
            f.write(f"static const char *{name.split('.')[0]}[] = {{\n")
            f.write("\n".join(lines) + "\n};\n")


def document(c, x0, y0, x1, y1):
    """A sheet of paper with a folded corner and lines of text."""
    c.rect(x0, y0, x1, y1, "k", "w")
    fold = max(2, (x1 - x0) // 4)
    for i in range(fold):
        c.put(x1 - i, y0 + fold - 1 - i, "k")
        for j in range(i):
            c.put(x1 - j, y0 + fold - 1 - i, ".")
    for y in range(y0 + fold + 1, y1 - 1, 2):
        c.line(x0 + 2, y, x1 - 2, y, "d")


def make_glyph():
    c = Canvas(16, 16)
    document(c, 2, 1, 11, 14)
    # a pen writing onto the sheet
    c.line(14, 4, 8, 10, "b")
    c.line(15, 5, 9, 11, "B")
    c.put(7, 11, "k")
    c.put(7, 12, "k")
    c.write("make.xpm")


def exit_glyph():
    c = Canvas(16, 16)
    c.rect(1, 1, 9, 14, "k", "y")          # door frame
    c.rect(2, 2, 7, 14, "r", "R")          # open door
    c.put(6, 8, "Y")
    c.line(9, 8, 15, 8, "g")               # arrow out
    c.line(13, 6, 15, 8, "g")
    c.line(13, 10, 15, 8, "g")
    c.line(10, 7, 14, 7, "G")
    c.write("exit.xpm")


def default_glyph():
    c = Canvas(16, 16)
    c.rect(2, 1, 13, 14, "k", "s")
    for i, y in enumerate((4, 8, 12)):
        c.rect(4, y - 1, 6, y + 1, "k", "w")
        c.line(8, y, 11, y, "b")
        if i < 2:
            c.put(5, y, "G")
            c.put(4, y - 1, "g")
    c.write("default.xpm")


def about_glyph():
    c = Canvas(16, 16)
    c.disc(7.5, 7.5, 7.4, "B", "b")
    c.rect(7, 3, 8, 4, "w", "w")
    c.rect(7, 6, 8, 12, "w", "w")
    c.line(6, 6, 6, 6, "w")
    c.line(6, 12, 9, 12, "w")
    c.write("about.xpm")


FONT = {  # 5 x 9 letters, one string per row
    "K": ["X   X", "X  X ", "X X  ", "XX   ", "X X  ", "X  X ", "X   X", "     ", "     "],
    "e": ["     ", "     ", " XXX ", "X   X", "XXXXX", "X    ", " XXXX", "     ", "     "],
    "s": ["     ", "     ", " XXXX", "X    ", " XXX ", "    X", "XXXX ", "     ", "     "],
    "t": [" X   ", " X   ", "XXXX ", " X   ", " X   ", " X  X", "  XX ", "     ", "     "],
    "r": ["     ", "     ", "X XX ", "XX  X", "X    ", "X    ", "X    ", "     ", "     "],
    "u": ["     ", "     ", "X   X", "X   X", "X   X", "X  XX", " XX X", "     ", "     "],
    "m": ["     ", "     ", "XX X ", "X X X", "X X X", "X X X", "X X X", "     ", "     "],
}


def title_bitmap():
    c = Canvas(105, 25, "s")
    c.rect(0, 0, 104, 24, "d")
    c.line(0, 0, 104, 0, "w")
    c.line(0, 0, 0, 24, "w")
    # a small kestrel-like wing mark at the left
    c.sprite(4, 6, ["RR      ", " RRR    ", "  RRRRR ", "   rRRRR", "  rr    ",
                    " r      "], {})
    x = 18
    for ch in "Kestrum":
        rows = [r.replace("X", "b") for r in FONT[ch]]
        shadow = [r.replace("X", "d") for r in FONT[ch]]
        # letters drawn at double width for weight
        for dy, row in enumerate(shadow):
            for dx, p in enumerate(row):
                if p != " ":
                    c.put(x + dx * 2 + 1, 6 + dy * 2 // 2 + 1, "d")
                    c.put(x + dx * 2 + 2, 6 + dy * 2 // 2 + 1, "d")
        for dy, row in enumerate(rows):
            for dx, p in enumerate(row):
                if p != " ":
                    c.put(x + dx * 2, 6 + dy, "b")
                    c.put(x + dx * 2 + 1, 6 + dy, "b")
        x += 12
    c.line(18, 18, 100, 18, "R")
    c.write("title.xpm")


def program_icon():
    c = Canvas(32, 32)
    document(c, 4, 1, 23, 30)
    # the version tag: a blue badge with a white "V"
    c.rect(14, 16, 30, 29, "b", "B")
    c.line(17, 19, 22, 26, "w")
    c.line(27, 19, 22, 26, "w")
    c.line(18, 19, 22, 25, "w")
    c.line(26, 19, 22, 25, "w")
    # a red wing over the corner
    c.sprite(7, 5, ["RR       ", " RRRR    ", "  RRRRRR ", "   rRRRRR", "   rr    ",
                    "  r      "], {})
    c.write("kestrum.xpm")


if __name__ == "__main__":
    make_glyph()
    exit_glyph()
    default_glyph()
    about_glyph()
    title_bitmap()
    program_icon()
