"""exetool: everything that reads or writes the bytes of Kestrum.exe."""
import argparse
import json
import os
import pathlib
import subprocess
import sys

import archive
import components
import debianstate
import fixup
import gate
import linkmap
import notices
import pe
import sbom
import sbomcheck
import signature
import size

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))  # packaging/windows
ROOT = os.path.dirname(os.path.dirname(HERE))


def listed(path):
    """The names a list file holds, one a line, each first on its line."""
    with open(path, encoding="utf-8") as file:
        return [line.split()[0] for line in file if line.strip() and not line.startswith("#")]


def replace(path, data):
    """Writes `path` whole or not at all."""
    temporary = f"{path}.partial"
    try:
        with open(temporary, "wb") as file:
            file.write(data)
            file.flush()
            os.fsync(file.fileno())
        os.chmod(temporary, 0o755 if path.endswith(".exe") else 0o644)
        os.replace(temporary, path)
    except BaseException:
        pathlib.Path(temporary).unlink(missing_ok=True)
        raise


def read_bytes(path):
    return pathlib.Path(path).read_bytes()


def run_gate(data, what, arguments):
    failures = gate.check(data, listed(f"{HERE}/delay-loaded.txt"),
                          listed(f"{HERE}/known-dlls.txt"), gate.this_machine(ROOT, arguments.path),
                          linkmap.read(arguments.link_map) if arguments.link_map else None)
    for failure in failures:
        print(f"{what}: {failure}", file=sys.stderr)
    return not failures


def finish(arguments):
    """The linked executable, fixed up and checked, as OUT; nothing at OUT
    unless both passed, not even an older OUT."""
    pathlib.Path(arguments.out).unlink(missing_ok=True)
    data, notes = fixup.fix(read_bytes(arguments.linked), linkmap.read(arguments.map),
                            os.path.basename(arguments.out))
    for note in notes:
        print(f"exetool finish: {note}")
    if len(notes) == 2:
        print("exetool finish: the linker fills both directories itself; the fix-up can be retired")
    arguments.link_map = arguments.link_map or arguments.map
    if not run_gate(data, os.path.basename(arguments.out), arguments):
        sys.exit(f"exetool finish: {arguments.out} fails the release gate (above); not written")
    replace(arguments.out, data)


def check(arguments):
    """The release gate (./scripts/check-exe)."""
    if not run_gate(read_bytes(arguments.exe), arguments.exe, arguments):
        sys.exit(1)
    print(f"{arguments.exe}: ASLR, DEP, relocations, load configuration, delay-loaded DLLs, "
          "imports, time stamp, checksum, subsystem, length"
          + (", stack protector" if arguments.link_map else "") + " and no trace of this machine: "
          "all as they must be")


def linked(arguments):
    return components.read(arguments.qt_notices, linkmap.read(arguments.map))


def write_notices(arguments):
    """THIRD-PARTY-NOTICES.txt from the link map."""
    replace(arguments.out, archive.windows_text(notices.text(
        linked(arguments), arguments.qt_notices, arguments.version, arguments.repository).encode()))


def write_sbom(arguments):
    """The bill of materials, CycloneDX 1.6 JSON."""
    bill = sbom.bill(linked(arguments), arguments.version, read_bytes(arguments.exe),
                     arguments.epoch, sbom.debian_distro(), arguments.source_archive,
                     arguments.repository)
    replace(arguments.out, (json.dumps(bill, indent=2, ensure_ascii=False) + "\n").encode())


def check_sbom(arguments):
    """The bill against its schema, the exe and what the link took."""
    try:
        document = json.loads(pathlib.Path(arguments.sbom).read_text(encoding="utf-8"))
    except ValueError as error:  # not UTF-8 or not JSON, as a truncated download
        raise components.ComponentError(f"{arguments.sbom} is not JSON: {error}") from None
    failures = sbomcheck.check(document, linked(arguments), read_bytes(arguments.exe))
    for failure in failures:
        print(f"{arguments.sbom}: {failure}", file=sys.stderr)
    if failures:
        sys.exit(1)
    print(f"{arguments.sbom}: valid CycloneDX 1.6; {len(document['components'])} components, "
          "as the link took them; Kestrum.exe's SHA-512 matches")


