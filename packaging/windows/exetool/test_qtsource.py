import json
import os
import subprocess
import tempfile
import unittest

import qtsource

BUILD = """rule cc
  command = printf '%s: %s\\n' $out "$files" > $out.d && touch $out
  depfile = $out.d
  deps = gcc
build zlib/adler32.c.obj: cc
  files = ../source/src/3rdparty/zlib/adler32.c ../source/src/corelib/qglobal.h
build png.c.obj: cc
  files = {source}/src/3rdparty/libpng/sub/png.c
build qstring.cpp.obj: cc
  files = ../source/src/corelib/qstring.cpp
"""


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as file:
        file.write(text)


class Collect(unittest.TestCase):
    """What the notices are made from, from a tiny source tree and a ninja
    build that records which files each object was compiled from."""

    def test_each_entry_covers_the_objects_compiled_from_its_files(self):
        top = tempfile.mkdtemp()
        self.addCleanup(os.system, f"rm -rf {top}")
        source, build = os.path.join(top, "source"), os.path.join(top, "build")
        write(f"{source}/debian/changelog", "qt6-base (6.4.2+dfsg-10) unstable; urgency=medium\n")
        write(f"{source}/debian/control", "Source: qt6-base\nHomepage: https://qt.example/\n\n"
                                          "Package: libqt6core6\nHomepage: elsewhere\n")
        write(f"{source}/LICENSES/LGPL-3.0-only.txt", "LGPL\n")
        write(f"{source}/src/3rdparty/zlib/LICENSE", "zlib licence\n")
        write(f"{source}/src/3rdparty/zlib/qt_attribution.json", json.dumps(
            {"Id": "zlib", "Name": "zlib", "LicenseFile": "LICENSE", "Files": "adler32.c"}))
        write(f"{source}/src/3rdparty/libpng/qt_attribution.json", json.dumps(
            [{"Id": "libpng", "Name": "libpng", "Path": "sub"}, {"Id": "x", "Name": "x"}]))
        write(f"{source}/src/3rdparty/zlib/tests/qt_attribution.json", "not even JSON")
        write(f"{build}/build.ninja", BUILD.format(source=source))
        subprocess.run(["ninja", "-C", build], check=True, capture_output=True)

        notices = os.path.join(top, "notices")
        qtsource.collect(source, build, notices, "https://archive.example/qt6-base.dsc")

        def read(name):
            with open(os.path.join(notices, name)) as file:
                return file.read()
        self.assertEqual(read("qt-source"), "package qt6-base\nversion 6.4.2+dfsg-10\n"
                         "homepage https://qt.example/\ndsc https://archive.example/qt6-base.dsc\n")
        self.assertEqual(read("src/3rdparty/zlib/qt_attribution.units"), "0 adler32.c\n")
        self.assertEqual(read("src/3rdparty/libpng/qt_attribution.units"), "0 png.c\n1 png.c\n")
        self.assertEqual(read("src/3rdparty/zlib/LICENSE"), "zlib licence\n")
        self.assertEqual(read("LICENSES/LGPL-3.0-only.txt"), "LGPL\n")
        # What the notices and the bill read back from it.
        self.assertEqual([(path, [(library.get("Id"), library.where, library.files("LicenseFile"))
                                  for library in libraries], lines)
                          for path, libraries, lines in qtsource.collected(notices)], [
            ("src/3rdparty/libpng/qt_attribution.json",
             [("libpng", "src/3rdparty/libpng", []), ("x", "src/3rdparty/libpng", [])],
             [(0, "png.c"), (1, "png.c")]),
            ("src/3rdparty/zlib/qt_attribution.json", [("zlib", "src/3rdparty/zlib", ["LICENSE"])],
             [(0, "adler32.c")])])
        with self.assertRaisesRegex(qtsource.CollectError, "already exists"):
            qtsource.collect(source, build, notices)


if __name__ == "__main__":
    unittest.main()
