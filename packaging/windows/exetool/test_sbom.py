import copy
import datetime
import os
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

import components
import debianstate
import qtsource
import sbom
import sbomcheck

GCC = components.Package("gcc-mingw-w64-x86-64-posix", "12.2.0-14+deb12u1+25.2+b1", "gcc-mingw-w64",
                      "25.2")
SOURCE = {"package": "qt6-base", "version": "6.4.2+dfsg-10", "homepage": "https://qt.example/",
          "dsc": "https://archive.example/qt6-base_6.4.2+dfsg-10.dsc"}


def found(**entry):
    library = qtsource.Library({"Id": "md5", "Name": "MD5", "License": "Public Domain", **entry},
                               "/qt/notices/src/3rdparty/md5", "src/3rdparty/md5")
    return components.Components(SOURCE, ["Qt Core"], ["qwindows"], [library], [
        components.Runtime("libssp", components.GCC_EXCEPTION, "GCC's stack protector", GCC)])


def without(name):
    """A change to a bill: the component `name`, wherever it is, left out."""
    def change(document):
        for parent in [document, *document["components"]]:
            parent["components"] = [c for c in parent.get("components", []) if c["name"] != name]
    return change


class Bill(unittest.TestCase):
    def test_the_bill_is_valid_cyclonedx_and_agrees_with_what_the_link_took(self):
        document = sbom.bill(found(), "1.0.1.0", b"MZ exe", 1767225600, "debian-12",
                             "Kestrum-1.0.1.0-src.tar.gz")
        self.assertEqual(sbomcheck.validate(document), [])
        self.assertEqual(document["metadata"]["timestamp"], "2026-01-01T00:00:00Z")
        md5 = document["components"][1]
        self.assertEqual((md5["version"], md5["purl"], md5["licenses"]), (
            "6.4.2+dfsg-10", "pkg:deb/debian/qt6-base@6.4.2%2Bdfsg-10?arch=source&distro=debian-12"
            "#src/3rdparty/md5", [{"expression": "LicenseRef-Public-Domain"}]))
        self.assertEqual(sbomcheck.agree(document, found(), b"MZ exe"), [])
        self.assertEqual(sbom.bill(found(), "1.0.1.0", b"MZ exe", 1767225600, "debian-12",
                                   "Kestrum-1.0.1.0-src.tar.gz"), document)

        def version(name, value):
            return lambda document: [c.update(version=value) for c in document["components"]
                                     if c["name"] == name]
        other = components.Components({**SOURCE, "version": "6.5.0-1"}, ["Qt Core", "Qt Widgets"],
                                      ["qwindows"], found().libraries, found().runtimes)
        spoilt = [  # the failures, a change to the bill, what the link took, the exe
            (["Kestrum.exe: its SHA-512"], None, found(), b"MZ"),
            (["MD5: version 1.0 in the bill, 6.4.2+dfsg-10 as linked"], version("MD5", "1.0"),
             found(), None),
            (["MD5: version 6.4.2+dfsg-10 in the bill, 2.0 as linked"], None, found(Version="2.0"),
             None),
            (["libssp: the link took it, the bill does not list it"], without("libssp"), found(),
             None),
            (["qwindows plugin: the link took it"], without("qwindows plugin"), found(), None),
            (["MD5: the bill lists it, the link did not take it"], None,
             components.Components(SOURCE, ["Qt Core"], ["qwindows"], [], found().runtimes), None),
            (["MD5: version 6.4.2+dfsg-10 in the bill, 6.5.0-1 as linked",
              "Qt: version 6.4.2 in the bill, 6.5.0", "Qt Core: version 6.4.2 in the bill, 6.5.0",
              "Qt Widgets: the link took it", "qwindows plugin: version 6.4.2 in the bill, 6.5.0"],
             None, other, None),
            # The schema requires neither.
            (["Kestrum.exe: its SHA-512"], lambda document: document.pop("metadata"), found(), None),
            ([f"{name}: the link took it, the bill does not list it" for name in
              ["MD5", "Qt", "Qt Core", "libssp", "qwindows plugin"]],
             lambda document: document.pop("components"), found(), None),
        ]
        for messages, change, model, exe in spoilt:
            with self.subTest(messages[0]):
                changed = copy.deepcopy(document)
                (change or id)(changed)
                failures = sbomcheck.check(changed, model, exe or b"MZ exe")
                self.assertEqual(len(failures), len(messages), failures)
                for failure, message in zip(failures, messages):
                    self.assertTrue(failure.startswith(message), failures)
        document["components"][1]["licenses"] = [{"license": {"id": "Public-Domain"}}]
        failures = sbomcheck.check(document, found(), b"")
        self.assertIn("/components/1/licenses", " ".join(failures))
        self.assertTrue(all(failure.startswith("schema: ") for failure in failures), failures)

    def test_links_and_copyright_only_where_there_are_some(self):
        full = sbom.bill(found(Copyright="(C) Someone"), "1.0", b"", 0, "debian-12",
                         "Kestrum-1.0-src.tar.gz")
        bare = sbom.bill(found(), "1.0", b"", 0, "debian-12")
        self.assertEqual(full["metadata"]["component"]["externalReferences"],
                         [{"type": "source-distribution", "url": "Kestrum-1.0-src.tar.gz"}])
        self.assertNotIn("externalReferences", bare["metadata"]["component"])
        self.assertEqual(full["components"][1]["copyright"], "(C) Someone")
        self.assertNotIn("copyright", bare["components"][1])

    def test_a_library_without_a_licence_stops_the_bill(self):
        with self.assertRaisesRegex(components.ComponentError, "the licence of MD5"):
            sbom.bill(found(License=""), "1.0.1.0", b"", 0, "debian-12")

    def test_licences_become_spdx_expressions(self):
        for text, expression in [("FTL or GPL-2.0", "FTL OR GPL-2.0"),
                                 ("GPL-3.0-or-later WITH GCC-exception-3.1",
                                  "GPL-3.0-or-later WITH GCC-exception-3.1"),
                                 ("ICC License", "LicenseRef-ICC-License"),
                                 ("(MIT OR X11) and Zlib", "(MIT OR X11) AND Zlib")]:
            self.assertEqual(sbom.spdx_expression(text), expression)


