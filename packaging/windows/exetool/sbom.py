"""Kestrum's bill of materials, CycloneDX 1.6 JSON, from components.py as the notices are, so the
two never disagree (README.md, "Package"). A component whose version or licence is not known
stops it: a bill with a gap helps nobody who scans it."""
import datetime
import functools
import hashlib
import json
import os
import re
import urllib.parse
import uuid

from components import ComponentError

QT_LICENCE = "LGPL-3.0-only"
# CycloneDX's schemas as CycloneDX's JavaScript library (version 10.3.0, Apache
# 2.0: cyclonedx/LICENSE and cyclonedx/NOTICE) ships them for offline use: the
# official 1.6 schema with the changes that library lists (the files'
# references to each other renamed, "version" not required, an unknown
# "format" dropped). Its SPDX list also gives the bill its licence ids.
SCHEMAS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "cyclonedx")


@functools.cache
def spdx_ids():
    """The licence and exception identifiers SPDX lists."""
    with open(os.path.join(SCHEMAS, "spdx.SNAPSHOT.schema.json"), encoding="utf-8") as file:
        return frozenset(json.load(file)["enum"])


def spdx_expression(text):
    """`text`, a licence as Qt's attributions write it, as an SPDX licence
    expression: operators in capitals, and a name SPDX does not list (such as
    "Public Domain") as a LicenseRef of its own."""
    parts = []
    operators = r"\s*(\(|\)|(?<![\w.+-])(?:AND|OR|WITH)(?![\w.+-]))\s*"
    for token in re.split(operators, text.strip(), flags=re.IGNORECASE):
        if token.upper() in ("AND", "OR", "WITH", "(", ")"):
            parts.append(token.upper())
        elif token:
            listed = token in spdx_ids() or token.startswith("LicenseRef-")
            parts.append(token if listed else
                         "LicenseRef-" + re.sub(r"[^A-Za-z0-9.]+", "-", token).strip("-"))
    return " ".join(parts).replace("( ", "(").replace(" )", ")")


def licences(text):
    """CycloneDX's licence choice: one listed licence by its id (which the
    schema checks), anything else as an expression."""
    expression = spdx_expression(text)
    return [{"license": {"id": expression}} if expression in spdx_ids() else
            {"expression": expression}]


def debian_purl(source, version, distro):
    return (f"pkg:deb/debian/{source}@{urllib.parse.quote(version, safe='.-_~')}"
            f"?arch=source&distro={distro}")


def references(*pairs):
    return [{"type": kind, "url": url} for kind, url in pairs if url]


def qt_parts(found):
    return found.modules + [f"{plugin} plugin" for plugin in found.plugins]


def library_version(library, found):
    """A bundled library's own version, or the version of the Qt source
    package that holds the copy of one without, and whether it was its own."""
    version = library.get("Version").strip()
    return (version, True) if version else (found.qt_version, False)


def component(ref, name, version, licence, purl, kind="library", **more):
    """A component as Debian supplied it."""
    return {"type": kind, "bom-ref": ref, "name": name, "version": version,
            "supplier": {"name": "Debian"}, "licenses": licences(licence), "purl": purl, **more}


def qt_component(found, distro):
    """Qt as linked: its modules and plugins as parts of it."""
    purl = debian_purl(found.qt_package, found.qt_version, distro)
    source = found.qt_source
    return component(
        "qt", "Qt", found.qt_upstream, QT_LICENCE, purl, "framework",
        manufacturer={"name": "The Qt Company"},
        description=f"Qt from Debian's source package {found.qt_package} {found.qt_version}, "
                    "linked statically",
        externalReferences=references(("website", source.get("homepage")),
                                      ("vcs", source.get("vcs")),
                                      ("source-distribution", source.get("dsc"))),
        components=[component(f"qt:{name}", name, found.qt_upstream, QT_LICENCE, purl)
                    for name in qt_parts(found)])


