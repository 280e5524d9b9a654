"""Collects, with a static Qt that was just built, what the notices of a
program linked against it need once the Qt source is gone: the Debian source
package it came from, Qt's licence texts, and every qt_attribution.json under
src/ with the files it names and, beside it, the compiled objects whose code
each of its entries covers: those for which the compiler read one of the
entry's files (ninja records what each compile read), or a resource object
was made from one. So code #included into Qt's own files counts, and copies
the build never compiled do not. collected() reads it back: this is the one
module that knows the attribution files."""
import json
import os
import re
import shutil
import subprocess
import tempfile
from dataclasses import dataclass

SKIPPED_FOLDERS = {"tests", "examples"}

README = """Collected by packaging/windows/exetool from the source and the build of
{package} {version}, for Kestrum.exe's third-party notices: qt-source (where the
source package came from), LICENSES/, and each src/**/qt_attribution.json with
the files it names and qt_attribution.units beside it: "<entry> <object>" lines,
the objects whose code entry <entry> (counted from 0) covers.
"""


class CollectError(Exception):
    pass


def source_package(source):
    """("qt6-base", "6.4.2+dfsg-10") from the package's changelog, whose first
    line is "qt6-base (6.4.2+dfsg-10) unstable; urgency=medium"."""
    try:
        with open(os.path.join(source, "debian", "changelog"), encoding="utf-8") as file:
            first = file.readline()
    except OSError:
        raise CollectError(f"{source}/debian/changelog is missing") from None
    match = re.match(r"([a-z0-9][a-z0-9.+-]*) \(([0-9][A-Za-z0-9.+~:-]*)\)", first)
    if not match:
        raise CollectError(f"cannot read the package and version from {source}/debian/changelog")
    return match.group(1), match.group(2)


def attribution_files(source):
    found = []
    for folder, subfolders, files in os.walk(os.path.join(source, "src")):
        subfolders[:] = [name for name in subfolders if name not in SKIPPED_FOLDERS
                         and not (name == "snippets" and os.path.basename(folder) == "doc")]
        if "qt_attribution.json" in files:
            found.append(os.path.relpath(os.path.join(folder, "qt_attribution.json"), source))
    if not found:
        raise CollectError(f"no qt_attribution.json under {source}/src")
    return sorted(found)


def named_files(entry, key):
    """The files an entry names under `key`: one name, several separated by
    blanks or commas, or a JSON array of them."""
    value = entry.get(key)
    if value is None:
        return []
    text = value if isinstance(value, str) else json.dumps(value)
    return [name for name in re.split(r"[][\" ,\t\r\n]+", text) if name]


def read_attribution(source, path):
    try:
        with open(os.path.join(source, path), encoding="utf-8") as file:
            document = json.loads(file.read(), strict=False)
    except ValueError as error:
        raise CollectError(f"cannot read {path}: {error}") from None
    return document if isinstance(document, list) else [document]


def inside(source, folder, name):
    """`name` relative to `folder`, as a path relative to the source root."""
    return os.path.relpath(os.path.normpath(os.path.join(source, folder, name)), source)


def copy_into(source, out, path):
    os.makedirs(os.path.join(out, os.path.dirname(path)), exist_ok=True)
    shutil.copyfile(os.path.join(source, path), os.path.join(out, path))


def read_files(build):
    """{object: [every file it was made from]}, from ninja's records of what
    each compile read and of what each resource object was made of."""
    def ninja(*arguments):
        return subprocess.run(["ninja", "-C", build, "-t", *arguments], check=True,
                              capture_output=True, text=True).stdout

    read = {}
    current = None
    for line in ninja("deps").splitlines():
        if line and not line[0].isspace():
            current = read.setdefault(line.split(":")[0], [])
        elif line.strip() and current is not None:
            current.append(line.strip())
    for line in ninja("targets", "all").splitlines():
        match = re.match(r"(.*qrc_[^:]*\.cpp\.obj): ", line)
        if match:
            read.setdefault(match.group(1), []).extend(ninja("inputs", match.group(1)).split())
    return read


def package_addresses(source):
    """The source package's homepage and version control, as its
    debian/control names them."""
    fields = {}
    with open(os.path.join(source, "debian", "control"), encoding="utf-8") as file:
        for line in file:
            if not line.strip():
                break  # the source package's own paragraph ends
            key, _, value = line.partition(":")
            fields[key.lower()] = value.strip()
    return [("homepage", fields.get("homepage")), ("vcs", fields.get("vcs-git"))]


