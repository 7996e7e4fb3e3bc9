#!/usr/bin/env bash
# derar's one entry point. Each command installs what a fresh Debian machine lacks.
#   ./derar.sh test    build both architectures and the native reader, run every test
#   ./derar.sh test-i686  run the i686 smoke program under Debian's 32-bit Wine, emulated (slow)
#   ./derar.sh demo    run the demo host (a real window with a display, else a tour saving PNGs)
#   ./derar.sh build   configure and build x86_64, i686 and native
#   ./derar.sh bench   run the benchmarks
#   ./derar.sh kit     lay out the host developer's kit in build/kit/<arch>
#   ./derar.sh fuzz [SECONDS]  run the three fuzzers of the exchange library (reader, date, writer)
#   ./derar.sh soak [RUNS]     run each dialog RUNS times (default 1000) and compare handle and heap counts
#   ./derar.sh format [REV]    lay out, by the .clang-format files, the C and C++ lines changed since REV (default HEAD)
#   ./derar.sh deps    install the Debian packages that the other commands need
# DERAR_BUILD names the build folder (default: build), so that several trees can coexist.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
BUILD=${DERAR_BUILD:-build}
WINESERVER=/usr/lib/wine/wineserver

log() { printf '== %s\n' "$*" >&2; }

install_deps() {
    # wine64 comes without its recommended packages; of those the dialogs need Wine's
    # own fonts (fonts-wine: "MS Sans Serif", Tahoma, Marlett for the caption buttons).
    local want=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
                binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 fonts-wine xvfb xauth
                googletest libgtest-dev libbenchmark-dev clang clang-format python3 python3-pefile)
    local missing=()
    for p in "${want[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

configure_build() {   # preset [target...]
    local preset=$1; shift
    if [ ! -f "$BUILD/$preset/build.ninja" ]; then
        cmake --preset "$preset" -B "$BUILD/$preset" >/dev/null
    fi
    local targets=()
    for t in "$@"; do targets+=(--target "$t"); done
    cmake --build "$BUILD/$preset" "${targets[@]}" -- -k 0
}

build_all() {
    install_deps
    log "building x86_64";  configure_build x86_64
    log "building i686";    configure_build i686
    log "building native";  configure_build native
}

# start_xvfb and stop_xvfb: a private Xvfb, as the Wine launchers start one.
. "$ROOT/cmake/xvfb.sh"
stop_wineserver() {
    [ -d "$BUILD/x86_64/wineprefix" ] && WINEPREFIX="$ROOT/$BUILD/x86_64/wineprefix" "$WINESERVER" -k 2>/dev/null || true
}

# One trap for every command: what a command started (a private Xvfb, a wineserver
# kept for its run) is stopped when the script ends, however it ends.
USES_WINE=
cleanup() {
    [ -n "$USES_WINE" ] && stop_wineserver
    stop_i686_wineserver
    stop_xvfb
}
trap cleanup EXIT
# display_for_wine: a private Xvfb and the wineserver of this run, both stopped by cleanup.
display_for_wine() {
    start_xvfb derar.sh
    USES_WINE=1
}

# One wineserver for the whole run, instead of one start and stop per test program.
keep_wineserver() {
    local prefix="$ROOT/$BUILD/x86_64/wineprefix"
    "$ROOT/cmake/wine-run.sh" "$prefix" cmd /c exit 0 >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" "$WINESERVER" -p 2>/dev/null || true
}

run_tests() {
    build_all
    display_for_wine
    local rc=0
    log "native tests";  ctest --test-dir "$BUILD/native" --output-on-failure || rc=1
    log "i686 checks";   ctest --test-dir "$BUILD/i686" --output-on-failure || rc=1
    log "x86_64 tests under Wine"
    keep_wineserver
    # On a loaded machine a Wine program now and then ends before its first line runs
    # (no output at all); such a test gets one more run, and the log keeps the first.
    ctest --test-dir "$BUILD/x86_64" --output-on-failure --timeout 600 --repeat until-pass:2 || rc=1
    return $rc
}

