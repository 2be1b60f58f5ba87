"""The converter under Wine, driven from outside as a person drives it: its
programs staged in a folder, quarvo.exe started there, files dragged onto
its window from a GTK drag source (scripts/drag-files) with xdotool, the
status bar clicked, the window closed; what it shows is read with
converter_probe.exe, what it made from the disk.

A session has an Xvfb display and a Wine prefix of its own, so that no other
test's windows, pointer moves or converter windows of the same title meet
its own. In that prefix Wine manages no windows: with no window manager on
the display, Wine would otherwise wait two seconds for one each time a
window is hidden, and the converter's close would be measured with Wine's
wait in it.

Used by the end-to-end tests and the benchmarks; run with /usr/bin/python3.
"""

import os
import shutil
import subprocess
import tempfile
import time

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_RUN = os.path.join(TOP, "scripts", "wine-run")
DRAG_FILES = os.path.join(TOP, "scripts", "drag-files")

IDLE_TEXT = "Тащи сюда!"
REQUESTER_TITLE = "Укажи желаемый битрейт mp3"


def cache_folder():
    if os.environ.get("QUARVO_CACHE"):
        return os.environ["QUARVO_CACHE"]
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "quarvo")


class WineRun:
    """A Windows program running under wine-run, its output going to a file:
    the Wine server and services that its start may launch keep a copy of
    its output handles, so a pipe would not end with the program."""

    def __init__(self, command, env, cwd):
        self.output = tempfile.TemporaryFile()
        self.process = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                        stdout=self.output, stderr=subprocess.STDOUT)

    def finish(self, timeout=600):
        """(exit code, output)"""
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = self.process.wait()
        self.output.seek(0)
        text = self.output.read().decode("utf-8", "replace")
        self.output.close()
        return code, text


class Session:
    """An Xvfb display and a Wine prefix of their own; close() ends both."""

    def __init__(self, name="end-to-end", locale=None):
        """`locale`: the Wine locale, by default QUARVO_LOCALE's or the
        Russian one (code page 1251); each has a prefix of its own, so that
        runs under two locales may go side by side."""
        self.locale = locale or os.environ.get("QUARVO_LOCALE") or "ru_RU.UTF-8"
        suffix = "" if self.locale == "ru_RU.UTF-8" else "-" + self.locale.split(".")[0]
        self.prefix = os.path.join(cache_folder(), "wine-prefix-" + name + suffix)
        self.xvfb = None
        self.display = self._start_xvfb()
        self.env = dict(os.environ)
        self.env.update(
            DISPLAY=self.display,
            LC_ALL=self.locale,
            QUARVO_LOCALE=self.locale,
            QUARVO_WINEPREFIX=self.prefix,
            WINEPREFIX=self.prefix,
            # A program that crashes ends, as it would on a desktop where
            # nobody waits to debug it, instead of waiting for a debugger.
            WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d",
        )
        self._prepare_prefix()

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.xvfb.kill()
            raise RuntimeError("Xvfb did not start")
        return ":" + number.decode().strip()

    def _prepare_prefix(self):
        subprocess.run([WINE_RUN, "--prepare"], env=self.env, check=True)
        marker = os.path.join(self.prefix, ".quarvo-unmanaged")
        if not os.path.exists(marker):
            subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                            "/t", "REG_SZ", "/d", "N", "/f"], env=self.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env, check=False)
            open(marker, "w").close()

    def wine(self, program, *args, cwd=None, timeout=600):
        """Runs a Windows program to its end; (exit code, output)."""
        run = self.start_wine(program, *args, cwd=cwd)
        return run.finish(timeout)

    def start_wine(self, program, *args, cwd=None):
        """Starts a Windows program; finish() waits for it."""
        return WineRun([WINE_RUN, program] + [str(a) for a in args], self.env, cwd)

    def xdotool(self, *args):
        run = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return run.stdout.decode("utf-8", "replace")

    def screenshot(self, path, crop=None):
        command = ["import", "-window", "root"]
        if crop:
            left, top, right, bottom = crop
            command += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage"]
        subprocess.run(command + [path], env=self.env, check=False)

    def close(self):
        # The prefix is this session's own: ending its server ends only the
        # programs that this session started.
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=30)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(10)
            self.xvfb = None


def parse_rects(text):
    rects = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 5 and parts[0] in ("window", "client", "statusbar"):
            rects[parts[0]] = tuple(int(p) for p in parts[1:])
    return rects