def bundled_component(library, found, distro):
    """A library Qt bundles, as its attribution describes it. One without a
    version of its own is the copy in Qt's source package, and named so."""
    name, (version, own) = library.get("Name").strip(), library_version(library, found)
    licence = library.get("LicenseId").strip() or library.get("License").strip()
    if not licence:
        raise ComponentError(f"the bill of materials needs the licence of {name}, which Qt "
                             "bundles, but its qt_attribution.json gives none")
    if own:
        purl = (f"pkg:generic/{urllib.parse.quote(library.get('Id'))}"
                f"@{urllib.parse.quote(version, safe='.-_~')}")
        description = f"Bundled with Qt in {found.qt_package} {found.qt_version}"
    else:
        purl = f"{debian_purl(found.qt_package, found.qt_version, distro)}#{library.where}"
        description = (f"No version of its own: the copy in {library.where} of "
                       f"{found.qt_package} {found.qt_version}")
    statement = library.get("Copyright").strip()
    return component(f"qt:{library.get('Id')}", name, version, licence, purl,
                     description=description, externalReferences=references(
                         ("website", library.get("Homepage")),
                         ("distribution", library.get("DownloadLocation")),
                         ("source-distribution", found.qt_source.get("dsc"))),
                     **({"copyright": statement} if statement else {}))


def runtime_component(runtime, distro):
    package = runtime.package
    return component(f"runtime:{runtime.name}", runtime.name, package.upstream, runtime.licence,
                     debian_purl(package.source, package.source_version, distro),
                     description=f"{runtime.what}, from the Debian package {package.name} "
                                 f"{package.version}")


def bill(found, version, exe, epoch, distro, source_archive="", repository=""):
    """The bill of materials of Kestrum.exe (its bytes `exe`) as a dict.
    `source_archive`: the file name of Kestrum's source archive, published
    beside the zip (SHA256SUMS gives its digest); none for a build of
    uncommitted changes."""
    links = references(("vcs", repository), ("source-distribution", source_archive))
    kestrum = {"type": "application", "bom-ref": "kestrum", "name": "Kestrum",
               "version": version, "supplier": {"name": "Kestrum"},
               "description": "Writes a version resource script for a Windows program",
               "hashes": [{"alg": "SHA-512", "content": hashlib.sha512(exe).hexdigest()}],
               "properties": [{"name": "kestrum:file", "value": "Kestrum.exe"}],
               **({"externalReferences": links} if links else {})}
    bundled = [bundled_component(library, found, distro) for library in found.libraries]
    runtimes = [runtime_component(runtime, distro) for runtime in found.runtimes]
    when = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    head = {"bomFormat": "CycloneDX", "specVersion": "1.6"}
    document = {
        "version": 1,
        "metadata": {
            "timestamp": when.strftime("%Y-%m-%dT%H:%M:%SZ"), "lifecycles": [{"phase": "build"}],
            "tools": {"components": [{"type": "application", "name": "exetool", "version": version,
                                      "description": "Kestrum's packaging/windows/exetool"}]},
            "authors": [{"name": "Kestrum"}], "manufacturer": {"name": "Kestrum"},
            "component": kestrum},
        "components": [qt_component(found, distro)] + bundled + runtimes,
        "dependencies": [
            {"ref": "kestrum", "dependsOn": ["qt"] + [c["bom-ref"] for c in runtimes]},
            {"ref": "qt", "dependsOn": [c["bom-ref"] for c in bundled]},
            *({"ref": c["bom-ref"]} for c in bundled + runtimes)]}
    # The same contents give the same serial number, so the bill is as
    # reproducible as what it describes.
    canonical = json.dumps({**head, **document}, sort_keys=True).encode()
    serial = uuid.uuid5(uuid.NAMESPACE_URL, "kestrum-sbom:" + hashlib.sha256(canonical).hexdigest())
    return {**head, "serialNumber": serial.urn, **document}


def debian_distro(os_release="/etc/os-release"):
    """"debian-12", as package URLs name Debian 12."""
    with open(os_release, encoding="utf-8") as file:
        fields = dict(line.rstrip("\n").split("=", 1) for line in file if "=" in line)
    version = fields.get("VERSION_ID", "").strip('"')
    if fields.get("ID") != "debian" or not re.fullmatch(r"[0-9]+", version):
        raise ComponentError(f"{os_release} does not name a Debian release")
    return f"debian-{version}"
