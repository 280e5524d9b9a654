import importlib.machinery
import os
import shutil
import subprocess
import tempfile
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
loader = importlib.machinery.SourceFileLoader("mutants", os.path.join(HERE, "mutants"))
mutants = types.ModuleType(loader.name)
mutants.__file__ = loader.path
loader.exec_module(mutants)

# One of each operator, and lines that must be left alone, as clang-format
# leaves our sources.
SOURCE = r"""#include "Thing.h"
#include <array>
#define LIMIT(a) ((a) < 10)

int first(int a, int b)
{
    if (a > 0 && b > 0)
        return a + b;
    if (a <= b)
        return !ready(a);
    const bool open = !done(b);
    int count = 13;
    update(count);
    logger->flush();
    if (open)
        update(b);
    return std::array<int, 3>().size() + static_cast<int>(b);
}

// a < b && c || !d, 42
/* a == b
   && 7 */
void second(Stream &out, Thing *thing)
{
    out << "a < b && 1" << 'x';
    thing->value = text.indexOf('!');
    const auto raw = R"(a == b || 3)";
    out >> value;
    void setDelayForTesting(int milliseconds = 0);
    Q_ASSERT(count == 2);
    Q_UNUSED(thing);
    thing->first(b,
                 count);
}
#define LIMIT(a) \
    ((a) < 10)
"""


def mutated(source=SOURCE, path="core/Thing.cpp"):
    return {m.line: m for m in mutants.mutants_of(path, source)}


class Operators(unittest.TestCase):
    def test_each_operator_gives_its_mutant(self):
        found = mutated()
        expected = {
            7: ("logical", "    if (a > 0 || b > 0)"),
            9: ("comparison", "    if (a < b)"),
            10: ("not", "        return ready(a);"),
            11: ("not", "    const bool open = done(b);"),
            12: ("constant", "    int count = 14;"),
            13: ("call", ""),
            14: ("call", ""),
            # The only statement of an if: an empty block keeps the next
            # statement out of it.
            16: ("call", "        {}"),
        }
        for line, (operator, after) in expected.items():
            with self.subTest(line=line):
                self.assertIn(line, found)
                self.assertEqual((found[line].operator, found[line].after), (operator, after))

    def test_comparisons_flip_and_shift(self):
        for before, after in [("<", "<="), ("<=", "<"), (">", ">="), (">=", ">"), ("==", "!="),
                              ("!=", "==")]:
            with self.subTest(before):
                found = mutated(f"bool f(int a, int b)\n{{\n    return a {before} b;\n}}\n")
                self.assertEqual(found[3].after, f"    return a {after} b;")

    def test_or_becomes_and(self):
        found = mutated("bool f(bool a, bool b)\n{\n    return a\n        || b;\n}\n")
        self.assertEqual(found[4].after, "        && b;")

    def test_constants_move_up_by_one_in_their_own_notation(self):
        for before, after in [("0", "1"), ("9", "10"), ("0x7F", "0x80"), ("0xff", "0x100"),
                              ("0x00", "0x01"), ("017", "020"), ("3u", "4u")]:
            with self.subTest(before):
                found = mutated(f"int f()\n{{\n    return {before};\n}}\n")
                self.assertEqual(found[3].after, f"    return {after};")

    def test_the_first_operator_in_order_wins_one_mutant_a_line(self):
        found = mutated("int f(int a)\n{\n    return !a == 2 && g(3);\n}\n")
        self.assertEqual(len(found), 1)
        self.assertEqual(found[3].after, "    return !a == 2 || g(3);")
        found = mutated("int f(int a)\n{\n    return !a == 2;\n}\n")
        self.assertEqual(found[3].after, "    return !a != 2;")
        found = mutated("int f(int a)\n{\n    return !g(a, 2);\n}\n")
        self.assertEqual(found[3].after, "    return g(a, 2);")

    def test_what_is_no_code_or_no_operator_is_left_alone(self):
        found = mutated()
        # Preprocessor lines, a comment, streams, literals, ->, templates, the
        # tests' seams, asserts this build compiles out, a macro, a call cut
        # in two.
        for line in [1, 2, 3, 17, 20, 21, 22, 25, 26, 27, 28, 29, 30, 31, 32, 33, 35, 36]:
            with self.subTest(line=line):
                self.assertNotIn(line, found)

    def test_a_header_has_no_calls_removed(self):
        source = "class Item\n{\npublic:\n    Item(int size);\n    void f() { g(); }\n};\n"
        self.assertEqual(mutated(source, "core/A.h"), {})
        self.assertIn(4, mutated(source, "core/A.cpp"))

    def test_a_swapped_logical_operator_is_not_refused_for_its_parentheses(self):
        source = ("#include <cstddef>\n\nnamespace {\nbool f(bool a, bool b, bool c)\n{\n"
                  "    return a && b\n        && c;\n}\n}\n"
                  "bool g()\n{\n    return f(1, 0, 1);\n}\n")
        text = mutants.mutated_text(source, mutated(source)[6])
        lines = text.split("\n")
        self.assertEqual(len(lines), len(source.split("\n")))
        self.assertEqual(lines[2], mutants.QUIET_PARENTHESES + "namespace {")
        self.assertEqual(lines[5], "    return a || b")
        compiler = shutil.which("c++")
        if compiler:
            for code in (source, text):
                subprocess.run([compiler, "-std=c++20", "-Wall", "-Wextra", "-Werror",
                                "-fsyntax-only", "-x", "c++", "-"], input=code, text=True,
                               check=True)
        # No other operator needs it.
        text = mutants.mutated_text(source, mutated(source)[12])
        self.assertEqual(text, source.replace("f(1, 0, 1)", "f(2, 0, 1)"))

    def test_the_mutant_names_its_place(self):
        self.assertEqual(str(mutated()[13]), "core/Thing.cpp:13: update(count); → (deleted)")
        self.assertEqual(str(mutated()[9]), "core/Thing.cpp:9: if (a <= b) → if (a < b)")


