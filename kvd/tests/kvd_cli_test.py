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
import pty
import re
import select
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

# Terminal controls, and one rule for all of a file's texts. A UTF-8 file whose texts
# hold C1 controls (U+009B and U+009D start the sequences CSI and OSC, which terminals
# act on), a C0 one, and an escape that leaves a byte that is not UTF-8 (a host in
# UTF-8 gets U+FFFD for it); an older file in the Western code page, whose undefined
# byte 9D stands for U+009D and whose second text would read as UTF-8 on its own.
CONTROLS_FILE = (b'KVD 1\n'
                 b'object "Well\xc2\x9b2J" "A\xc2\x9d0;T\\x07" 1 W "2026-12-08 18:00"\n'
                 b'value G "" 1 "N\xc2\x85" "Br\\xF8nn"\n'
                 b'end\n')
OLD_CONTROLS_FILE = b'KVD 1\nobject "Br\xf8nn\x9d" "\xc3\xb8" 1 W "2026-12-08 18:00"\nend\n'
CONTROLS_DUMP = ("Well\\x9B2J - A\\x9D0;T\\x07 - 1 - W - Tuesday, December 08, 2026  18:00\n"
                 "  G\n    1\n      N\\x85: Br\ufffdnn \n")
OLD_CONTROLS_DUMP = "Br\u00f8nn\\x9D - \u00c3\u00b8 - 1 - W - Tuesday, December 08, 2026  18:00\n"
# (case, file, arguments, standard output exactly)
CONTROLS_CASES = [
    ("list: C1 controls as the escapes of their bytes", "controls", ["list"],
     '"Well\\xC2\\x9B2J" "A\\xC2\\x9D0;T\\x07" 1 W "2026-12-08 18:00"\n'),
    ("dump: C1 controls as \\xHH, like C0 ones", "controls", ["dump"], CONTROLS_DUMP),
    ("list --json: C1 controls as \\u00HH", "controls", ["list", "--json"],
     '{"name":"Well\\u009B2J","author":"A\\u009D0;T\\u0007","version":"1","wellId":"W",'
     '"date":"2026-12-08 18:00"}\n'),
    ("dump --json: C1 controls as \\u00HH", "controls", ["dump", "--json"],
     '{"name":"Well\\u009B2J","author":"A\\u009D0;T\\u0007","version":"1","wellId":"W",'
     '"date":"2026-12-08 18:00","values":[{"groupName":"G","parentGroupName":"","recordNumber":1,'
     '"valueName":"N\\u0085","valueText":"Br\ufffdnn","suffixText":"","extraText":""}]}\n'),
    ("list of an older file: one code page for every text", "old", ["list"],
     '"Br\u00f8nn\\xC2\\x9D" \u00c3\u00b8 1 W "2026-12-08 18:00"\n'),
    ("dump of an older file: one code page for every text", "old", ["dump"], OLD_CONTROLS_DUMP),
    ("dump --json of an older file: one code page for every text", "old", ["dump", "--json"],
     '{"name":"Br\u00f8nn\\u009D","author":"\u00c3\u00b8","version":"1","wellId":"W",'
     '"date":"2026-12-08 18:00","values":[]}\n'),
]
C1_BYTES = re.compile(rb"\xc2[\x80-\x9f]")


EMULATOR_DIED = b"qemu: uncaught target signal"


