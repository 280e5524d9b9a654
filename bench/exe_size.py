#!/usr/bin/env python3
"""Where the bytes of Kestrum.exe go: reads the GNU linker map of its link
(-Wl,-Map) and prints the bytes each part of the program contributes to the
file's sections, largest first.

Usage: exe_size.py <Kestrum.map>

The parts are Qt's modules and plugins, the libraries Qt bundles, the C and
C++ runtimes and Kestrum's own code. Libraries that Qt compiles into one of
its modules (zlib's and double-conversion's sources in Qt Core, md4c in Qt
Gui) are told apart by their object files' names."""

import collections
import os
import re
import sys

# Libraries bundled into a Qt module, by the names of their object files.
BUNDLED = {
    "zlib": {"adler32", "compress", "crc32", "deflate", "gzclose", "gzlib", "gzread",
             "gzwrite", "infback", "inffast", "inflate", "inftrees", "trees", "uncompr",
             "zutil"},
    "double-conversion": {"bignum", "bignum-dtoa", "cached-powers", "double-to-string",
                          "fast-dtoa", "fixed-dtoa", "string-to-double", "strtod"},
    "md4c": {"md4c"},
}

ARCHIVES = [
    (r"libQt6Core\.a", "Qt Core"),
    (r"libQt6Gui\.a", "Qt Gui"),
    (r"libQt6Widgets\.a", "Qt Widgets"),
    (r"libqwindows\.a|QWindowsIntegrationPlugin", "windows platform plugin"),
    (r"libqwindowsvistastyle\.a|QWindowsVistaStyle", "windowsvista style"),
    (r"libq(gif|ico|jpeg)\.a|Q(Gif|ICO|Jpeg)Plugin", "image format plugins"),
    (r"libQt6BundledFreetype", "FreeType"),
    (r"libQt6BundledHarfbuzz", "HarfBuzz"),
    (r"libQt6BundledLibpng", "libpng"),
    (r"libQt6BundledPcre2", "PCRE2"),
    (r"libQt6BundledZLIB", "zlib"),
    (r"qrc_", "Qt's resources"),
    (r"libstdc\+\+|libsupc\+\+", "C++ runtime"),
    (r"libgcc|libmingw|libmsvcr|libucrt|libwinpthread|crt2\.o|crtbegin|crtend|libmoldname",
     "C runtime"),
    (r"x86_64-w64-mingw32/lib/lib\w+\.a\(", "Windows import stubs"),
    (r"kestrum|app/CMakeFiles", "Kestrum"),
]

# Columns: code, read-only data, data, unwind tables, Qt's MIME database.
KINDS = [".text", ".rdata", ".data", ".pdata+.xdata", ".qtmimedatabase"]

ENTRY = re.compile(r"^ (\.\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")


def part_of(origin):
    member = re.search(r"\(([^()]+)\.(c|cc|cpp)\.obj\)$", origin)
    for name, objects in BUNDLED.items():
        if member and member.group(1) in objects:
            return name
    for pattern, name in ARCHIVES:
        if re.search(pattern, origin):
            return name
    return "other: " + os.path.basename(origin)


def read_map(path):
    """Bytes per part and output section, and the output sections' sizes."""
    sizes = collections.defaultdict(collections.Counter)
    sections = collections.Counter()
    started = False
    output = None
    pending = False  # an input section whose address and size are on the next line
    heading = None  # an output section whose address and size are on the next line
    with open(path, errors="replace") as lines:
        for line in lines:
            line = line.rstrip("\n")
            if not started:
                started = line.startswith("Linker script and memory map")
                continue
            named = re.match(r"^(\.\S+)(\s+0x[0-9a-f]+\s+0x([0-9a-f]+))?", line)
            if named:
                output = named.group(1)
                if named.group(3):
                    sections[output] = int(named.group(3), 16)
                heading = None if named.group(3) else output
                continue
            size = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s*$", line)
            if heading and size:
                sections[heading] = int(size.group(1), 16)
                heading = None
                continue
            heading = None
            if re.match(r"^ \.\S+$", line):
                pending = True
                continue
            entry = ENTRY.match(line)
            if entry and (entry.group(1) or pending) and output:
                sizes[part_of(entry.group(3))][output] += int(entry.group(2), 16)
            pending = False
    return sizes, sections


def column(counter, kind):
    return sum(counter[k] for k in kind.split("+"))


def print_row(name, values):
    print(f"{name:28}" + "".join(f"{v:14,}" for v in values) + f"{sum(values):12,}")


def main():
    sizes, sections = read_map(sys.argv[1])
    print(f"{'part':28}" + "".join(f"{k:>14}" for k in KINDS) + f"{'all':>12}")
    small = collections.Counter()
    for part, counter in sorted(sizes.items(), key=lambda item: -sum(item[1].values())):
        values = [column(counter, k) for k in KINDS]
        if 0 < sum(values) < 16384 and part != "Kestrum":
            small.update(counter)
        elif sum(values):
            print_row(part, values)
    if small:
        print_row("(smaller parts)", [column(small, k) for k in KINDS])
    print_row("sections in all", [column(sections, k) for k in KINDS])
    others = {k: v for k, v in sections.items() if v and not any(k in c.split("+") for c in KINDS)}
    print("other sections: " + ", ".join(f"{k} {v:,}" for k, v in sorted(others.items())))


if __name__ == "__main__":
    main()
