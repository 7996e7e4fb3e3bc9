#!/bin/sh
# Runs one Windows program under Wine: the cross-compiling emulator of the
# MinGW builds. Usage: wine-run.sh PREFIX_DIR PROGRAM.exe [ARGS...]
# The prefix lives inside the build tree and is created on first use. When
# DISPLAY is unset (a single test run by hand) a private Xvfb is started for
# this one program and stopped afterwards.
set -eu
prefix=$(realpath -m "$1"); shift  # Wine wants an absolute prefix
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

me=wine-run.sh
. "$(dirname "$0")/wine-common.sh"

if [ ! -f "$prefix/.derar-ready" ] || fonts_missing "$prefix"; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 8
        if [ ! -f "$prefix/.derar-ready" ]; then
            "$WINE" wineboot -i >/dev/null 2>&1
            # Without a window manager, hiding or closing a top-level window
            # waits 2 s for a withdrawn state unless windows are unmanaged.
            "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
            "$WINESERVER" -w
            touch "$prefix/.derar-ready"
        fi
        copy_fonts "$prefix"
    ) 8>"${prefix%/}.lock"
fi

set +e
"$WINE" "$@"
rc=$?
exit $rc
