#!/usr/bin/env python3
"""Checks the tour's screenshots: one of each dialog, valid PNG, not blank, each
command changing what the dialog shows, and the pictures named for 144 and 192 DPI
larger than those at 96 DPI (the dialogs grow with their font: a picture at 96 DPI
under another name would not).

  check_screenshots.py DIR
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'hostkit', 'tests'))
from check_png import read_png, unfilter  # noqa: E402


# The tour saves one picture of each of these (with a number in front).
SCREENSHOTS = [
    'demo-window', 'export-dialog', 'help-request', 'export-after-add', 'warning-author', 'warning-well-id',
    'export-written', 'import-dialog', 'import-after-add', 'warning-current-data', 'demo-window-results', 'refused-file',
    'browser', 'browser-expand-tree', 'browser-collapse-tree', 'browser-expand-node', 'open-file-dialog',
] + ['%s-%ddpi' % (dialog, dpi) for dialog in ('export-dialog', 'browser') for dpi in (96, 144, 192)]
# The least growth of a dialog's picture from 96 DPI: its font grows at least half again
# (under Wine "MS Sans Serif" grows to 150 % and no further, so also at 192 DPI).
GROWTH = 1.3
# Pictures taken before and after a command: the command must have changed what is shown.
CHANGED_BY_A_COMMAND = [
    ('export-dialog', 'export-after-add'),
    ('import-dialog', 'import-after-add'),
    ('browser-expand-tree', 'browser-collapse-tree'),
    ('browser-collapse-tree', 'browser-expand-node'),
]


def check_screenshots(directory):
    failures, raw, sizes = [], {}, {}
    files = sorted(f for f in os.listdir(directory) if f.endswith('.png'))
    for name in SCREENSHOTS:
        found = [f for f in files if f.split('-', 1)[-1] == name + '.png']
        if len(found) != 1:
            failures.append('%s: %d pictures' % (name, len(found)))
            continue
        try:
            width, height, rows = read_png(os.path.join(directory, found[0]))
            if width < 100 or height < 60:
                raise ValueError('only %dx%d pixels' % (width, height))
            sizes[name] = (width, height)
            # A blank or black capture is nearly all one value.
            data = b''.join(unfilter(width, rows))
            sample = data[::7]
            common = max(set(sample), key=sample.count)
            if sum(1 for b in sample if b != common) < len(sample) // 200:
                raise ValueError('the picture is blank')
            raw[name] = data
        except Exception as error:
            failures.append('%s: %s' % (name, error))
    for before, after in CHANGED_BY_A_COMMAND:
        if before in raw and after in raw and raw[before] == raw[after]:
            failures.append('%s and %s show the same picture' % (before, after))
    if not os.path.isfile(os.path.join(directory, 'wine-version.txt')):
        failures.append('wine-version.txt: the tour did not say which Wine drew it')
    for dialog in ('export-dialog', 'browser'):
        low = sizes.get('%s-96dpi' % dialog)
        for dpi in (144, 192):
            high = sizes.get('%s-%ddpi' % (dialog, dpi))
            if low and high and (high[0] < low[0] * GROWTH or high[1] < low[1] * GROWTH):
                failures.append('%s-%ddpi is %dx%d pixels, at 96 DPI %dx%d: not drawn at %d DPI'
                                % (dialog, dpi, high[0], high[1], low[0], low[1], dpi))
    return failures


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    failures = check_screenshots(sys.argv[1])
    for failure in failures:
        print('FAILED:', failure)
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
