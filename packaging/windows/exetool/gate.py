"""The release gate: what Kestrum.exe must be before it ships, read from the
file itself. Each check that fails gives one line, starting with the name
of what is wrong."""
import datetime
import os
import re

import pe

# Kestrum.exe's subsystem version: Windows 8 (6.2), the oldest that Qt 6's
# Windows 10 and 11 both report as compatible.
SUBSYSTEM_VERSION = (6, 2)

# Names that say nothing about a machine: too common or too short to count.
COMMON_NAMES = {"root", "user", "admin", "build", "builder", "runner", "test", "debian", "ubuntu",
                "guest", "docker", "localhost", "local", "kestrum"}


def check(data, delay_loaded, known_dlls, machine=None, link_map=None):
    """The failures of executable `data`: `delay_loaded` is the list of DLLs
    the build declares loaded on first use, `known_dlls` Windows' KnownDLLs,
    `machine` the paths and names of the machine that built it and
    `link_map` its link's map, if at hand."""
    try:
        image = pe.Image(data)
        failures = headers(image) + tables(image, delay_loaded, known_dlls)
    except pe.PeError as error:
        return [f"PE file: {error}"]
    if machine:
        failures += traces(data, *machine)
    if link_map:
        failures += stack_protector(link_map)
    return failures


def headers(image):
    failures = []
    for flag, name in [(pe.DYNAMIC_BASE, "ASLR (DYNAMIC_BASE)"),
                       (pe.HIGH_ENTROPY_VA, "high-entropy ASLR (HIGH_ENTROPY_VA)"),
                       (pe.NX_COMPAT, "DEP (NX_COMPAT)")]:
        if not image.dll_characteristics & flag:
            failures.append(f"{name}: the header's DllCharacteristics lack it")
    if image.characteristics & pe.RELOCS_STRIPPED or not image.directory(pe.BASE_RELOCATION)[1]:
        failures.append("relocation table: none, so the loader cannot move the image")
    if image.time_stamp:
        when = datetime.datetime.fromtimestamp(image.time_stamp, datetime.timezone.utc)
        failures.append(f"time stamp: {image.time_stamp:#x} ({when:%Y-%m-%d %H:%M:%S} UTC), not 0")
    computed = pe.checksum(image.data, image.checksum_offset)
    if image.checksum != computed:
        failures.append(f"checksum: the header says {image.checksum:#x}, the file sums to "
                        f"{computed:#x}")
    if image.subsystem_version != SUBSYSTEM_VERSION:
        failures.append("subsystem: version {}.{}, not {}.{}".format(*image.subsystem_version,
                                                                   *SUBSYSTEM_VERSION))
    if len(image.data) % 8:
        failures.append(f"length: {len(image.data)} bytes, not a multiple of 8, so a signature "
                        "could not be attached and removed exactly")
    return failures


def tables(image, delay_loaded, known_dlls):
    failures = []
    flags = image.dependent_load_flags()
    if not image.directory(pe.LOAD_CONFIG)[0]:
        failures.append("load configuration: the PE header points to none")
    elif flags != pe.LOAD_LIBRARY_SEARCH_SYSTEM32:
        found = "absent" if flags is None else f"{flags:#x}"
        failures.append(f"DependentLoadFlags: {found}, not LOAD_LIBRARY_SEARCH_SYSTEM32 "
                        f"({pe.LOAD_LIBRARY_SEARCH_SYSTEM32:#x})")

    lazy = {dll_stem(name) for name in image.delay_imports()}
    declared = {dll_stem(name) for name in delay_loaded}
    if not image.directory(pe.DELAY_IMPORT)[0]:
        failures.append("delay-import table: the PE header points to none")
    elif lazy != declared:
        extra = ", ".join(sorted(lazy - declared)) or "none"
        missing = ", ".join(sorted(declared - lazy)) or "none"
        failures.append(f"delay-import table: not the declared list (also loaded on first use: "
                        f"{extra}; declared but not: {missing})")

    known = {dll_stem(name) for name in known_dlls}
    for name in image.imports():
        stem = dll_stem(name)
        if stem not in known and not stem.startswith("api-ms-win-"):
            failures.append(f"{name}: imported directly, but not one of Windows' KnownDLLs or an "
                            "API set, so Windows would look for it beside the program first")
    return failures


def dll_stem(name):
    name = name.lower()
    return name[:-4] if name.endswith(".dll") else name


def traces(data, paths, names):
    """Where the file names one of `paths` as a whole path name, or one of
    `names` as a whole word, in 8-bit or UTF-16 text."""
    failures = []
    path_inside = re.compile(r"[A-Za-z0-9._~+-]")
    word_inside = re.compile(r"[A-Za-z0-9_]")
    needles = [(path.rstrip("/"), path_inside) for path in paths if path.strip("/")]
    needles += [(name, word_inside) for name in names]
    for needle, inside in needles:
        for context in whole_occurrences(data, needle, inside)[:3]:
            failures.append(f"path: the file names {needle!r} (in {context!r})")
    return failures


def whole_occurrences(data, needle, inside):
    found = []
    for encoding, unit in [("latin-1", 1), ("utf-16-le", 2)]:
        encoded = needle.encode(encoding)
        at = data.find(encoded)
        while at >= 0:
            before = data[max(at - unit, 0):at].decode(encoding, "replace")
            after = data[at + len(encoded):at + len(encoded) + unit].decode(encoding, "replace")
            if not inside.fullmatch(before or "/") and not inside.fullmatch(after or "/"):
                start, end = max(at - 40 * unit, 0), at + len(encoded) + 40 * unit
                start -= (start - at) % unit
                found.append(data[start:end].decode(encoding, "replace").strip("\0"))
            at = data.find(encoded, at + 1)
    return found


def this_machine(root, extra_paths=()):
    """The paths and names that must not end up in what this machine builds:
    the home, the checkout, the caches, the user and the host, and today's
    date as __DATE__ and ISO 8601 write it."""
    home = os.path.expanduser("~")
    cache = os.environ.get("XDG_CACHE_HOME") or os.path.join(home, ".cache")
    paths = {home, cache, root, os.path.realpath(root), *extra_paths,
             *(os.path.realpath(path) for path in extra_paths)}
    today = datetime.date.today()
    names = {today.strftime("%b ") + f"{today.day:2} " + today.strftime("%Y"), today.isoformat()}
    for name in (os.environ.get("USER") or _user(), os.uname().nodename):
        if name and len(name) > 3 and name.lower() not in COMMON_NAMES:
            names.add(name)
    return sorted(paths), sorted(names)


def _user():
    import pwd
    return pwd.getpwuid(os.getuid()).pw_name


def stack_protector(link_map):
    """Stack canaries leave no trace in a stripped file; the link map shows
    whether GCC's handler of a smashed canary was linked, which it is only
    when compiled code checks canaries."""
    linked = any(piece.origin.endswith("libssp.a(ssp.o)") for piece in link_map.pieces)
    if linked and "__stack_chk_fail" in link_map.symbols:
        return []
    return ["stack protector: the link took no __stack_chk_fail from libssp.a, so no code checks "
            "a stack canary"]
