import os
import re
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGING = os.path.dirname(HERE)
ROOT = os.path.dirname(os.path.dirname(PACKAGING))
# Each folder, the names of its files from the repository's root, and as the page gives them.
FOLDERS = [(PACKAGING, "packaging/windows/", ""),
           (os.path.join(ROOT, "app", "windows"), "app/windows/", "app/windows/")]


def read(path):
    with open(path, encoding="utf-8") as file:
        return file.read()


def files():
    """(path, name from the repository's root, name as the page may give it) of every file that
    makes or checks the download."""
    for folder, from_root, short in FOLDERS:
        for path, subfolders, names in os.walk(folder):
            subfolders[:] = [name for name in subfolders if name != "__pycache__"]
            for name in names:
                relative = os.path.relpath(os.path.join(path, name), folder).replace(os.sep, "/")
                yield os.path.join(path, name), from_root + relative, short + relative


class OnePage(unittest.TestCase):
    page = read(os.path.join(PACKAGING, "README.md"))

    def test_the_read_me_names_every_file_of_the_pipeline(self):
        named = set(re.findall(r"`([^`]+)`", self.page))
        # A name with a <placeholder> names every file it fits: one a version.
        patterns = [re.compile("[^/]+".join(map(re.escape, re.split(r"<[^>]+>", name))))
                    for name in named if "<" in name]
        for _, from_root, short in files():
            name = os.path.basename(short)
            # Named as from this folder or from the repository's root.
            if name != "README.md" and not name.startswith("test_") and not any(
                    given in named or any(pattern.fullmatch(given) for pattern in patterns)
                    for given in (short, from_root)):
                self.fail(f"the page does not name {short}")

    def test_the_sections_and_recipes_the_files_point_to_are_on_the_page(self):
        """A file's (README.md, "Harden"; recipe 4) must lead to that section and recipe, so that
        renaming a section or renumbering the recipes brings the files in line."""
        headings = set(re.findall(r"^#+ (.+?)\s*$", self.page, re.M))
        recipes = set(re.findall(r"^\*\*(\d+)\. ", self.page, re.M))
        self.assertEqual(recipes, {str(n) for n in range(1, len(recipes) + 1)},
                         "the recipes are numbered 1, 2, ... in order")
        # The project's read-me's "Verifying a download" is pointed to as well.
        headings |= set(re.findall(r"^#+ (.+?)\s*$", read(os.path.join(ROOT, "README.md")), re.M))
        # "Harden: safe to run from anywhere" is "Harden" for short.
        headings |= {heading.split(": ")[0] for heading in headings}
        for path, from_root, _ in files():
            if path == os.path.abspath(__file__):
                continue
            try:
                text = read(path)
            except UnicodeDecodeError:
                continue
            # A string continued on the next line, a quote escaped, any run of blanks as one.
            text = re.sub(r"\s+", " ", re.sub(r'"[ \t]*\n\s*"', "", text).replace('\\"', '"'))
            # README.md, "A"; README.md (its table, "A" and "B"; ...); README.md of the source, "A"
            quoted = r'README\.md[^")]{0,25}?((?:"[A-Z][^"]*"(?:,? and |, )?)+)'
            for names in re.findall(quoted, text):
                for section in re.findall(r'"([^"]+)"', names):
                    with self.subTest(file=from_root, section=section):
                        self.assertIn(section, headings, f'{from_root} points to a section '
                                      f'"{section}" that no read-me has')
            for first, second in re.findall(r"\brecipes? (\d+)(?: and (\d+))?", text):
                for number in filter(None, (first, second)):
                    with self.subTest(file=from_root, recipe=number):
                        self.assertIn(number, recipes, f"{from_root} points to recipe {number}, "
                                      "which the page does not have")


if __name__ == "__main__":
    unittest.main()
