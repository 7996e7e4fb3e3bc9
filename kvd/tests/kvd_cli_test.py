#!/usr/bin/env python3
"""Runs the kvd tool as a person or a script would and checks what it says.

Usage: kvd_cli_test.py --samples DIR --scratch DIR [--windows] -- COMMAND...
COMMAND runs the tool (the native program, or the Wine launcher and kvd.exe).
With --windows the tool is given file names as Windows sees them (drive Z:).
Every case runs; the failures are listed by case name at the end.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys

WORKED_TREE = """\
Deviation survey - A. Rahman - 3 - NF-001 - Saturday, March 14, 1987  09:30
  Survey
    1
      Depth: 1200 [m]
      Angle: 3.5 [deg]
    2
      Depth: 1300 [m]
      Point
        1
          X: 10 
    2
      Angle: 4.0 [deg]
  Casing
    1
      Size: 7 [in]
"""


def value(group, parent, record, name, text, suffix="", extra=""):
    return {"groupName": group, "parentGroupName": parent, "recordNumber": record,
            "valueName": name, "valueText": text, "suffixText": suffix, "extraText": extra}


WORKED_JSON = [{
    "name": "Deviation survey", "author": "A. Rahman", "version": "3", "wellId": "NF-001",
    "date": "1987-03-14 09:30",
    "values": [
        value("Survey", "", 1, "Depth", "1200", "m"),
        value("Survey", "", 1, "Angle", "3.5", "deg"),
        value("Survey", "", 2, "Depth", "1300", "m"),
        value("Point", "Survey", 1, "X", "10"),
        value("Survey", "", 2, "Angle", "4.0", "deg"),
        value("Casing", "", 1, "Size", "7", "in"),
    ]}]

# Texts that need the quoting rule: a tab, a line feed, a quote, a backslash, a
# control byte, an empty author, an object without values and a date before the
# first year that the browser's time type holds.
AWKWARD_FILE = (b'KVD 1\n'
                b'object "Two\\nlines" "" "v \\"1\\"" "C:\\\\wells" "1600-02-29 10:00"\n'
                b'value "G\\tH" "" -7 N "a\\x01b" "" "note"\n'
                b'object Empty A 1 W "2024-02-29 23:59"\n'
                b'end\n')
AWKWARD_LIST = ('"Two\\nlines" "" "v \\"1\\"" "C:\\\\wells" "1600-02-29 10:00"\n'
                'Empty A 1 W "2024-02-29 23:59"\n')
AWKWARD_TREE = ('Two\\x0Alines -  - v "1" - C:\\wells - \n'
                '  G\\x09H\n'
                '    -7\n'
                '      N: a\\x01b \n'
                'Empty - A - 1 - W - Thursday, February 29, 2024  23:59\n')
AWKWARD_JSON = [
    {"name": "Two\nlines", "author": "", "version": 'v "1"', "wellId": "C:\\wells",
     "date": "1600-02-29 10:00", "values": [value("G\tH", "", -7, "N", "a\x01b", "", "note")]},
    {"name": "Empty", "author": "A", "version": "1", "wellId": "W", "date": "2024-02-29 23:59", "values": []},
]

UTF8_FILE = ('KVD 1\nobject "Brønn 7/11-A" Größe 1 Skvažina "2026-12-08 18:00"\n'
             'value Tiefe "" 1 Größe 7 m\nend\n').encode("utf-8")
LEGACY_FILE = 'KVD 1\nobject "Brønn 7/11-A" Größe 1 W "2026-12-08 18:00"\nend\n'.encode("cp1252")


class Tool:
    def __init__(self, command, windows):
        self.command = command
        self.windows = windows

    def path(self, path):
        if not self.windows:
            return path
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def run(self, *args):
        done = subprocess.run(self.command + list(args), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=120)
        # Windows programs end their lines with CR LF.
        out = done.stdout.replace(b"\r\n", b"\n")
        err = done.stderr.replace(b"\r\n", b"\n")
        return done.returncode, out, err


def start_display():
    """A display for Wine for the whole run, when there is none: the launcher would
    otherwise start and stop one per program, which takes seconds each time and
    leaves Wine's own processes complaining about the lost display."""
    if os.environ.get("DISPLAY") or not shutil.which("Xvfb"):
        return None
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if not number:
        server.kill()
        return None
    os.environ["DISPLAY"] = ":" + number
    return server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--samples", required=True)
    parser.add_argument("--scratch", required=True)
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("command", nargs="+")
    options = parser.parse_args()
    tool = Tool(options.command, options.windows)
    display = start_display() if options.windows else None
    try:
        return run_cases(options, tool)
    finally:
        if display is not None:
            display.kill()
            display.wait()


