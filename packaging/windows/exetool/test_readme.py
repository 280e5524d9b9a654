import os
import re
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGING = os.path.dirname(HERE)
ROOT = os.path.dirname(os.path.dirname(PACKAGING))


class OnePage(unittest.TestCase):
    def test_the_read_me_names_every_file_of_the_pipeline(self):
        with open(os.path.join(PACKAGING, "README.md"), encoding="utf-8") as file:
            named = set(re.findall(r"`([^`]+)`", file.read()))
        # A name with a <placeholder> names every file it fits: one a version.
        patterns = [re.compile("[^/]+".join(map(re.escape, re.split(r"<[^>]+>", name))))
                    for name in named if "<" in name]
        for folder, prefix in [(PACKAGING, ""), (os.path.join(ROOT, "app", "windows"), "app/windows/")]:
            for path, subfolders, files in os.walk(folder):
                subfolders[:] = [name for name in subfolders if name != "__pycache__"]
                for name in files:
                    relative = prefix + os.path.relpath(os.path.join(path, name), folder)
                    if name != "README.md" and not name.startswith("test_") and not any(
                            pattern.fullmatch(relative) for pattern in patterns):
                        self.assertTrue(relative in named, f"the page does not name {relative}")


if __name__ == "__main__":
    unittest.main()
