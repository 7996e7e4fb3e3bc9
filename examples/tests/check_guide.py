#!/usr/bin/env python3
"""Checks the guide against what is built: each example host is shown exactly as it
is, and every message in the guide's refusal tables is one the library says.

Usage:
  check_guide.py examples GUIDE.md EXAMPLE.c...
      each example must appear, whole and unchanged, as one ```c block of the guide
  check_guide.py write-messages GUIDE.md -- PROGRAM ARGS...
      PROGRAM prints the messages of the write calls, one a line (guide_messages.cpp);
      each must match a row of "What the write calls say when they refuse", and
      each row must match one of them
  check_guide.py mingw-link GUIDE.md ARCH KIT SOURCE.c OUTPUT.exe
      runs the guide's MinGW link line of ARCH on SOURCE.c against the kit at KIT
  check_guide.py file-messages GUIDE.md MESSAGES.txt
      MESSAGES.txt holds "kind: message" lines of the message tour (tours/); each row of
      "What the exchange library says about a file" must have its kind there with the
      same words after the path, and each kind a row
"""
import re
import shlex
import subprocess
import sys


def section(guide, heading):
    """The lines of the section under this heading, up to the next heading."""
    lines = guide.split("\n")
    start = lines.index(heading) + 1
    fenced = False
    for end in range(start, len(lines)):
        if lines[end].startswith("```"):
            fenced = not fenced
        elif lines[end].startswith("#") and not fenced:
            return lines[start:end]
    return lines[start:]


def table_rows(lines):
    """The cells of each row of the section's table, the header and its rule left out."""
    rows = [line for line in lines if line.startswith("|") and not re.match(r"^\|[-:| ]+\|$", line)]
    return [[cell.strip() for cell in re.split(r"(?<!\\)\|", row)[1:-1]] for row in rows[1:]]


def snippets(cell):
    return re.findall(r"`([^`]+)`", cell)


def pattern(snippet):
    """A message of the table as a pattern: <placeholder> and ... stand for any text."""
    text = re.escape(snippet)
    text = re.sub(r"\\\.\\\.\\\.", ".*", text)
    text = re.sub(r"<[a-z][a-z ]*>", ".+?", text)
    # A message about the file begins with its head, which the table leaves out.
    return re.compile(r'(?:Cannot write ".*?": )?' + text + r"\Z", flags=re.S)


def check_examples(guide, paths):
    blocks = re.findall(r"^```c\n(.*?)^```$", guide, flags=re.S | re.M)
    failures = []
    for path in paths:
        source = open(path, encoding="utf-8").read()
        if source not in blocks:
            failures.append(f"{path}: the guide shows no block equal to this file; copy it into the guide again")
    return failures, len(paths)


def check_write_messages(guide, command):
    rows = table_rows(section(guide, "### What the write calls say when they refuse"))
    patterns = [(row, [pattern(s) for s in snippets(row[1])]) for row in rows]
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        return [f"{command[0]} ended with exit status {done.returncode}: {done.stderr.strip()}"], 0
    messages = [m for m in done.stdout.split("\n") if m]
    failures = []
    matched = set()
    for message in messages:
        hits = [i for i, (_, ps) in enumerate(patterns) if any(p.match(message) for p in ps)]
        if not hits:
            failures.append(f"the library says what no row of the table says: {message}")
        matched.update(hits)
    for i, (row, _) in enumerate(patterns):
        if i not in matched:
            failures.append(f"no message of the library matches the row: {row[0]} | {row[1]}")
    if not messages:
        failures.append(f"{command[0]} printed no message")
    return failures, len(messages) + len(rows)


def check_file_messages(guide, path):
    rows = table_rows(section(guide, "### What the exchange library says about a file"))
    shown = {}
    for line in open(path, encoding="latin-1").read().split("\n"):
        kind, _, message = line.partition(": ")
        if kind:
            shown[kind] = re.sub(r'^Cannot open ".*?": ', "", message)
    failures = []
    kinds = set()
    for row in rows:
        kind = re.match(r"\[([^\]]+)\]", row[0]).group(1)
        kinds.add(kind)
        words = snippets(row[2])[0] if snippets(row[2]) else ""
        if kind not in shown:
            failures.append(f"{kind}: the message tour showed no such message")
        elif shown[kind] != words:
            failures.append(f"{kind}: the guide says\n    {words}\n  the library says\n    {shown[kind]}")
    for kind in sorted(set(shown) - kinds):
        failures.append(f"{kind}: the message tour showed it, the table has no row for it: {shown[kind]}")
    return failures, len(rows)


def check_mingw_link(guide, arch, kit, source, output):
    triple = {"x86_64": "x86_64-w64-mingw32", "i686": "i686-w64-mingw32"}[arch]
    lines = [line for line in section(guide, "## Linking") if line.startswith(f"{triple}-gcc ")]
    if len(lines) != 1:
        return [f"the guide's Linking section has {len(lines)} MinGW lines for {arch}, not one"], 1
    words = [kit + w[len(f"kit/{arch}"):] if w.startswith(f"kit/{arch}") else w for w in shlex.split(lines[0])]
    words = [source if w == "host.c" else output if w == "host.exe" else w for w in words]
    print("+ " + " ".join(words), flush=True)
    done = subprocess.run(words)
    if done.returncode != 0:
        return [f"the guide's line for {arch} failed with exit status {done.returncode}: {lines[0]}"], 1
    return [], 1


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    mode, guide = sys.argv[1], open(sys.argv[2], encoding="utf-8").read()
    if mode == "examples":
        failures, cases = check_examples(guide, sys.argv[3:])
    elif mode == "write-messages" and sys.argv[3:4] == ["--"]:
        failures, cases = check_write_messages(guide, sys.argv[4:])
    elif mode == "mingw-link" and len(sys.argv) == 7:
        failures, cases = check_mingw_link(guide, *sys.argv[3:])
    elif mode == "file-messages" and len(sys.argv) == 4:
        failures, cases = check_file_messages(guide, sys.argv[3])
    else:
        print(__doc__)
        return 2
    for failure in failures:
        print(failure)
    print(f"{mode}: {cases - len(failures)} of {cases} cases passed" if failures else f"{mode}: {cases} cases passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
