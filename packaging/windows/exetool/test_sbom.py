import datetime
import os
import tempfile
import unittest

import debianstate
import notices
import sbom
import sbomcheck

GCC = notices.Package("gcc-mingw-w64-x86-64-posix", "12.2.0-14+deb12u1+25.2+b1", "gcc-mingw-w64",
                      "25.2")
SOURCE = {"package": "qt6-base", "version": "6.4.2+dfsg-10", "homepage": "https://qt.example/",
          "dsc": "https://archive.example/qt6-base_6.4.2+dfsg-10.dsc"}


def found(**entry):
    library = notices.Library({"Id": "md5", "Name": "MD5", "License": "Public Domain", **entry},
                              "/qt/notices/src/3rdparty/md5")
    return notices.Contents("qt6-base", "6.4.2+dfsg-10", ["Qt Core"], ["qwindows"], [library],
                            [notices.Runtime("libssp", notices.GCC_EXCEPTION, "GCC's stack "
                                             "protector", GCC)], SOURCE)


def listing(versions):
    """The parts of the notices' text that the comparison reads."""
    text = "component listed here:\n\n" + "".join(f"  - {n}\n" for n in versions) + "\n"
    for name, version in versions.items():
        text += f"\n{'=' * 80}\n{name}\n{'=' * 80}\n\n" + (f"Version: {version}\n" if version else "")
    return text + "\n    apt-get source qt6-base=6.4.2+dfsg-10\n"


class Bill(unittest.TestCase):
    def test_the_bill_is_valid_cyclonedx_and_agrees_with_the_notices(self):
        document = sbom.bill(found(), "1.0.1.0", b"MZ exe", 1767225600, "debian-12",
                             "Kestrum-1.0.1.0-src.tar.gz")
        self.assertEqual(sbomcheck.validate(document), [])
        self.assertEqual(document["metadata"]["timestamp"], "2026-01-01T00:00:00Z")
        md5 = document["components"][1]
        self.assertEqual((md5["version"], md5["purl"], md5["licenses"]), (
            "6.4.2+dfsg-10", "pkg:deb/debian/qt6-base@6.4.2%2Bdfsg-10?arch=source&distro=debian-12"
            "#src/3rdparty/md5", [{"expression": "LicenseRef-Public-Domain"}]))
        text = listing({"Qt 6.4.2": None, "MD5": None, "libssp": "12.2.0"})
        self.assertEqual(sbomcheck.agree(document, text, b"MZ exe"), [])
        self.assertEqual(sbom.bill(found(), "1.0.1.0", b"MZ exe", 1767225600, "debian-12",
                                   "Kestrum-1.0.1.0-src.tar.gz"), document)

        spoilt = [
            ("Kestrum.exe", listing({"Qt 6.4.2": None, "MD5": None, "libssp": "12.2.0"}), b"MZ"),
            ("MD5: version", listing({"Qt 6.4.2": None, "MD5": "1.0", "libssp": "12.2.0"}), None),
            ("libssp: only the bill", listing({"Qt 6.4.2": None, "MD5": None}), None),
            ("Qt:", listing({"Qt 6.5.0": None, "MD5": None, "libssp": "12.2.0"}), None),
        ]
        for name, text, exe in spoilt:
            with self.subTest(name):
                failures = sbomcheck.agree(document, text, exe or b"MZ exe")
                self.assertTrue(failures and failures[0].startswith(name), failures)
        document["components"][1]["licenses"] = [{"license": {"id": "Public-Domain"}}]
        self.assertIn("/components/1/licenses", " ".join(sbomcheck.validate(document)))

    def test_a_library_without_a_licence_stops_the_bill(self):
        with self.assertRaisesRegex(notices.NoticesError, "the licence of MD5"):
            sbom.bill(found(License=""), "1.0.1.0", b"", 0, "debian-12")

    def test_licences_become_spdx_expressions(self):
        for text, expression in [("FTL or GPL-2.0", "FTL OR GPL-2.0"),
                                 ("GPL-3.0-or-later WITH GCC-exception-3.1",
                                  "GPL-3.0-or-later WITH GCC-exception-3.1"),
                                 ("ICC License", "LicenseRef-ICC-License"),
                                 ("(MIT OR X11) and Zlib", "(MIT OR X11) AND Zlib")]:
            self.assertEqual(sbom.spdx_expression(text), expression)


class PackageState(unittest.TestCase):
    def test_the_newest_of_the_oldest_release_holding_each_version(self):
        lists = tempfile.mkdtemp()
        self.addCleanup(os.system, f"rm -rf {lists}")
        for suite, date in [("bookworm", "Sat, 11 Jul 2026 10:16:37 UTC"),
                            ("bookworm-security", "Mon, 07 Dec 2026 23:22:40 UTC"),
                            ("bookworm-updates", "Tue, 08 Dec 2026 02:12:27 UTC")]:
            with open(f"{lists}/deb.example_debian_dists_{suite}_InRelease", "w") as file:
                file.write(f"Origin: Debian\nDate: {date}\n")
        held = {("a", "1"): ["bookworm", "bookworm-security"], ("b", "2"): ["bookworm"],
                ("c", "3"): ["bookworm-updates"]}

        def state(*packages):
            return debianstate.package_state(
                {package: version for package, version in packages}, lists,
                lambda package, version: [("http://deb.example/debian", suite)
                                          for suite in held.get((package, version), [])])
        july = datetime.datetime(2026, 7, 11, 10, 16, 37, tzinfo=datetime.timezone.utc)
        self.assertEqual(state(("a", "1"), ("b", "2")), (july, ""))
        self.assertEqual(state(("a", "1"), ("c", "3"))[0].day, 8)
        self.assertEqual(state(("b", "9")), (None, "b 9 is in none of apt's package lists"))


if __name__ == "__main__":
    unittest.main()
