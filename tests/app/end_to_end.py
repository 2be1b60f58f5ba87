#!/usr/bin/python3
"""The whole converter as its users meet it: quarvo.exe with the real
renderer and encoder under Wine, files dragged onto its window from outside
Wine, the bit rate typed into its requester, its window closed; the results
read from the disk and its status bar from outside its process.

usage: end_to_end.py BUILD_DIR [unittest options]
BUILD_DIR is a Windows build (win64 or win32) holding quarvo.exe, amiga.exe,
suxx.exe and converter_probe.exe. QUARVO_LOCALE names the Wine locale
(ru_RU.UTF-8, code page 1251, by default).
"""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))

import made_tunes  # noqa: E402
from converter_session import Converter, Session, mp3_facts, temporary_folder  # noqa: E402

BUILD = None


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def files_under(folder, suffixes):
    found = []
    for where, _, names in os.walk(folder):
        found += [os.path.join(where, n) for n in names if n.lower().endswith(suffixes)]
    return sorted(found)


def counters(probe_output):
    return [line[len("field 2: "):] for line in probe_output.splitlines() if line.startswith("field 2: ")]


class ReadOnlyFolder:
    """A folder in which nothing new can be made, even by root (who is not
    stopped by permission bits): made immutable when running as root."""

    def __init__(self, path):
        self.path = path
        self.how = None

    def __enter__(self):
        if os.geteuid() != 0:
            os.chmod(self.path, 0o555)
            self.how = "chmod"
        elif subprocess.run(["chattr", "+i", self.path], stderr=subprocess.DEVNULL).returncode == 0:
            self.how = "chattr"
        return self

    def __exit__(self, *_):
        if self.how == "chmod":
            os.chmod(self.path, 0o755)
        elif self.how == "chattr":
            subprocess.run(["chattr", "-i", self.path], check=False)


class ConverterCase(unittest.TestCase):
    """A fresh working folder and music folder for each case, the converter
    started in the first by the case itself."""

    @classmethod
    def setUpClass(cls):
        cls.session = Session("end-to-end")

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.root = temporary_folder("quarvo-e2e-")
        self.work = os.path.join(self.root, "converter")
        self.music = os.path.join(self.root, "music")
        os.makedirs(self.music)
        self.converter = None

    def start_converter(self, renderer=None, encoder=None, variables=None):
        self.converter = Converter(self.session, BUILD, self.work, renderer=renderer, encoder=encoder)
        self.converter.start(variables)

    def start_steered_converter(self):
        """The converter with tests/app/steered_renderer in front of the real
        renderer."""
        self.start_converter(renderer=os.path.join(BUILD, "tests", "app", "steered_renderer.exe"))
        shutil.copy(os.path.join(BUILD, "tools", "amiga.exe"), os.path.join(self.work, "amiga_real.exe"))

    def tearDown(self):
        if self.converter:
            self.converter.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def assert_working_folder_clean(self):
        left = [n for n in os.listdir(self.work) if n.lower().endswith(".wav") or n.lower() == "ay_emul.ayl"]
        self.assertEqual(left, [], "the renderer's files are left in the working folder")
        self.assertEqual(files_under(self.music, (".wav",)), [])

    def convert(self, paths, total, timeout=900):
        """Drops `paths`, waits for the batch of `total` files; the texts of
        field 2 seen meanwhile."""
        watcher = self.converter.probe_in_background("-v", "--timeout", timeout, "wait-done", total)
        time.sleep(1.0)  # the watcher's first look comes before the drop
        self.assertEqual(self.converter.drop(paths), 0, "the drop was not taken")
        code, out = watcher.finish(timeout + 60)
        self.assertEqual(code, 0, out)
        return counters(out)


