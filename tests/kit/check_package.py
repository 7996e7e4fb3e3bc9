#!/usr/bin/env python3
"""The kit's CMake package on kits that lack a file: a host project is configured
against a copy of the installed kit with files taken away, and must find the package
or be refused with a message that names what is missing.

    check_package.py --cmake CMAKE --kit KIT --scratch DIR

Each case is one row of CASES; a failure names its case. The last line says how many
passed; the exit status is 1 when any case fails.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

# Everything of the kit that the package may name: the DLLs, headers, sources, libraries.
PARTS = ["bin/derar.dll", "bin/derafx.dll", "bin/Kiv.dll", "include", "src", "lib"]

ALL = ["derar::derar", "derar::kiv", "derar::help"]
CORE = ["derar::derar", "derar::kiv"]

# (case, files taken from the kit, what follows "find_package(derar 1.4 CONFIG REQUIRED",
#  extra -D definitions, the targets it makes or None when refused, the refusal's words)
CASES = [
    ("the whole kit", [], "", [], ALL, None),
    ("the whole kit, the help window asked for", [], "COMPONENTS helpwindow", [], ALL, None),
    ("a DLL missing", ["bin/Kiv.dll"], "", [], None, "lacks bin/Kiv.dll"),
    ("the class layer's DLL missing", ["bin/derafx.dll"], "", [], None, "lacks bin/derafx.dll"),
    ("a header missing", ["include/kivapi.h"], "", [], None, "lacks include/kivapi.h"),
    ("MinGW's import library missing", ["lib/libKiv.dll.a"], "", [], None, "lacks lib/libKiv.dll.a"),
    ("two files missing, both named", ["bin/derar.dll", "lib/derar.dll.a"], "", [], None,
     "lacks bin/derar.dll, lib/derar.dll.a"),
    ("Microsoft's import library missing, for Microsoft's linker", ["lib/Kiv.lib"], "", ["-DMSVC=1"], None,
     "lacks lib/Kiv.lib"),
    ("MinGW's import library missing, for Microsoft's linker", ["lib/libKiv.dll.a", "lib/derar.dll.a"], "",
     ["-DMSVC=1"], ALL, None),
    ("the help window's source missing, asked for", ["src/derarhelp.c"], "COMPONENTS helpwindow", [], None,
     "the component helpwindow needs src/derarhelp.c"),
    ("the help window's header missing, asked for", ["include/derarhelp.h"], "COMPONENTS helpwindow", [], None,
     "the component helpwindow needs include/derarhelp.h"),
    ("the help window missing, not asked for", ["src/derarhelp.c"], "", [], CORE, None),
    ("the help window missing, optional", ["include/derarhelp.h"], "OPTIONAL_COMPONENTS helpwindow", [], CORE,
     None),
    ("a component the kit does not offer", [], "COMPONENTS dialogs", [], None,
     "there is no component dialogs (the kit offers helpwindow)"),
    ("a component the kit does not offer, optional", [], "OPTIONAL_COMPONENTS dialogs", [], ALL, None),
]

PROJECT = """cmake_minimum_required(VERSION 3.16)
project(probe NONE)
find_package(derar 1.4 CONFIG REQUIRED {args})
foreach(target derar::derar derar::kiv derar::help)
  if(TARGET ${{target}})
    message(STATUS "probe target ${{target}}")
  endif()
endforeach()
"""


def copy_kit(kit, copy):
    shutil.rmtree(copy, ignore_errors=True)
    for part in PARTS:
        source, target = os.path.join(kit, part), os.path.join(copy, part)
        if os.path.isdir(source):
            shutil.copytree(source, target)
        else:
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(source, target)


def run_case(cmake, kit, scratch, case, missing, args, defines):
    copy = os.path.join(scratch, "kit")
    copy_kit(kit, copy)
    for relative in missing:
        os.remove(os.path.join(copy, relative))
    source, binary = os.path.join(scratch, "probe"), os.path.join(scratch, "probe-build")
    shutil.rmtree(binary, ignore_errors=True)
    os.makedirs(source, exist_ok=True)
    with open(os.path.join(source, "CMakeLists.txt"), "w", encoding="utf-8") as f:
        f.write(PROJECT.format(args=args))
    done = subprocess.run([cmake, "-S", source, "-B", binary, "-G", "Ninja",
                           "-Dderar_DIR=" + os.path.join(copy, "lib", "cmake", "derar")] + defines,
                          capture_output=True, text=True, timeout=120)
    output = done.stdout + done.stderr
    # CMake wraps the package's message over lines: read it as one line.
    return done.returncode, re.sub(r"\s+", " ", output), re.findall(r"probe target (\S+)", output)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--kit", required=True)
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    failures = 0
    for case, missing, find_args, defines, targets, refusal in CASES:
        status, output, made = run_case(args.cmake, args.kit, args.scratch, case, missing, find_args, defines)
        if targets is not None:
            problem = None if status == 0 and made == targets else \
                f"expected the package found with {targets}, got status {status} and {made}: {output[-400:]}"
        else:
            problem = None if status != 0 and "considered to be NOT FOUND" in output and refusal in output else \
                f"expected a refusal saying {refusal!r}, got status {status}: {output[-400:]}"
        if problem:
            failures += 1
            print(f"FAIL {case}: {problem}")
    print(f"CMake package: {len(CASES) - failures} of {len(CASES)} cases passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
