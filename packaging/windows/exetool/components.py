"""What the link of Kestrum.exe took, by component (README.md, "What Kestrum.exe carries"): the
link map says which files it took, the .units qtsource.py keeps beside each qt_attribution.json
which of them carry a bundled library's code. A file of no component stops everything."""
import collections
import functools
import os
import re
import subprocess
from dataclasses import dataclass, field

import linkmap
import qtsource

GCC_EXCEPTION = "GPL-3.0-or-later WITH GCC-exception-3.1"
MINGW_LIBRARIES = "/usr/x86_64-w64-mingw32/lib"
KESTRUM, IMPORTS = "Kestrum", "Windows import stubs"

# The pieces of the C and C++ runtimes that a mingw-w64 link may take, by the
# files they come from: their names, licences (SPDX) and what they are.
RUNTIME_PIECES = [
    ("mingw-w64 runtime", r"crt2\.o|libmingw32\.a|libmingwex\.a|libmsvcrt\.a|libmoldname\.a",
     "ZPL-2.1 AND LicenseRef-Public-Domain", "The start-up code and C library additions of mingw-w64"),
    ("winpthreads", r"libpthread\.a|libwinpthread\.a", "MIT AND BSD-3-Clause",
     "The POSIX threads library of mingw-w64"),
    ("libgcc", r"crtbegin\.o|crtend\.o|libgcc\.a|libgcc_eh\.a", GCC_EXCEPTION,
     "GCC's low-level runtime"),
    ("libssp", r"libssp\.a|libssp_nonshared\.a", GCC_EXCEPTION,
     "GCC's stack protector, which stops the program when a stack canary was overwritten"),
    ("libstdc++", r"libstdc\+\+\.a|libsupc\+\+\.a", GCC_EXCEPTION, "GCC's C++ standard library"),
]


class ComponentError(Exception):
    pass


class Package(collections.namedtuple("Package", "name version source source_version")):
    """A Debian binary package and the source package it was built from."""
    upstream = property(lambda self: re.sub(r"^[0-9]+:", "", self.version).split("-")[0])


# A piece of the C or C++ runtime the link took, its licence in SPDX.
Runtime = collections.namedtuple("Runtime", "name licence what package")


@dataclass
class Components:
    """What of Qt and the runtimes the link took."""
    qt_source: dict  # all that qt-source says: package, version, homepage, ...
    modules: list  # "Qt Core", ...
    plugins: list  # "qwindows", ...
    libraries: list = field(default_factory=list)
    runtimes: list = field(default_factory=list)
    # Each input file of the link: its component, a bundled library by its Id.
    parts: dict = field(default_factory=dict)

    qt_package = property(lambda self: self.qt_source["package"])
    qt_version = property(lambda self: self.qt_source["version"])  # Debian's, "6.4.2+dfsg-10"

    @property
    def qt_upstream(self):
        return re.match(r"[0-9][0-9.]*[0-9]", re.sub(r"^[0-9]+:", "", self.qt_version)).group(0)


@functools.cache
def debian_package(path):
    """The installed Debian package that holds `path`."""
    def query(*arguments):
        run = subprocess.run(["dpkg-query", *arguments], capture_output=True, text=True)
        if run.returncode:
            raise ComponentError(f"the link took {path}, but no Debian package holds it, so its "
                                 "version and licence are unknown")
        return run.stdout
    name = query("-S", path).split(":")[0]
    fields = query("-W", "-f=${Version}\t${source:Package}\t${source:Version}", name).split("\t")
    return Package(name, *fields)


def read_text(path):
    """A licence file's text: no byte-order mark, LF line ends, no blank end."""
    with open(path, encoding="utf-8") as file:
        return file.read().removeprefix("\ufeff").replace("\r\n", "\n").rstrip(" \t\n")


def part_outside_qt(origin, path, qt_prefix):
    """The component of input file `origin` (at `path`, its archive's for a
    member) that is not Qt's; None for Qt's."""
    library = re.fullmatch(r"lib\w+\.a", os.path.basename(path))
    if library and os.path.basename(os.path.dirname(path)) == "delay-load":
        return IMPORTS  # the build's own delay-load import library, named in full or not
    if not origin.startswith("/"):
        return KESTRUM  # the build's own: Kestrum's objects, the linker's
    if path.startswith(qt_prefix + "/"):
        return None
    for name, files, _, _ in RUNTIME_PIECES:
        if re.fullmatch(files, os.path.basename(path)):
            return name
    if library and os.path.dirname(path) == MINGW_LIBRARIES:
        return IMPORTS  # the import library of a Windows DLL
    raise ComponentError(f"the link took {origin}, which is neither Kestrum's, Qt's, a runtime's "
                         "nor a Windows import library; list it before it ships")


