"""THIRD-PARTY-NOTICES.txt of Kestrum.exe, which links Qt statically: Qt
and each library Qt bundles whose code the link took, with its copyright and
licence, and the pieces of the mingw-w64 and GCC runtimes it took.

What was collected from the Qt source (qtsource.py, kept with the cached Qt)
says which compiled files carry each library's code; the link map says which
of those files the link took. So the notices list what the executable
contains, no more and no less."""
import functools
import hashlib
import json
import os
import re
import subprocess
from dataclasses import dataclass, field

import linkmap

RULE = "=" * 80
BOM = "\ufeff"
GCC_EXCEPTION = "GPL-3.0-or-later WITH GCC-exception-3.1"
MINGW_LIBRARIES = "/usr/x86_64-w64-mingw32/lib"

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


class NoticesError(Exception):
    pass


@dataclass
class Library:
    """A library Qt bundles, as its qt_attribution.json entry describes it."""
    entry: dict
    folder: str  # where the files the entry names lie

    def get(self, key):
        value = self.entry.get(key, "")
        return value if isinstance(value, str) else json.dumps(value)

    def files(self, key):
        value = self.entry.get(key, [])
        names = value if isinstance(value, list) else re.split(r"[ ,\t\r\n]+", value)
        return [name for name in names if name]


@dataclass(frozen=True)
class Package:
    """A Debian binary package and the source package it was built from."""
    name: str
    version: str
    source: str
    source_version: str

    @property
    def upstream(self):
        return re.sub(r"^[0-9]+:", "", self.version).split("-")[0]


@dataclass
class Runtime:
    """A piece of the C or C++ runtime the link took."""
    name: str
    licence: str  # SPDX
    what: str
    package: Package


@dataclass
class Contents:
    """What of Qt and the runtimes the link took."""
    qt_package: str
    qt_version: str  # of the Debian source package, "6.4.2+dfsg-10"
    modules: list  # "Qt Core", ...
    plugins: list  # "qwindows", ...
    libraries: list = field(default_factory=list)
    runtimes: list = field(default_factory=list)
    qt_source: dict = field(default_factory=dict)  # all that qt-source says

    @property
    def qt_upstream(self):
        return re.match(r"[0-9][0-9.]*[0-9]", re.sub(r"^[0-9]+:", "", self.qt_version)).group(0)


@functools.cache
def debian_package(path):
    """The installed Debian package that holds `path`."""
    def query(*arguments):
        run = subprocess.run(["dpkg-query", *arguments], capture_output=True, text=True)
        if run.returncode:
            raise NoticesError(f"the link took {path}, but no Debian package holds it, so its "
                               "version and licence are unknown")
        return run.stdout
    name = query("-S", path).split(":")[0]
    fields = query("-W", "-f=${Version}\t${source:Package}\t${source:Version}", name).split("\t")
    return Package(name, *fields)


def read_text(path):
    """A licence file's text: no byte-order mark, LF line ends, no blank end."""
    with open(path, encoding="utf-8") as file:
        text = file.read()
    return text.removeprefix(BOM).replace("\r\n", "\n").rstrip(" \t\n")