class EndToEnd(ConverterCase):
    def test_mixed_drop_converts_every_tune_beside_its_source_and_skips_the_rest(self):
        self.start_converter()
        m = self.music
        tune = os.path.join(m, "made tune.mod")
        cyrillic = os.path.join(m, "гамма.ym")
        bare = os.path.join(m, "tone")          # no extension
        text = os.path.join(m, "readme.txt")
        empty = os.path.join(m, "empty.xm")
        tree = os.path.join(m, "tree")
        write(tune, made_tunes.mod("made tune"))
        write(cyrillic, made_tunes.ym("scale"))
        write(bare, made_tunes.dro("tone"))
        write(text, b"not music at all\r\n" * 20)
        write(empty, b"")
        write(os.path.join(tree, "first.mod"), made_tunes.mod("first"))
        write(os.path.join(tree, "notes.txt"), b"a text file in a folder\r\n")
        write(os.path.join(tree, "sub", "second.dro"), made_tunes.dro("second"))
        write(os.path.join(tree, "sub", "deeper", "third.ym"), made_tunes.ym("third"))
        write(os.path.join(tree, "sub", "deeper", "empty.mod"), b"")
        os.makedirs(os.path.join(tree, "sub", "nothing here"))

        self.assertEqual(self.converter.set_bitrate("160"), "160 kbit")
        # Dropped: four files that have a size (the empty one is left out),
        # and a folder with five files of which one is empty.
        seen = self.convert([tune, cyrillic, bare, text, empty, tree], total=9)

        expected = {
            tune: "made tune", cyrillic: "scale", bare: "tone",
            os.path.join(tree, "first.mod"): "first",
            os.path.join(tree, "sub", "second.dro"): "second",
            os.path.join(tree, "sub", "deeper", "third.ym"): "third",
        }
        made = files_under(m, (".mp3",))
        want = sorted(os.path.splitext(p)[0] + ".mp3" if p != bare else p + ".mp3" for p in expected)
        self.assertEqual(made, want)
        for source, title in expected.items():
            mp3 = (source if source == bare else os.path.splitext(source)[0]) + ".mp3"
            seconds, kbit, tag = mp3_facts(mp3)
            self.assertEqual(kbit, 160, mp3)
            self.assertEqual(tag, title, mp3)
            self.assertGreater(seconds, 1.0, mp3)
        self.assert_working_folder_clean()

        # The counter: "0/0" before, the expansion's "0/n" rising, then each
        # file's turn "d/9" in order, ending at 9/9.
        self.assertEqual(seen[0], "0/0", seen)
        turns = [c for c in seen if not c.startswith("0/")]
        self.assertEqual(turns, ["%d/9" % d for d in range(1, 10)], seen)
        expansion = [int(c[2:]) for c in seen[1:] if c.startswith("0/")]
        self.assertEqual(expansion, sorted(expansion), seen)
        self.assertTrue(all(1 <= n <= 10 for n in expansion), seen)
        self.assertTrue(all(c.startswith("0/") for c in seen[:seen.index("1/9")]), seen)

    def test_bit_rate_changed_during_a_batch_applies_from_the_next_file_on(self):
        # The second file's render is held while the bit rate is changed,
        # so the batch surely stands there however quickly it runs: the
        # first file is done at 128, the second is the one in turn, and the
        # rest come after the change.
        self.start_steered_converter()
        paths = [os.path.join(self.music, name) for name in ("1 first.mod", "2 hold.mod", "3.mod", "4.mod", "5.mod")]
        for path in paths:
            write(path, made_tunes.mod(os.path.basename(path)))
        watcher = self.converter.probe_in_background("--timeout", 600, "wait-text", 2, "2/5")
        time.sleep(1.0)
        self.assertEqual(self.converter.drop(paths), 0)
        self.assertEqual(watcher.finish(660)[0], 0, "the batch did not reach its second file")
        self.assertEqual(self.converter.set_bitrate("192"), "192 kbit")
        self.assertEqual(self.converter.fields()[2], "2/5")
        write(os.path.join(self.work, "release"), b"")
        code, out = self.converter.probe("--timeout", 600, "wait-done", len(paths))
        self.assertEqual(code, 0, out)

        rates = [mp3_facts(os.path.splitext(p)[0] + ".mp3")[1] for p in paths]
        print("\nbit rate changed while file 2 was in turn; the MP3s' rates: %s" % rates, file=sys.stderr)
        self.assertEqual(rates[0], 128, rates)
        self.assertIn(rates[1], (128, 192), rates)  # in turn when the rate changed
        self.assertEqual(rates[2:], [192, 192, 192], rates)

    def test_closing_the_window_during_a_batch_ends_the_process_at_once_with_exit_code_0(self):
        self.start_converter()
        paths = []
        for i in range(4):
            paths.append(os.path.join(self.music, "%d.mod" % i))
            write(paths[-1], made_tunes.mod("tune %d" % i, rows=64, speed=15))
        watcher = self.converter.probe_in_background("--timeout", 600, "wait-busy")
        time.sleep(1.0)
        self.assertEqual(self.converter.drop(paths), 0)
        self.assertEqual(watcher.finish(660)[0], 0, "the converter did not get busy")
        code, seconds, out = self.converter.close()
        self.assertEqual(code, 0, out)
        self.assertIsNotNone(seconds, out)
        self.assertLess(seconds, 1.0, out)
        print("\nclose during a batch: " + out.strip(), file=sys.stderr)

    def test_a_read_only_target_folder_costs_its_own_files_only(self):
        self.start_converter()
        locked = os.path.join(self.music, "locked")
        open_ = os.path.join(self.music, "open")
        write(os.path.join(locked, "a.mod"), made_tunes.mod("a"))
        write(os.path.join(open_, "b.mod"), made_tunes.mod("b"))
        write(os.path.join(open_, "c.dro"), made_tunes.dro("c"))
        with ReadOnlyFolder(locked) as folder:
            if folder.how is None:
                self.skipTest("no way to make a read-only folder here")
            self.convert([locked, open_], total=3)
        self.assertEqual(files_under(locked, (".mp3",)), [])
        self.assertEqual(files_under(open_, (".mp3",)),
                         [os.path.join(open_, "b.mp3"), os.path.join(open_, "c.mp3")])
        self.assertEqual(sorted(os.listdir(locked)), ["a.mod"])
        self.assert_working_folder_clean()

    def test_a_file_that_vanishes_before_its_turn_is_skipped(self):
        # The first file's render is held until the last file is gone, so
        # the batch surely stands before its turn however quickly the
        # machine converts; timed batches of ordinary tunes once finished
        # before the test's probe came back.
        self.start_steered_converter()
        paths = [os.path.join(self.music, name) for name in ("1 hold.mod", "2 tune.mod", "3 gone.mod")]
        for path in paths:
            write(path, made_tunes.mod(os.path.basename(path)))
        watcher = self.converter.probe_in_background("--timeout", 600, "wait-busy")
        time.sleep(1.0)
        self.assertEqual(self.converter.drop(paths), 0)
        self.assertEqual(watcher.finish(660)[0], 0, "the converter did not get busy")
        os.remove(paths[-1])
        self.assertEqual(self.converter.fields()[2], "1/3")  # the counter names the file in turn
        write(os.path.join(self.work, "release"), b"")
        code, out = self.converter.probe("--timeout", 600, "wait-done", 3)
        self.assertEqual(code, 0, out)
        self.assertEqual(files_under(self.music, (".mp3",)), [os.path.splitext(p)[0] + ".mp3" for p in paths[:2]])
        self.assert_working_folder_clean()


