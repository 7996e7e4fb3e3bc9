#!/usr/bin/env python3
"""Runs one build's ctest suite under Wine, up to N test programs at a time, each
in a slot of its own: its own Xvfb, its own Wine prefix and its own wineserver,
so that focus, activation and the prefix's settings stay that program's.

Usage: wine-slots.py --build DIR --prefix PREFIX [--slots N] [--widen-when FILE]
                     [--name NAME] -- LAUNCHER...

Slot 1 uses PREFIX, slot k PREFIX-k; the launcher learns its slot from
DERAR_WINE_SLOT. With --widen-when only slot 1 runs until FILE exists (another
suite that must not share the processor has ended), then every slot does. The
longest programs go first (ctest's own cost data), so that the slots end together.
Each program's output is printed whole when it ends; the last line says
"NAME: P passed, F failed". Exits nonzero when a test failed.
"""
import argparse
import json
import os
import queue
import re
import subprocess
import sys
import tempfile
import threading
import time

WINESERVER = "/usr/lib/wine/wineserver"


def tests_of(build):
    """The suite's test names, the longest first by ctest's cost data (unknown ones first)."""
    out = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"], check=True,
                         capture_output=True, text=True).stdout
    names = [t["name"] for t in json.loads(out).get("tests", [])]
    cost = {}
    try:
        with open(os.path.join(build, "Testing", "Temporary", "CTestCostData.txt")) as f:
            for line in f:
                words = line.split()
                if len(words) == 3:
                    cost[words[0]] = float(words[2])
    except OSError:
        pass
    return sorted(names, key=lambda n: -cost.get(n, float("inf")))


class Slot:
    def __init__(self, number, prefix, launcher):
        self.number = number
        self.prefix = prefix if number == 1 else f"{prefix}-{number}"
        self.launcher = launcher
        self.xvfb = None
        self.env = dict(os.environ, DERAR_WINE_SLOT=str(number))

    def start(self):
        """Its Xvfb, then its prefix (made on first use) and a wineserver kept for the run."""
        fd, path = tempfile.mkstemp()
        try:
            self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(fd), "-screen", "0", "1280x1024x24",
                                          "-nolisten", "tcp"], pass_fds=(fd,), stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL)
            os.close(fd)
            for _ in range(200):  # -displayfd writes the number once the server is ready
                with open(path) as f:
                    display = f.read().strip()
                if display:
                    break
                time.sleep(0.05)
            else:
                raise RuntimeError("Xvfb did not start")
        finally:
            os.unlink(path)
        self.env["DISPLAY"] = ":" + display
        begun = time.time()
        subprocess.run(self.launcher + ["cmd", "/c", "exit", "0"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-p"], env=dict(self.env, WINEPREFIX=self.prefix), stderr=subprocess.DEVNULL)
        return time.time() - begun

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=dict(self.env, WINEPREFIX=self.prefix), stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--slots", type=int, default=2)
    parser.add_argument("--widen-when")
    parser.add_argument("--name", default="tests")
    parser.add_argument("launcher", nargs=argparse.REMAINDER)
    options = parser.parse_args(argv)
    launcher = options.launcher[1:] if options.launcher[:1] == ["--"] else options.launcher

    todo = queue.Queue()
    for name in tests_of(options.build):
        todo.put(name)
    total = todo.qsize()
    printing = threading.Lock()
    failed, passed = [], []

    def say(text):
        with printing:
            sys.stdout.write(text)
            sys.stdout.flush()

    def work(slot):
        if slot.number > 1 and options.widen_when:
            while not os.path.exists(options.widen_when):
                if todo.empty():
                    return
                time.sleep(1)
        try:
            up = slot.start()
            say(f"== {options.name}: slot {slot.number} ({slot.env['DISPLAY']}, {slot.prefix}) "
                f"up after {up:.0f} s\n")
            while True:
                try:
                    name = todo.get_nowait()
                except queue.Empty:
                    return
                begun = time.time()
                # One more run for a program that ends before its first line on a loaded machine.
                run = subprocess.run(["ctest", "--test-dir", options.build, "-R", "^" + re.escape(name) + "$",
                                      "--output-on-failure", "--timeout", "900", "--repeat", "until-pass:2"],
                                     env=slot.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                     errors="replace")
                ok = run.returncode == 0 and re.search(r"\b0 tests failed out of [1-9]", run.stdout)
                (passed if ok else failed).append(name)
                lines = [line for line in run.stdout.splitlines()
                         if line.strip() and not line.startswith(("Internal ctest", "Test project"))]
                say(f"== {options.name} slot {slot.number}: {name} {'passed' if ok else 'FAILED'} "
                    f"in {time.time() - begun:.1f} s\n" + "\n".join(lines) + "\n")
        finally:
            slot.stop()

    slots = [Slot(n, os.path.abspath(options.prefix), launcher) for n in range(1, options.slots + 1)]
    threads = [threading.Thread(target=work, args=(slot,)) for slot in slots]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    missing = total - len(passed) - len(failed)
    if failed:
        print(f"== {options.name}: FAILED: {', '.join(failed)}")
    print(f"{options.name}: {len(passed)} passed, {len(failed) + missing} failed")
    return 0 if not failed and not missing and passed else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
