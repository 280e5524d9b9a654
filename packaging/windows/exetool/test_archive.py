import io
import os
import tempfile
import time
import unittest
import zipfile

import archive


class Zip(unittest.TestCase):
    def test_the_same_members_give_the_same_bytes_whenever(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(os.system, f"rm -rf {folder}")
        members = [("Kestrum.exe", b"MZ\r\n"), ("README.txt", b"\xef\xbb\xbfone\r\ntwo\n"),
                   ("Kestrum.cdx.json", b"{}\n")]
        paths = [os.path.join(folder, name) for name in ("a.zip", "b.zip")]
        archive.write(paths[0], 1767225600, members)
        time.sleep(1.1)
        archive.write(paths[1], 1767225600, members)
        with open(paths[0], "rb") as a, open(paths[1], "rb") as b:
            data = a.read()
            self.assertEqual(data, b.read())
        with zipfile.ZipFile(io.BytesIO(data)) as written:
            self.assertEqual([info.filename for info in written.infolist()],
                             ["Kestrum.exe", "README.txt", "Kestrum.cdx.json"])
            self.assertEqual(written.read("Kestrum.exe"), b"MZ\r\n")
            self.assertEqual(written.read("README.txt"), b"\xef\xbb\xbfone\r\ntwo\r\n")
            self.assertEqual(written.getinfo("README.txt").date_time, (2026, 1, 1, 0, 0, 0))
            self.assertEqual(written.read("Kestrum.cdx.json"), b"{}\n")
            # Only the program is executable once unpacked.
            self.assertEqual([written.getinfo(name).external_attr >> 16 for name in
                              ("Kestrum.exe", "README.txt", "Kestrum.cdx.json")],
                             [0o100755, 0o100644, 0o100644])


if __name__ == "__main__":
    unittest.main()
