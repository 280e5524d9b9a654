import json
import os
import tempfile
import unittest

import components
import linkmap
import notices
import size

GCC = components.Package("gcc-mingw-w64-x86-64-posix", "12.2.0-14+deb12u1+25.2+b1", "gcc-mingw-w64",
                      "25.2")

MAP = """Discarded input sections

 .text          0x0000000000000000       0x10 libQt6Core.a(qdebug.cpp.obj)

Linker script and memory map

.text           0x0000000140001000     0x2000
 .text          0x0000000140001000      0x100 app/CMakeFiles/Kestrum.dir/main.cpp.obj
                0x0000000140001000                main
 .text$_ZN7QString6appendERKS_
                0x0000000140001100      0x200 /qt/lib/libQt6Core.a(qstring.cpp.obj)
 .text          0x0000000140001300       0x40 /qt/lib/libQt6Core.a(adler32.c.obj)
 .text          0x0000000140001340        0x0 /qt/lib/libQt6Gui.a(qimage.cpp.obj)
 *fill*         0x0000000140001340       0x10 
 .text          0x0000000140001350       0x80 /qt/lib/libQt6BundledLibpng.a(png.c.obj)
 .text          0x00000001400013d0       0x30 /qt/plugins/platforms/libqwindows.a(qwindowsintegration.cpp.obj)
 .text          0x0000000140001400       0x20 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libssp.a(ssp.o)
 .text          0x0000000140001420        0x8 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/../../../../x86_64-w64-mingw32/lib/libkernel32.a(dkgcs00123.o)
 .text          0x0000000140001428        0x8 delay-load/libuxtheme.a(d000001.o)
 .text          0x0000000140001430        0x8 /build/windows/delay-load/libdwmapi.a(d000001.o)
.bss            0x0000000140005000      0x100
 COMMON         0x0000000140005000       0x20 /qt/lib/libQt6Widgets.a(qwidget.cpp.obj)
"""


def contents(folder, link_map=None):
    return components.read(folder, linkmap.LinkMap(link_map or MAP), "/qt", lambda path: GCC)


def attribution(folder, document, units, files=()):
    os.makedirs(folder)
    with open(os.path.join(folder, "qt_attribution.json"), "w") as file:
        json.dump(document, file)
    with open(os.path.join(folder, "qt_attribution.units"), "w") as file:
        file.write(units)
    for name, text in files:
        with open(os.path.join(folder, name), "w") as file:
            file.write(text)