# The i686 build under Debian's own 32-bit Wine, run by qemu-i386 user-mode emulation
# (this machine's processor cannot enter 32-bit code). Everything lives in
# $BUILD/i686: wine32/ (the packages, unpacked) and wineprefix/ (made once, kept).
I686_PREFIX=
stop_i686_wineserver() {
    [ -n "$I686_PREFIX" ] && WINEPREFIX="$I686_PREFIX" /usr/lib/wine/wineserver64 -k 2>/dev/null || true
}
run_i686_smoke() {
    local wine32="$ROOT/$BUILD/i686/wine32" prefix="$ROOT/$BUILD/i686/wineprefix"
    I686_PREFIX=$prefix
    local begin stage_start
    begin=$(date +%s); stage_start=$begin
    stage_done() {
        local now; now=$(date +%s)
        log "$1: $(( now - stage_start )) s"
        stage_start=$now
    }
    install_deps
    log "the 32-bit Wine (Debian's packages, unpacked into $BUILD/i686/wine32)"
    "$ROOT/cmake/wine32-setup.sh" "$wine32"
    stage_done "setup"
    log "building the i686 smoke program"
    configure_build i686 smoke_tests
    stage_done "build"
    start_xvfb derar.sh
    log "the 32-bit prefix (made once, 8 to 12 minutes)"
    "$ROOT/cmake/wine32-run.sh" "$wine32" "$prefix"
    stage_done "prefix"
    log "the smoke program (its first process starts Wine's services emulated: several minutes)"
    local rc=0
    timeout 5400 "$ROOT/cmake/wine32-run.sh" "$wine32" "$prefix" "$ROOT/$BUILD/i686/bin/smoke_tests.exe" || rc=$?
    stage_done "suite"
    log "total: $(( $(date +%s) - begin )) s"
    return $rc
}

# The demo shows its samples from a neutral folder of its prefix, as a user's machine would.
DEMO_SAMPLES='C:\Wells'

run_demo() {
    install_deps
    configure_build x86_64 derardemo
    local exe="$ROOT/$BUILD/x86_64/bin/derardemo.exe"
    local shots="$ROOT/$BUILD/screenshots"
    if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
        "$ROOT/cmake/wine-run.sh" "$ROOT/$BUILD/x86_64/wineprefix" "$exe" --samples "$DEMO_SAMPLES"
    else
        display_for_wine
        mkdir -p "$shots/messages"
        "$ROOT/cmake/wine-run.sh" "$ROOT/$BUILD/x86_64/wineprefix" "$exe" --samples "$DEMO_SAMPLES" \
            --tour "$(winepath_of "$shots")" --messages "$(winepath_of "$shots/messages")"
        ls -1 "$shots"/*.png "$shots"/messages/*.png
    fi
}

# Z: maps the Unix root in every Wine prefix.
winepath_of() { printf 'Z:%s\\' "$(echo "$1" | tr / '\\')"; }

run_bench() {
    build_all
    display_for_wine
    for b in "$BUILD"/native/bin/bench_*; do [ -x "$b" ] && "$b"; done
    for b in "$BUILD"/x86_64/bin/bench_*.exe; do
        [ -f "$b" ] && "$ROOT/cmake/wine-run.sh" "$ROOT/$BUILD/x86_64/wineprefix" "$b"
    done
}

make_kit() {
    build_all
    for arch in x86_64 i686; do
        cmake --install "$BUILD/$arch" --prefix "$ROOT/$BUILD/kit/$arch" >/dev/null
        log "kit: $BUILD/kit/$arch"
    done
}

run_soak() {
    install_deps
    configure_build x86_64 robustness_long_session
    display_for_wine
    DERAR_SOAK_RUNS=${1:-1000} "$ROOT/cmake/wine-run.sh" "$ROOT/$BUILD/x86_64/wineprefix" \
        "$ROOT/$BUILD/x86_64/bin/robustness_long_session.exe"
}

# Only the lines a change touches: the layout of the rest is left as it is.
format_changes() {
    install_deps
    git diff -U0 --no-color "${1:-HEAD}" -- '*.c' '*.cpp' '*.h' | clang-format-diff -p1 -i
}

case "${1:-}" in
    test)  run_tests ;;
    test-i686) run_i686_smoke ;;
    demo)  run_demo ;;
    build) build_all ;;
    bench) run_bench ;;
    kit)   make_kit ;;
    soak)  shift; run_soak "$@" ;;
    fuzz)  install_deps; shift; exec "$ROOT/fuzz/run.sh" "$@" ;;
    format) shift; format_changes "$@" ;;
    deps)  install_deps ;;
    *) awk 'NR>1 && /^#/{sub(/^# ?/,""); print; next} NR>1{exit}' "$0"; exit 2 ;;
esac
