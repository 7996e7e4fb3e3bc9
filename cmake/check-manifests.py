#!/usr/bin/env python3
"""Checks the manifests of the build's programs (cmake/program-manifest.cmake): each program
carries one RT_MANIFEST of id 1 that declares it aware of the system's DPI (and sets its code
page where its target asks), and a program built to declare nothing carries none.

  check-manifests.py [--declared EXE [CODE_PAGE]]... [--undeclared EXE]...
"""
import os
import re
import sys

import pefile

RT_MANIFEST = 24


def manifests_of(path):
    """{(RT_MANIFEST, id): {language: bytes}}: only the resource directory is read (fast)."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
    result = {}
    for rtype in getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None) and pe.DIRECTORY_ENTRY_RESOURCE.entries or []:
        if rtype.id != RT_MANIFEST:
            continue
        for name in rtype.directory.entries:
            for lang in name.directory.entries:
                data = lang.data.struct
                result.setdefault((RT_MANIFEST, name.id), {})[lang.id] = pe.get_data(data.OffsetToData, data.Size)
    return result


def setting(manifest, name):
    found = re.search(r'<%s\b[^>]*>\s*([^<]*?)\s*</%s>' % (name, name), manifest)
    return found.group(1) if found else None


def check(path, declared, code_page):
    manifests = manifests_of(path)
    name = os.path.basename(path)
    if not declared:
        return ['%s: built to declare nothing, but has a manifest' % name] if manifests else []
    if list(manifests) != [(RT_MANIFEST, 1)]:
        return ['%s: manifests %s, not the one of id 1' % (name, sorted(k[1] for k in manifests))]
    text = next(iter(manifests[(RT_MANIFEST, 1)].values())).decode('utf-8')
    failures = []
    if setting(text, 'dpiAware') != 'true':
        failures.append('%s: dpiAware is %s, not true' % (name, setting(text, 'dpiAware')))
    if setting(text, 'activeCodePage') != code_page:
        failures.append('%s: activeCodePage %s, not %s' % (name, setting(text, 'activeCodePage'), code_page))
    return failures


def main():
    args, programs = sys.argv[1:], []
    while args:
        option = args.pop(0)
        if option == '--declared' and args:
            path = args.pop(0)
            code_page = args.pop(0) if args and not args[0].startswith('--') else None
            programs.append((path, True, code_page))
        elif option == '--undeclared' and args:
            programs.append((args.pop(0), False, None))
        else:
            sys.exit(__doc__)
    failures = [f for program in programs for f in check(*program)]
    for failure in failures:
        print('FAILED:', failure)
    print('%d programs checked' % len(programs))
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
