"""THIRD-PARTY-NOTICES.txt of Kestrum.exe, which links Qt statically: Qt
and each library Qt bundles whose code the link took, with its copyright and
licence, and the mingw-w64 runtime.

What was collected from the Qt source (qtsource.py, kept with the cached Qt)
says which compiled files carry each library's code; the link map says which
of those files the link took. So the notices list what the executable
contains, no more and no less."""
import hashlib
import json
import os
import re
from dataclasses import dataclass, field

import linkmap

RULE = "=" * 80
BOM = "\ufeff"


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


@dataclass
class Contents:
    """What of Qt the link took."""
    qt_package: str
    qt_version: str  # of the Debian source package, "6.4.2+dfsg-10"
    modules: list  # "Qt Core", ...
    plugins: list  # "qwindows", ...
    libraries: list = field(default_factory=list)

    @property
    def qt_upstream(self):
        return re.match(r"[0-9][0-9.]*[0-9]", re.sub(r"^[0-9]+:", "", self.qt_version)).group(0)


def read_text(path):
    """A licence file's text: no byte-order mark, LF line ends, no blank end."""
    with open(path, encoding="utf-8") as file:
        text = file.read()
    return text.removeprefix(BOM).replace("\r\n", "\n").rstrip(" \t\n")


def contents(notices, link_map):
    """What the link took, from `notices`, the folder of attributions
    collected with the Qt, and the link's map."""
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
    for origin in link_map.origins():
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

    found = Contents(source["package"], source["version"], sorted(modules), sorted(plugins))
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


def text(found, notices, runtime_copyright=None):
    """The notices, with LF line ends."""
    printed = {}
    listed = "".join(f"  - {library.get('Name')}\n" for library in found.libraries)
    sections = "".join(library_section(library, printed) for library in found.libraries)
    if runtime_copyright:
        name = "mingw-w64 runtime and winpthreads"
        listed += f"  - {name}\n"
        sections += (f"\n\n{RULE}\n{name}\n{RULE}\n\n"
                     "The start-up code of the C runtime and the POSIX threads library of "
                     "mingw-w64, as the copyright file of the package they come from states "
                     f"them:\n\n{read_text(runtime_copyright)}\n")
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


{RULE}
Qt {upstream}
{RULE}

License: GNU Lesser General Public License v3.0 only (LGPL-3.0-only)

--- LGPL-3.0-only.txt ---

{lgpl}

--- GPL-3.0-only.txt: the GNU General Public License v3.0, on which the LGPL v3 builds ---

{gpl}
{sections}"""
