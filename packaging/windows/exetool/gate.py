"""The release gate (README.md, "Check"): what Kestrum.exe must be before it ships, read from the
file itself; each check that fails gives one line, starting with the name of what is wrong."""
import datetime
import os
import pwd
import re
import struct
import time

import pe

# Kestrum.exe's subsystem version: Windows 8 (6.2), the oldest that Qt 6's
# Windows 10 and 11 both report as compatible.
SUBSYSTEM_VERSION = (6, 2)

# Names that say nothing about a machine: too common or too short to count.
COMMON_NAMES = {"root", "user", "admin", "build", "builder", "runner", "test", "debian", "ubuntu",
                "guest", "docker", "localhost", "local", "kestrum"}


def check(data, delay_loaded, known_dlls, machine=None, link_map=None, only=None):
    """The failures of executable `data`: `delay_loaded` is the list of DLLs
    the build declares loaded on first use, `known_dlls` Windows' KnownDLLs,
    `machine` the paths and names of the machine that built it and
    `link_map` its link's map, if at hand; `only` the CHECKS to run, by name."""
    if set(only or ()) - set(dict(CHECKS)):
        raise ValueError(f"the gate has no check {sorted(set(only) - set(dict(CHECKS)))}")
    failures = []
    try:
        image = pe.Image(data)
        for name, test in CHECKS:
            if only is None or name in only:
                found = test(image, delay_loaded=delay_loaded, known_dlls=known_dlls,
                             machine=machine, link_map=link_map)
                failures += [f"{name}: {found}"] if isinstance(found, str) else found or []
    except pe.PeError as error:
        return [f"PE file: {error}"]
    except struct.error:  # a data directory or section header past the end of the file
        return ["PE file: its headers are cut short"]
    return failures


def lacks(flag):
    return lambda image, **_: (not image.dll_characteristics & flag
                               and "the header's DllCharacteristics lack it")


def dependent_load_flags(image, **_):
    flags = image.dependent_load_flags()
    # Without a load configuration there are no flags to read; "load configuration" says so.
    if image.directory(pe.LOAD_CONFIG)[0] and flags != pe.LOAD_LIBRARY_SEARCH_SYSTEM32:
        found = "absent" if flags is None else f"{flags:#x}"
        return f"{found}, not LOAD_LIBRARY_SEARCH_SYSTEM32 ({pe.LOAD_LIBRARY_SEARCH_SYSTEM32:#x})"


def delay_import_table(image, delay_loaded, **_):
    lazy = {dll_stem(name) for name in image.imports(delayed=True)}
    declared = {dll_stem(name) for name in delay_loaded}
    if not image.directory(pe.DELAY_IMPORT)[0]:
        return "the PE header points to none"
    if lazy != declared:
        return "not the declared list (also loaded on first use: {}; declared but not: {})".format(
            *(", ".join(sorted(names)) or "none" for names in (lazy - declared, declared - lazy)))


def stack_protector(image, link_map, **_):
    """Stack canaries leave no trace in a stripped file; the link map shows
    whether GCC's handler of a smashed canary was linked, which it is only
    when compiled code checks canaries."""
    if link_map and not ("__stack_chk_fail" in link_map.symbols and any(
            piece.origin.endswith("libssp.a(ssp.o)") for piece in link_map.pieces)):
        return "the link took no __stack_chk_fail from libssp.a, so no code checks a stack canary"


# Each check by the name its lines start with, in the order they are printed. A check gives what
# is wrong after that name (a false value if nothing), or whole lines (the imports': the DLL's).
CHECKS = [
    ("ASLR (DYNAMIC_BASE)", lacks(pe.DYNAMIC_BASE)),
    ("high-entropy ASLR (HIGH_ENTROPY_VA)", lacks(pe.HIGH_ENTROPY_VA)),
    ("DEP (NX_COMPAT)", lacks(pe.NX_COMPAT)),
    ("relocation table", lambda image, **_: (image.characteristics & pe.RELOCS_STRIPPED or not
     image.directory(pe.BASE_RELOCATION)[1]) and "none, so the loader cannot move the image"),
    ("time stamp", lambda image, **_: image.time_stamp and f"{image.time_stamp:#x} ("
     f"{time.strftime('%Y-%m-%d %H:%M:%S', time.gmtime(image.time_stamp))} UTC), not 0"),
    ("checksum", lambda image, **_: (computed := pe.checksum(image.data, image.checksum_offset))
     != image.checksum and f"the header says {image.checksum:#x}, the file sums to {computed:#x}"),
    ("subsystem", lambda image, **_: image.subsystem_version != SUBSYSTEM_VERSION and
     "version {}.{}, not {}.{}".format(*image.subsystem_version, *SUBSYSTEM_VERSION)),
    ("length", lambda image, **_: len(image.data) % 8 and f"{len(image.data)} bytes, not a "
     "multiple of 8, so a signature could not be attached and removed exactly"),
    ("load configuration", lambda image, **_: not image.directory(pe.LOAD_CONFIG)[0]
     and "the PE header points to none"),
    ("DependentLoadFlags", dependent_load_flags),
    ("delay-import table", delay_import_table),
    ("imports", lambda image, known_dlls, **_: [f"{name}: imported directly, but not one of "
     "Windows' KnownDLLs or an API set, so Windows would look for it beside the program first"
     for name in image.imports() if dll_stem(name) not in {dll_stem(dll) for dll in known_dlls}
     and not dll_stem(name).startswith("api-ms-win-")]),
    ("path", lambda image, machine, **_: traces(image.data, *machine) if machine else []),
    ("stack protector", stack_protector),
]


def dll_stem(name):
    return name.lower().removesuffix(".dll")


def traces(data, paths, names):
    """Where the file names one of `paths` as a whole path name, or one of
    `names` as a whole word, in 8-bit or UTF-16 text."""
    path_inside, word_inside = re.compile(r"[A-Za-z0-9._~+-]"), re.compile(r"[A-Za-z0-9_]")
    needles = [(path.rstrip("/"), path_inside) for path in paths if path.strip("/")]
    needles += [(name, word_inside) for name in names]
    return [f"path: the file names {needle!r} (in {context!r})" for needle, inside in needles
            for context in whole_occurrences(data, needle, inside)[:3]]


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
    user = os.environ.get("USER") or pwd.getpwuid(os.getuid()).pw_name
    names |= {name for name in (user, os.uname().nodename)
              if name and len(name) > 3 and name.lower() not in COMMON_NAMES}
    return sorted(paths), sorted(names)
