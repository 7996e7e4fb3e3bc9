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

own_xvfb=
if [ -z "${DISPLAY:-}" ]; then
    # A file of this run's own: programs started side by side must not read each other's display.
    fdfile=$(mktemp)
    exec 9>"$fdfile"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    own_xvfb=$!
    exec 9>&-
    # -displayfd writes the chosen display number once the server is ready.
    n=
    for _ in $(seq 200); do n=$(cat "$fdfile" 2>/dev/null || true); [ -n "$n" ] && break; sleep 0.05; done
    rm -f "$fdfile"
    [ -n "$n" ] || { echo "wine-run.sh: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$n"
fi
cleanup() { [ -n "$own_xvfb" ] && kill "$own_xvfb" 2>/dev/null || true; }
trap cleanup EXIT

# Wine's own fonts ("MS Sans Serif", Tahoma, Marlett; Debian's fonts-wine). Without
# them every dialog is drawn in a wider substitute face (labels wrap, the dialogs
# grow) and the caption buttons show letters instead of their glyphs.
wine_fonts=/usr/share/wine/fonts
prefix_fonts="$prefix/drive_c/windows/Fonts"
fonts_missing() {
    for font in "$wine_fonts"/*; do
        [ -e "$prefix_fonts/${font##*/}" ] || return 0
    done
    return 1
}
if [ ! -d "$wine_fonts" ]; then
    echo "wine-run.sh: Wine's fonts are not installed ($wine_fonts): dialogs are drawn in a substitute" \
         "face; ./derar.sh deps installs them (fonts-wine)" >&2
fi

if [ ! -f "$prefix/.derar-ready" ] || { [ -d "$wine_fonts" ] && fonts_missing; }; then
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
        # Also into a prefix made before the fonts were installed.
        if [ -d "$wine_fonts" ] && fonts_missing; then
            mkdir -p "$prefix_fonts"
            cp -n "$wine_fonts"/* "$prefix_fonts/"
        fi
    ) 8>"${prefix%/}.lock"
fi

set +e
"$WINE" "$@"
rc=$?
exit $rc
