#!/bin/sh
# Runs one 32-bit Windows program under Debian's 32-bit Wine, emulated by
# qemu-i386 (laid out by wine32-setup.sh); the machine's native 64-bit
# wineserver, which speaks the same protocol, serves the 32-bit processes.
# Usage: wine32-run.sh WINE32_DIR PREFIX_DIR [PROGRAM.exe [ARGS...]]
# Without a program only the prefix is made. The prefix is created on first use
# (about 30 s emulated); a half-made one is finished in place once, and a
# creation that still fails is tried once more from nothing. Without DISPLAY a
# private Xvfb is started for this one program and stopped afterwards.
# DERAR_WINE_SLOT=k (k > 1, from wine-slots.py) runs it in PREFIX_DIR-k instead.
set -eu
wine32=$(realpath -m "$1"); prefix=$(realpath -m "$2"); shift 2
case ${DERAR_WINE_SLOT:-1} in 1) ;; *) prefix="$prefix-$DERAR_WINE_SLOT" ;; esac
WINE="$wine32/sysroot/usr/lib/wine/wine"
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINE" ] || { echo "wine32-run.sh: no 32-bit Wine in $wine32 (cmake/wine32-setup.sh lays it out; ./derar.sh test does)" >&2; exit 1; }
# No debugger for a crashed auxiliary process and no menu builder: emulated, each is slow.
export WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe,winemenubuilder.exe=" WINEARCH=win32 WINESERVER
# Emulated, the test programs take two to three and a half times as long as under the
# native Wine (measured: transfer 2.6, browser 2.9, the kvd tool 3.4): the dialog
# driver's watchdogs wait three times as long.
export DERAR_DRIVER_TIME_SCALE="${DERAR_DRIVER_TIME_SCALE:-3}"

me=wine32-run.sh
. "$(dirname "$0")/wine-common.sh"

# Each step of making the prefix, with its exit status, goes to PREFIX.log.
log="${prefix%/}.log"
note() { echo "$(date +%T) $*" >>"$log"; }
# The prefix is whole when these exist (an emulated auxiliary process may die
# while it is made, and the next start of Wine would then finish the job slowly).
whole() {
    for f in system.reg user.reg drive_c/windows/system32/kernel32.dll drive_c/windows/system32/user32.dll; do
        [ -f "$prefix/$f" ] || { note "missing: $f"; return 1; }
    done
}
# wineboot STEP (-i: make, -u: bring up to date), then wait for every process of the prefix to end.
boot() {
    note "wineboot $1"
    "$WINE" wineboot "$1" >>"$log" 2>&1; note "wineboot $1: exit $?"
    "$WINESERVER" -w; note "the wineserver has ended"
}
make_prefix() {
    rm -rf "$prefix"
    mkdir -p "$prefix"
    boot -i
    if ! whole; then
        echo "wine32-run.sh: the 32-bit prefix was not made whole; finishing it once more" >&2
        boot -u
        whole || return 1
    fi
    # Without a window manager, hiding a top-level window otherwise waits 2 s for a withdrawn
    # state. Written straight into the saved registry (the server has ended): a reg process
    # would cost minutes emulated.
    printf '\n[Software\\\\Wine\\\\X11 Driver] %s\n"Managed"="N"\n' "$(date +%s)" >>"$prefix/user.reg"
    copy_fonts "$prefix"
}

if [ ! -f "$prefix/.derar-ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 8
        if [ ! -f "$prefix/.derar-ready" ]; then
            started=$(date +%s)
            if ! make_prefix; then
                echo "wine32-run.sh: the 32-bit prefix could not be made; trying once more from nothing" >&2
                make_prefix || { echo "wine32-run.sh: the 32-bit prefix could not be made (see $log)" >&2; exit 1; }
            fi
            touch "$prefix/.derar-ready"
            echo "wine32-run.sh: 32-bit prefix made in $(( $(date +%s) - started )) s" >&2
        fi
    ) 8>"${prefix%/}.lock"
fi

[ $# -eq 0 ] && exit 0
set +e
"$WINE" "$@"
rc=$?
exit $rc
