#!/usr/bin/env python3
"""Writes the kit's THIRD-PARTY-NOTICES.txt: the licences of what the MinGW-w64
toolchain links statically into every binary of the kit (the MinGW-w64 runtime,
winpthreads, libgcc, libstdc++), taken from the copyright files of the Debian
packages that the binaries were built with, so that the notice follows the toolchain.

    third-party-notices.py --triple x86_64-w64-mingw32 OUTPUT
"""
import argparse
import os
import re
import sys

DOC = "/usr/share/doc"
GPL3 = "/usr/share/common-licenses/GPL-3"


def read(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except OSError as error:
        sys.exit(f"third-party-notices.py: cannot read {path} ({error.strerror}); "
                 "install the toolchain's packages with ./derar.sh deps")


def paragraphs(text):
    return [p for p in re.split(r"\n[ \t]*\n", text) if p.strip()]


def field(paragraph, name):
    """The words of a machine-readable copyright field, continuation lines included."""
    match = re.search(rf"^{name}:(.*(?:\n[ \t].*)*)", paragraph, flags=re.M)
    return match.group(1).split() if match else []


def linked_from_mingw(files):
    """Stanzas that cover files of the runtime or of winpthreads (not only of their
    tests, tools or headers)."""
    def linked(pattern):
        return (pattern == "*" or pattern.startswith("mingw-w64-crt/")
                or (pattern.startswith("mingw-w64-libraries/winpthreads/")
                    and "/tests_pthread/" not in pattern and "/include/" not in pattern))
    return any(linked(p) for p in files)


def mingw_notice(package):
    text = read(os.path.join(DOC, package, "copyright"))
    stanzas, licences, used = [], {}, []
    for paragraph in paragraphs(text):
        files = field(paragraph, "Files")
        match = re.search(r"^License:[ \t]*(.*)$", paragraph, flags=re.M)
        names = re.split(r"\s+(?:and|or)\s+", match.group(1).strip()) if match else []
        if files:
            if linked_from_mingw(files):
                stanzas.append(paragraph.strip("\n"))
                used.extend(names)
        elif names:
            licences[names[0]] = paragraph.strip("\n")
    # A licence named by a stanza without its text is given once, after the stanzas.
    texts = []
    for name in dict.fromkeys(used):
        body = licences.get(name)
        if body:
            texts.append(body)
    return stanzas, texts


def gcc_notice(package):
    text = read(os.path.join(DOC, package, "copyright"))
    start = text.index("The following runtime libraries are licensed")
    end = text.index("\n\n", text.index("- libvtv", start))
    runtime = text[start:end].strip("\n")
    start = text.index("GCC RUNTIME LIBRARY EXCEPTION")
    end = text.index("requirements of the license of GCC.", start) + len("requirements of the license of GCC.")
    exception = text[start:end]
    return runtime, exception


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--triple", required=True, choices=["i686-w64-mingw32", "x86_64-w64-mingw32"])
    parser.add_argument("output")
    args = parser.parse_args()
    arch = args.triple.split("-")[0].replace("_", "-")
    mingw_package = f"mingw-w64-{arch}-dev"
    gcc_package = f"gcc-mingw-w64-{arch}-posix"
    stanzas, licence_texts = mingw_notice(mingw_package)
    runtime, exception = gcc_notice(gcc_package)
    rule = "=" * 78
    out = [
        "Third-party software in the binaries of the derar kit",
        rule,
        "",
        "Every binary of the kit (derar.dll, derafx.dll, Kiv.dll, kvd.exe, derardemo.exe)",
        "has these parts of the MinGW-w64 toolchain linked into it, so that it needs no",
        "runtime DLL beside it:",
        "",
        "  - the MinGW-w64 runtime: its start-up code and its library of C functions",
        "    (mingw-w64-crt)",
        "  - winpthreads, the POSIX threads library of MinGW-w64",
        "  - libgcc, the support library of GCC, with its unwinder",
        "  - libstdc++, the C++ standard library of GCC",
        "",
        "Their licences follow, as the Debian packages of the toolchain that built these",
        f"binaries give them ({DOC}/{mingw_package}/copyright,",
        f"{DOC}/{gcc_package}/copyright).",
        "",
        "",
        "1. The MinGW-w64 runtime and winpthreads",
        rule,
        "",
        "\n\n".join(stanzas),
        "",
        "\n\n".join(licence_texts),
        "",
        "",
        "2. libgcc and libstdc++",
        rule,
        "",
        runtime,
        "",
        exception,
        "",
        "",
        "3. The GNU General Public License, version 3",
        rule,
        "",
        f"The text of {GPL3}, the licence that the GCC Runtime Library Exception above",
        "adds its permission to:",
        "",
        read(GPL3).rstrip("\n"),
        "",
    ]
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
