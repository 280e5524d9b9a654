"""Checks of the bill of materials as it ships: against CycloneDX's own
JSON schema (Debian's python3-jsonschema, offline, with the schemas in
packaging/windows/cyclonedx/), against THIRD-PARTY-NOTICES.txt (the same
components at the same versions) and against Kestrum.exe (its SHA-512)."""
import hashlib
import json
import os
import re
import urllib.parse

from sbom import SCHEMAS

RULE = "=" * 80


def validate(document):
    """One line for each way `document` breaks the CycloneDX 1.6 schema."""
    try:
        import jsonschema
    except ImportError:
        return ["schema: python3-jsonschema is not installed (scripts/deps test installs it)"]
    schemas = {}
    for name in sorted(os.listdir(SCHEMAS)):
        if name.endswith(".schema.json"):
            with open(os.path.join(SCHEMAS, name), encoding="utf-8") as file:
                schemas[name] = json.load(file)
    bom = schemas["bom-1.6.SNAPSHOT.schema.json"]
    # The bill's schema refers to the others by file name, next to its own $id.
    store = {urllib.parse.urljoin(bom["$id"], name): schema for name, schema in schemas.items()}
    validator = jsonschema.Draft7Validator(
        bom, resolver=jsonschema.RefResolver.from_schema(bom, store=store),
        format_checker=jsonschema.FormatChecker())
    return [f"schema: /{'/'.join(map(str, error.absolute_path))}: {error.message}"
            for error in sorted(validator.iter_errors(document), key=str)]


def listed_in_notices(text):
    """{name: version or None} of each component the notices list, and the
    version of Qt's source package they name."""
    text = text.replace("\r\n", "\n")
    listed = re.search(r"listed here:\n\n((?:  - .*\n)+)", text)
    names = [line[4:] for line in listed.group(1).splitlines()] if listed else []
    versions = {}
    for name in names:
        section = re.search(rf"\n{RULE}\n{re.escape(name)}\n{RULE}\n\n(?:Version: (.*)\n)?", text)
        versions[name] = section.group(1) if section else None
    package = re.search(r"apt-get source [^=\s]+=(\S+)", text)
    return versions, package.group(1) if package else None


def agree(document, notices_text, exe):
    failures = []
    hashes = {h["alg"]: h["content"] for h in document["metadata"]["component"].get("hashes", [])}
    if hashes.get("SHA-512") != hashlib.sha512(exe).hexdigest():
        failures.append("Kestrum.exe: its SHA-512 is not the one the bill gives")
    versions, qt_package_version = listed_in_notices(notices_text)
    billed = {c["name"]: c["version"] for c in document["components"]}
    qt = billed.pop("Qt", None)
    if f"Qt {qt}" not in versions:
        failures.append(f"Qt: the bill has version {qt}, the notices list "
                        f"{[name for name in versions if name.startswith('Qt ')]}")
    versions = {name: version for name, version in versions.items() if not name.startswith("Qt ")}
    for name in sorted(set(versions) ^ set(billed)):
        where = "the notices" if name in versions else "the bill"
        failures.append(f"{name}: only {where} list it")
    for name in sorted(set(versions) & set(billed)):
        wanted = versions[name] or qt_package_version
        if billed[name] != wanted:
            failures.append(f"{name}: version {billed[name]} in the bill, {wanted} in the notices")
    return failures
