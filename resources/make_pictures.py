#!/usr/bin/env python3
"""Draws Kestrum's pictures in the 16 colours of the classic Windows palette:

- the four toolbar glyphs make, exit, default and about: 16 x 16 (make.xpm,
  ...) and, for display scales of 125, 150, 175 and 200 %, 20, 24, 28 and
  32 pixels square (make-125.xpm, make-150.xpm, make-175.xpm,
  make-200.xpm, ...);
- the title bitmap: 105 x 25 (title.xpm) and 131 x 31, 158 x 38, 184 x 44 and
  210 x 50 (title-125.xpm ... title-200.xpm);
- the program icon: 32 x 32 (kestrum.xpm), 16, 20, 24, 40, 48 and 64 pixels
  (kestrum-16.xpm ... kestrum-64.xpm), 256 pixels (kestrum-256.png) and all of
  these together in one Windows icon file (kestrum.ico).

Each size is drawn on its own from the same design, so every size stays crisp.
Run it from anywhere; it rewrites the files beside itself, always with the
same bytes. The files are kept in the repository, so the build needs no
Python."""

import math
import os
import re
import struct
import zlib

# The 16 colours of the classic Windows palette in their usual order, one XPM
# character each.
PALETTE = {
    ".": "None", "k": "#000000", "r": "#800000", "g": "#008000", "y": "#808000",
    "b": "#000080", "m": "#800080", "c": "#008080", "s": "#C0C0C0", "d": "#808080",
    "R": "#FF0000", "G": "#00FF00", "Y": "#FFFF00", "B": "#0000FF", "M": "#FF00FF",
    "C": "#00FFFF", "w": "#FFFFFF",
}
COLOURS = [c for c in PALETTE if c != "."]  # palette index order

HERE = os.path.dirname(os.path.abspath(__file__))


class Scale:
    """Maps the coordinates a picture was designed in (its pixels at the size it
    was first drawn) to pixels at another size."""

    def __init__(self, factor):
        self.f = factor
        self.t = max(1, int(factor + 0.25))  # width of outlines and fine lines
        self.bold = max(1, int(factor + 0.5))  # width of bolder strokes
        self.pitch = max(2 * self.t, int(2 * factor + 0.25))  # lines of text

    def __call__(self, v):
        """The pixel edge where design edge v falls."""
        return int(v * self.f + 0.5)

    def span(self, a, b):
        """First and last pixel covering design pixels a to b."""
        return self(a), self(b + 1) - 1


class Canvas:
    def __init__(self, width, height, fill="."):
        self.width, self.height = width, height
        self.rows = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour, fill=None, width=1):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = min(x - x0, x1 - x, y - y0, y1 - y) < width
                if edge or fill:
                    self.put(x, y, colour if edge else fill)

    def line(self, x0, y0, x1, y1, colour, mirror=None):
        """A line and, given mirror, also its mirror image x -> mirror - x.
        Halfway points round down, so a line two rows a step moves evenly."""
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x, y = (math.ceil(a + (b - a) * i / steps - 0.5) for a, b in ((x0, x1), (y0, y1)))
            self.put(x, y, colour)
            if mirror is not None:
                self.put(mirror - x, y, colour)

    def disc(self, cx, cy, radius, colour, edge=None, ring=1.2):
        for y in range(self.height):
            for x in range(self.width):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if d <= radius:
                    self.put(x, y, edge if edge and d > radius - ring else colour)

    def sprite(self, x0, y0, rows, colours, scale=1):
        """Draws a little picture given row by row, each colour in one run per
        row. At another scale each colour is drawn as the shape whose edges run
        through the ends of its rows, so it grows smoothly instead of in steps;
        at scale 1 that shape is exactly the rows given."""
        runs = {}  # colour -> {row: (first x, x after the last)}
        for dy, row in enumerate(rows):
            for ch in dict.fromkeys(row.replace(" ", "")):
                runs.setdefault(ch, {})[dy] = (row.index(ch), row.rindex(ch) + 1)
        for ch, ends in runs.items():
            top, bottom = min(ends), max(ends)
            for y in range(int(y0 + top * scale), int(y0 + (bottom + 1) * scale) + 1):
                v = (y + 0.5 - y0) / scale  # the middle of this row, in the design
                if not top <= v < bottom + 1:
                    continue
                f = min(max(v - 0.5, top), bottom)
                a = ends[int(f)]
                b = ends.get(int(f) + 1, a)
                left, right = (p + (q - p) * (f - int(f)) for p, q in zip(a, b))
                for x in range(int(x0 + left * scale), int(x0 + right * scale) + 1):
                    if left <= (x + 0.5 - x0) / scale < right:
                        self.put(x, y, colours.get(ch, ch))

    def write(self, name):
        used = sorted({c for row in self.rows for c in row})
        lines = [f'"{self.width} {self.height} {len(used)} 1",']
        lines += [f'"{c} c {PALETTE[c]}",' for c in used]
        lines += [f'"{"".join(row)}",' for row in self.rows]
        lines[-1] = lines[-1].rstrip(",")
        identifier = re.sub(r"\W", "_", name[:-len(".xpm")])  # make-150: make_150
        with open(os.path.join(HERE, name), "w", newline="\n") as f:
            f.write("/* XPM */\n")
            f.write(f"static const char *{identifier}[] = {{\n")
            f.write("\n".join(lines) + "\n};\n")