class Converter:
    """quarvo.exe with its renderer and encoder in a working folder."""

    def __init__(self, session, build, folder, renderer=None, encoder=None):
        self.session = session
        self.build = build
        self.folder = folder
        self.probe_exe = os.path.join(build, "tests", "support", "converter_probe.exe")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(os.path.join(build, "app", "quarvo.exe"), folder)
        shutil.copy(renderer or os.path.join(build, "tools", "amiga.exe"), os.path.join(folder, "amiga.exe"))
        shutil.copy(encoder or os.path.join(build, "tools", "suxx.exe"), os.path.join(folder, "suxx.exe"))
        self.process = None
        self.rects = {}

    def start(self, variables=None):
        """`variables`: environment variables for the converter, which its
        renderer and encoder inherit."""
        env = dict(self.session.env, **(variables or {}))
        self.process = subprocess.Popen([WINE_RUN, "./quarvo.exe"], cwd=self.folder, env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        code, out = self.probe("--timeout", 60, "wait-window", "rect")
        if code != 0:
            raise RuntimeError("the converter's window did not appear: " + out)
        self.rects = parse_rects(out)
        # Its first paint and the busy indicator's first idle text.
        code, out = self.probe("--timeout", 20, "wait-done", 0)
        if code != 0:
            raise RuntimeError("the converter did not come up idle: " + out)

    def probe(self, *args, timeout=3600):
        return self.session.wine(self.probe_exe, *args, timeout=timeout)

    def probe_in_background(self, *args):
        """A probe that runs beside the test; its finish() gives (exit code, output)."""
        return self.session.start_wine(self.probe_exe, *args)

    def fields(self):
        code, out = self.probe("fields")
        fields = {}
        for line in out.splitlines():
            if line.startswith("field ") and ": " in line:
                number, text = line[len("field "):].split(": ", 1)
                fields[int(number)] = text
        return fields

    def windows(self):
        """The captions of the converter's visible top-level windows."""
        code, out = self.probe("windows")
        return [line[len("window: "):] for line in out.splitlines() if line.startswith("window: ")]

    def drop_point(self):
        left, top, right, bottom = self.rects["client"]
        return (left + right) // 2, (top + bottom) // 2 - 10

    def drop(self, paths, timeout=30):
        """Drags `paths` onto the window; drag-files' exit status (0: taken)."""
        x, y = self.drop_point()
        run = subprocess.run(["/usr/bin/python3", DRAG_FILES, "--to", "%d,%d" % (x, y), "--from", "40,40",
                              "--timeout", str(timeout)] + list(paths),
                             env=self.session.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        return run.returncode

    def set_bitrate(self, entry):
        """Clicks the status bar, types `entry` into the requester and presses
        Enter, as a person does; the new text of field 0."""
        left, top, right, bottom = self.rects["statusbar"]
        self.session.xdotool("mousemove", left + 20, (top + bottom) // 2)
        time.sleep(0.1)
        self.session.xdotool("click", "1")
        found = ""
        deadline = time.time() + 20
        while not found and time.time() < deadline:
            found = self.session.xdotool("search", "--onlyvisible", "--name", REQUESTER_TITLE).split()
            if not found:
                time.sleep(0.1)
        if not found:
            raise RuntimeError("no requester after the click")
        # The caption as the window holds it, in UTF-16, not only as X shows it.
        captions = self.windows()
        if REQUESTER_TITLE not in captions:
            raise RuntimeError("the requester's caption reads %r" % captions)
        requester = found[0]
        # No window manager gives the requester the keyboard: the pointer
        # over it does.
        geometry = dict(line.split("=", 1) for line in
                        self.session.xdotool("getwindowgeometry", "--shell", requester).split())
        self.session.xdotool("mousemove", int(geometry["X"]) + int(geometry["WIDTH"]) // 2,
                             int(geometry["Y"]) + int(geometry["HEIGHT"]) // 2)
        time.sleep(0.2)
        # The default text is replaced as a person replaces it: from its end.
        self.session.xdotool("key", "End", *["BackSpace"] * 6)
        self.session.xdotool("type", "--delay", "30", entry)
        self.session.xdotool("key", "Return")
        deadline = time.time() + 20
        while time.time() < deadline:
            if not self.session.xdotool("search", "--onlyvisible", "--name", REQUESTER_TITLE).split():
                return self.fields().get(0, "")
            time.sleep(0.1)
        raise RuntimeError("the requester stayed open")

    def close(self):
        """Closes the window; (exit code of quarvo.exe, seconds the probe
        waited for the end, probe output)."""
        code, out = self.probe("--timeout", 30, "close")
        exit_code = self.process.wait(60)
        self.process = None
        seconds = None
        for line in out.splitlines():
            if line.startswith("exit code "):
                seconds = float(line.split(" after ")[1].split()[0])
        return exit_code, seconds, out

    def stop(self):
        if self.process is not None:
            self.probe("--timeout", 10, "close")
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
            self.process = None


MPEG1_LAYER3_KBIT = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
MPEG1_RATES = [44100, 48000, 32000]


def frame_bitrates(path, frames=8):
    """The bit rates (kbit/s) in the headers of the first audio frames after
    the ID3v2 tag, the encoder's information frame left out. An average of
    the file, as tag readers give, is a little off for short files."""
    with open(path, "rb") as f:
        data = f.read(256 * 1024)
    at = 0
    if data[:3] == b"ID3":
        size = data[6] << 21 | data[7] << 14 | data[8] << 7 | data[9]
        at = 10 + size
    found = []
    while at + 4 <= len(data) and len(found) < frames + 1:
        header = int.from_bytes(data[at:at + 4], "big")
        version, layer = (header >> 19) & 3, (header >> 17) & 3
        kbit_index, rate_index = (header >> 12) & 15, (header >> 10) & 3
        if (header >> 21) != 0x7FF or version != 3 or layer != 1 or kbit_index in (0, 15) or rate_index == 3:
            at += 1
            continue
        kbit = MPEG1_LAYER3_KBIT[kbit_index]
        found.append(kbit)
        at += 144000 * kbit // MPEG1_RATES[rate_index] + ((header >> 9) & 1)
    return found[1:]


def mp3_facts(path):
    """(seconds, kbit/s of its frames, title) of an MP3 file; the bit rate is
    None when the frames disagree."""
    from mutagen.mp3 import MP3

    audio = MP3(path)
    title = str(audio.tags["TIT2"]) if audio.tags is not None and "TIT2" in audio.tags else ""
    rates = set(frame_bitrates(path))
    return audio.info.length, rates.pop() if len(rates) == 1 else None, title


def temporary_folder(prefix):
    return tempfile.mkdtemp(prefix=prefix, dir=os.environ.get("TMPDIR", "/tmp"))
