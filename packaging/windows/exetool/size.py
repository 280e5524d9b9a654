"""Where the bytes of Kestrum.exe go: the bytes each part of the program puts
into the file's sections, from the map of its link, largest first.

The parts are Qt's modules and plugins, the libraries Qt bundles, the C and
C++ runtimes and Kestrum's own code. Libraries that Qt compiles into one of
its modules (zlib's and double-conversion's sources in Qt Core, md4c in Qt
Gui) are told apart by their object files' names."""
import collections
import os
import re

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


def part_of(origin):
    member = re.search(r"\(([^()]+)\.(c|cc|cpp)\.obj\)$", origin)
    for name, objects in BUNDLED.items():
        if member and member.group(1) in objects:
            return name
    for pattern, name in ARCHIVES:
        if re.search(pattern, origin):
            return name
    return "other: " + os.path.basename(origin)


def column(counter, kind):
    return sum(counter[k] for k in kind.split("+"))


def row(name, values):
    return f"{name:28}" + "".join(f"{v:14,}" for v in values) + f"{sum(values):12,}"


def report(link_map):
    sizes = collections.defaultdict(collections.Counter)
    for piece in link_map.pieces:
        sizes[part_of(piece.origin)][piece.section] += piece.size
    lines = [f"{'part':28}" + "".join(f"{k:>14}" for k in KINDS) + f"{'all':>12}"]
    small = collections.Counter()
    for part, counter in sorted(sizes.items(), key=lambda item: -sum(item[1].values())):
        values = [column(counter, k) for k in KINDS]
        if 0 < sum(values) < 16384 and part != "Kestrum":
            small.update(counter)
        elif sum(values):
            lines.append(row(part, values))
    if small:
        lines.append(row("(smaller parts)", [column(small, k) for k in KINDS]))
    sections = collections.Counter(link_map.section_sizes)
    lines.append(row("sections in all", [column(sections, k) for k in KINDS]))
    others = {k: v for k, v in sections.items() if v and not any(k in c.split("+") for c in KINDS)}
    lines.append("other sections: " + ", ".join(f"{k} {v:,}" for k, v in sorted(others.items())))
    return "\n".join(lines)
