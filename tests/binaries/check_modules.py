#!/usr/bin/env python3
"""Inspects the built modules of one architecture as a host and its loader see
them: the exports of derar.dll and Kiv.dll, what derar.dll imports, that no
module needs a MinGW runtime DLL beside it, and the resources of derar.dll
(dialog templates, button bitmaps, accelerator table, version information).

    check_modules.py --arch x86_64 --derar derar.dll [--kiv Kiv.dll]
                       [--derafx derafx.dll] [--module other.dll ...]

Every check is one case; a failure names its case, the expected and the actual
value. The exit status is 1 when any case fails.
"""
import argparse
import os
import re
import sys

import pe

# Window and control styles, with their Win32 values.
WS_POPUP, WS_CHILD, WS_VISIBLE, WS_DISABLED = 0x80000000, 0x40000000, 0x10000000, 0x08000000
WS_CAPTION, WS_BORDER, WS_VSCROLL, WS_SYSMENU = 0x00C00000, 0x00800000, 0x00200000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_GROUPBOX, BS_OWNERDRAW = 0x0, 0x1, 0x7, 0xB
SS_LEFT, ES_AUTOHSCROLL = 0x0, 0x80
CBS_DROPDOWNLIST, CBS_SORT = 0x3, 0x100
LVS_REPORT, LVS_SORTASCENDING = 0x1, 0x10
TVS_HASBUTTONS, TVS_HASLINES, TVS_LINESATROOT = 0x1, 0x2, 0x4

CHILD = WS_CHILD | WS_VISIBLE
DIALOG_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
FONT = (8, "MS Sans Serif")
BUTTON = CHILD | BS_PUSHBUTTON | WS_TABSTOP
BITMAP_BUTTON = CHILD | BS_OWNERDRAW | WS_TABSTOP
GROUP_BOX = CHILD | BS_GROUPBOX
LABEL = CHILD | SS_LEFT | WS_GROUP
LIST = CHILD | LVS_REPORT | LVS_SORTASCENDING | WS_BORDER | WS_TABSTOP
STATIC_ID = 0xFFFF   # -1 as a template stores it

# Each dialog: caption, (x, y, cx, cy), and its controls in template (tab) order
# as (id, class, text, (x, y, cx, cy), style).
DIALOGS = {
    22677: ("Kiv Import", (80, 40, 490, 298), [
        (3549, "Button", "Objects Available for Import", (6, 3, 467, 118), GROUP_BOX),
        (3550, "Button", "Objects Selected for Import", (6, 151, 467, 118), GROUP_BOX),
        (3553, "Button", "ADD", (203, 129, 16, 16), BITMAP_BUTTON),
        (3554, "Button", "ADDALL", (231, 129, 16, 16), BITMAP_BUTTON),
        (3556, "Button", "REMALL", (259, 129, 16, 16), BITMAP_BUTTON),
        (3555, "Button", "REMOVE", (287, 129, 16, 16), BITMAP_BUTTON),
        (1, "Button", "OK", (166, 275, 50, 14), BUTTON),
        (2, "Button", "Cancel", (220, 275, 50, 14), BUTTON),
        (3552, "SysListView32", "List1", (11, 14, 457, 102), LIST),
        (3551, "SysListView32", "List2", (11, 162, 457, 102), LIST),
        (57670, "Button", "&Help", (274, 275, 50, 14), BUTTON),
        (STATIC_ID, "Static", "Change Selected Items:", (6, 133, 85, 8), LABEL),
    ]),
    131: ("Warning", (0, 0, 286, 102), [
        (6, "Button", "&Yes", (7, 81, 50, 14), CHILD | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP),
        (7, "Button", "&No", (115, 81, 50, 14), CHILD | BS_PUSHBUTTON | WS_GROUP),
        (1000, "Button", "Yes &All", (61, 81, 50, 14), CHILD | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP),
        (9, "Button", "N&o All", (169, 81, 50, 14), CHILD | BS_PUSHBUTTON | WS_GROUP),
        (2, "Button", "Cancel", (223, 81, 50, 14), CHILD | BS_PUSHBUTTON | WS_GROUP),
        (1001, "Static", "Kiv Warning Message", (7, 6, 272, 59), LABEL),
    ]),
    22678: ("Browse Kiv File", (80, 40, 459, 266), [
        (3559, "SysTreeView32", "Tree1", (9, 33, 380, 220),
         CHILD | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | WS_BORDER | WS_TABSTOP),
        (3560, "Button", "Kiv Tree", (5, 24, 388, 232), GROUP_BOX),
        (1, "Button", "Close", (403, 19, 50, 14), BUTTON),
        (57670, "Button", "&Help", (403, 37, 50, 14), BUTTON),
        (1002, "ComboBox", "", (255, 4, 138, 119), CHILD | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP),
        (STATIC_ID, "Static", "File Name:", (219, 7, 34, 8), LABEL),
        (1003, "Static", "Directory:", (5, 7, 32, 8), LABEL),
        (1004, "Edit", "", (37, 4, 153, 12), CHILD | WS_DISABLED | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP),
        (1005, "Button", "...", (191, 4, 14, 12), BUTTON),
        (32772, "Button", "Expand Tree", (403, 69, 50, 14), BUTTON),
        (32771, "Button", "Collapse Tree", (403, 87, 50, 14), BUTTON),
        (32773, "Button", "Expand Node", (403, 105, 50, 14), BUTTON),
    ]),
}

