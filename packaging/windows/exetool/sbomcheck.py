"""Checks of the bill of materials as it ships: against CycloneDX's JSON
schema (offline, with Debian's python3-jsonschema), against what the link took
and against Kestrum.exe."""
import hashlib
import json
import os
import pathlib
import urllib.parse

import sbom


def validate(document):
    """One line for each way `document` breaks the CycloneDX 1.6 schema."""
    try:
        import jsonschema
    except ImportError:
        return ["schema: python3-jsonschema is not installed (scripts/deps test installs it)"]
    schemas = {name: json.loads(pathlib.Path(sbom.SCHEMAS, name).read_text(encoding="utf-8"))
               for name in sorted(os.listdir(sbom.SCHEMAS)) if name.endswith(".schema.json")}
    bom = schemas["bom-1.6.SNAPSHOT.schema.json"]
    # The bill's schema refers to the others by file name, next to its own $id.
    store = {urllib.parse.urljoin(bom["$id"], name): schema for name, schema in schemas.items()}
    validator = jsonschema.Draft7Validator(
        bom, resolver=jsonschema.RefResolver.from_schema(bom, store=store),
        format_checker=jsonschema.FormatChecker())
    return [f"schema: /{'/'.join(map(str, error.absolute_path))}: {error.message}"
            for error in sorted(validator.iter_errors(document), key=str)]


def expected(found):
    """{name: version} of each component the bill must list for what the
    link took, Qt's parts among them."""
    return {"Qt": found.qt_upstream, **{name: found.qt_upstream for name in sbom.qt_parts(found)},
            **{library.get("Name").strip(): sbom.library_version(library, found)[0]
               for library in found.libraries},
            **{runtime.name: runtime.package.upstream for runtime in found.runtimes}}


def agree(document, found, exe):
    """One line for each way the bill differs from `found`, what the link
    took, and from Kestrum.exe's bytes `exe`, each naming the component."""
    failures = []
    kestrum = document.get("metadata", {}).get("component", {})
    hashes = {h["alg"]: h["content"] for h in kestrum.get("hashes", [])}
    if hashes.get("SHA-512") != hashlib.sha512(exe).hexdigest():
        failures.append("Kestrum.exe: its SHA-512 is not the one the bill gives")
    billed, parents = {}, [document]
    while parents:
        for component in parents.pop().get("components", []):
            billed[component.get("name")] = component.get("version")
            parents.append(component)
    wanted = expected(found)
    for name in sorted(set(wanted) | set(billed), key=str):
        if name not in billed:
            failures.append(f"{name}: the link took it, the bill does not list it")
        elif name not in wanted:
            failures.append(f"{name}: the bill lists it, the link did not take it")
        elif billed[name] != wanted[name]:
            failures.append(f"{name}: version {billed[name]} in the bill, {wanted[name]} as linked")
    return failures


def check(document, found, exe):
    """The schema's failures or, when it holds (what breaks it may lack what
    the comparison reads), the comparison's."""
    return validate(document) or agree(document, found, exe)
