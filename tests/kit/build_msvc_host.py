#!/usr/bin/env python3
"""Builds msvc_host.c as a host built with Microsoft's tools would be: the Microsoft
ABI (clang for *-windows-msvc), Microsoft's linker (lld-link), the kit's include/
and lib/ (derar.lib, Kiv.lib) and src/derarhelp.c, and no C runtime. Then lays it
out as a host ships: the .exe with the kit's three DLLs beside it.

    build_msvc_host.py --arch x86_64 --kit KIT --out DIR SOURCE.c

There is no Windows SDK here, so the Windows headers and the import libraries of
kernel32 and user32 come from MinGW-w64: its headers need the compiler to say that
it understands GNU C (-fgnuc-version, which the msvc target does not claim on its
own) and, for i686, the _X86_ that MinGW's compilers predefine. lld-link reads
MinGW's import libraries as they are (on i686 with /safeseh:no, since they carry no
table of safe exception handlers).
"""
import argparse
import os
import shutil
import subprocess
import sys

# target, MinGW's triple, compiler and linker options of the architecture. MinGW's
# 32-bit import libraries carry no safe exception handler table, which lld-link asks
# of every 32-bit object unless told otherwise.
TARGETS = {"x86_64": ("x86_64-pc-windows-msvc", "x86_64-w64-mingw32", [], []),
           "i686": ("i686-pc-windows-msvc", "i686-w64-mingw32", ["-D_X86_=1"], ["/safeseh:no"])}


def run(command):
    print("+ " + " ".join(command), flush=True)
    done = subprocess.run(command)
    if done.returncode != 0:
        sys.exit(f"build_msvc_host.py: {command[0]} failed with exit status {done.returncode}")


def tool(names):
    for name in names:
        path = shutil.which(name)
        if path:
            return path
    sys.exit(f"build_msvc_host.py: none of {', '.join(names)} is installed (./derar.sh deps installs them)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--arch", required=True, choices=sorted(TARGETS))
    parser.add_argument("--kit", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("source")
    args = parser.parse_args()
    target, triple, defines, link_options = TARGETS[args.arch]
    clang = tool(["clang", "clang-14"])
    lld_link = tool(["lld-link", "lld-link-14"])
    kit = os.path.abspath(args.kit)
    out = os.path.abspath(args.out)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    name = os.path.splitext(os.path.basename(args.source))[0]
    objects = []
    for source in [args.source, os.path.join(kit, "src", "derarhelp.c")]:
        obj = os.path.join(out, os.path.splitext(os.path.basename(source))[0] + ".obj")
        run([clang, f"--target={target}", "-fgnuc-version=4.2.1", *defines, "-O1", "-Wall", "-Werror",
             "-Wno-unused-command-line-argument", "-isystem", f"/usr/{triple}/include",
             "-I", os.path.join(kit, "include"), "-c", source, "-o", obj])
        objects.append(obj)
    mingw_lib = f"/usr/{triple}/lib"
    run([lld_link, "/nologo", "/subsystem:console", "/entry:HostMain", "/nodefaultlib", *link_options,
         f"/out:{os.path.join(out, name + '.exe')}", *objects,
         os.path.join(kit, "lib", "derar.lib"), os.path.join(kit, "lib", "Kiv.lib"),
         os.path.join(mingw_lib, "libkernel32.a"), os.path.join(mingw_lib, "libuser32.a")])
    for dll in ["derar.dll", "derafx.dll", "Kiv.dll"]:
        shutil.copy2(os.path.join(kit, "bin", dll), out)
    print(f"built {os.path.join(out, name + '.exe')}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
