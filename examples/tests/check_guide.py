#!/usr/bin/env python3
"""Checks that the guide shows each example host exactly as it is built.

Usage: check_guide.py GUIDE.md EXAMPLE.c...
Each example must appear, whole and unchanged, as one ```c block of the guide.
"""
import re
import sys


def main():
    guide = open(sys.argv[1], encoding="utf-8").read()
    blocks = re.findall(r"^```c\n(.*?)^```$", guide, flags=re.S | re.M)
    failures = []
    for path in sys.argv[2:]:
        source = open(path, encoding="utf-8").read()
        if source not in blocks:
            failures.append(f"{path}: the guide shows no block equal to this file; copy it into the guide again")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
