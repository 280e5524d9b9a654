import importlib.machinery
import os
import re
import subprocess
import sys
import tempfile
import types
import unittest

import crafted
import fixup
import gate
import linkmap
import pe

HERE = os.path.dirname(os.path.abspath(__file__))


def declared():
    with open(os.path.join(HERE, "..", "delay-loaded.txt")) as file:
        return [f"{line.strip()}.dll" for line in file if line.strip() and line[0] != "#"]


def as_linked(**change):
    """What the linker leaves: neither directory set, the checksum stale,
    the length anything."""
    return crafted.Crafted(point_to_config=False, point_to_delay_table=False,
                           wrong_checksum=True, extra=b"\0" * 3, **change)


class Fixup(unittest.TestCase):
    def test_the_fixed_file_passes_the_gate(self):
        linked = as_linked()
        data, notes = fixup.fix(linked.build(), linkmap.LinkMap(linked.link_map()), "Kestrum.exe")
        self.assertEqual(notes, [])
        self.assertEqual(gate.check(data, ["uxtheme"], ["kernel32"]), [])
        image = pe.Image(data)
        self.assertEqual(image.imports(delayed=True), ["UxTheme.dll"])
        self.assertEqual(image.c_string(image.export_name_rva()), "Kestrum.exe")

    def test_a_directory_the_linker_filled_is_noted(self):
        linked = crafted.Crafted(export_name="Kestrum.exe")
        data, notes = fixup.fix(linked.build(), linkmap.LinkMap(linked.link_map()), "Kestrum.exe")
        self.assertEqual(len(notes), 2)
        self.assertIn("the linker already points the PE header at the load configuration", notes[0])
        self.assertEqual(data, linked.build())

    def test_what_the_link_lacks_is_named(self):
        linked = as_linked()
        cases = [
            ("no delay-import descriptor", linked.link_map(descriptors=False)),
            ("does not place _load_config_used",
             linked.link_map().replace("_load_config_used", "something_else")),
            ("do not lie side by side", linked.link_map().replace(
                f"{crafted.IMAGE_BASE + linked.delay_end:016x}                kestrum",
                f"{crafted.IMAGE_BASE + linked.config:016x}                kestrum")),
        ]
        for message, link_map in cases:
            with self.subTest(message):
                with self.assertRaisesRegex(fixup.FixupError, message):
                    fixup.fix(linked.build(), linkmap.LinkMap(link_map), "Kestrum.exe")
        with self.assertRaisesRegex(fixup.FixupError, "DependentLoadFlags"):
            spoilt = as_linked(dependent_load_flags=0)
            fixup.fix(spoilt.build(), linkmap.LinkMap(spoilt.link_map()), "Kestrum.exe")


    def test_the_load_configuration_puts_dependent_load_flags_where_it_is_read(self):
        with open(os.path.join(HERE, "..", "..", "..", "app", "windows",
                               "LoadConfiguration.cpp")) as file:
            asserted = re.search(r"static_assert\(offsetof\(IMAGE_LOAD_CONFIG_DIRECTORY64, "
                                 r"Reserved1\) == (0x[0-9A-Fa-f]+)\)", file.read())
        self.assertEqual(int(asserted.group(1), 16), pe.DEPENDENT_LOAD_FLAGS_OFFSET)


class Finish(unittest.TestCase):
    """exetool finish: the executable appears only fixed and checked."""

    def finish(self, linked, link_map, old=b"an older build"):
        folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        paths = [os.path.join(folder, name) for name in ("linked.exe", "map", "Kestrum.exe")]
        for path, data in zip(paths, [linked, link_map.encode(), old]):
            with open(path, "wb") as file:
                file.write(data)
        run = subprocess.run([sys.executable, HERE, "finish", *paths], capture_output=True,
                             text=True)
        written = None
        if os.path.exists(paths[2]):
            with open(paths[2], "rb") as file:
                written = file.read()
        return run, written, os.listdir(folder)

    def test_a_fixed_and_checked_file_replaces_the_old(self):
        linked = as_linked(delay_imports=[(dll, "F") for dll in declared()])
        run, written, _ = self.finish(linked.build(), linked.link_map())
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(written, fixup.fix(linked.build(), linkmap.LinkMap(linked.link_map()),
                                            "Kestrum.exe")[0])

    def test_a_failure_leaves_no_executable(self):
        linked = as_linked(delay_imports=[(dll, "F") for dll in declared()])
        for what, link_map in [("fix-up", linked.link_map(descriptors=False)),
                               ("gate", linked.link_map(stack_protector=False))]:
            with self.subTest(what):
                run, written, files = self.finish(linked.build(), link_map)
                self.assertNotEqual(run.returncode, 0)
                self.assertIsNone(written)
                self.assertEqual(sorted(files), ["linked.exe", "map"])

    def test_a_file_that_cannot_take_its_place_leaves_nothing(self):
        loader = importlib.machinery.SourceFileLoader("exetool", os.path.join(HERE, "__main__.py"))
        main = types.ModuleType(loader.name)
        main.__file__ = loader.path
        loader.exec_module(main)
        folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        os.makedirs(os.path.join(folder, "Kestrum.exe", "in the way"))
        with self.assertRaises(OSError):
            main.replace(os.path.join(folder, "Kestrum.exe"), b"MZ")
        self.assertEqual(os.listdir(folder), ["Kestrum.exe"])


if __name__ == "__main__":
    unittest.main()