def read(notices, link_map, qt_prefix=None, package_of=debian_package):
    """What the link took, from `notices`, the folder of attributions
    collected with the Qt (in the Qt's prefix, unless `qt_prefix` says where
    that is), and the link's map."""
    qt_prefix = os.path.realpath(qt_prefix or os.path.dirname(os.path.abspath(notices)))
    for name in ["qt-source", "LICENSES/LGPL-3.0-only.txt", "LICENSES/GPL-3.0-only.txt"]:
        if not os.path.exists(os.path.join(notices, name)):
            raise ComponentError(f"{notices} has no {name}; it must be a folder that "
                                 "packaging/windows/static-qt.sh made with the Qt")
    source = dict(line.split(" ", 1) for line in read_text(os.path.join(notices, "qt-source"))
                  .splitlines() if " " in line)
    if not source.get("package") or not source.get("version"):
        raise ComponentError(f"{notices}/qt-source names no package and version")

    found = Components(source, [], [])
    qt = {}  # unit: the input files of Qt's that carry it
    runtimes = {}
    for origin in link_map.origins():
        path = os.path.realpath(re.sub(r"\([^()]*\)$", "", origin))
        part = part_outside_qt(origin, path, qt_prefix)
        if part in {name for name, *_ in RUNTIME_PIECES}:
            runtimes.setdefault(part, package_of(path))
        if part:
            found.parts[origin] = part
            continue
        archive, member = linkmap.archive_member(origin)
        qt.setdefault(re.sub(r"\.(obj|o)$", "", member), []).append(origin)
        if module := re.fullmatch(r"libQt6(?!Bundled)(.+)\.a", archive or ""):
            found.parts[origin] = "Qt " + module.group(1)
            found.modules.append(found.parts[origin])
        elif plugin := re.search(r"/plugins/[^/]+/lib([^/]+)\.a\(", origin):
            found.parts[origin] = f"{plugin.group(1)} plugin"
            found.plugins.append(plugin.group(1))
        else:  # its resources, the objects that register its plugins
            found.parts[origin] = "Qt's resources" if "/.rcc/qrc_" in origin else "Qt"
    found.modules, found.plugins = sorted(set(found.modules)), sorted(set(found.plugins))
    if "Qt Core" not in found.modules:
        raise ComponentError("the link map shows no Qt Core (libQt6Core.a) in the link")
    found.runtimes = [Runtime(name, licence, what, runtimes[name])
                      for name, _, licence, what in RUNTIME_PIECES if name in runtimes]

    covered, taken, covering = set(), {}, {}
    try:
        for path, libraries, lines in qtsource.collected(notices):
            sizes = collections.Counter(index for index, _ in lines)
            for index, unit in lines:
                if unit not in qt:
                    continue
                if index >= len(libraries):
                    raise ComponentError(f"{path} in {notices} has no entry {index}")
                if not libraries[index].get("Id") or not libraries[index].get("Name"):
                    raise ComponentError(f"entry {index} of {path} in {notices} has no Id or Name")
                library = taken.setdefault(libraries[index].get("Id"), libraries[index])
                covering.setdefault(unit, []).append((sizes[index], library))
            covered |= {unit for _, unit in lines}
    except qtsource.CollectError as error:
        raise ComponentError(f"{notices}: {error}") from None
    # A unit the notices count for an entry may be Qt's own code that read a
    # header of the library (or of a folder an entry covers whole). Its bytes
    # are the library's when it is in Qt's archive of that library, when the
    # entry names its source file, or when only entries in third-party folders
    # cover it (a library Qt compiles into a module). The entry that covers
    # the fewest units says most precisely whose code it is.
    for unit, entries in covering.items():
        entries.sort(key=lambda entry: entry[0])
        named = [library for _, library in entries if unit in map(
            os.path.basename, library.files("Files") + library.files("Path"))]
        third_party = all("3rdparty" in library.where.split("/") for _, library in entries)
        for origin in qt[unit]:
            if named or third_party or "/libQt6Bundled" in origin:
                found.parts[origin] = (named or [entries[0][1]])[0].get("Id")
    unlisted = sorted(os.path.basename(origin) for unit, origins in qt.items() for origin in origins
                      if unit not in covered and re.search(r"libQt6Bundled[^/]*\.a\(", origin))
    if unlisted:
        shown = unlisted if len(unlisted) <= 6 else unlisted[:5] + [f"and {len(unlisted) - 5} more"]
        raise ComponentError("the link took code that Qt bundles but that no qt_attribution.json "
                             f"in {notices} covers: {', '.join(shown)}")
    found.libraries = sorted(taken.values(), key=lambda library: library.get("Name").lower())
    return found