class Notices(unittest.TestCase):
    def setUp(self):
        top = tempfile.mkdtemp()
        self.addCleanup(os.system, f"rm -rf {top}")
        self.folder = os.path.join(top, "src", "notices")  # a src/ above Qt's own, too
        os.makedirs(os.path.join(self.folder, "LICENSES"))
        for name, text in [("qt-source", "package qt6-base\nversion 6.4.2+dfsg-10\n"),
                           ("LICENSES/LGPL-3.0-only.txt", "\ufeffLGPL text\r\n"),
                           ("LICENSES/GPL-3.0-only.txt", "GPL text\n\n")]:
            with open(os.path.join(self.folder, name), "w") as file:
                file.write(text)
        src = os.path.join(self.folder, "src", "3rdparty")
        attribution(os.path.join(src, "zlib"), {
            "Id": "zlib", "Name": "zlib", "Version": "1.2.13", "License": "zlib License",
            "LicenseId": "Zlib", "Copyright": " (C) Jean-loup Gailly ", "LicenseFile": "LICENSE"},
            "0 adler32.c\n", [("LICENSE", "the zlib licence\n")])
        attribution(os.path.join(src, "libpng"), [
            {"Id": "libpng", "Name": "libpng", "LicenseId": "libpng-2.0",
             "LicenseFiles": ["LICENSE", "COPYING"]},
            {"Id": "md4c", "Name": "MD4C", "LicenseId": "MIT", "LicenseFile": "LICENSE"}],
            "0 png.c\n1 md4c.c\n", [("LICENSE", "the zlib licence\n"), ("COPYING", "(C) png\n")])

    def test_what_the_link_took_is_listed_once_each(self):
        found = contents(self.folder)
        self.assertEqual(found.modules, ["Qt Core", "Qt Widgets"])
        self.assertEqual(found.plugins, ["qwindows"])
        self.assertEqual([(library.get("Name"), library.where) for library in found.libraries],
                         [("libpng", "src/3rdparty/libpng"), ("zlib", "src/3rdparty/zlib")])
        self.assertEqual([(r.name, r.package.upstream) for r in found.runtimes],
                         [("libssp", "12.2.0")])
        text = notices.text(found, self.folder, "1.0.1.0", "https://kestrum.example/kestrum.git")
        self.assertIn("statically with Qt 6.4.2 (Qt Core, Qt Widgets; plugins:\nqwindows)", text)
        self.assertIn("  - Qt 6.4.2\n  - libpng\n  - zlib\n  - libssp\n", text)
        self.assertTrue("libssp\n" + "=" * 80 + "\n\nVersion: 12.2.0\nLicense: GPL-3.0-or-later WITH "
                        "GCC-exception-3.1\n" in text)
        self.assertTrue("Kestrum-1.0.1.0-src.tar.gz,\nand at https://kestrum.example/kestrum.git." in text)
        self.assertIn("zlib\n" + "=" * 80 + "\n\nVersion: 1.2.13\nLicense: zlib License (Zlib)\n\n"
                      "(C) Jean-loup Gailly\n\nLICENSE: the same text as for libpng above.\n", text)
        self.assertIn("License: libpng-2.0\n\n--- LICENSE ---\n\nthe zlib licence\n", text)
        self.assertIn("--- LGPL-3.0-only.txt ---\n\nLGPL text\n", text)
        self.assertNotIn("MD4C", text)
        self.assertNotIn("qimage", text)

    def test_each_file_the_link_took_is_one_component(self):
        # Both entries that cover png.c are listed; its bytes, in Qt's archive of the library, are
        # those of the one that covers fewer units. Qt's own files that read a bundled library's header, or lie in a folder
        # an entry covers whole, stay Qt's; a file an entry names is that entry's.
        with open(os.path.join(self.folder, "src/3rdparty/libpng/qt_attribution.units"), "w") as f:
            f.write("0 png.c\n0 md4c.c\n1 png.c\n")
        with open(os.path.join(self.folder, "src/3rdparty/zlib/qt_attribution.units"), "a") as f:
            f.write("0 qzip.cpp\n")
        attribution(os.path.join(self.folder, "src/corelib/tools"),
                    {"Id": "siphash", "Name": "SipHash"},
                    "0 png.c\n0 qgrayraster.c\n0 qstring.cpp\n0 qzip.cpp\n")
        attribution(os.path.join(self.folder, "src/gui/painting"),
                    {"Id": "grayraster", "Name": "Gray raster", "Path": "qgrayraster.c"},
                    "0 qgrayraster.c\n")
        more = ["md4c.c.obj", "/qt/lib/libQt6Core.a(qzip.cpp.obj)",
                "/qt/lib/libQt6Gui.a(qgrayraster.c.obj)", "/qt/lib/objects-Release/Widgets_resources_1/.rcc/qrc_qstyle.cpp.obj",
                "/qt/plugins/styles/objects-Release/QWindowsVistaStylePlugin_init/"
                "QWindowsVistaStylePlugin_init.cpp.obj"]
        found = contents(self.folder, MAP + "".join(f" .text  0x0000000140002000  0x8 {origin}\n"
                                                    for origin in more))
        self.assertEqual(found.parts, {
            "md4c.c.obj": "Kestrum",  # Kestrum's own, whatever its name
            "/qt/lib/libQt6Core.a(qzip.cpp.obj)": "Qt Core",
            "/qt/lib/libQt6Gui.a(qgrayraster.c.obj)": "grayraster",
            "/qt/lib/objects-Release/Widgets_resources_1/.rcc/qrc_qstyle.cpp.obj": "Qt's resources",
            "/qt/plugins/styles/objects-Release/QWindowsVistaStylePlugin_init/"
            "QWindowsVistaStylePlugin_init.cpp.obj": "Qt",
            "app/CMakeFiles/Kestrum.dir/main.cpp.obj": "Kestrum",
            "/qt/lib/libQt6Core.a(qstring.cpp.obj)": "Qt Core",
            "/qt/lib/libQt6Core.a(adler32.c.obj)": "zlib",
            "/qt/lib/libQt6BundledLibpng.a(png.c.obj)": "md4c",
            "/qt/plugins/platforms/libqwindows.a(qwindowsintegration.cpp.obj)": "qwindows plugin",
            "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/libssp.a(ssp.o)": "libssp",
            "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/../../../../x86_64-w64-mingw32/lib/"
            "libkernel32.a(dkgcs00123.o)": "Windows import stubs",
            "delay-load/libuxtheme.a(d000001.o)": "Windows import stubs",
            "/build/windows/delay-load/libdwmapi.a(d000001.o)": "Windows import stubs",
            "/qt/lib/libQt6Widgets.a(qwidget.cpp.obj)": "Qt Widgets"})
        self.assertEqual([library.get("Name") for library in found.libraries],
                         ["Gray raster", "libpng", "MD4C", "SipHash", "zlib"])

    def test_what_nothing_accounts_for_stops_it(self):
        units = os.path.join(self.folder, "src/3rdparty/libpng/qt_attribution.units")
        pcre2 = "".join(f" .text  0x0000000140002000  0x8 /qt/lib/libQt6BundledPcre2.a(p{n}.c.obj)"
                        "\n" for n in range(6))
        cases = [  # message, the libpng entries' units, the link map
            (r"took /qt-extra/libfoo.a\(foo.o\), which is neither Kestrum's, Qt's, a runtime's",
             "0 png.c\n", MAP + " .text  0x0000000140002000  0x8 /qt-extra/libfoo.a(foo.o)\n"),
            (r"no qt_attribution.json .* covers: libQt6BundledLibpng.a\(png.c.obj\)$", "1 md4c.c\n",
             MAP),
            (r"covers: (libQt6BundledPcre2.a\(p[0-5].c.obj\)(, |$)){6}", "0 png.c\n", MAP + pcre2),
            (r"covers: libQt6BundledLibpng.a\(png.c.obj\), "
             r"(libQt6BundledPcre2.a\(p[0-3].c.obj\), ){4}and 2 more$", "1 md4c.c\n", MAP + pcre2),
            (r"libpng/qt_attribution.json in .* has no entry 2", "2 png.c\n", MAP),
            (r"libpng/qt_attribution.json has no qt_attribution.units beside it", None, MAP),
            (r"no Qt Core \(libQt6Core.a\)", "0 png.c\n", MAP.replace("libQt6Core", "libQt6Test")),
        ]
        for message, units_text, link_map in cases:
            with self.subTest(message):
                if units_text is None:
                    os.remove(units)
                else:
                    with open(units, "w") as file:
                        file.write(units_text)
                with self.assertRaisesRegex(components.ComponentError, message):
                    contents(self.folder, link_map)

    def test_the_size_report_counts_bytes_by_component(self):
        # zlib's code in Qt Core's archive counts as zlib's, and then passes the 16 KB that
        # keep a part off "smaller parts".
        link_map = linkmap.LinkMap(MAP.replace("\n.bss", "\n.rdata  0x0000000140003000  0x4000\n"
                                               " .rdata  0x0000000140003000  0x4000 "
                                               "/qt/lib/libQt6Core.a(adler32.c.obj)\n.bss"))
        report = size.report(contents(self.folder), link_map)
        self.assertRegex(report, r"\nzlib +64 +16,384 +0 +0 +0 +16,448\n")
        self.assertRegex(report, r"\n\(smaller parts\) +744 ")
        self.assertRegex(report, r"\nKestrum +256 ")
        self.assertEqual(size.qt_notices(linkmap.LinkMap(MAP)), "/qt/notices")