def windows_length(path):
    """The length of `path` as Windows counts it (UTF-16 units), on Wine's
    Z: drive."""
    return len(("Z:" + path).encode("utf-16-le")) // 2


# Names from the scripts a collection brings, each for a file and, with a
# folder of such names, for the files in it: Latin letters with diacritics,
# Cyrillic, Greek, Japanese, and characters beyond 16 bits (two UTF-16
# units each), which no ANSI code page but UTF-8 holds.
INTERNATIONAL = [
    ("Dvořák – Übermut.mod", "latin"),
    ("Чиптюн ёлка.ym", "cyrillic"),
    ("Ελληνική μελωδία.dro", "greek"),
    ("日本の曲.mod", "japanese"),
    ("\U0001F3B5 note \U00020000.ym", "beyond"),
]
INTERNATIONAL_FOLDER = "Ordner Ä – Папка – Φάκελος – フォルダ \U0001F3B6"


def made_tune(name, title):
    maker = {".mod": made_tunes.mod, ".ym": made_tunes.ym, ".dro": made_tunes.dro}[os.path.splitext(name)[1]]
    return maker(title)


class International(ConverterCase):
    """Any name under any locale: run under the Russian and the English one."""

    def test_names_in_every_script_convert_beside_their_sources_with_their_titles(self):
        self.start_converter()
        print("\nlocale %s" % self.session.locale, file=sys.stderr)
        # The converter's own texts, read as UTF-16 from its windows.
        self.assertEqual(self.converter.fields()[1], "Тащи сюда!")
        self.assertEqual(self.converter.windows(), [" quarvo converter"])
        self.assertEqual(self.converter.set_bitrate("192"), "192 kbit")

        folder = os.path.join(self.music, INTERNATIONAL_FOLDER)
        expected = {}
        for name, title in INTERNATIONAL:
            expected[os.path.join(self.music, name)] = title
            expected[os.path.join(folder, "in folder " + name)] = "folder " + title
        for path, title in expected.items():
            write(path, made_tune(path, title))
        dropped = [os.path.join(self.music, name) for name, _ in INTERNATIONAL] + [folder]
        self.assertEqual(self.convert(dropped, total=len(expected))[-1], "%d/%d" % ((len(expected),) * 2))

        made = files_under(self.music, (".mp3",))
        self.assertEqual(made, sorted(os.path.splitext(p)[0] + ".mp3" for p in expected))
        for source, title in expected.items():
            mp3 = os.path.splitext(source)[0] + ".mp3"
            seconds, kbit, tag = mp3_facts(mp3)
            self.assertEqual((kbit, tag), (192, title), mp3)
            self.assertGreater(seconds, 0.5, mp3)
        self.assert_working_folder_clean()


