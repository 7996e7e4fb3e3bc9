#!/bin/sh
# Runs one Windows program under Wine: the cross-compiling emulator of the
# MinGW builds. Usage: wine-run.sh PREFIX_DIR PROGRAM.exe [ARGS...]
#              or: wine-run.sh PREFIX_DIR --wineserver ARGS...  (that Wine's server)
# The prefix lives inside the build tree and is created on first use. When
# DISPLAY is unset (a single test run by hand) a private Xvfb is started for
# this one program and stopped afterwards.
# With DERAR_WINE10_ROOT set (a root made by wine10-root.sh) the program runs under
# that root's Wine 10 instead of the machine's Wine 8, in PREFIX_DIR-wine10: chrooted
# in a mount namespace of its own that sees the machine's /proc, /dev, the X socket,
# this clone, the prefix's build folder and $TMPDIR, each at its own path.
set -eu
prefix=$(realpath -m "$1"); shift  # Wine wants an absolute prefix
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
root=
if [ -n "${DERAR_WINE10_ROOT:-}" ]; then
    root=$(realpath -m "$DERAR_WINE10_ROOT")
    [ -f "$root/.derar-ready" ] ||
        { echo "wine-run.sh: no whole Wine 10 root in $root (cmake/wine10-root.sh makes it; ./derar.sh test does)" >&2; exit 1; }
    prefix="$prefix-wine10"
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

# in_wine COMMAND...: the command under the Wine in use: as it is, or chrooted into the root.
in_wine() {
    if [ -z "$root" ]; then
        "$@"
        return
    fi
    clone=$(realpath "$(dirname "$0")/..")
    unshare -m sh -c '
        root=$1; shift
        mount --make-rprivate /
        mount -t proc proc "$root/proc"
        mount --rbind /dev "$root/dev"
        while [ "$1" != -- ]; do
            if [ -e "$1" ]; then mkdir -p "$root$1" && mount --rbind "$1" "$root$1"; fi
            shift
        done
        shift
        # Where the program was started, when the root sees it; else its root folder.
        here=/; [ -d "$root$PWD" ] && here=$PWD
        # Debian 13'"'"'s Wine 10 aborts at its start ("free(): invalid pointer") whenever
        # TMPDIR is set: the folder is bound for the scripts that start the program, not for Wine.
        exec unshare --root="$root" --wd="$here" env -u TMPDIR "$@"' \
    sh "$root" /tmp/.X11-unix "$clone" "$(dirname "$prefix")" ${TMPDIR:+"$TMPDIR"} -- "$@"
}

me=wine-run.sh
. "$(dirname "$0")/wine-common.sh"

if [ ! -f "$prefix/.derar-ready" ] || fonts_missing "$prefix"; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 8
        if [ ! -f "$prefix/.derar-ready" ]; then
            in_wine "$WINE" wineboot -i >/dev/null 2>&1
            # Without a window manager, hiding or closing a top-level window
            # waits 2 s for a withdrawn state unless windows are unmanaged.
            in_wine "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
            in_wine "$WINESERVER" -w
            touch "$prefix/.derar-ready"
        fi
        copy_fonts "$prefix"
    ) 8>"${prefix%/}.lock"
fi

set +e
if [ "${1:-}" = --wineserver ]; then
    shift
    in_wine "$WINESERVER" "$@"
else
    in_wine "$WINE" "$@"
fi
rc=$?
exit $rc