class CheckCommand(unittest.TestCase):
    def test_a_bill_that_is_not_json_is_named_not_a_crash(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(os.system, f"rm -rf {folder}")
        for name, text in [("truncated", '{"bomFormat": '), ("not UTF-8", "\udcff")]:
            with self.subTest(name):
                path = os.path.join(folder, "bill.cdx.json")
                with open(path, "w", encoding="utf-8", errors="surrogateescape") as file:
                    file.write(text)
                run = subprocess.run([sys.executable, os.path.dirname(os.path.abspath(__file__)),
                                      "check-sbom", path, "Kestrum.exe", "notices", "Kestrum.map"],
                                     capture_output=True, text=True)
                self.assertEqual(run.returncode, 1)
                self.assertTrue(run.stderr.startswith(f"exetool check-sbom: {path} is not JSON: "),
                                run.stderr)


class PackageState(unittest.TestCase):
    def test_the_newest_of_the_oldest_release_holding_each_version(self):
        lists = tempfile.mkdtemp()
        self.addCleanup(os.system, f"rm -rf {lists}")
        for suite, date in [("bookworm", "Sat, 11 Jul 2026 10:16:37 UTC"),
                            ("bookworm-security", "Mon, 07 Dec 2026 23:22:40 UTC"),
                            ("bookworm-updates", "Tue, 08 Dec 2026 02:12:27 UTC")]:
            with open(f"{lists}/deb.example_debian_dists_{suite}_InRelease", "w") as file:
                file.write(f"Origin: Debian\nDate: {date}\n")
        held = {("a", "1"): ["bookworm/main", "bookworm-security/main"],
                ("b", "2"): ["bookworm/main"], ("c", "3"): ["bookworm-updates/contrib"]}

        def state(*packages):
            return debianstate.package_state(
                {package: version for package, version in packages}, lists,
                lambda package, version: [("http://deb.example/debian", suite)
                                          for suite in held.get((package, version), [])])
        july = datetime.datetime(2026, 7, 11, 10, 16, 37, tzinfo=datetime.timezone.utc)
        self.assertEqual(state(("a", "1"), ("b", "2")),
                         debianstate.State(july, ["bookworm main of debian"], []))
        both = state(("a", "1"), ("c", "3"))
        self.assertEqual((both.date.day, both.suites),
                         (8, ["bookworm main of debian", "bookworm-updates contrib of debian"]))
        # A backport, or a package from elsewhere, is named, and the rest still dated.
        self.assertEqual(state(("b", "2"), ("z", "9")),
                         debianstate.State(july, ["bookworm main of debian"], ["z 9"]))
        text = debianstate.describe({"b": "2", "z": "9", "y": None}, state(("b", "2"), ("z", "9")),
                                    "amd64")
        self.assertIn("    y" + " " * 38 + "(not installed)\n", text)
        self.assertIn("20260711T101637Z", text)
        self.assertIn("in bookworm main of debian.", text.replace("\n", " "))
        self.assertIn("z 9 is in none of apt's package lists", text.replace("\n", " "))

    def test_versions_and_archives_as_dpkg_and_apt_report_them(self):
        tools = tempfile.mkdtemp()
        self.addCleanup(os.system, f"rm -rf {tools}")
        for name, script in [
                ("apt-cache", "echo ' cmake | 3.25.1-1 | http://deb.example/debian bookworm/main amd64"
                              " Packages'\necho ' cmake | 3.25.1-2 | http://deb.example/debian "
                              "bookworm-updates/main amd64 Packages'\necho ' cmake | 3.25.1-1 | "
                              "http://deb.example/debian bookworm/main Sources'"),
                ("dpkg-query", 'case "$3" in cmake) printf 3.25.1-1;; empty) ;; *) exit 1;; esac')]:
            with open(os.path.join(tools, name), "w") as file:
                file.write(f"#!/bin/sh\n{script}\n")
            os.chmod(os.path.join(tools, name), 0o755)
        with mock.patch.dict(os.environ, {"PATH": f"{tools}:{os.environ['PATH']}"}):
            self.assertEqual(debianstate.sources("cmake", "3.25.1-1"),
                             [("http://deb.example/debian", "bookworm/main")] * 2)
            self.assertEqual(debianstate.installed_versions(["cmake", "empty", "gone"]),
                             {"cmake": "3.25.1-1", "empty": None, "gone": None})

if __name__ == "__main__":
    unittest.main()
