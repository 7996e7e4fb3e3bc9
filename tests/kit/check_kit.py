#!/usr/bin/env python3
"""Inspects an installed kit as a host developer receives it: what it holds and
nothing of the build, binaries stripped with their debug information beside them
(and gdb finding it), the versions of headers and modules, the import libraries for
Microsoft's linker binding the names that the DLLs export, and the notices.

    check_kit.py --arch x86_64 --kit KIT --version 1.4.0 --include TREE/include
    check_kit.py --arch i686 --imports-of HOST.exe      (a host linked against the kit)

Every check is one case; a failure names its case. The exit status is 1 when any
case fails. The last line says how many passed, and the kit's size.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "binaries"))
import pe  # noqa: E402

BINARIES = ["derar.dll", "derafx.dll", "Kiv.dll", "kvd.exe", "derardemo.exe"]
FILES = ["include/derar.h", "include/kivapi.h", "include/derarhelp.h", "src/derarhelp.c",
         "lib/derar.dll.a", "lib/libKiv.dll.a", "lib/derar.lib", "lib/Kiv.lib", "lib/derar.def", "lib/Kiv.def",
         "lib/cmake/derar/derar-config.cmake", "lib/cmake/derar/derar-config-version.cmake",
         "examples/write_objects.c", "examples/read_chosen.c", "docs/guide.md", "docs/kvd-format.md",
         "CHANGELOG.md", "THIRD-PARTY-NOTICES.txt"]
NOT_IN_KIT = ["lib/libderafx.dll.a"]
DERAR_EXPORTS = {"KivImpExpDialog", "KivBrowseDialog"}
KIV_CALLS = {"KivAttach", "KivOpen", "KivGetNextObject", "KivGetNextValue", "KivStringToDate", "KivDetach",
             "KivBeginWrite", "KivPutObject", "KivPutValue", "KivCommitWrite", "KivAbandonWrite"}
# Modules whose version resource comes from the project's version, with their file type.
VERSIONED = {"Kiv.dll": 2, "derafx.dll": 2, "kvd.exe": 1}
MACHINES = {"x86_64": 0x8664, "i686": 0x14C}
IMPORT_NAME_TYPES = {0: "ordinal", 1: "name", 2: "noprefix", 3: "undecorate"}


class Report:
    def __init__(self):
        self.cases = self.failures = 0

    def check(self, case, expected, actual):
        self.require(case, expected == actual, f"expected {expected!r}, got {actual!r}")

    def require(self, case, condition, detail=""):
        self.cases += 1
        if not condition:
            self.failures += 1
            print(f"FAIL {case}" + (f": {detail}" if detail else ""))


# ---- import libraries in the short format ------------------------------------------

def archive_members(data):
    """(name, bytes) of each member of an ar archive."""
    if not data.startswith(b"!<arch>\n"):
        raise ValueError("not an archive")
    at = 8
    while at + 60 <= len(data):
        header = data[at:at + 60]
        name = header[:16].decode("latin-1").strip()
        size = int(header[48:58].decode("latin-1").strip())
        yield name, data[at + 60:at + 60 + size]
        at += 60 + size + (size & 1)


def short_imports(path):
    """[(machine, dll, symbol, imported name)] of the short import objects in a .lib."""
    with open(path, "rb") as f:
        data = f.read()
    found = []
    for _, member in archive_members(data):
        if len(member) < 20:
            continue
        sig1, sig2, _, machine, _, _, _, kind = struct.unpack_from("<HHHHIIHH", member)
        if sig1 != 0 or sig2 != 0xFFFF:
            continue
        symbol, dll = member[20:].split(b"\0")[:2]
        symbol, dll = symbol.decode("latin-1"), dll.decode("latin-1")
        name_type = IMPORT_NAME_TYPES.get((kind >> 2) & 7)
        # The name the loader is asked for, from the symbol and the name type.
        if name_type == "name":
            imported = symbol
        elif name_type == "noprefix":
            imported = symbol.lstrip("?@_")
        elif name_type == "undecorate":
            imported = symbol.lstrip("?@_").split("@")[0]
        else:
            imported = f"#ordinal {kind}"
        found.append((machine, dll, symbol, imported))
    return found


def check_import_library(report, path, arch, dll, names):
    label = os.path.basename(path)
    try:
        imports = short_imports(path)
    except (OSError, ValueError) as error:
        report.require(f"{label}: readable", False, str(error))
        return
    report.check(f"{label}: machine of every import", {MACHINES[arch]}, {m for m, _, _, _ in imports})
    report.check(f"{label}: DLL of every import", {dll}, {d for _, d, _, _ in imports})
    report.check(f"{label}: the names it binds, as the DLL exports them", sorted(names),
                 sorted(i for _, _, _, i in imports))


# ---- stripped binaries and their debug files ------------------------------------------

def debug_link(module, names):
    """(file name, CRC-32) of the .gnu_debuglink section, or None."""
    for section, name in zip(module.pe.sections, names):
        if name == ".gnu_debuglink":
            data = section.get_data()
            name = data.split(b"\0")[0]
            at = (len(name) + 1 + 3) & ~3
            return name.decode("latin-1"), struct.unpack_from("<I", data, at)[0]
    return None


def section_names(path):
    """Section names, long ones resolved through the COFF string table (pefile leaves
    them as "/4" and the like)."""
    module = pe.Module(path)
    header = module.pe.FILE_HEADER
    with open(path, "rb") as f:
        data = f.read()
    strings = header.PointerToSymbolTable + header.NumberOfSymbols * 18
    names = []
    for section in module.pe.sections:
        name = section.Name.rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and name[1:].isdigit() and header.PointerToSymbolTable:
            at = strings + int(name[1:])
            name = data[at:data.index(b"\0", at)].decode("latin-1")
        names.append(name)
    return module, names


def check_binary(report, kit, name, gdb):
    path = os.path.join(kit, "bin", name)
    debug = path + ".debug"
    report.require(f"bin/{name}: present", os.path.isfile(path))
    report.require(f"bin/{name}.debug: present", os.path.isfile(debug))
    if not os.path.isfile(path) or not os.path.isfile(debug):
        return
    module, names = section_names(path)
    report.check(f"bin/{name}: debug sections left in it", [], [n for n in names if n.startswith(".debug")])
    report.check(f"bin/{name}: symbol table left in it", 0, module.pe.FILE_HEADER.NumberOfSymbols)
    with open(debug, "rb") as f:
        crc = zlib.crc32(f.read()) & 0xFFFFFFFF
    report.check(f"bin/{name}: its debug link names {name}.debug with its checksum", (f"{name}.debug", crc),
                 debug_link(module, names))
    _, debug_names = section_names(debug)
    report.require(f"bin/{name}.debug: holds the debug information", ".debug_info" in debug_names,
                   f"sections {debug_names}")
    if gdb and name == "Kiv.dll":
        done = subprocess.run([gdb, "-batch", "-nx", "-ex", "info line KivAttach", path],
                              capture_output=True, text=True, timeout=120)
        report.require("gdb: finds the source line of KivAttach in the stripped Kiv.dll through its debug file",
                       re.search(r'Line \d+ of ".*KivCalls\.cpp"', done.stdout) is not None,
                       (done.stdout + done.stderr).strip()[-300:])


def check_versions(report, kit, version):
    want = tuple(int(p) for p in version.split(".")) + (0,)
    for name, file_type in VERSIONED.items():
        path = os.path.join(kit, "bin", name)
        if not os.path.isfile(path):
            continue
        found = pe.Module(path).version()
        report.require(f"bin/{name}: has a version resource", found is not None)
        if not found:
            continue
        fixed, tables, translations = found
        strings = tables.get("040904B0", {})
        report.check(f"bin/{name}: file and product version", (want, want),
                     (fixed["file_version"], fixed["product_version"]))
        report.check(f"bin/{name}: file type", file_type, fixed["file_type"])
        report.check(f"bin/{name}: FileVersion, ProductVersion, OriginalFilename",
                     (version, version, name),
                     (strings.get("FileVersion"), strings.get("ProductVersion"), strings.get("OriginalFilename")))
        report.require(f"bin/{name}: FileDescription", bool(strings.get("FileDescription")))
        report.check(f"bin/{name}: translation", [(0x0409, 0x04B0)], translations)
    found = pe.Module(os.path.join(kit, "bin", "derar.dll")).version()
    report.check("bin/derar.dll: keeps its own FileVersion and ProductVersion", ("1.31", "1.3"),
                 (found[1].get("040904B0", {}).get("FileVersion"), found[1].get("040904B0", {}).get("ProductVersion"))
                 if found else None)
    major, minor, patch = version.split(".")
    for header, prefix in [("derar.h", "DERAR"), ("kivapi.h", "KIV")]:
        text = open(os.path.join(kit, "include", header), encoding="utf-8").read()
        macros = dict(re.findall(rf"^#define ({prefix}_VERSION\w*) +(\S+)", text, flags=re.M))
        report.check(f"include/{header}: version macros", {
            f"{prefix}_VERSION_MAJOR": major, f"{prefix}_VERSION_MINOR": minor, f"{prefix}_VERSION_PATCH": patch,
            f"{prefix}_VERSION_STRING": f'"{version}"',
            f"{prefix}_VERSION": str(10000 * int(major) + 100 * int(minor) + int(patch))}, macros)
    changelog = open(os.path.join(kit, "CHANGELOG.md"), encoding="utf-8").read()
    report.require(f"CHANGELOG.md: has a section for {version}", f"\n## {version}\n" in changelog)


def check_headers(report, kit, include):
    """The kit's include/ is the tree's: the same headers, byte for byte, and no other."""
    headers = sorted(f for f in os.listdir(include) if f.endswith(".h"))
    shipped = sorted(os.listdir(os.path.join(kit, "include"))) if os.path.isdir(os.path.join(kit, "include")) else []
    report.check("include/: the headers of the tree's include/, nothing else", headers, shipped)
    for header in set(headers) & set(shipped):
        with open(os.path.join(include, header), "rb") as a, open(os.path.join(kit, "include", header), "rb") as b:
            report.require(f"include/{header}: as in the tree", a.read() == b.read())


def check_kit(report, kit, arch, version, gdb, include):
    check_headers(report, kit, include)
    for relative in FILES:
        report.require(f"{relative}: present", os.path.isfile(os.path.join(kit, relative)))
    for relative in NOT_IN_KIT:
        report.require(f"{relative}: not in the kit", not os.path.exists(os.path.join(kit, relative)))
    expected_bin = set(BINARIES) | {b + ".debug" for b in BINARIES} | {"samples"}
    present = set(os.listdir(os.path.join(kit, "bin"))) if os.path.isdir(os.path.join(kit, "bin")) else set()
    report.check("bin/: holds the binaries, their debug files and the samples, nothing else", sorted(expected_bin),
                 sorted(present))
    for name in BINARIES:
        check_binary(report, kit, name, gdb)
    check_versions(report, kit, version)
    check_import_library(report, os.path.join(kit, "lib", "derar.lib"), arch, "derar.dll", DERAR_EXPORTS)
    check_import_library(report, os.path.join(kit, "lib", "Kiv.lib"), arch, "Kiv.dll", KIV_CALLS)
    notices = open(os.path.join(kit, "THIRD-PARTY-NOTICES.txt"), encoding="utf-8").read()
    for part in ["the mingw-w64 project", "winpthreads", "GCC RUNTIME LIBRARY EXCEPTION", "libstdc++",
                 "GNU GENERAL PUBLIC LICENSE"]:
        report.require(f"THIRD-PARTY-NOTICES.txt: names {part}", part in notices)


def check_host_imports(report, path, arch):
    module = pe.Module(path)
    label = os.path.basename(path)
    report.check(f"{label}: architecture", arch, module.architecture)
    imports = {dll.lower(): names for dll, names in module.imports().items()}
    report.check(f"{label}: the DLLs it imports from", ["derar.dll", "kernel32.dll", "kiv.dll", "user32.dll"],
                 sorted(imports))
    report.check(f"{label}: names imported from derar.dll", sorted(DERAR_EXPORTS), sorted(imports.get("derar.dll", [])))
    kiv = imports.get("kiv.dll", [])
    report.require(f"{label}: imports from Kiv.dll", bool(kiv))
    report.check(f"{label}: names imported from Kiv.dll that it does not export (decorated, or by ordinal)", [],
                 sorted(set(kiv) - KIV_CALLS))


def size_of(folder, keep=lambda name: True):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(folder) for f in files if keep(f))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--arch", required=True, choices=sorted(MACHINES))
    parser.add_argument("--kit")
    parser.add_argument("--version")
    parser.add_argument("--include", help="the tree's include/, whose headers the kit ships")
    parser.add_argument("--imports-of", help="a host built against the kit: check what it imports")
    args = parser.parse_args()
    report = Report()
    if args.imports_of:
        check_host_imports(report, args.imports_of, args.arch)
        print(f"{args.arch}: {report.cases - report.failures} of {report.cases} cases passed")
        return 1 if report.failures else 0
    if not args.kit or not args.version or not args.include:
        parser.error("--kit, --version and --include are needed")
    gdb = shutil.which("gdb")
    report.require("gdb: installed (./derar.sh deps)", gdb is not None)
    check_kit(report, args.kit, args.arch, args.version, gdb, args.include)
    total = size_of(args.kit)
    shipped = size_of(os.path.join(args.kit, "bin"), lambda f: f in ("derar.dll", "derafx.dll", "Kiv.dll"))
    print(f"{args.arch}: {report.cases - report.failures} of {report.cases} cases passed; the kit holds {total:,} "
          f"bytes, the three DLLs a host ships {shipped:,}")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main())
