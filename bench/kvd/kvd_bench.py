#!/usr/bin/env python3
"""kvd under Wine against the native kvd on the same big file, in the same run.

Usage: kvd_bench.py [--megabytes N] [--repeat N] --native KVD -- WINE_LAUNCHER... KVD.EXE

Every command (check, list, dump, each with and without --json) into a file, into a
pipe and into /dev/null: the best wall time of each tool and their ratio. The target
is kvd.exe within 2x of the native tool; the figures are also given without the
start of a Wine process (the time of `kvd --version`), which a Windows machine does
not pay. A wineserver is kept running through the whole run, as on a machine that
already runs Windows programs.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time


def write_big_file(path, megabytes):
    """Objects of 2,000 values each (surveys with nested points, about 45 bytes a
    value), some texts non-ASCII, until the file holds `megabytes` MB."""
    target = megabytes * 1000 * 1000
    size = 0
    with open(path, "wb") as f:
        f.write(b"KVD 1\n")
        number = 0
        while size < target:
            lines = ['object "Survey %d" "J\u00f8rgen \u0421\u043c\u0438\u0440\u043d\u043e\u0432" %d NF-%03d '
                     '"2026-12-08 18:00"\n' % (number, number % 9 + 1, number % 1000)]
            for v in range(2000):
                record = v // 4 + 1
                if v % 4 == 3:
                    lines.append('value Point Survey %d X %d.25 m\n' % (record, v))
                else:
                    lines.append('value Survey "" %d Depth %d.5 m "checked"\n' % (record, v))
            chunk = "".join(lines).encode("utf-8")
            f.write(chunk)
            size += len(chunk)
            number += 1
        f.write(b"end\n")
    return number


def timed(command, sink):
    """Wall time of one run; the output goes to `sink` ("file", "pipe" or "null")."""
    begin = time.perf_counter()
    if sink == "pipe":
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        while process.stdout.read(1 << 20):
            pass
        process.wait()
        code = process.returncode
    else:
        target = tempfile.TemporaryFile() if sink == "file" else open(os.devnull, "wb")
        with target:
            code = subprocess.run(command, stdout=target, stderr=subprocess.DEVNULL).returncode
    elapsed = time.perf_counter() - begin
    if code != 0:
        sys.exit(f"{' '.join(command)} ended with {code}")
    return elapsed


def best(command, sink, repeat):
    return min(timed(command, sink) for _ in range(repeat))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--megabytes", type=int, default=50)
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--native", required=True)
    parser.add_argument("windows", nargs="+")
    options = parser.parse_args()
    windows = options.windows

    folder = tempfile.mkdtemp(prefix="kvd-bench-")
    path = os.path.join(folder, "big.kvd")
    objects = write_big_file(path, options.megabytes)
    windows_path = "Z:" + path.replace("/", "\\")
    print(f"kvd: {os.path.getsize(path) / 1e6:.1f} MB, {objects} objects of 2,000 values; best of {options.repeat}")

    server = None
    prefix = os.environ.get("WINEPREFIX")
    if prefix and os.path.exists("/usr/lib/wine/wineserver"):
        server = subprocess.Popen(["/usr/lib/wine/wineserver", "-p", "-f"])
    try:
        timed(windows + ["--version"], "null")  # the prefix and the server, ready
        start = best(windows + ["--version"], "null", 3)
        print(f"  a Wine process start (kvd --version): {start:.2f} s")
        print(f"  {'command':<16} {'into':<5} {'native':>8} {'Wine':>8} {'ratio':>6} {'without start':>14}")
        worst = 0.0
        for command in (["check"], ["check", "--json"], ["list"], ["list", "--json"], ["dump"], ["dump", "--json"]):
            for sink in (("null",) if command[0] == "check" else ("file", "pipe", "null")):
                native = best([options.native] + command + [path], sink, options.repeat)
                emulated = best(windows + command + [windows_path], sink, options.repeat)
                ratio, net = emulated / native, max(emulated - start, 0.0) / native
                worst = max(worst, net)
                print(f"  {' '.join(command):<16} {sink:<5} {native:7.2f}s {emulated:7.2f}s {ratio:5.2f}x {net:13.2f}x")
        print(f"  worst ratio without the process start: {worst:.2f}x (target: 2x)")
    finally:
        if server is not None:
            subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ), check=False)
            server.wait()
        os.remove(path)
        os.rmdir(folder)


if __name__ == "__main__":
    main()
