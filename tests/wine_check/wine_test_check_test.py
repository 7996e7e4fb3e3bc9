#!/usr/bin/env python3
"""The Wine test check (cmake/wine-test.py) against runs whose outcome is known:
a stand-in for the program under Wine writes the report or the output that each
case gives, and the check must pass exactly the runs that say they passed.
"""
import os
import subprocess
import sys
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "..", "..", "cmake", "wine-test.py")

PASSED_REPORT = """<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="2" failures="0" disabled="0" errors="0" name="AllTests">
  <testsuite name="Transfer" tests="2" failures="0" disabled="0" errors="0">
    <testcase name="Lists" status="run" result="completed" classname="Transfer" />
    <testcase name="Adds" status="run" result="completed" classname="Transfer" />
  </testsuite>
</testsuites>
"""
FAILED_REPORT = PASSED_REPORT.replace(
    '<testcase name="Adds" status="run" result="completed" classname="Transfer" />',
    '<testcase name="Adds" status="run" result="completed" classname="Transfer">'
    '<failure message="x" type=""/></testcase>')
NOTHING_RAN_REPORT = """<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="0" failures="0" disabled="0" errors="0" name="AllTests">
</testsuites>
"""
ONLY_DISABLED_REPORT = PASSED_REPORT.replace('status="run"', 'status="notrun"')
ONLY_SKIPPED_REPORT = PASSED_REPORT.replace('result="completed"', 'result="skipped"')


def stand_in(report=None, output="", code=0):
    """A command that behaves like one program run under Wine."""
    script = textwrap.dedent(f"""
        import os, sys
        report = {report!r}
        target = os.environ.get("GTEST_OUTPUT", "")
        if report is not None and target.startswith("xml:Z:"):
            with open(target[len("xml:Z:"):].replace("\\\\", "/"), "w") as f:
                f.write(report)
        sys.stdout.write({output!r})
        sys.exit({code})
        """)
    return [sys.executable, "-c", script, "program.exe"]


# (case, extra options of the check, the run, does the check pass it)
CASES = [
    ("a run that printed nothing and exits 0", [], stand_in(), False),
    ("a GoogleTest report of tests that passed", [], stand_in(PASSED_REPORT), True),
    ("a report with a failure", [], stand_in(FAILED_REPORT), False),
    ("a report with no test", [], stand_in(NOTHING_RAN_REPORT), False),
    ("a report of disabled tests only", [], stand_in(ONLY_DISABLED_REPORT), False),
    ("a report of skipped tests only", [], stand_in(ONLY_SKIPPED_REPORT), False),
    ("a cut report", [], stand_in(PASSED_REPORT[:120]), False),
    ("a passed report and exit code 3", [], stand_in(PASSED_REPORT, code=3), False),
    ("the summary line of GoogleTest printed without a report", [],
     stand_in(output="[  PASSED  ] 2 tests.\n"), False),
    ("a summary that matches", ["--expect", "^all passed$"], stand_in(output="all passed\n"), True),
    ("no output where a summary is expected", ["--expect", "^all passed$"], stand_in(), False),
    ("a matching summary and exit code 1", ["--expect", "^all passed$"],
     stand_in(output="all passed\n", code=1), False),
    ("a summary with other words", ["--expect", "^all passed$"], stand_in(output="3 failed\n"), False),
]


class WineTestCheck(unittest.TestCase):
    def test_cases(self):
        for case, options, run, passes in CASES:
            with self.subTest(case=case):
                result = subprocess.run([sys.executable, CHECK, "--arch", "i686", *options, "--", *run],
                                        capture_output=True, text=True)
                verdict = result.stdout.strip().splitlines()[-1] if result.stdout.strip() else ""
                self.assertEqual(result.returncode == 0, passes, f"{case}: {verdict!r}")
                # Every verdict names the architecture and the program.
                self.assertTrue(verdict.startswith(("PASS (i686) program.exe:", "FAIL (i686) program.exe:")),
                                f"{case}: {verdict!r}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