def every_file(folder):
    found = set()
    for where, _, names in os.walk(folder):
        found |= {os.path.join(where, n) for n in names}
    return found


class HardCases(ConverterCase):
    """What a real collection brings: very long paths, big drops, an engine
    that crashes on a file."""

    def test_paths_longer_than_260_characters_are_refused_never_cut(self):
        self.start_converter()
        tree = os.path.join(self.music, "tree")
        ok = os.path.join(tree, "fine.mod")
        write(ok, made_tunes.mod("fine"))
        # A folder that can be listed holding a file whose full path is too
        # long, and a folder whose own path is too long.
        near = os.path.join(tree, "n" * 120, "m" * (255 - windows_length(os.path.join(tree, "n" * 120)) - 2))
        long_file = os.path.join(near, "a tune with a long name.mod")
        write(long_file, made_tunes.mod("too long"))
        beyond = os.path.join(tree, "b" * 150, "c" * 150)
        write(os.path.join(beyond, "x.mod"), made_tunes.mod("beyond"))
        self.assertLess(windows_length(near), 260)
        self.assertGreater(windows_length(long_file), 260)
        self.assertGreater(windows_length(beyond), 260)
        before = every_file(self.root)

        watcher = self.converter.probe_in_background("--timeout", 600, "wait-done", "any")
        time.sleep(1.0)
        self.assertEqual(self.converter.drop([tree]), 0)
        code, out = watcher.finish(660)
        self.assertEqual(code, 0, out)
        self.assertEqual(every_file(self.root) - before, {os.path.join(tree, "fine.mp3")})
        self.assertEqual(before - every_file(self.root), set())
        self.assert_working_folder_clean()

    def test_a_thousand_files_dropped_at_once_make_one_batch(self):
        nothing = os.path.join(BUILD, "bench", "do_nothing.exe")
        self.start_converter(renderer=nothing, encoder=nothing)
        paths = [os.path.join(self.music, "tune %04d.mod" % i) for i in range(1000)]
        for path in paths:
            write(path, b"x")
        watcher = self.converter.probe_in_background("--timeout", 300, "wait-text", 2, "1/1000")
        time.sleep(1.0)
        self.assertEqual(self.converter.drop(paths, timeout=120), 0)
        code, out = watcher.finish(360)
        self.assertEqual(code, 0, out)
        # Its thousand do-nothing runs are not waited for.
        exit_code, _, out = self.converter.close()
        self.assertEqual(exit_code, 0, out)

    def test_a_renderer_that_crashes_on_a_file_costs_that_file_only(self):
        self.start_steered_converter()
        names = ["1 first.mod", "2 crash.mod", "3 last.dro"]
        for name in names:
            write(os.path.join(self.music, name),
                  made_tunes.dro(name) if name.endswith(".dro") else made_tunes.mod(name))
        self.convert([os.path.join(self.music, n) for n in names], total=3)
        self.assertEqual(files_under(self.music, (".mp3",)),
                         [os.path.join(self.music, "1 first.mp3"), os.path.join(self.music, "3 last.mp3")])
        self.assert_working_folder_clean()

    def test_the_renderers_wall_clock_limit_ends_an_endless_render_and_the_batch_goes_on(self):
        # The limit is lowered from two minutes to a second so that the
        # case is quick; the endless tune's render would take far longer.
        self.start_converter(variables={"AMIGA_TIME_LIMIT_MS": "1000"})
        names = ["1 endless.psg", "2 after.dro"]
        write(os.path.join(self.music, names[0]), made_tunes.endless_psg())
        write(os.path.join(self.music, names[1]), made_tunes.dro("after"))
        self.assertEqual(self.convert([os.path.join(self.music, n) for n in names], total=2)[-1], "2/2")
        self.assertEqual(files_under(self.music, (".mp3",)), [os.path.join(self.music, "2 after.mp3")])
        self.assert_working_folder_clean()


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