def document(c, x0, y0, x1, y1, t=1, pitch=2):
    """A sheet of paper with a folded corner and lines of text, its outline and
    lines t pixels wide, a line every pitch pixels."""
    c.rect(x0, y0, x1, y1, "k", "w", t)
    fold = max(2, (x1 - x0) // 4)
    for y in range(y0, y0 + fold + t):
        for x in range(x1 - fold - t, x1 + 1):
            e = (x1 - x) + (y - y0)  # distance from the corner, along the fold
            if e < fold - 1 + t:
                c.put(x, y, "." if e < fold - 1 else "k")
    for y in range(y0 + fold + pitch - t, y1 - pitch + 1, pitch):
        c.rect(x0 + 2 * t, y, x1 - 2 * t, y + t - 1, "d", "d")


def make_glyph(z):
    c = Canvas(z(16), z(16))
    (x0, x1), (y0, y1) = z.span(2, 11), z.span(1, 14)
    document(c, x0, y0, x1, y1, z.t, z.pitch)
    # a pen writing onto the sheet, lying across the diagonals x + y: its upper
    # side dark, its lower side light (only three diagonals wide, it leaves the
    # paper showing between them), a black nib at its lower end
    pen = [d for d in range(2 * c.width) if 18.5 * z.f <= d < 21.5 * z.f]  # x + y + 1
    half = len(pen) // 2
    sides = "b.B" if len(pen) == 3 else "b" * half + "B" * (len(pen) - half)
    for y in range(c.height):
        for x in range(c.width):
            u, v = (x + y + 1) / z.f, (x - y) / z.f  # across and along the pen
            if 18.5 <= u < 21.5 and -2.5 <= v <= 10.5:
                if sides[x + y + 1 - pen[0]] != ".":
                    c.put(x, y, sides[x + y + 1 - pen[0]])
            elif 18.5 <= u < 20.5 and -5.5 <= v < -2.5 and x + 0.5 < 8 * z.f:
                c.put(x, y, "k")
    return c


def exit_glyph(z):
    c, t = Canvas(z(16), z(16)), z.t
    (x0, x1), (y0, y1) = z.span(1, 9), z.span(1, 14)
    c.rect(x0, y0, x1, y1, "k", "y", t)                 # door frame
    door = z(8) - 1
    c.rect(x0 + t, y0 + t, door, y1, "r", "R", t)       # open door
    knob = z.bold
    c.rect(door - t - knob + 1, z(8), door - t, z(8) + knob - 1, "Y", "Y")
    shaft, w = z(8), z.bold                             # arrow out
    c.rect(x1 - t + 1, shaft, c.width - 1, shaft + w - 1, "g", "g")
    for y in range(c.height):
        d = max(shaft - y, y - shaft - w + 1, 0)        # rows from the shaft
        for x in range(c.width):
            if d <= z(2) and 0 <= c.width - 1 - x - d < w:
                c.put(x, y, "g")
    c.rect(x1 + 1, shaft - t, z(15) - 1, shaft - 1, "G", "G")
    return c


def default_glyph(z):
    c, t = Canvas(z(16), z(16)), z.t
    (x0, x1), (y0, y1) = z.span(2, 13), z.span(1, 14)
    c.rect(x0, y0, x1, y1, "k", "s", t)
    box, edge = int(3 * z.f + 0.75), z.bold  # check boxes, about a third of them outline
    for i, y in enumerate((4, 8, 12)):
        bx, by = int(5.5 * z.f - box / 2 + 0.5), int((y + 0.5) * z.f - box / 2 + 0.5)
        c.rect(bx, by, bx + box - 1, by + box - 1, "k", "w", edge)
        ly = int((y + 0.5) * z.f - t / 2 + 0.5)
        c.rect(z(8), ly, z(12) - 1, ly + t - 1, "b", "b")
        if i < 2:
            c.rect(bx + edge, by + edge, bx + box - edge - 1, by + box - edge - 1, "G", "G")
            c.rect(bx, by, bx + edge - 1, by + edge - 1, "g", "g")
    return c


def about_glyph(z):
    n, t = z(16), z.t
    c = Canvas(n, n)
    c.disc(n / 2 - 0.5, n / 2 - 0.5, 7.4 * z.f, "B", "b", t + 0.2)
    w = z.bold                                          # the letter i, 2w wide
    x0, x1 = n // 2 - w, n // 2 + w - 1
    top, bottom = z(3) + 2 * w + t, z(13) - 1
    c.rect(x0, z(3), x1, z(3) + 2 * w - 1, "w", "w")
    c.rect(x0, top, x1, bottom, "w", "w")
    c.rect(x0 - t, top, x0 - 1, top + t - 1, "w", "w")
    c.rect(x0 - t, bottom - t + 1, x1 + t, bottom, "w", "w")
    return c


FONT = {  # 5 x 9 letters, one string per row
    "K": ["X   X", "X  X ", "X X  ", "XX   ", "X X  ", "X  X ", "X   X", "     ", "     "],
    "e": ["     ", "     ", " XXX ", "X   X", "XXXXX", "X    ", " XXXX", "     ", "     "],
    "s": ["     ", "     ", " XXXX", "X    ", " XXX ", "    X", "XXXX ", "     ", "     "],
    "t": [" X   ", " X   ", "XXXX ", " X   ", " X   ", " X  X", "  XX ", "     ", "     "],
    "r": ["     ", "     ", "X XX ", "XX  X", "X    ", "X    ", "X    ", "     ", "     "],
    "u": ["     ", "     ", "X   X", "X   X", "X   X", "X  XX", " XX X", "     ", "     "],
    "m": ["     ", "     ", "XX X ", "X X X", "X X X", "X X X", "X X X", "     ", "     "],
}

# How big the letters' pixels are drawn at each scale: the widths of the five
# columns, the space after a letter and the heights of the nine rows. Where a
# scale gives no whole number the columns and rows differ a little, chosen so
# that strokes of the same kind stay the same width.
LETTERING = {
    1: ((2, 2, 2, 2, 2), 2, (1, 1, 1, 1, 1, 1, 1, 1, 1)),
    1.25: ((3, 2, 3, 2, 3), 2, (1, 1, 1, 2, 1, 2, 1, 1, 1)),
    1.5: ((3, 3, 3, 3, 3), 3, (1, 2, 1, 2, 1, 2, 1, 2, 2)),
    1.75: ((4, 3, 4, 3, 4), 3, (1, 2, 2, 2, 2, 2, 2, 2, 2)),
    2: ((4, 4, 4, 4, 4), 4, (2, 2, 2, 2, 2, 2, 2, 2, 2)),
}

WING = {  # a small kestrel-like wing; the icon's is a little longer
    "title": ["RR      ", " RRR    ", "  RRRRR ", "   rRRRR", "  rr    ", " r      "],
    "icon": ["RR       ", " RRRR    ", "  RRRRRR ", "   rRRRRR", "   rr    ", "  r      "],
    "small": ["RR    ", " RRRR ", "  rRRR", " r    "],
}


def title_bitmap(z):
    w, h, t = z(105), z(25), z.t
    c = Canvas(w, h, "s")
    # bevel: white at the top and left, grey at the bottom and right
    for y in range(h):
        for x in range(w):
            if min(x, y, w - 1 - x, h - 1 - y) < t:
                lit = (y < t and y <= w - 1 - x) or (x < t and x <= h - 1 - y)
                c.put(x, y, "w" if lit else "d")
    c.sprite(z(4), z(6), WING["title"], {}, z.f)
    columns, gap, heights = LETTERING[z.f]
    xs = [sum(columns[:i]) for i in range(6)]
    ys = [z(6) + sum(heights[:i]) for i in range(10)]
    x, advance = z(18), xs[5] + gap
    for colour, offset in (("d", t), ("b", 0)):          # shadow, then letters
        for i, ch in enumerate("Kestrum"):
            left = x + i * advance + offset
            for dy, row in enumerate(FONT[ch]):
                for dx, p in enumerate(row):
                    if p != " ":
                        c.rect(left + xs[dx], ys[dy] + offset,
                               left + xs[dx + 1] - 1, ys[dy + 1] + offset - 1, colour, colour)
    c.rect(x, z(18), x + 7 * advance - gap + t - 1, z(18) + t - 1, "R", "R")  # underline
    return c


def program_icon(z):
    n, t = z(32), z.t
    c = Canvas(n, n)
    (x0, x1), (y0, y1) = z.span(4, 23), z.span(1, 30)
    document(c, x0, y0, x1, y1, t, z.pitch)
    # the version tag: a blue badge with a white "V"
    (x0, x1), (y0, y1) = z.span(14, 30), z.span(16, 29)
    c.rect(x0, y0, x1, y1, "b", "B", t)
    inset = z(3)
    for i in range(max(2, int(2 * z.f + 0.5))):  # strokes narrowing to a point
        c.line(x0 + inset + i, y0 + inset, (x0 + x1) // 2, y1 - inset - i, "w", x0 + x1)
    # a red wing over the corner; below 24 pixels a simpler one
    if n < 24:
        x, y, wing = z(7), z(5), WING["small"]
        c.rect(x, y, x + len(wing[0]) - 1, y + len(wing) - 1, "w", "w")  # no text by it
        c.sprite(x, y, wing, {})
    else:
        c.sprite(z(7), z(5), WING["icon"], {}, z.f)
    return c


def rgb(colour):
    return bytes(int(PALETTE[colour][i:i + 2], 16) for i in (1, 3, 5))


def png(c):
    """The picture as a PNG file: 8-bit RGBA, transparent where it is None."""
    raw = b"".join(b"\0" + b"".join(b"\0\0\0\0" if p == "." else rgb(p) + b"\xff" for p in row)
                   for row in c.rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", c.width, c.height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(c):
    """The picture as a 16-colour icon image: header, palette, colour bits and
    the mask (1 = transparent), both bottom row first."""
    def rows(bits_of, bits):
        stride = (c.width * bits + 31) // 32 * 4
        out = b""
        for row in reversed(c.rows):
            value = 0
            for p in row:
                value = value << bits | bits_of(p)
            out += (value << (stride * 8 - c.width * bits)).to_bytes(stride, "big")
        return out

    colours = rows(lambda p: 0 if p == "." else COLOURS.index(p), 4)  # black under the mask
    mask = rows(lambda p: int(p == "."), 1)
    header = struct.pack("<IiiHHIIiiII", 40, c.width, 2 * c.height, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    palette = b"".join(rgb(p)[::-1] + b"\0" for p in COLOURS)
    return header + palette + colours + mask


def icon_file(images):
    """A Windows icon file holding (size, bits per pixel, image) entries."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1,
                           bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


# Named by display scale; not "@1.5x", which Qt would take for a scale of its own.
GLYPH_SCALES = {1: "", 1.25: "-125", 1.5: "-150", 1.75: "-175", 2: "-200"}
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64)


def main():
    for scale, suffix in GLYPH_SCALES.items():
        z = Scale(scale)
        for name, draw in (("make", make_glyph), ("exit", exit_glyph),
                           ("default", default_glyph), ("about", about_glyph),
                           ("title", title_bitmap)):
            draw(z).write(f"{name}{suffix}.xpm")
    entries = []
    for size in ICON_SIZES:
        icon = program_icon(Scale(size / 32))
        icon.write("kestrum.xpm" if size == 32 else f"kestrum-{size}.xpm")
        entries.append((size, 4, dib(icon)))
    large = png(program_icon(Scale(256 / 32)))
    with open(os.path.join(HERE, "kestrum-256.png"), "wb") as f:
        f.write(large)
    entries.append((256, 32, large))
    with open(os.path.join(HERE, "kestrum.ico"), "wb") as f:
        f.write(icon_file(entries))


if __name__ == "__main__":
    main()