class LinkMapReading(unittest.TestCase):
    def test_pieces_symbols_and_sizes(self):
        link_map = linkmap.LinkMap(MAP)
        self.assertEqual(link_map.symbols, {"main": 0x140001000})
        self.assertEqual(link_map.section_sizes, {".text": 0x2000, ".bss": 0x100})
        self.assertEqual([(p.section, p.size) for p in link_map.pieces],
                         [(".text", 0x100), (".text", 0x200), (".text", 0x40), (".text", 0x80),
                          (".text", 0x30), (".text", 0x20), (".text", 8), (".text", 8), (".text", 8),
                          (".bss", 0x20)])
        self.assertNotIn("qdebug", " ".join(link_map.origins()))

    def test_a_long_section_name_has_its_address_and_size_on_the_next_line(self):
        origin = "/qt/lib/libQt6Core.a(qmimeprovider.cpp.obj)"
        link_map = linkmap.LinkMap(MAP + ".qtmimedatabase\n                0x0000000140006000  0x300\n"
                                   " .qtmimedatabase\n                0x0000000140006000  0x300 "
                                   f"{origin}\n")
        self.assertEqual(link_map.section_sizes[".qtmimedatabase"], 0x300)
        self.assertEqual(link_map.pieces[-1], (".qtmimedatabase", 0x300, origin))

    def test_a_file_that_is_no_map_is_refused(self):
        with self.assertRaisesRegex(linkmap.LinkMapError, "not a GNU ld map"):
            linkmap.LinkMap("Memory Configuration\n")


class Wrap(unittest.TestCase):
    def test_lines_are_filled_up_to_the_width_in_bytes(self):
        self.assertEqual(notices.wrap("aaa bbb ccc", 7), "aaa bbb\nccc")
        self.assertEqual(notices.wrap("aaa bbb\u00e9", 8), "aaa\nbbb\u00e9")  # é is 2 bytes
        self.assertEqual(notices.wrap(" a  b\n c "), "a b c")


if __name__ == "__main__":
    unittest.main()