# Bitmap stems: (number of arrows, pointing down).
BITMAP_BUTTONS = {"ADD": (1, True), "ADDALL": (2, True), "REMOVE": (1, False), "REMALL": (2, False)}
# The twelve for 96 DPI, and the same twelve drawn for 150 % and 200 %, named with the
# scale appended: name suffix -> (size, how far the pressed picture moves the arrows).
BITMAP_SCALES = {"": ((26, 24), 1), "150": ((39, 36), 1), "200": ((52, 48), 2)}
STANDARD_16_COLOURS = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREY, LIGHT_GREY, WHITE = 0, 8, 7, 15

FVIRTKEY, FNOINVERT, FCONTROL, LAST_ENTRY = 0x01, 0x02, 0x08, 0x80
ACCELERATORS = [
    (FVIRTKEY | FNOINVERT | FCONTROL, ord("C"), 32771),
    (FVIRTKEY | FNOINVERT | FCONTROL, ord("E"), 32772),
    (FVIRTKEY | FNOINVERT | FCONTROL | LAST_ENTRY, ord("N"), 32773),
]

VERSION_STRINGS = {
    "FileDescription": "derar DLL",
    "FileVersion": "1.31",
    "InternalName": "derar",
    "OriginalFilename": "derar.DLL",
    "ProductName": "derar Dynamic Link Library",
    "ProductVersion": "1.3",
}
VFT_DLL = 2

DERAR_EXPORTS = {"KivImpExpDialog", "KivBrowseDialog"}
KIV_CALLS = {"KivAttach", "KivOpen", "KivGetNextObject", "KivGetNextValue", "KivStringToDate", "KivDetach",
             "KivBeginWrite", "KivPutObject", "KivPutValue", "KivCommitWrite", "KivAbandonWrite"}
RUNTIME_DLL = re.compile(r"^(libstdc\+\+|libgcc|libwinpthread)", re.IGNORECASE)
# The system DLLs that a shipped module may import, and whether each is one of Windows'
# known DLLs (always the system folder's copy; the others are looked for beside the program
# first, and a host must not put a DLL of such a name there). Our own three come beside them.
SYSTEM_DLLS = {
    "kernel32.dll": True, "user32.dll": True, "gdi32.dll": True, "advapi32.dll": True,
    "comdlg32.dll": True, "msvcrt.dll": True, "ole32.dll": True, "comctl32.dll": False,
}
OUR_DLLS = {"derar.dll", "derafx.dll", "kiv.dll"}


class Report:
    def __init__(self):
        self.cases = self.failures = 0

    def check(self, case, expected, actual):
        self.cases += 1
        if expected != actual:
            self.failures += 1
            print(f"FAIL {case}: expected {expected!r}, got {actual!r}")

    def require(self, case, condition, detail=""):
        self.cases += 1
        if not condition:
            self.failures += 1
            print(f"FAIL {case}" + (f": {detail}" if detail else ""))


def imports_of(module, dll):
    """The names imported from dll (compared case-insensitively), or None."""
    for name, entries in module.imports().items():
        if name.lower() == dll.lower():
            return entries
    return None


def check_module_basics(report, label, module, arch):
    report.check(f"{label}: architecture", arch, module.architecture)
    runtime = sorted(n for n in module.imports() if RUNTIME_DLL.match(n))
    report.check(f"{label}: MinGW runtime DLLs imported", [], runtime)
    others = sorted(n for n in module.imports() if n.lower() not in SYSTEM_DLLS and n.lower() not in OUR_DLLS)
    report.check(f"{label}: DLLs imported that are neither the system's nor ours", [], others)
    # A delay-loaded DLL is looked for at its first call, by the search of that moment.
    report.check(f"{label}: delay-loaded DLLs", [], module.delay_imports())


