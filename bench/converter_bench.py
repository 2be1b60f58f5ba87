#!/usr/bin/python3
"""Benchmarks of the converter itself under Wine; they print figures and
check nothing.

usage: converter_bench.py BUILD_DIR overhead|idle|expansion|all [options]

  overhead [--tunes N]     real tunes of 2 to 4 minutes (all that the set-up
                           fetched, or the first N) converted by quarvo.exe,
                           against the renderer's and the encoder's own CPU
                           times for the same files run one by one.
                           Goal: wall time at most 1.10 x (render + encode).
  idle [--seconds S]       CPU used by the idle converter over S seconds
                           (default 60; goal under 1 % of one core), and the
                           busy indicator's updates per second during a
                           batch (goal at least 19).
  expansion [--sizes A,B]  a dropped tree of A and B small files (default
                           10000,100000) with tools that do nothing: time
                           from the drop until the conversion loop starts,
                           files per second, peak working set.

BUILD_DIR is a Windows build (win64 or win32). Each part runs on an Xvfb and
in a Wine prefix of its own (tests/support/converter_session.py).
"""

import argparse
import os
import re
import resource
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))

from converter_session import Converter, Session, mp3_facts, temporary_folder  # noqa: E402

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
MODULE_SUFFIXES = (".mod", ".xm", ".s3m", ".it")


def say(text):
    print(text, flush=True)


def seconds_at(pattern, text):
    match = re.search(pattern + r" at ([0-9.]+) s", text)
    return float(match.group(1)) if match else None


