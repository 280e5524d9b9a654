import os
import unittest
from unittest import mock

import crafted
import gate
import linkmap
import pe

DELAY_LOADED = ["uxtheme"]
KNOWN = ["kernel32.dll", "user32.dll"]
MACHINE = (["/home/someone/src/kestrum"], ["someone-laptop"])

# Each row: the name the gate prints, and what spoils a sound executable so.
SPOILT = [
    ("ASLR (DYNAMIC_BASE)", dict(dll_characteristics=pe.HIGH_ENTROPY_VA | pe.NX_COMPAT)),
    ("high-entropy ASLR (HIGH_ENTROPY_VA)", dict(dll_characteristics=pe.DYNAMIC_BASE
                                                 | pe.NX_COMPAT)),
    ("DEP (NX_COMPAT)", dict(dll_characteristics=pe.HIGH_ENTROPY_VA | pe.DYNAMIC_BASE)),
    ("relocation table", dict(relocations=False)),
    ("load configuration", dict(point_to_config=False)),
    ("DependentLoadFlags", dict(dependent_load_flags=0)),
    ("delay-import table", dict(point_to_delay_table=False)),
    ("delay-import table", dict(delay_imports=[("UxTheme.dll", "OpenThemeData"),
                                                ("dwmapi.dll", "DwmFlush")])),
    ("delay-import table", dict(delay_imports=[("WINMM.dll", "timeGetTime")])),
    ("time stamp", dict(time_stamp=1767225600)),
    ("checksum", dict(wrong_checksum=True)),
    ("subsystem", dict(subsystem_version=(6, 0))),
    ("UxTheme.dll", dict(imports=[("KERNEL32.dll", "GetLastError"),
                                  ("UxTheme.dll", "OpenThemeData")])),
    ("path", dict(text=b"C:/x;/home/someone/src/kestrum/app/main.cpp\0")),
    ("path", dict(text="built on someone-laptop".encode("utf-16-le"))),
    ("length", dict(extra=b"\0" * 14)),
]


def failures(executable, link_map=None, only=None):
    return gate.check(executable.build(), DELAY_LOADED, KNOWN, MACHINE,
                      linkmap.LinkMap(link_map or executable.link_map()), only)


class Gate(unittest.TestCase):
    def test_a_sound_executable_passes(self):
        self.assertEqual(failures(crafted.Crafted()), [])

    def test_each_missing_protection_is_named(self):
        for name, change in SPOILT:
            with self.subTest(name, **{k: str(v)[:40] for k, v in change.items()}):
                found = failures(crafted.Crafted(**change))
                self.assertTrue(found and all(line.startswith(name) for line in found), found)

    def test_names_inside_longer_names_are_not_traces(self):
        executable = crafted.Crafted(text=b"/home/someone/src/kestrum-old /qt/home/someone/src/"
                                          b"kestrum someone-laptops\0")
        self.assertEqual(failures(executable), [])

    def test_a_link_without_the_canary_handler_is_named(self):
        executable = crafted.Crafted()
        found = failures(executable, executable.link_map(stack_protector=False))
        self.assertEqual([line.split(":")[0] for line in found], ["stack protector"])

    def test_each_check_runs_alone_by_its_name(self):
        for name, change in SPOILT:
            with self.subTest(name, **{k: str(v)[:40] for k, v in change.items()}):
                executable = crafted.Crafted(**change)
                alone = {check: failures(executable, only=[check]) for check, _ in gate.CHECKS}
                found = [check for check, lines in alone.items() if lines]
                self.assertEqual(found, ["imports" if name.endswith(".dll") else name])
                self.assertEqual(alone[found[0]], failures(executable))
        self.assertEqual(failures(crafted.Crafted(), only=[]), [])
        with self.assertRaises(ValueError):
            failures(crafted.Crafted(), only=["ASLR"])

    def test_a_file_that_is_no_executable_is_one_failure(self):
        sound = crafted.Crafted().build()
        for data, failure in [(b"MZ" + bytes(100), "not a PE file"),
                              (sound[:0x100], "its headers are cut short"),  # in the directories
                              (sound[:0x150], "its headers are cut short")]:  # in a section header
            with self.subTest(failure, length=len(data)):
                self.assertEqual(gate.check(data, [], []), [f"PE file: {failure}"])


class Reading(unittest.TestCase):
    def test_functions_imported_by_name_directly_and_on_first_use(self):
        self.assertEqual(pe.Image(crafted.Crafted().build()).imported_functions(),
                         [("KERNEL32.dll", "GetLastError"), ("UxTheme.dll", "OpenThemeData")])

    def test_dependent_load_flags_count_only_within_the_configuration_s_own_size(self):
        executable = crafted.Crafted()
        data = bytearray(executable.build())
        at = crafted.DATA_OFFSET + executable.config - crafted.DATA_RVA
        for own_size, flags in [(pe.DEPENDENT_LOAD_FLAGS_OFFSET + 2, pe.LOAD_LIBRARY_SEARCH_SYSTEM32),
                                (pe.DEPENDENT_LOAD_FLAGS_OFFSET + 1, None)]:
            with self.subTest(own_size=own_size):
                data[at:at + 4] = own_size.to_bytes(4, "little")
                self.assertEqual(pe.Image(bytes(data)).dependent_load_flags(), flags)

    def test_this_machine_names_users_of_four_letters_or_more_that_are_not_common(self):
        for user, named in [("xqz", False), ("xqzw", True), ("Builder", False)]:
            with self.subTest(user), mock.patch.dict(os.environ, {"USER": user}):
                self.assertEqual(user in gate.this_machine("/src/kestrum")[1], named)


if __name__ == "__main__":
    unittest.main()