class Selection(unittest.TestCase):
    def test_the_sample_keeps_its_lines_when_others_change(self):
        lines = [f"    total += {n};" for n in range(400)]
        source = "void f()\n{\n" + "\n".join(lines) + "\n}\n"
        before = {m.before for m in mutants.mutants_of("core/A.cpp", source)
                  if mutants.sampled(m, 4)}
        self.assertGreater(len(before), 60)
        self.assertLess(len(before), 140)
        changed = source.replace("    total += 7;", "    total -= 7;\n    extra(1);")
        after = {m.before for m in mutants.mutants_of("core/A.cpp", changed)
                 if mutants.sampled(m, 4)}
        self.assertEqual(before - {"    total += 7;"}, after - {"    total -= 7;", "    extra(1);"})
        self.assertEqual(len([m for m in mutants.mutants_of("core/A.cpp", source)
                              if mutants.sampled(m, 1)]), 400)

    def test_changed_lines_come_from_git_diff(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])

        def git(*arguments):
            return subprocess.run(["git", "-C", folder, "-c", "user.name=t", "-c", "user.email=t@t",
                                   *arguments], check=True, capture_output=True, text=True).stdout

        git("init", "-q")
        os.makedirs(os.path.join(folder, "core"))
        with open(os.path.join(folder, "core", "A.cpp"), "w") as file:
            file.write("".join(f"line {n}\n" for n in range(1, 21)))
        git("add", ".")
        git("commit", "-qm", "first")
        with open(os.path.join(folder, "core", "A.cpp"), "w") as file:
            file.write("".join(f"line {n}\n" for n in range(1, 21) if n != 5)
                       .replace("line 8\n", "line 8 changed\n")
                       .replace("line 12\n", "line 12\nnew a\nnew b\n"))
        with open(os.path.join(folder, "core", "B.cpp"), "w") as file:
            file.write("one\ntwo\n")
        git("add", ".")
        changed = mutants.changed_lines(git("diff", "-U0", "--cached", "HEAD"))
        self.assertEqual(changed, {"core/A.cpp": {7, 12, 13}, "core/B.cpp": {1, 2}})


class Checker:
    """Stands in for the build and the tests, with the outcomes given; keeps
    what each build saw of the file."""

    def __init__(self, path, builds, tests):
        self.path, self.builds, self.tests, self.seen = path, builds, tests, []

    def build(self):
        with open(self.path) as file:
            self.seen.append(file.read())
        return self.builds.pop(0)

    def test(self):
        outcome = self.tests.pop(0)
        if outcome == "interrupt":
            raise KeyboardInterrupt
        return outcome


class Checking(unittest.TestCase):
    def setUp(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        self.original = "int f(int a)\n{\n    return a < 2;\n}\n"
        self.path = os.path.join(folder, "core", "A.cpp")
        os.makedirs(os.path.dirname(self.path))
        with open(self.path, "w") as file:
            file.write(self.original)
        self.old_root, mutants.ROOT = mutants.ROOT, folder
        self.addCleanup(setattr, mutants, "ROOT", self.old_root)
        self.mutants = list(mutated(self.original, "core/A.cpp").values()) * 3

    def read(self):
        with open(self.path) as file:
            return file.read()

    def test_each_mutant_is_tested_then_the_file_restored(self):
        checker = Checker(self.path, [True, False, True, True], ["tst_a", None])
        results = mutants.check_mutants(self.mutants, checker, report=lambda text: None)
        self.assertEqual([r["outcome"] for r in results], ["caught", "did not compile", "SURVIVED"])
        self.assertEqual(results[0]["failed"], "tst_a")
        mutant = self.original.replace("a < 2", "a <= 2")
        self.assertEqual(checker.seen, [mutant, mutant, mutant, self.original])
        self.assertEqual(self.read(), self.original)
        self.assertIn("survivors (1):\n  core/A.cpp:3: return a < 2; → return a <= 2;",
                      mutants.summary(results))
        self.assertIn("  core/       1 / 2      50 %   (1 did not compile)\n",
                      mutants.summary(results))

    def test_an_interrupt_leaves_no_mutant_behind(self):
        checker = Checker(self.path, [True, True], ["interrupt"])
        with self.assertRaises(KeyboardInterrupt):
            mutants.check_mutants(self.mutants, checker, report=lambda text: None)
        self.assertEqual(self.read(), self.original)
        # The build is brought back to the sources as they are.
        self.assertEqual(checker.seen[-1], self.original)

    def test_a_file_changed_since_the_listing_is_not_touched(self):
        with open(self.path, "w") as file:
            file.write(self.original.replace("a < 2", "a < 3"))
        with self.assertRaises(RuntimeError):
            mutants.check_mutants(self.mutants, Checker(self.path, [], []),
                                  report=lambda text: None)
        self.assertIn("a < 3", self.read())


class Tests(unittest.TestCase):
    def test_the_first_failed_test_is_named(self):
        output = """Test project /b
    Start 1: cp932
1/3 Test #1: cp932 ............................   Passed    0.05 sec
    Start 2: versionscript
2/3 Test #2: versionscript ....................***Failed    0.10 sec
3/3 Test #3: profile ..........................Subprocess aborted***Exception:   0.2 sec
"""
        self.assertEqual(mutants.first_failure(output), "versionscript")


if __name__ == "__main__":
    unittest.main()