def tune_length(path):
    """The module's length as libopenmpt's player reports it, in seconds."""
    run = subprocess.run(["openmpt123", "--info", path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    match = re.search(r"Duration\.*: (\d+):(\d+(?:\.\d+)?)", run.stdout.decode("utf-8", "replace"))
    return int(match.group(1)) * 60 + float(match.group(2)) if match else None


def real_tunes(low=120, high=240):
    folder = subprocess.run([os.path.join(TOP, "scripts", "fetch-tunes")], stdout=subprocess.PIPE,
                            check=True).stdout.decode().strip()
    found = []
    for where, _, names in os.walk(folder):
        for name in sorted(names):
            path = os.path.join(where, name)
            if name.lower().endswith(MODULE_SUFFIXES):
                length = tune_length(path)
                if length is not None and low <= length <= high:
                    found.append(path)
    return sorted(found)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed_wine(session, program, *args, cwd):
    """(CPU seconds, wall seconds, exit code) of one program run under Wine,
    the CPU being that of the program's own processes (not the Wine server,
    which other processes share)."""
    cpu, wall = children_cpu(), time.time()
    code, _ = session.wine(program, *args, cwd=cwd)
    return children_cpu() - cpu, time.time() - wall, code


def overhead(build, count):
    tunes = real_tunes()
    if count:
        tunes = tunes[:count]
    if len(tunes) < 20:
        say("overhead: only %d fetched tunes of 2 to 4 minutes; the goal asks for 20" % len(tunes))
    root = temporary_folder("quarvo-bench-")
    session = Session("bench")
    try:
        music = os.path.join(root, "tunes")
        os.makedirs(music)
        for path in tunes:
            shutil.copy(path, music)
        names = sorted(os.listdir(music))

        # The tools one by one, as the converter runs them.
        alone = os.path.join(root, "alone")
        os.makedirs(alone)
        amiga = os.path.join(build, "tools", "amiga.exe")
        suxx = os.path.join(build, "tools", "suxx.exe")
        render_cpu = encode_cpu = render_wall = encode_wall = 0.0
        for name in names:
            source = os.path.join(music, name)
            wav = os.path.splitext(name)[0] + ".wav"
            cpu, wall, _ = timed_wine(session, amiga, "/adp", source, cwd=alone)
            render_cpu += cpu
            render_wall += wall
            cpu, wall, _ = timed_wine(session, suxx, "-b", 128, "-m", "m", wav, "alone.mp3", cwd=alone)
            encode_cpu += cpu
            encode_wall += wall
            for leftover in (wav, "alone.mp3"):
                if os.path.exists(os.path.join(alone, leftover)):
                    os.remove(os.path.join(alone, leftover))

        # The same files through the converter.
        converter = Converter(session, build, os.path.join(root, "converter"))
        converter.start()
        watcher = converter.probe_in_background("--timeout", 7200, "wait-busy", "wait-done", len(names))
        time.sleep(1.0)
        if converter.drop([music]) != 0:
            raise RuntimeError("the drop was not taken")
        code, out = watcher.finish(7300)
        converter.stop()
        busy, done = seconds_at("busy", out), seconds_at("done [0-9/]+", out)
        if code != 0 or busy is None or done is None:
            raise RuntimeError("the batch was not seen to its end: " + out)
        batch = done - busy
        audio = sum(mp3_facts(os.path.join(music, os.path.splitext(n)[0] + ".mp3"))[0] for n in names
                    if os.path.exists(os.path.join(music, os.path.splitext(n)[0] + ".mp3")))
        made = len([n for n in os.listdir(music) if n.endswith(".mp3")])
        tools = render_cpu + encode_cpu
        say("overhead: %d tunes (%d MP3s made), %.1f minutes of music" % (len(names), made, audio / 60))
        say("overhead: renderer CPU %.1f s (wall %.1f s), encoder CPU %.1f s (wall %.1f s), run one by one"
            % (render_cpu, render_wall, encode_cpu, encode_wall))
        say("overhead: converter batch wall time %.1f s" % batch)
        say("overhead: wall / (render + encode CPU) = %.3f (goal at most 1.10); "
            "wall / (render + encode wall) = %.3f" % (batch / tools, batch / (render_wall + encode_wall)))
    finally:
        session.close()
        shutil.rmtree(root, ignore_errors=True)


def process_cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def prefix_processes(prefix):
    """{pid: name} of the processes that run in the Wine prefix `prefix`."""
    found = {}
    wanted = ("WINEPREFIX=" + prefix).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                if wanted not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            continue
        found[int(entry)] = os.path.basename(command.replace("\\", "/")) or "?"
    return found


def idle(build, seconds):
    root = temporary_folder("quarvo-bench-")
    session = Session("bench")
    try:
        converter = Converter(session, build, os.path.join(root, "converter"))
        converter.start()
        time.sleep(3)
        processes = prefix_processes(session.prefix)
        before = {}
        for pid in processes:
            try:
                before[pid] = process_cpu_ticks(pid)
            except OSError:
                pass
        started = time.time()
        time.sleep(seconds)
        span = time.time() - started
        tick = os.sysconf("SC_CLK_TCK")
        used = {}
        for pid, ticks in before.items():
            try:
                used[pid] = (process_cpu_ticks(pid) - ticks) / tick
            except OSError:
                pass
        quarvo = sum(v for p, v in used.items() if processes[p].lower() == "quarvo.exe")
        server = sum(v for p, v in used.items() if processes[p].startswith("wineserver"))
        others = sum(used.values()) - quarvo - server
        say("idle: over %.1f s the converter used %.3f s of CPU (%.2f %% of one core; goal under 1 %%)"
            % (span, quarvo, 100 * quarvo / span))
        say("idle: meanwhile the Wine server used %.3f s (%.2f %%), Wine's other processes %.3f s (%.2f %%)"
            % (server, 100 * server / span, others, 100 * others / span))

        # The busy indicator during a real batch.
        tunes = real_tunes()[:8]
        music = os.path.join(root, "tunes")
        os.makedirs(music)
        for path in tunes:
            shutil.copy(path, music)
        watcher = converter.probe_in_background("--timeout", 600, "wait-busy", "watch", 10)
        time.sleep(1.0)
        if converter.drop([music]) != 0:
            raise RuntimeError("the drop was not taken")
        code, out = watcher.finish(700)
        for line in out.splitlines():
            if line.startswith("busy indicator"):
                say("idle: during a batch of %d real tunes, %s" % (len(tunes), line))
        converter.stop()
    finally:
        session.close()
        shutil.rmtree(root, ignore_errors=True)


def make_tree(root, files, per_folder=500):
    for i in range(files):
        folder = os.path.join(root, "folder %d" % (i // per_folder))
        if i % per_folder == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, "tune number %d.pt3" % i), "wb") as f:
            f.write(b"x")


def expansion(build, sizes):
    root = temporary_folder("quarvo-bench-")
    session = Session("bench")
    nothing = os.path.join(build, "bench", "do_nothing.exe")
    try:
        rates = []
        for size in sizes:
            tree = os.path.join(root, "tree %d" % size)
            make_tree(tree, size)
            converter = Converter(session, build, os.path.join(root, "converter %d" % size),
                                  renderer=nothing, encoder=nothing)
            converter.start()
            _, before = converter.probe("memory")
            watcher = converter.probe_in_background("--timeout", 3600, "wait-busy", "wait-text", 2,
                                                    "1/%d" % size, "memory")
            time.sleep(1.0)
            if converter.drop([tree]) != 0:
                raise RuntimeError("the drop was not taken")
            code, out = watcher.finish(3700)
            converter.stop()
            busy, started = seconds_at("busy", out), seconds_at("field 2 read 1/%d" % size, out)
            if code != 0 or busy is None or started is None:
                raise RuntimeError("the conversion loop was not seen to start: " + out)
            took = started - busy
            rates.append(size / took)
            peak = re.search(r"peak (\d+) KiB", out)
            base = re.search(r"peak (\d+) KiB", before)
            say("expansion: %d files: the conversion loop started %.2f s after the batch did, %.0f files per "
                "second; peak working set %s KiB (%s KiB before the drop)"
                % (size, took, size / took, peak.group(1) if peak else "?", base.group(1) if base else "?"))
            shutil.rmtree(tree, ignore_errors=True)
        if len(rates) >= 2:
            say("expansion: the rates differ by a factor of %.2f (goal within 2)" % (max(rates) / min(rates)))
    finally:
        session.close()
        shutil.rmtree(root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("build")
    parser.add_argument("part", choices=["overhead", "idle", "expansion", "all"])
    parser.add_argument("--tunes", type=int, default=0)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--sizes", default="10000,100000")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    if args.part in ("idle", "all"):
        idle(build, args.seconds)
    if args.part in ("expansion", "all"):
        expansion(build, [int(s) for s in args.sizes.split(",")])
    if args.part in ("overhead", "all"):
        overhead(build, args.tunes)


if __name__ == "__main__":
    main()
