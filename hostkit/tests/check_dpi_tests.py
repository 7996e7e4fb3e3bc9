#!/usr/bin/env python3
"""Checks that every test whose program can start another at a different DPI runs alone.

hostkit::RunAtDpi sets the Wine prefix's DPI until the program it starts has taken it, so a
program of any other test that starts meanwhile takes that DPI too. A test whose program
holds RunAtDpi (its message text is in the binary) must be RUN_SERIAL
(hostkit_add_dpi_test), and the programs that the tests know to change the DPI must hold it.

  check_dpi_tests.py CTEST BUILD_DIR
"""
import json
import os
import subprocess
import sys

# A text of RunAtDpi alone (dpi_run.cpp): a program that links it can change the DPI.
MARK = b'the program did not take its DPI within the time'
# Tests known to change the DPI: if one of them no longer holds the mark, the mark is stale.
KNOWN = ['transfer_dpi_tests', 'demo_tour']


def programs(command):
    """The Windows programs that a test's command runs: those after its Wine launcher."""
    launcher = next((i for i, arg in enumerate(command) if arg.endswith('-run.sh')), len(command))
    return [arg for arg in command[launcher:] if arg.lower().endswith('.exe') and os.path.isfile(arg)]


def holds_mark(path, cache={}):
    if path not in cache:
        with open(path, 'rb') as f:
            cache[path] = MARK in f.read()
    return cache[path]


def check(ctest, build):
    shown = subprocess.run([ctest, '--test-dir', build, '--show-only=json-v1'], check=True,
                           capture_output=True, text=True).stdout
    failures, changers = [], set()
    for test in json.loads(shown)['tests']:
        name = test['name']
        properties = {p['name']: p['value'] for p in test.get('properties', [])}
        if any(holds_mark(p) for p in programs(test.get('command', []))):
            changers.add(name)
            if not properties.get('RUN_SERIAL'):
                failures.append('%s starts programs at another DPI but is not RUN_SERIAL' % name)
    for name in KNOWN:
        if name not in changers:
            failures.append('%s holds no RunAtDpi: the check looks for the wrong text' % name)
    return failures, changers


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    failures, changers = check(sys.argv[1], sys.argv[2])
    for failure in failures:
        print('FAILED:', failure)
    print('%d tests change the DPI, each alone: %s' % (len(changers), ', '.join(sorted(changers))))
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
