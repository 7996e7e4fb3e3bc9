#!/usr/bin/env python3
"""Runs one test program under Wine and passes it only when the program's own
test runner says that its tests ran and passed.

An exit code alone proves nothing here: when the 64-bit Wine cannot find the
32-bit loader it falls back to a mode that loads nothing and still exits 0
with no output, and an emulator that dies can end a run the same way.

Usage: wine-test.py --arch ARCH [--expect REGEX] -- LAUNCHER... PROGRAM [ARGS...]

Without --expect the program is a GoogleTest program: it writes its XML report
(GTEST_OUTPUT) and the run passes when the report exists, names at least one
test that ran, and names no failure. With --expect (or DERAR_TEST_EXPECT in the
environment, for tests that ctest starts through this script as their
emulator) a line of the program's output must match REGEX instead. In both
cases the exit code must be 0. Every verdict names the architecture (and the Wine,
when DERAR_WINE_NAME names it).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def windows_path(path):
    """The path as a Windows program under Wine sees it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def gtest_verdict(report):
    """(passed, text) for a GoogleTest XML report at `report`."""
    if not os.path.isfile(report) or os.path.getsize(report) == 0:
        return False, "ran nothing: GoogleTest wrote no report"
    try:
        root = ElementTree.parse(report).getroot()
    except ElementTree.ParseError as e:
        return False, f"its GoogleTest report is not whole ({e})"
    ran = failed = skipped = 0
    failed_names = []
    for case in root.iter("testcase"):
        if case.get("status", "run") != "run":
            continue  # a disabled test
        if case.get("result") == "skipped" or case.find("skipped") is not None:
            skipped += 1
            continue
        ran += 1
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
            failed_names.append(f"{case.get('classname')}.{case.get('name')}")
    # A failure outside any test (in a test suite's set-up, say) is counted by the root.
    root_failures = int(root.get("failures", "0") or 0) + int(root.get("errors", "0") or 0)
    if ran == 0:
        return False, "ran nothing: the report names no test that ran"
    if failed or root_failures:
        names = ", ".join(failed_names[:10]) or "outside any test"
        return False, f"{max(failed, root_failures)} of {ran} tests failed: {names}"
    text = f"{ran} tests ran and passed"
    if skipped:
        text += f", {skipped} skipped"
    return True, text


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--arch", required=True)
    parser.add_argument("--expect", default=os.environ.get("DERAR_TEST_EXPECT"))
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args(argv)
    command = options.command[1:] if options.command[:1] == ["--"] else options.command
    if not command:
        parser.error("no command")
    exes = [word for word in command if word.lower().endswith(".exe")]
    program = os.path.basename(exes[0] if exes else command[-1])

    # Which Wine, when the test command names it (DERAR_WINE_NAME): the x86_64 suite runs under two.
    under = f", under {os.environ['DERAR_WINE_NAME']}" if os.environ.get("DERAR_WINE_NAME") else ""

    def verdict(passed, text):
        print(f"{'PASS' if passed else 'FAIL'} ({options.arch}) {program}: {text}{under}", flush=True)
        return 0 if passed else 1

    scratch = tempfile.mkdtemp(prefix="wine-test-")
    try:
        env = dict(os.environ)
        env.pop("DERAR_TEST_EXPECT", None)
        report = os.path.join(scratch, "report.xml")
        if options.expect is None:
            env["GTEST_OUTPUT"] = "xml:" + windows_path(report)
        seen = []
        with subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT) as proc:
            for raw in proc.stdout:
                sys.stdout.buffer.write(raw)
                sys.stdout.buffer.flush()
                if options.expect is not None:
                    seen.append(raw.decode("utf-8", "replace").rstrip("\r\n"))
            code = proc.wait()
        if options.expect is not None:
            if not any(re.search(options.expect, line) for line in seen):
                return verdict(False, f"ran nothing that says it passed (no line matches {options.expect!r}; "
                                      f"{len(seen)} lines of output; exit code {code})")
            if code != 0:
                return verdict(False, f"exit code {code}")
            return verdict(True, "its summary says it passed")
        passed, text = gtest_verdict(report)
        if passed and code != 0:
            passed, text = False, f"{text}, but the exit code is {code}"
        elif not passed:
            text += f" (exit code {code})"
        return verdict(passed, text)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
