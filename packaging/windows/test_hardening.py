"""The release gate against the real toolchain: test_hardening.cpp, linked by
the Windows build as every executable is, passes each check the toolchain
decides; each variant, linked without one protection, fails exactly the
checks its row in test_hardening.cmake names.

  test_hardening.py [--path DIR]... WHAT|EXE|NAMES...

WHAT is what the variant is built without ("nothing" for the program as
built), EXE the executable (its link map beside it, as .map), NAMES the names
the gate must print, comma-separated, none for the program as built. --path names folders of this machine, as for
`exetool check`."""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "exetool"))
import fixup  # noqa: E402
import gate  # noqa: E402
import linkmap  # noqa: E402

# The one check left out: the delay-import table must be exactly
# delay-loaded.txt, the DLLs the static Qt links, which only Kestrum.exe's own
# link brings. test_gate.py's crafted rows hold it.
UNDER_TEST = [name for name, _ in gate.CHECKS if name != "delay-import table"]


def failures(exe, known_dlls, machine):
    """What the gate finds in `exe` once it went through Kestrum.exe's fix-up,
    as `exetool finish` does it. A link without the load configuration
    (fixup.CONFIG_SYMBOL) cannot be fixed up; it is checked as the linker
    wrote it, which is what the gate's check of it is for."""
    with open(exe, "rb") as file:
        data = file.read()
    link_map = linkmap.read(os.path.splitext(exe)[0] + ".map")
    if fixup.CONFIG_SYMBOL in link_map.symbols:
        data, notes = fixup.fix(data, link_map, os.path.basename(exe))
        for note in notes:
            print(f"{exe}: fix-up: {note}")
    return gate.check(data, [], known_dlls, machine, link_map, UNDER_TEST)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--path", action="append", default=[])
    parser.add_argument("rows", nargs="+")
    arguments = parser.parse_args()
    if not any(row.endswith("|") for row in arguments.rows):
        sys.exit("no row for the program as built, which must pass")
    with open(os.path.join(HERE, "known-dlls.txt"), encoding="utf-8") as file:
        known_dlls = [line.strip() for line in file if line.strip() and not line.startswith("#")]
    machine = gate.this_machine(os.path.dirname(os.path.dirname(HERE)), arguments.path)
    print("checked:", ", ".join(UNDER_TEST))
    wrong = 0
    for row in arguments.rows:
        what, exe, names = row.split("|")
        expected = [name for name in names.split(",") if name]
        try:
            found = failures(exe, known_dlls, machine)
        except (fixup.FixupError, linkmap.LinkMapError, OSError) as error:
            found = [f"(not checked: {error})"]
        named = [name for name in expected if any(line.startswith(name) for line in found)]
        stray = [line for line in found if not any(line.startswith(name) for name in expected)]
        if named == expected and not stray:
            print(f"{what} taken away: " + ("; ".join(found) if found else "passes"))
            continue
        wrong += 1
        print(f"{what} taken away: the gate must name {', '.join(expected) or 'nothing'} and "
              "nothing else, but found:", *found or ["nothing"], sep="\n    ")
    if wrong:
        sys.exit(f"{wrong} of {len(arguments.rows)} executables not as the gate must find them")


if __name__ == "__main__":
    main()