def big_file(objects, values):
    """An exchange file of `objects` objects with `values` values each."""
    lines = [b"KVD 1\n"]
    for o in range(objects):
        lines.append(b'object "Well %d" Author 1 W-%d "2026-12-08 18:00"\n' % (o, o))
        for v in range(values):
            lines.append(b'value Survey "" %d Depth %d.5 m\n' % (v // 4 + 1, v))
    lines.append(b"end\n")
    return b"".join(lines)


class Tool:
    def __init__(self, command, windows):
        self.command = command
        self.windows = windows
        self.repeated = 0
        self.last_raw_out = b""

    def path(self, path):
        if not self.windows:
            return path
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def run(self, *args, stdout=subprocess.PIPE):
        """Runs the tool; returns its exit status and what it wrote, with Windows'
        CR LF line ends as LF (the raw standard output is kept in last_raw_out)."""
        for attempt in range(2):
            done = subprocess.run(self.command + list(args), stdout=stdout,
                                  stderr=subprocess.PIPE, timeout=120)
            # The 32-bit emulator now and then dies as a process ends (its own fault,
            # not the tool's: the program's output is whole before it); one more run.
            if EMULATOR_DIED not in done.stderr or attempt == 1:
                break
            self.repeated += 1
        self.last_raw_out = done.stdout or b""
        out = self.last_raw_out.replace(b"\r\n", b"\n")
        err = done.stderr.replace(b"\r\n", b"\n")
        return done.returncode, out, err


def run_on_terminal(command, timeout=120):
    """Runs the tool with a terminal as its standard input and output (under Wine: a
    console); returns its exit status and what the terminal got, without the
    terminal's control sequences and carriage returns."""
    master, slave = pty.openpty()
    process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=subprocess.DEVNULL)
    os.close(slave)
    got = b""
    while select.select([master], [], [], timeout)[0]:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the terminal's other end closed: the tool has ended
            break
        if not chunk:
            break
        got += chunk
    os.close(master)
    try:
        code = process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        code = process.wait()
    return code, re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", got)


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
        ("help", ["--help"], 0, "out", "Usage: kvd check [--json] FILE..."),
        ("help after a command", ["dump", "-h"], 0, "out", "kvd dump [--json] FILE"),
        ("help as a command", ["help"], 0, "out", "Exit status: 0"),
        ("version", ["--version"], 0, "out", "kvd "),
        ("nothing to do", [], 2, "err", "kvd: say what to do"),
        ("unknown command", ["frob", worked], 2, "err", 'unknown command "frob"'),
        ("unknown option", ["list", "--bogus", worked], 2, "err", 'unknown option "--bogus"'),
        ("no file", ["list"], 2, "err", "list needs a file"),
        ("two files to list", ["list", worked, north], 2, "err", "list takes one file"),
        ("--json with no command", ["--json"], 2, "err", "kvd: say what to do"),
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

    # Non-ASCII names: a UTF-8 file (Cyrillic too, outside the Western code page), and
    # an older file in the Western code page. Every output is UTF-8.
    code, out, err = tool.run("dump", "--json", utf8)
    try:
        objects = json_lines(out)
        expect("dump --json of a UTF-8 file", code == 0 and objects[0]["name"] == "Brønn 7/11-A"
               and objects[0]["author"] == "Größe" and objects[0]["values"][0]["valueName"] == "Größe"
               and objects[0]["wellId"] == "Skvažina", repr(out))
    except (ValueError, IndexError, KeyError) as e:
        failures.append(f"dump --json of a UTF-8 file: {e}: {out!r}")
    code, out, err = tool.run("dump", "--json", legacy)
    try:
        expect("dump --json of a Western code page file",
               code == 0 and json_lines(out)[0]["name"] == "Brønn 7/11-A", repr(out))
    except (ValueError, IndexError) as e:
        failures.append(f"dump --json of a Western code page file: {e}: {out!r}")
    text_cases = [
        ("list of a UTF-8 file", ["list", utf8], '"Brønn 7/11-A" Größe 1 Skvažina "2026-12-08 18:00"\n'),
        ("list of a Western code page file", ["list", legacy], '"Brønn 7/11-A" Größe 1 W "2026-12-08 18:00"\n'),
        ("dump of a UTF-8 file", ["dump", utf8],
         "Brønn 7/11-A - Größe - 1 - Skvažina - Tuesday, December 08, 2026  18:00\n"
         "  Tiefe\n    1\n      Größe: 7 [m]\n"),
    ]
    for case, args, text in text_cases:
        code, out, err = tool.run(*args)
        expect(case, (code, err) == (0, b"") and out == text.encode("utf-8"), f"{code} {out!r} {err!r}")

    controls = {"controls": scratch("controls.kvd", CONTROLS_FILE),
                "old": scratch("old-controls.kvd", OLD_CONTROLS_FILE)}
    for case, name, args, text in CONTROLS_CASES:
        code, out, err = tool.run(*args, controls[name])
        expect(case, (code, err) == (0, b"") and out == text.encode("utf-8"), f"{code} {out!r} {err!r}")
        expect(case, not C1_BYTES.search(out), f"a C1 control as it is: {out!r}")
    code, shown = run_on_terminal(tool.command + ["dump", controls["controls"]])
    # A console keeps no blanks at the end of a line (a value without a suffix ends in one).
    expect("a terminal gets no C1 control", code == 0 and
           shown.replace(b" \n", b"\n") == CONTROLS_DUMP.replace(" \n", "\n").encode("utf-8"), f"{code} {shown!r}")

    # A terminal (a console under Windows, whose own code page is not UTF-8) shows
    # every character: the console gets the text through its wide output.
    code, shown = run_on_terminal(tool.command + ["list", utf8])
    expect("a console shows every character", code == 0 and
           shown == '"Brønn 7/11-A" Größe 1 Skvažina "2026-12-08 18:00"\n'.encode("utf-8"), f"{code} {shown!r}")

    # JSON for scripts: every line a JSON object, ending in LF alone.
    code, out, err = tool.run("list", "--json", north)
    try:
        objects = json_lines(out)
        expect("list --json", code == 0 and len(objects) == 8
               and all(sorted(o) == ["author", "date", "name", "version", "wellId"] for o in objects), repr(out))
    except ValueError as e:
        failures.append(f"list --json: not JSON lines ({e}): {out!r}")
    for case, args in [("list --json ends lines in LF", ["list", "--json", north]),
                       ("dump --json ends lines in LF", ["dump", "--json", north]),
                       ("check --json ends lines in LF", ["check", "--json", worked, cut])]:
        tool.run(*args)
        raw = tool.last_raw_out
        expect(case, raw.endswith(b"\n") and b"\r" not in raw, repr(raw[:200]))

    code, out, err = tool.run("check", "--json", worked, cut, missing, bad_date)
    expect("check --json", code == 1 and err == b"", f"{code} {err!r}")
    try:
        results = json_lines(out)
        expect("check --json", [r["file"] for r in results] == [worked, cut, missing, bad_date]
               and [r["readable"] for r in results] == [True, False, False, False], repr(out))
        expect("check --json: a sound file has no message", sorted(results[0]) == ["file", "readable"],
               repr(results[0]))
        for r in results[1:]:
            expect("check --json: a refusal has its message", r["message"].startswith("Cannot open"), repr(r))
        place = [(r["line"], r["column"]) for r in results[1:]]
        # A file cut short ends "after line 7": no column, so no place; a bad date has one.
        expect("check --json: line and column where the message names them",
               place[0] == (None, None) and place[1] == (None, None)
               and all(isinstance(n, int) and n > 0 for n in place[2]), repr(place))
        expect("check --json: line and column are the message's",
               f"line {place[2][0]}, column {place[2][1]}:" in results[3]["message"], repr(results[3]))
    except (ValueError, IndexError, KeyError) as e:
        failures.append(f"check --json: {e}: {out!r}")

    for case, args in [("list --json of a damaged file", ["list", "--json", cut]),
                       ("dump --json of a damaged file", ["dump", "--json", cut])]:
        code, out, err = tool.run(*args)
        try:
            refusal = json_lines(err)
            expect(case, code == 1 and out == b"" and len(refusal) == 1 and refusal[0]["file"] == cut
                   and refusal[0]["readable"] is False and refusal[0]["message"].startswith("Cannot open"),
                   f"{code} {out!r} {err!r}")
        except (ValueError, KeyError) as e:
            failures.append(f"{case}: standard error is not one JSON line ({e}): {err!r}")

    # The output's reader goes away after the first line: the tool ends at once and
    # quietly, as Unix tools do (status 141, or killed by SIGPIPE natively).
    big = scratch("big.kvd", big_file(400, 200))
    for case, args in [("dump into a closed pipe", ["dump", big]),
                       ("dump --json into a closed pipe", ["dump", "--json", big])]:
        process = subprocess.Popen(tool.command + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = process.stdout.readline()
        process.stdout.close()
        try:
            err = process.communicate(timeout=120)[1].replace(b"\r\n", b"\n")
        except subprocess.TimeoutExpired:
            process.kill()
            err = process.communicate()[1]
        err = b"".join(line for line in err.splitlines(True) if EMULATOR_DIED not in line)
        expect(case, first.startswith(b"Well 0") or first.startswith(b'{"name":"Well 0"'), repr(first))
        expect(case, process.returncode in (141, -13) and err == b"", f"{process.returncode} {err!r}")

    # A full disk under the output: a clear message, and status 1.
    if os.path.exists("/dev/full"):
        with open("/dev/full", "wb") as full:
            code, out, err = tool.run("dump", worked, stdout=full)
        expect("dump onto a full disk", code == 1 and
               err == b"kvd: the output could not be written: the disk is full.\n", f"{code} {err!r}")

    for case, args in [("dump of a damaged file", ["dump", cut]),
                       ("list of a missing file", ["list", missing])]:
        code, out, err = tool.run(*args)
        text = err.decode("utf-8", "replace")
        expect(case, code == 1 and out == b"", f"{code} {out!r}")
        expect(case, text.startswith("Cannot open") and text.count("\n") == 1, repr(text))

    if tool.repeated:
        print(f"{tool.repeated} run(s) repeated after the emulator died at a process end")
    if failures:
        print("\n".join(failures))
        print(f"{len(failures)} failure(s)")
        return 1
    print("every case passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