def collect(source, build, destination, dsc=None):
    """`dsc`: the address the source package's .dsc was fetched from."""
    source, build = os.path.abspath(source), os.path.abspath(build)
    destination = os.path.abspath(destination)
    if not (os.path.isdir(os.path.join(source, "src"))
            and os.path.isdir(os.path.join(source, "LICENSES"))):
        raise CollectError(f"{source} is not a Qt source tree (no src/ or LICENSES/)")
    if not os.path.exists(os.path.join(build, "build.ninja")):
        raise CollectError(f"{build} is not a ninja build of Qt")
    if os.path.exists(destination):
        raise CollectError(f"{destination} already exists")
    package, version = source_package(source)
    os.makedirs(os.path.dirname(destination), exist_ok=True)
    out = tempfile.mkdtemp(prefix=".qt-notices.", dir=os.path.dirname(destination))
    try:
        with open(os.path.join(out, "qt-source"), "w") as file:
            file.write(f"package {package}\nversion {version}\n")
            for key, value in [*package_addresses(source), ("dsc", dsc)]:
                if value:
                    file.write(f"{key} {value}\n")
        for name in sorted(os.listdir(os.path.join(source, "LICENSES"))):
            if name.endswith(".txt"):
                copy_into(source, out, os.path.join("LICENSES", name))

        covered = {}  # source path: [(attribution file, entry)]
        for path in attribution_files(source):
            copy_into(source, out, path)
            folder = os.path.dirname(path)
            for index, entry in enumerate(read_attribution(source, path)):
                for key in ["LicenseFile", "LicenseFiles", "CopyrightFile"]:
                    for name in named_files(entry, key):
                        named = inside(source, folder, name)
                        if named.startswith("../") or not os.path.isfile(
                                os.path.join(source, named)):
                            raise CollectError(f"{path} names {name}, which is not in the source")
                        copy_into(source, out, named)
                parts = named_files(entry, "Files") + named_files(entry, "Path")
                for part in [inside(source, folder, name) for name in parts] or [folder]:
                    covered.setdefault(part, []).append((path, index))

        units = {path: set() for path in attribution_files(source)}
        for obj, files in read_files(build).items():
            unit = re.sub(r"\.obj$", "", os.path.basename(obj))
            for file in files:
                relative = os.path.relpath(os.path.normpath(os.path.join(build, file)), source)
                # A folder an entry names covers everything under it.
                while relative not in ("", ".") and not relative.startswith(".."):
                    for path, index in covered.get(relative, []):
                        units[path].add(f"{index} {unit}")
                    relative = os.path.dirname(relative)
        for path, lines in units.items():
            with open(os.path.join(out, os.path.dirname(path), "qt_attribution.units"), "w") as file:
                file.writelines(f"{line}\n" for line in sorted(lines))
        with open(os.path.join(out, "README"), "w") as file:
            file.write(README.format(package=package, version=version))
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(out, 0o777 & ~umask)
        os.rename(out, destination)
    except BaseException:
        shutil.rmtree(out, ignore_errors=True)
        raise


@dataclass
class Library:
    """A library Qt bundles, as its qt_attribution.json entry describes it."""
    entry: dict
    folder: str  # where the files the entry names lie
    where: str  # that folder in Qt's source, "src/3rdparty/zlib"

    def get(self, key):
        value = self.entry.get(key, "")
        return value if isinstance(value, str) else json.dumps(value)

    def files(self, key):
        return named_files(self.entry, key)


def collected(notices):
    """What collect() wrote to `notices`, read back: each attribution file's
    path, its entries and the (entry, unit) pairs of its .units, in order."""
    for path in attribution_files(notices):
        folder = os.path.dirname(path)
        try:
            with open(os.path.join(notices, folder, "qt_attribution.units"), encoding="utf-8") as file:
                units = re.findall(r"^([0-9]+) (.+)$", file.read(), re.MULTILINE)
        except FileNotFoundError:
            raise CollectError(f"{path} has no qt_attribution.units beside it; collect the Qt's "
                               "notices again") from None
        yield path, [Library(entry, os.path.join(notices, folder), folder)
                     for entry in read_attribution(notices, path)], \
            [(int(index), unit) for index, unit in units]


if __name__ == "__main__":
    # Run by static-qt.sh by itself, so that only this file is part of the
    # static Qt's recipe.
    import sys
    if len(sys.argv) not in (4, 5):
        sys.exit("usage: qtsource.py <qt-source-dir> <qt-build-dir> <destination-dir> [<.dsc address>]")
    try:
        collect(*sys.argv[1:])
    except (CollectError, OSError, subprocess.CalledProcessError) as error:
        sys.exit(f"qtsource.py: {error}")