def check_linkage(report, derar, kiv, derafx):
    report.check("derar.dll: exported names", sorted(DERAR_EXPORTS), sorted(derar.exports()))
    if kiv:
        report.check("Kiv.dll: exported names", sorted(KIV_CALLS), sorted(kiv.exports()))
    from_kiv = imports_of(derar, "Kiv.dll")
    report.require("derar.dll: imports from Kiv.dll", bool(from_kiv),
                   f"imported DLLs are {sorted(derar.imports())}")
    if from_kiv:
        report.check("derar.dll: names imported from Kiv.dll that Kiv.dll does not export (decorated or"
                     " by ordinal)", [], sorted(set(from_kiv) - KIV_CALLS))
    report.require("derar.dll: imports from derafx.dll", bool(imports_of(derar, "derafx.dll")),
                   f"imported DLLs are {sorted(derar.imports())}")


def check_dialogs(report, resources):
    for template, (caption, rect, controls) in DIALOGS.items():
        label = f"dialog {template}"
        found = resources.get((pe.RT_DIALOG, template))
        report.require(f"{label}: present", bool(found))
        if not found:
            continue
        d = pe.dialog(next(iter(found.values())))
        report.check(f"{label}: extended template", False, d["extended"])
        report.check(f"{label}: style", hex(DIALOG_STYLE), hex(d["style"]))
        report.check(f"{label}: extended style", 0, d["exstyle"])
        report.check(f"{label}: caption", caption, d["caption"])
        report.check(f"{label}: position and size", rect, (d["x"], d["y"], d["cx"], d["cy"]))
        report.check(f"{label}: font", FONT, d["font"])
        report.check(f"{label}: menu and class", ("", ""), (d["menu"], d["window_class"]))
        report.check(f"{label}: control ids in template order", [c[0] for c in controls],
                     [c["id"] for c in d["controls"]])
        for (cid, cls, text, crect, style), got in zip(controls, d["controls"]):
            if cid != got["id"]:
                continue   # the order case above already names the difference
            where = f"{label} control {cid}"
            # Window class names are case-insensitive; ordinals were decoded to names.
            report.check(f"{where}: class", cls.lower(), got["window_class"].lower())
            report.check(f"{where}: text", text, got["text"])
            report.check(f"{where}: position and size", crect, got["rect"])
            report.check(f"{where}: style", hex(style), hex(got["style"]))
            report.check(f"{where}: extended style", 0, got["exstyle"])


def arrow_pixels(pixels, edge=1):
    """Black pixels inside the button's two border lines (each edge pixels wide): the
    arrows (and a focus rectangle)."""
    w, h = len(pixels[0]), len(pixels)
    inset = 2 * edge
    return {(x, y) for y in range(inset, h - inset) for x in range(inset, w - inset) if pixels[y][x] == BLACK}


def components(points):
    points, groups = set(points), []
    while points:
        stack, group = [points.pop()], set()
        while stack:
            x, y = stack.pop()
            group.add((x, y))
            for n in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                if n in points:
                    points.remove(n)
                    stack.append(n)
        groups.append(group)
    return groups


def bounding_box(points):
    xs, ys = [x for x, _ in points], [y for _, y in points]
    return min(xs), min(ys), max(xs), max(ys)


def points_down(arrow):
    """An arrow points to the end where it is narrow: its tip."""
    _, top, _, bottom = bounding_box(arrow)
    def width(row):
        return sum(1 for _, y in arrow if y == row)
    return width(bottom) < width(top)


def check_bitmaps(report, resources):
    names = sorted(name for rtype, name in resources if rtype == pe.RT_BITMAP)
    expected = sorted(stem + state + scale for stem in BITMAP_BUTTONS for state in "UDF" for scale in BITMAP_SCALES)
    report.check("bitmaps: names", expected, names)
    for scale, (size, shift) in BITMAP_SCALES.items():
        for stem, (count, down) in BITMAP_BUTTONS.items():
            check_button_bitmaps(report, resources, stem + "{}" + scale, size, shift, count, down)


