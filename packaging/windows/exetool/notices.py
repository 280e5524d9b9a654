"""THIRD-PARTY-NOTICES.txt of Kestrum.exe: what the link took, as components.py reads it, no more
and no less, each with its copyright and licence (README.md, "What Kestrum.exe carries")."""
import hashlib
import os

from components import GCC_EXCEPTION, ComponentError, read_text

RULE = "=" * 80


def wrap(text, width=78):
    """Notepad does not wrap lines unless asked to, so prose is wrapped here."""
    lines = [""]
    for word in text.split():
        if lines[-1] and len(f"{lines[-1]} {word}".encode()) > width:
            lines.append(word)
        else:
            lines[-1] = f"{lines[-1]} {word}".lstrip()
    return "\n".join(lines)


def library_section(library, printed):
    """One library's section, as its qt_attribution.json entry gives it."""
    name = library.get("Name")
    text = f"\n\n{RULE}\n{name}\n{RULE}\n\n"
    if library.get("Version"):
        text += f"Version: {library.get('Version')}\n"
    licence, licence_id = library.get("License"), library.get("LicenseId")
    if licence and licence_id and licence_id != licence:
        licence += f" ({licence_id})"
    text += f"License: {licence or licence_id}\n"
    if library.get("Copyright").strip():
        text += f"\n{library.get('Copyright').strip()}\n"
    for file in library.files("CopyrightFile") + library.files("LicenseFile") \
            + library.files("LicenseFiles"):
        path = os.path.join(library.folder, file)
        if not os.path.exists(path):
            raise ComponentError(f"the notices lack {os.path.normpath(path)}, named by {name}")
        text += licence_text(os.path.basename(file), read_text(path), name, printed)
    return text


def licence_text(title, body, owner, printed):
    """A licence or copyright file's text, or, where the same text already
    stood above, a reference to it."""
    digest = hashlib.sha256(body.encode()).hexdigest()
    if digest in printed:
        return f"\n{title}: the same text as for {printed[digest]} above.\n"
    printed[digest] = owner
    return f"\n--- {title} ---\n\n{body}\n"


def runtime_section(runtime, printed):
    """One runtime piece's section, with its Debian package's copyright file."""
    package = runtime.package
    text = (f"\n\n{RULE}\n{runtime.name}\n{RULE}\n\nVersion: {package.upstream}\n"
            f"License: {runtime.licence}\n\n")
    text += wrap(f"{runtime.what}, from the Debian package {package.name} {package.version}, "
                 "as the copyright file of that package states it.") + "\n"
    if runtime.licence == GCC_EXCEPTION:
        text += "\n" + wrap("The GCC Runtime Library Exception lets a program compiled with GCC "
                            "contain it under terms of the program's own choice.") + "\n"
    return text + licence_text("copyright", read_text(f"/usr/share/doc/{package.name}/copyright"),
                               runtime.name, printed)


def text(found, notices, version, repository=""):
    """The notices of Kestrum `version`, with LF line ends; `repository`
    is where Kestrum's source can be fetched, if it has a public home."""
    printed = {}
    listed = "".join(f"  - {library.get('Name')}\n" for library in found.libraries)
    listed += "".join(f"  - {runtime.name}\n" for runtime in found.runtimes)
    sections = "".join(library_section(library, printed) for library in found.libraries)
    sections += "".join(runtime_section(runtime, printed) for runtime in found.runtimes)
    qt = ", ".join(found.modules) + ("; plugins: " + ", ".join(found.plugins)
                                     if found.plugins else "")
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
                  "Kestrum's source (the first command collects the notices of that Qt):")
    where = f", and at {repository}" if repository else ""
    kestrum_source = wrap(
        f"Kestrum's complete source, from which this very Kestrum.exe and the zip it came in "
        f"are built, is published beside the zip as Kestrum-{version}-src.tar.gz{where}. "
        "Unpacked on Debian 12 with the package versions its BUILDINFO.txt names, "
        "./scripts/release builds that zip again byte for byte: the archive knows its commit "
        "and the time BUILDINFO.txt gives as SOURCE_DATE_EPOCH by itself.")
    return f"""Third-party software in Kestrum.exe
{RULE}

{about}

  - Qt {upstream}
{listed}
{licence}

{source}

    apt-get source {found.qt_package}={found.qt_version}

{relink}

    python3 packaging/windows/exetool/qtsource.py <that Qt's source> <its build> <its install prefix>/notices
    cmake --preset windows -DKESTRUM_WINDOWS_QT=<its install prefix>
    cmake --build --preset windows

The new Kestrum.exe is build/windows/Kestrum.exe.

{kestrum_source}


{RULE}
Qt {upstream}
{RULE}

License: GNU Lesser General Public License v3.0 only (LGPL-3.0-only)

--- LGPL-3.0-only.txt ---

{read_text(os.path.join(notices, "LICENSES", "LGPL-3.0-only.txt"))}

--- GPL-3.0-only.txt: the GNU General Public License v3.0, on which the LGPL v3 builds ---

{read_text(os.path.join(notices, "LICENSES", "GPL-3.0-only.txt"))}
{sections}"""