def contents(notices, link_map, qt_prefix=None, package_of=debian_package):
    """What the link took, from `notices`, the folder of attributions
    collected with the Qt (in the Qt's prefix, unless `qt_prefix` says where
    that is), and the link's map."""
    qt_prefix = os.path.realpath(qt_prefix or os.path.dirname(os.path.abspath(notices)))
    for name in ["qt-source", "LICENSES/LGPL-3.0-only.txt", "LICENSES/GPL-3.0-only.txt"]:
        if not os.path.exists(os.path.join(notices, name)):
            raise NoticesError(f"{notices} has no {name}; it must be a folder that "
                               "packaging/windows/static-qt.sh made with the Qt")
    source = dict(line.split(" ", 1) for line in read_text(os.path.join(notices, "qt-source"))
                  .splitlines() if " " in line)
    if not source.get("package") or not source.get("version"):
        raise NoticesError(f"{notices}/qt-source names no package and version")

    linked = set()
    bundled = []  # (unit, "archive(member)") of Qt's bundled libraries
    modules, plugins = set(), set()
    runtimes = {}
    for origin in link_map.origins():
        runtime = runtime_piece(origin, qt_prefix)
        if runtime:
            name, licence, what = runtime
            runtimes.setdefault(name, Runtime(name, licence, what, package_of(
                os.path.realpath(re.sub(r"\([^()]*\)$", "", origin)))))
        archive, member = linkmap.archive_member(origin)
        unit = re.sub(r"\.(obj|o)$", "", member)
        linked.add(unit)
        if archive and re.fullmatch(r"libQt6Bundled.*\.a", archive):
            bundled.append((unit, f"{archive}({member})"))
        elif archive and re.fullmatch(r"libQt6(.+)\.a", archive):
            modules.add("Qt " + re.fullmatch(r"libQt6(.+)\.a", archive).group(1))
        plugin = re.search(r"/plugins/[^/]+/lib([^/]+)\.a\(", origin)
        if plugin and not archive.startswith("libQt6"):
            plugins.add(plugin.group(1))
    if "Qt Core" not in modules:
        raise NoticesError("the link map shows no Qt Core (libQt6Core.a) in the link")

    found = Contents(source["package"], source["version"], sorted(modules), sorted(plugins),
                     qt_source=source)
    found.runtimes = [runtimes[name] for name, *_ in RUNTIME_PIECES if name in runtimes]
    covered = set()
    keyed = []
    seen = set()
    for path in attribution_files(notices):
        hits, units = entries_taken(path, linked)
        covered |= units
        if not hits:
            continue
        where = os.path.relpath(path, notices)
        try:
            with open(path, encoding="utf-8") as file:
                document = json.loads(file.read(), strict=False)
        except ValueError as error:
            raise NoticesError(f"{where}: {error}") from None
        for index in hits:
            entry = document
            if isinstance(document, list):
                if index >= len(document):
                    raise NoticesError(f"{where} has no entry {index}")
                entry = document[index]
            library = Library(entry, os.path.dirname(path))
            if not library.get("Id") or not library.get("Name"):
                raise NoticesError(f"entry {index} of {where} has no Id or Name")
            if library.get("Id") in seen:
                continue
            seen.add(library.get("Id"))
            keyed.append((f"{library.get('Name').lower()}\t{len(keyed)}", library))

    unlisted = [item for unit, item in bundled if unit not in covered]
    if unlisted:
        shown = unlisted if len(unlisted) <= 6 else unlisted[:5] + [f"and {len(unlisted) - 5} more"]
        raise NoticesError("the link took code that Qt bundles but that no qt_attribution.json "
                           f"in {notices} covers: {', '.join(shown)}")
    found.libraries = [library for _, library in sorted(keyed, key=lambda item: item[0])]
    return found


def runtime_piece(origin, qt_prefix):
    """(name, licence, what) of the runtime piece `origin` belongs to; None
    for Kestrum's own objects, Qt's and Windows' import libraries. Any other
    file stops the notices: nothing unlisted may end up in the executable."""
    if not origin.startswith("/"):
        return None  # the build's own: Kestrum, its delay-load import libraries, the linker's
    path = os.path.realpath(re.sub(r"\([^()]*\)$", "", origin))
    if path.startswith(qt_prefix + "/"):
        return None
    for name, files, licence, what in RUNTIME_PIECES:
        if re.fullmatch(files, os.path.basename(path)):
            return name, licence, what
    library = re.fullmatch(r"lib\w+\.a", os.path.basename(path))
    if library and os.path.basename(os.path.dirname(path)) == "delay-load":
        return None  # the build's own delay-load import library, named in full by some generators
    if library and os.path.dirname(path) == MINGW_LIBRARIES:
        return None  # the import library of a Windows DLL
    raise NoticesError(f"the link took {origin}, which is neither Kestrum's, Qt's, a runtime's "
                       "nor a Windows import library; list it before it ships")


def attribution_files(notices):
    found = []
    for folder, _, files in os.walk(os.path.join(notices, "src")):
        if "qt_attribution.json" in files:
            found.append(os.path.join(folder, "qt_attribution.json"))
    if not found:
        raise NoticesError(f"{notices} holds no qt_attribution.json")
    return sorted(found)


def entries_taken(path, linked):
    """The entries of attribution file `path` whose code the link took (in
    the order the units file names them), and every unit it covers."""
    units_path = os.path.join(os.path.dirname(path), "qt_attribution.units")
    if not os.path.exists(units_path):
        raise NoticesError(f"{path} has no qt_attribution.units beside it; collect the Qt's "
                           "notices again")
    hits, units = [], set()
    for line in read_text(units_path).splitlines():
        match = re.fullmatch(r"([0-9]+) (.+)", line)
        if match:
            units.add(match.group(2))
            if match.group(2) in linked and int(match.group(1)) not in hits:
                hits.append(int(match.group(1)))
    return hits, units


def wrap(text, width=78):
    """Notepad does not wrap lines unless asked to, so prose is wrapped here."""
    lines, line = [], ""
    for word in text.split():
        if not line:
            line = word
        elif len(f"{line} {word}".encode()) > width:
            lines.append(line)
            line = word
        else:
            line += " " + word
    return "\n".join(lines + [line])