def check_button_bitmaps(report, resources, name, size, shift, count, down):
    """The U, D and F pictures of one button at one scale; name has {} where the state goes."""
    pictures = {}
    for state in "UDF":
        label = f"bitmap {name.format(state)}"
        found = resources.get((pe.RT_BITMAP, name.format(state)))
        if not found:
            continue
        b = pe.bitmap(next(iter(found.values())))
        report.check(f"{label}: size", size, (b["width"], abs(b["height"])))
        report.check(f"{label}: bits per pixel, planes, compression", (4, 1, 0),
                     (b["bpp"], b["planes"], b["compression"]))
        report.check(f"{label}: palette", STANDARD_16_COLOURS, b["palette"])
        if b["pixels"] and (b["width"], abs(b["height"])) == size:
            pictures[state] = b["pixels"]
    if len(pictures) < 3:
        return
    up, pressed, focused = pictures["U"], pictures["D"], pictures["F"]
    u, d, f = (f"bitmap {name.format(state)}" for state in "UDF")
    arrows = arrow_pixels(up, shift)
    parts = components(arrows)
    report.check(f"{u}: number of arrows", count, len(parts))
    report.check(f"{u}: arrows point down", [down] * len(parts), [points_down(p) for p in parts])
    report.require(f"{u}: raised face (light top-left, dark bottom-right corner)",
                   up[0][0] in (WHITE, LIGHT_GREY) and up[-1][-1] in (BLACK, DARK_GREY))
    report.require(f"{d}: pressed face (dark top-left corner)", pressed[0][0] in (BLACK, DARK_GREY))
    moved = {(x + shift, y + shift) for x, y in arrows}
    report.require(f"{d}: the arrows of {u[7:]} moved {shift} pixel(s) down-right",
                   moved == arrow_pixels(pressed, shift), f"{len(moved ^ arrow_pixels(pressed, shift))} pixels differ")
    differs = {(x, y) for y, row in enumerate(focused) for x, c in enumerate(row) if c != up[y][x]}
    report.require(f"{f}: the picture of {u[7:]} plus black focus dots",
                   differs and all(focused[y][x] == BLACK for x, y in differs))
    if differs and arrows:
        (fl, ft, fr, fb), (al, at, ar, ab) = bounding_box(differs), bounding_box(arrows)
        report.require(f"{f}: focus rectangle around the arrows",
                       fl < al and ft < at and fr > ar and fb > ab,
                       f"focus dots span {bounding_box(differs)}, arrows {bounding_box(arrows)}")


def check_accelerators(report, resources):
    found = resources.get((pe.RT_ACCELERATOR, 132))
    report.require("accelerator table 132: present", bool(found))
    if found:
        entries = pe.accelerators(next(iter(found.values())))
        report.check("accelerator table 132: number of entries", len(ACCELERATORS), len(entries))
        for n, (want, got) in enumerate(zip(ACCELERATORS, entries)):
            report.check(f"accelerator table 132 entry {n}: (flags, key, command)", want, got)


def check_version(report, derar):
    found = derar.version()
    report.require("version information: present", bool(found))
    if not found:
        return
    fixed, tables, translations = found
    report.check("version: signature", hex(0xFEEF04BD), hex(fixed["signature"]))
    report.check("version: file version", (1, 0, 0, 0), fixed["file_version"])
    report.check("version: product version", (1, 0, 0, 1), fixed["product_version"])
    report.check("version: file type", VFT_DLL, fixed["file_type"])
    report.check("version: string tables", ["040904B0"], sorted(tables))
    strings = tables.get("040904B0", {})
    report.check("version: string names", sorted(VERSION_STRINGS), sorted(strings))
    for name, text in VERSION_STRINGS.items():
        report.check(f"version: {name}", text, strings.get(name))
    report.check("version: translations", [(0x0409, 0x04B0)], translations)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--arch", required=True, choices=sorted(set(pe.MACHINES.values())))
    parser.add_argument("--derar", required=True)
    parser.add_argument("--kiv")
    parser.add_argument("--derafx")
    parser.add_argument("--module", action="append", default=[],
                        help="another module for the runtime check, skipped when it has not been built")
    args = parser.parse_args()

    report = Report()
    modules = {}
    for path in args.module:
        if not os.path.isfile(path):
            print(f"note: {path} has not been built; its runtime check is skipped")
    for label, path in [("derar.dll", args.derar), ("Kiv.dll", args.kiv), ("derafx.dll", args.derafx)] + \
            [(os.path.basename(p), p) for p in args.module if os.path.isfile(p)]:
        if not path:
            continue
        report.require(f"{label}: built", os.path.isfile(path), f"no file {path}")
        if os.path.isfile(path):
            modules[label] = pe.Module(path)
            check_module_basics(report, label, modules[label], args.arch)
    derar = modules.get("derar.dll")
    if not derar:
        return 1
    check_linkage(report, derar, modules.get("Kiv.dll"), modules.get("derafx.dll"))
    resources = derar.resources()
    check_dialogs(report, resources)
    check_bitmaps(report, resources)
    check_accelerators(report, resources)
    check_version(report, derar)

    not_known = sorted({n.lower() for m in modules.values() for n in m.imports() if SYSTEM_DLLS.get(n.lower()) is False})
    print(f"note: imported system DLLs that are not known DLLs: {', '.join(not_known) or 'none'}")
    print(f"{args.arch}: {report.cases - report.failures} of {report.cases} cases passed")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main())