def run_cases(options, tool):

    shutil.rmtree(options.scratch, ignore_errors=True)
    os.makedirs(options.scratch)

    def scratch(name, content):
        path = os.path.join(options.scratch, name)
        with open(path, "wb") as f:
            f.write(content)
        return tool.path(path)

    def sample(name):
        return tool.path(os.path.join(options.samples, name))

    worked = sample("worked_example.kvd")
    north = sample("north_field.kvd")
    old = sample("old_wells.kvd")
    cut = sample("damaged/cut-short.kvd")
    bad_date = sample("damaged/bad-date.kvd")
    missing = tool.path(os.path.join(options.scratch, "missing.kvd"))
    awkward = scratch("awkward.kvd", AWKWARD_FILE)
    utf8 = scratch("utf8.kvd", UTF8_FILE)
    legacy = scratch("legacy.kvd", LEGACY_FILE)

    failures = []

    def expect(case, condition, detail=""):
        if not condition:
            failures.append(f"{case}: {detail}")

    def json_lines(out):
        return [json.loads(line) for line in out.decode("utf-8").splitlines()]

    # Command lines: (case, arguments, exit status, a text standard output or standard error must hold).
    usage_cases = [
        ("help", ["--help"], 0, "out", "Usage: kvd check FILE..."),
        ("help after a command", ["dump", "-h"], 0, "out", "dump --json FILE"),
        ("help as a command", ["help"], 0, "out", "Exit status: 0"),
        ("version", ["--version"], 0, "out", "kvd "),
        ("nothing to do", [], 2, "err", "kvd: say what to do"),
        ("unknown command", ["frob", worked], 2, "err", 'unknown command "frob"'),
        ("unknown option", ["list", "--bogus", worked], 2, "err", 'unknown option "--bogus"'),
        ("no file", ["list"], 2, "err", "list needs a file"),
        ("two files to list", ["list", worked, north], 2, "err", "list takes one file"),
        ("--json with check", ["check", "--json", worked], 2, "err", "--json goes with dump only"),
    ]
    for case, args, status, stream, text in usage_cases:
        code, out, err = tool.run(*args)
        expect(case, code == status, f"exit status {code}, expected {status}")
        got = (out if stream == "out" else err).decode("utf-8", "replace")
        expect(case, text in got, f"{stream} lacks {text!r}: {got!r}")
        if status == 2:
            expect(case, out == b"", f"standard output not empty: {out!r}")
            expect(case, "kvd --help" in got, "no hint at --help")

    code, out, err = tool.run("check", worked, north, old, awkward, utf8, legacy)
    expect("check of sound files", (code, out, err) == (0, b"", b""), f"{code} {out!r} {err!r}")

    code, out, err = tool.run("check", worked, cut, missing, bad_date)
    lines = err.decode("utf-8", "replace").splitlines()
    expect("check of refused files", code == 1, f"exit status {code}")
    expect("check of refused files", out == b"", f"standard output {out!r}")
    expect("check of refused files", len(lines) == 3, f"{len(lines)} messages: {lines!r}")
    for line, name in zip(lines, ["cut-short.kvd", "missing.kvd", "bad-date.kvd"]):
        expect("check of refused files", name in line and line.startswith("Cannot open"),
               f"message for {name}: {line!r}")
    if len(lines) == 3:
        expect("check: a file cut short names its line", "line " in lines[0], lines[0])

    code, out, err = tool.run("list", worked)
    expect("list", (code, err) == (0, b""), f"{code} {err!r}")
    expect("list", out == b'"Deviation survey" "A. Rahman" 3 NF-001 "1987-03-14 09:30"\n', repr(out))

    code, out, err = tool.run("list", north)
    expect("list of several objects", code == 0 and len(out.splitlines()) == 8, repr(out))

    code, out, err = tool.run("list", awkward)
    expect("list quotes what needs it", (code, out.decode("utf-8", "replace")) == (0, AWKWARD_LIST),
           repr(out))

    code, out, err = tool.run("dump", worked)
    expect("dump of the worked example", (code, err) == (0, b""), f"{code} {err!r}")
    expect("dump of the worked example", out.decode("utf-8", "replace") == WORKED_TREE,
           "\n" + out.decode("utf-8", "replace"))

    code, out, err = tool.run("dump", awkward)
    expect("dump keeps each item on one line",
           (code, out.decode("utf-8", "replace")) == (0, AWKWARD_TREE), "\n" + out.decode("utf-8", "replace"))

    for case, args in [("dump --json", ["dump", "--json", worked]),
                       ("dump FILE --json", ["dump", worked, "--json"])]:
        code, out, err = tool.run(*args)
        expect(case, (code, err) == (0, b""), f"{code} {err!r}")
        try:
            expect(case, json_lines(out) == WORKED_JSON, repr(out))
        except ValueError as e:
            failures.append(f"{case}: not JSON lines ({e}): {out!r}")

    code, out, err = tool.run("dump", "--json", awkward)
    try:
        expect("dump --json of awkward texts", code == 0 and json_lines(out) == AWKWARD_JSON, repr(out))
    except ValueError as e:
        failures.append(f"dump --json of awkward texts: not JSON lines ({e}): {out!r}")

    # Non-ASCII names: a UTF-8 file, and an older file in the Western code page.
    code, out, err = tool.run("dump", "--json", utf8)
    try:
        objects = json_lines(out)
        expect("dump --json of a UTF-8 file", code == 0 and objects[0]["name"] == "Brønn 7/11-A"
               and objects[0]["author"] == "Größe" and objects[0]["values"][0]["valueName"] == "Größe",
               repr(out))
        if not options.windows:
            expect("dump --json of a UTF-8 file", objects[0]["wellId"] == "Skvažina", repr(out))
    except (ValueError, IndexError, KeyError) as e:
        failures.append(f"dump --json of a UTF-8 file: {e}: {out!r}")
    if not options.windows:
        code, out, err = tool.run("dump", "--json", legacy)
        try:
            expect("dump --json of a Western code page file",
                   code == 0 and json_lines(out)[0]["name"] == "Brønn 7/11-A", repr(out))
        except (ValueError, IndexError) as e:
            failures.append(f"dump --json of a Western code page file: {e}: {out!r}")

    for case, args in [("dump of a damaged file", ["dump", cut]),
                       ("dump --json of a damaged file", ["dump", "--json", cut]),
                       ("list of a missing file", ["list", missing])]:
        code, out, err = tool.run(*args)
        text = err.decode("utf-8", "replace")
        expect(case, code == 1 and out == b"", f"{code} {out!r}")
        expect(case, text.startswith("Cannot open") and text.count("\n") == 1, repr(text))

    if failures:
        print("\n".join(failures))
        print(f"{len(failures)} failure(s)")
        return 1
    print("every case passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