def library_section(library, printed):
    """One library's section; a licence text that already stood above is
    only referred to."""
    name = library.get("Name")
    text = f"\n\n{RULE}\n{name}\n{RULE}\n\n"
    if library.get("Version"):
        text += f"Version: {library.get('Version')}\n"
    licence, licence_id = library.get("License"), library.get("LicenseId")
    if not licence:
        licence = licence_id
    elif licence_id and licence_id != licence:
        licence += f" ({licence_id})"
    text += f"License: {licence}\n"
    if library.get("Copyright").strip():
        text += f"\n{library.get('Copyright').strip()}\n"
    for file in library.files("CopyrightFile") + library.files("LicenseFile") \
            + library.files("LicenseFiles"):
        path = os.path.join(library.folder, file)
        if not os.path.exists(path):
            raise NoticesError(f"the notices lack {os.path.normpath(path)}, named by {name}")
        body = read_text(path)
        digest = hashlib.sha256(body.encode()).hexdigest()
        if digest in printed:
            text += f"\n{os.path.basename(file)}: the same text as for {printed[digest]} above.\n"
        else:
            printed[digest] = name
            text += f"\n--- {os.path.basename(file)} ---\n\n{body}\n"
    return text


def runtime_section(runtime, printed):
    """One runtime piece's section, with the copyright file of the Debian
    package it came from (printed once)."""
    package = runtime.package
    text = (f"\n\n{RULE}\n{runtime.name}\n{RULE}\n\nVersion: {package.upstream}\n"
            f"License: {runtime.licence}\n\n")
    text += wrap(f"{runtime.what}, from the Debian package {package.name} {package.version}, "
                 "as the copyright file of that package states it.") + "\n"
    if runtime.licence == GCC_EXCEPTION:
        text += "\n" + wrap("The GCC Runtime Library Exception lets a program compiled with GCC "
                            "contain it under terms of the program's own choice.") + "\n"
    body = read_text(f"/usr/share/doc/{package.name}/copyright")
    digest = hashlib.sha256(body.encode()).hexdigest()
    if digest in printed:
        return text + f"\ncopyright: the same text as for {printed[digest]} above.\n"
    printed[digest] = runtime.name
    return text + f"\n--- copyright ---\n\n{body}\n"


def text(found, notices, version, repository=""):
    """The notices of Kestrum `version`, with LF line ends; `repository`
    is where Kestrum's source can be fetched, if it has a public home."""
    printed = {}
    listed = "".join(f"  - {library.get('Name')}\n" for library in found.libraries)
    listed += "".join(f"  - {runtime.name}\n" for runtime in found.runtimes)
    sections = "".join(library_section(library, printed) for library in found.libraries)
    sections += "".join(runtime_section(runtime, printed) for runtime in found.runtimes)
    qt = ", ".join(found.modules)
    if found.plugins:
        qt += "; plugins: " + ", ".join(found.plugins)
    upstream = found.qt_upstream
    about = wrap(f"Kestrum.exe is linked statically with Qt {upstream} ({qt}) and with the code "
                 "from other projects that Qt bundles and that the link put into it, so it is "
                 "based in part on the work of the authors of each component listed here:")
    licence = wrap("Each has its section below, with its copyright and license. Qt is Copyright "
                   "(C) The Qt Company Ltd. and other contributors, and Kestrum.exe uses it under "
                   "the GNU Lesser General Public License version 3 (LGPL v3), whose text "
                   "follows, with that of the GNU General Public License version 3 it builds on.")
    source = wrap(f"The Qt in Kestrum.exe was built from Debian's source package "
                  f"{found.qt_package}, version {found.qt_version}, which is also the source of "
                  "every component listed here. On a Debian system with source package entries "
                  "it is fetched with:")
    relink = wrap("Kestrum.exe can be rebuilt from Kestrum's own source with ./scripts/windows, "
                  "which builds that Qt statically for Windows first. To relink it with a "
                  "modified Qt instead, build that Qt statically with mingw-w64 and run, in "
                  "Kestrum's source:")
    where = f", and at {repository}" if repository else ""
    kestrum_source = wrap(
        f"Kestrum's complete source, from which this very Kestrum.exe and the zip it came in "
        f"are built, is published beside the zip as Kestrum-{version}-src.tar.gz{where}. "
        "Unpacked on Debian 12 with the package versions its BUILDINFO.txt names, "
        "./scripts/release builds that zip again byte for byte: the archive knows its commit "
        "and the time BUILDINFO.txt gives as SOURCE_DATE_EPOCH by itself.")
    lgpl = read_text(os.path.join(notices, "LICENSES", "LGPL-3.0-only.txt"))
    gpl = read_text(os.path.join(notices, "LICENSES", "GPL-3.0-only.txt"))
    return f"""Third-party software in Kestrum.exe
{RULE}

{about}

  - Qt {upstream}
{listed}
{licence}

{source}

    apt-get source {found.qt_package}={found.qt_version}

{relink}

    cmake --preset windows -DKESTRUM_WINDOWS_QT=<that Qt's install prefix>
    cmake --build --preset windows

The new Kestrum.exe is build/windows/Kestrum.exe.

{kestrum_source}


{RULE}
Qt {upstream}
{RULE}

License: GNU Lesser General Public License v3.0 only (LGPL-3.0-only)

--- LGPL-3.0-only.txt ---

{lgpl}

--- GPL-3.0-only.txt: the GNU General Public License v3.0, on which the LGPL v3 builds ---

{gpl}
{sections}"""