def write_zip(arguments):
    """The download's zip."""
    archive.write(arguments.out, arguments.epoch, [(name, read_bytes(path)) for name, _, path in (
        member.partition("=") for member in arguments.members)])


def print_package_state(arguments):
    """BUILDINFO.txt's account of the packages listed in PACKAGES (packages.txt): their
    installed versions and the state of Debian's archive they come from."""
    installed = debianstate.installed_versions(listed(arguments.packages))
    state = debianstate.package_state({p: v for p, v in installed.items() if v})
    architecture = subprocess.run(["dpkg", "--print-architecture"], capture_output=True,
                                  text=True, check=True).stdout.strip()
    print(debianstate.describe(installed, state, architecture), end="")


def print_imports(arguments):
    """"<dll> <function>" for every imported function."""
    for dll, function in pe.Image(read_bytes(arguments.exe)).imported_functions():
        print(dll.lower(), function)


def print_size(arguments):
    """Where the bytes of the executable go, by component."""
    link_map = linkmap.read(arguments.map)
    print(size.report(components.read(size.qt_notices(link_map), link_map), link_map))


def print_changes(arguments):
    """SIGNED is UNSIGNED with a signature and nothing else; prints what signing changed."""
    for line in signature.changes(read_bytes(arguments.unsigned), read_bytes(arguments.signed)):
        print(f"{arguments.name or arguments.signed}: {line}")


GATE = [("--path", {"action": "append", "default": [],
                    "help": "a further path of this machine the file must not name"}),
        ("--link-map", {"help": "the map of the file's link, to check stack canaries"})]
VERSION, OPTIONAL = ("--version", {"required": True}), {"default": ""}
# Each command, its function and its arguments: a name, or a name and add_argument's keywords.
COMMANDS = [
    ("finish", finish, ["linked", "map", "out", *GATE]),
    ("check", check, ["exe", *GATE]),
    ("notices", write_notices, ["qt_notices", "map", "out", VERSION, ("--repository", OPTIONAL)]),
    ("sbom", write_sbom, ["qt_notices", "map", "exe", "out", VERSION,
                          ("--epoch", {"type": int, "required": True}),
                          ("--source-archive", OPTIONAL), ("--repository", OPTIONAL)]),
    ("check-sbom", check_sbom, ["sbom", "exe", "qt_notices", "map"]),
    ("size", print_size, ["map"]),
    ("zip", write_zip, ["out", ("epoch", {"type": int}),
                        ("members", {"nargs": "+", "metavar": "NAME=FILE"})]),
    ("imports", print_imports, ["exe"]),
    ("package-state", print_package_state, ["packages"]),
    ("signed", print_changes, ["unsigned", "signed", ("--as", {
        "dest": "name", "help": "the name to print for the file"})]),
]


def main():
    parser = argparse.ArgumentParser(prog="exetool", description=__doc__)
    commands = parser.add_subparsers(required=True)
    for name, function, arguments in COMMANDS:
        sub = commands.add_parser(name, help=function.__doc__, description=function.__doc__)
        sub.set_defaults(run=function)
        for argument, options in (a if isinstance(a, tuple) else (a, {}) for a in arguments):
            named = {} if argument.startswith("-") else {"metavar": argument.upper()}
            sub.add_argument(argument, **{**named, **options})
    arguments = parser.parse_args()
    try:
        arguments.run(arguments)
    except (pe.PeError, linkmap.LinkMapError, fixup.FixupError, components.ComponentError,
            signature.SignatureError) as error:
        sys.exit(f"exetool {sys.argv[1]}: {error}")
    except OSError as error:
        sys.exit(f"exetool {sys.argv[1]}: {error.filename or ''}: {error.strerror}")


if __name__ == "__main__":
    main()
