"""Reading the map GNU ld writes of a link (-Wl,-Map=): where it placed each
symbol, and which pieces of which input files went into which output
sections."""
import collections
import re

# What an input file put into an output section (".text"): its size, and the
# input file, "libQt6Core.a(qstring.cpp.obj)" or a path.
Piece = collections.namedtuple("Piece", "section size origin")


class LinkMapError(Exception):
    pass


SYMBOL = re.compile(r"\s+0x([0-9a-fA-F]+)\s+([A-Za-z_][\w$.]*)\s*")
OUTPUT_SECTION = re.compile(r"(\.\S+)(?:\s+0x[0-9a-fA-F]+\s+0x([0-9a-fA-F]+))?\s*")
SIZE_ONLY = re.compile(r"\s+0x[0-9a-fA-F]+\s+0x([0-9a-fA-F]+)\s*")
INPUT_NAME = re.compile(r" \.\S+\s*")
INPUT = re.compile(r" (\.\S+|COMMON)?\s+0x[0-9a-fA-F]+\s+0x([0-9a-fA-F]+)\s+(\S.*?)\s*")


class LinkMap:
    def __init__(self, text):
        self.symbols = {}  # name: address
        self.pieces = []
        self.section_sizes = {}  # output section: bytes
        lines = text.splitlines()
        if "Linker script and memory map" not in lines:
            raise LinkMapError("not a GNU ld map (no memory map in it)")
        start = lines.index("Linker script and memory map")
        output = heading = None  # heading: an output section whose address and size follow
        named = False  # an input section whose address and size are on the next line
        for line in lines[start + 1:]:
            if symbol := SYMBOL.fullmatch(line):
                self.symbols[symbol.group(2)] = int(symbol.group(1), 16)
            elif section := OUTPUT_SECTION.fullmatch(line):
                output, size = section.groups()
                heading = None if size else output
                if size:
                    self.section_sizes[output] = int(size, 16)
            elif heading and (size := SIZE_ONLY.fullmatch(line)):
                self.section_sizes[heading] = int(size.group(1), 16)
                heading = None
            else:
                heading = None
                piece = INPUT.fullmatch(line)
                if piece and (piece.group(1) or named) and output and int(piece.group(2), 16):
                    self.pieces.append(Piece(output, int(piece.group(2), 16), piece.group(3)))
                named = bool(INPUT_NAME.fullmatch(line))

    def address(self, name, what):
        if name not in self.symbols:
            raise LinkMapError(f"the link map does not place {name}: no {what} was linked")
        return self.symbols[name]

    def origins(self):
        """Every input file that put at least one byte into the output."""
        return sorted({piece.origin for piece in self.pieces})


def read(path):
    with open(path, encoding="utf-8", errors="replace") as file:
        return LinkMap(file.read())


def archive_member(origin):
    """("libQt6Core.a", "qstring.cpp.obj") for "/x/libQt6Core.a(qstring.cpp.obj)";
    (None, "main.cpp.obj") for an object linked by itself."""
    match = re.search(r"([^/\\]+)\(([^()]+)\)$", origin)
    return match.groups() if match else (None, re.split(r"[/\\]", origin)[-1])
