#!/usr/bin/env bash
# derar's one entry point. Each command installs what a fresh Debian machine lacks.
#   ./derar.sh test    build both architectures and the native reader, run every test (both under Wine,
#                      x86_64 also under Debian 13's Wine 10)
#   ./derar.sh test-i686  build i686 and run its tests alone (Debian's 32-bit Wine, emulated)
#   ./derar.sh demo    run the demo host (a real window with a display, else the tours saving PNGs)
#   ./derar.sh build   configure and build x86_64, i686 and native
#   ./derar.sh bench   run the benchmarks
#   ./derar.sh kit     lay out the host developer's kit in build/kit/<arch>
#   ./derar.sh fuzz [SECONDS]  run the four fuzzers of the exchange library (reader, date, writer, update)
#   ./derar.sh soak [RUNS]     run each dialog RUNS times (default 1000) and compare handle and heap counts
#   ./derar.sh format [REV]    lay out, by the .clang-format files, the C and C++ lines changed since REV (default HEAD)
#   ./derar.sh deps    install the Debian packages that the other commands need
# DERAR_BUILD names the build folder (default: build, relative to the clone or absolute), so
# that several trees can coexist. DERAR_CACHE names the folder of what outlives a clone
# (default: ~/.cache/derar): the Debian 13 root with Wine 10.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
BUILD=$(realpath -m "${DERAR_BUILD:-build}")
CACHE=$(realpath -m "${DERAR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/derar}")
WINE10_ROOT=$CACHE/wine10-root
WINESERVER=/usr/lib/wine/wineserver
# The compiler cache (CMakeLists.txt) holds the three builds of a few trees.
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}

log() { printf '== %s\n' "$*" >&2; }

# again COMMAND...: the command, and up to four more tries 15, 30, 45 and 60 s apart.
again() {
    local tries=1
    until "$@"; do
        [ "$tries" -ge 5 ] && return 1
        log "'$*' failed; again in $((tries * 15)) s"
        sleep $((tries * 15))
        tries=$((tries + 1))
    done
}

install_deps() {
    # wine64 comes without its recommended packages; of those the dialogs need Wine's
    # own fonts (fonts-wine: "MS Sans Serif", Tahoma, Marlett for the caption buttons).
    # llvm (llvm-dlltool) makes the import libraries for Microsoft's linker; lld (lld-link)
    # and clang build the kit's test host with Microsoft's ABI; gdb reads the kit's debug files;
    # debootstrap lays out the Debian 13 root of the second Wine.
    local want=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
                binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 fonts-wine xvfb xauth
                googletest libgtest-dev libbenchmark-dev clang clang-format llvm lld gdb python3 python3-pefile ccache
                debootstrap)
    local missing=()
    for p in "${want[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
    # A mirror in the middle of its sync fails an update for a while: four more tries of
    # each step; the install says whether the lists that did come are enough.
    again $sudo apt-get update -qq || log "some package lists could not be fetched; going on with the others"
    again $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
    local begin; begin=$(date +%s)
    log "building x86_64";  configure_build x86_64
    log "building i686";    configure_build i686
    log "building native";  configure_build native
    log "the three builds took $(( $(date +%s) - begin )) s"
}

# start_xvfb and stop_xvfb: a private Xvfb, as the Wine launchers start one.
. "$ROOT/cmake/xvfb.sh"
# Each Windows build runs its programs in a Wine prefix of its own tree: x86_64 under
# the native 64-bit Wine, i686 under Debian's 32-bit Wine emulated by qemu-i386 (this
# processor cannot enter 32-bit code), laid out in $BUILD/i686/wine32 by wine32-setup.sh.
prefix_of() { echo "$BUILD/$1/wineprefix"; }
launcher_of() {
    case $1 in
        x86_64) echo "$ROOT/cmake/wine-run.sh $(prefix_of x86_64)" ;;
        i686)   echo "$ROOT/cmake/wine32-run.sh $BUILD/i686/wine32 $(prefix_of i686)" ;;
    esac
}
setup_wine32() {
    local begin; begin=$(date +%s)
    log "the 32-bit Wine (Debian's packages, unpacked into $BUILD/i686/wine32 once)"
    "$ROOT/cmake/wine32-setup.sh" "$BUILD/i686/wine32"
    log "the 32-bit Wine is ready after $(( $(date +%s) - begin )) s"
}
# The machine's Wine, as the logs and verdicts name it ("Wine 8" on Debian 12); asked once it is installed.
HOST_WINE=
host_wine() {
    [ -z "$HOST_WINE" ] || return 0
    local version
    version=$(/usr/lib/wine/wine64 --version 2>/dev/null | grep -o '[0-9][0-9]*' | head -1) || version='?'
    HOST_WINE="Wine $version"
}
# The second Wine: Debian 13's Wine 10 in a root of its own, made once outside the clone.
setup_wine10() {
    local begin; begin=$(date +%s)
    log "the second Wine (Debian 13's Wine 10, in a root made once in $WINE10_ROOT)"
    "$ROOT/cmake/wine10-root.sh" "$WINE10_ROOT"
    log "Wine 10 is ready after $(( $(date +%s) - begin )) s"
}
# Both architectures' wineservers speak one protocol: the 64-bit one serves either (also
# the i686 slots' prefixes, wineprefix-2...); Wine 10's prefix is served by its own, in its root.
stop_wineservers() {
    local p
    for p in "$(prefix_of x86_64)" "$(prefix_of i686)" "$(prefix_of i686)"-[0-9]; do
        [ -d "$p" ] && WINEPREFIX="$p" "$WINESERVER" -k 2>/dev/null || true
    done
    if [ -d "$(prefix_of x86_64)-wine10" ] && [ -f "$WINE10_ROOT/.derar-ready" ]; then
        DERAR_WINE10_ROOT=$WINE10_ROOT "$ROOT/cmake/wine-run.sh" "$(prefix_of x86_64)" --wineserver -k \
            >/dev/null 2>&1 || true
    fi
}
# One trap for every command: what a command started (a private Xvfb, the wineservers
# kept for its run) is stopped when the script ends, however it ends.
USES_WINE=
cleanup() {
    [ -n "$USES_WINE" ] && stop_wineservers
    stop_xvfb
}
trap cleanup EXIT
# display_for_wine: a private Xvfb and the wineservers of this run, both stopped by cleanup.
display_for_wine() {
    start_xvfb derar.sh
    USES_WINE=1
}

# run_x86_64_suite [10]: every test of the x86_64 build under the machine's Wine, or with
# 10 under Debian 13's Wine 10 (the same programs, in a prefix of its own), on a display of
# its own; the log and every verdict name the Wine. Returns nonzero when a test failed.
run_x86_64_suite() {
    host_wine
    (
        wine=$HOST_WINE
        if [ "${1:-}" = 10 ]; then
            wine="Wine 10"
            # The root sees only its binds: the runner's scratch files go into the build tree.
            export DERAR_WINE10_ROOT=$WINE10_ROOT TMPDIR=$BUILD/x86_64/tmp-wine10
            mkdir -p "$TMPDIR"
        fi
        export DERAR_WINE_NAME=$wine
        start_xvfb derar.sh
        trap stop_xvfb EXIT
        begin=$(date +%s)
        log "x86_64 tests under $wine"
        # One wineserver (and one start of Wine's services) for the whole suite instead of
        # one per test program; the first program also makes the prefix.
        "$ROOT/cmake/wine-run.sh" "$(prefix_of x86_64)" cmd /c exit 0 >/dev/null 2>&1 || true
        "$ROOT/cmake/wine-run.sh" "$(prefix_of x86_64)" --wineserver -p >/dev/null 2>&1 || true
        log "x86_64 ($wine): the prefix and Wine's services are up after $(( $(date +%s) - begin )) s"
        # On a loaded machine a Wine program now and then ends before its first line runs
        # (no output at all); such a test gets one more run, and the log keeps the first.
        if ctest --test-dir "$BUILD/x86_64" --output-on-failure --timeout 900 --repeat until-pass:2; then
            log "x86_64 tests under $wine: passed in $(( $(date +%s) - begin )) s"
        else
            log "x86_64 tests under $wine: FAILED (after $(( $(date +%s) - begin )) s)"
            exit 1
        fi
    )
}

# run_i686_suite [FILE]: the i686 build's tests under the emulated Wine, two programs at a
# time, each slot with its own display, prefix and wineserver (cmake/wine-slots.py); with
# FILE, one at a time until FILE exists.
run_i686_suite() {
    host_wine
    local begin; begin=$(date +%s)
    log "i686 tests under $HOST_WINE (emulated)"
    if DERAR_WINE_NAME=$HOST_WINE python3 "$ROOT/cmake/wine-slots.py" --build "$BUILD/i686" \
            --prefix "$(prefix_of i686)" --slots 2 ${1:+--widen-when "$1"} --name i686 -- $(launcher_of i686); then
        log "i686 tests: passed in $(( $(date +%s) - begin )) s"
    else
        log "i686 tests: FAILED (after $(( $(date +%s) - begin )) s)"
        return 1
    fi
}

# An absolute DERAR_BUILD lays the kit and the fuzzers' folder out where it says, not
# under the clone (the test command itself runs with the absolute form of its folder).
check_absolute_build() {
    local scratch=$BUILD/absolute-build-check
    rm -rf "$scratch"
    DERAR_BUILD=$BUILD ./derar.sh kit >/dev/null 2>&1 &&
        DERAR_BUILD=$scratch FUZZ_TARGETS=" " fuzz/run.sh 0 >/dev/null 2>&1 &&
        [ -f "$BUILD/kit/x86_64/include/derar.h" ] && [ -d "$scratch/fuzz" ] && [ ! -e "$ROOT/$BUILD" ] &&
        [ ! -e "$ROOT/$scratch" ]
}

run_tests() {
    install_deps
    # The emulated 32-bit Wine and the second Wine download and unpack while the builds compile.
    local setup_log=$BUILD/wine-setup.log setup_pid
    mkdir -p "$BUILD"
    { setup_wine32 && setup_wine10; } >"$setup_log" 2>&1 &
    setup_pid=$!
    build_all
    local failed=()
    if check_absolute_build; then
        log "an absolute DERAR_BUILD: the kit and the fuzzers' folder are where it says"
    else
        log "an absolute DERAR_BUILD: FAILED (a folder under the clone, or nothing laid out)"
        failed+=(DERAR_BUILD)
    fi
    local wines_ok=1
    wait "$setup_pid" || wines_ok=
    cat "$setup_log"
    [ -n "$wines_ok" ] || { log "FAILED: a Wine could not be laid out"; return 1; }
    USES_WINE=1   # each Wine suite starts its own Xvfb
    host_wine
    log "native tests"
    ctest --test-dir "$BUILD/native" --output-on-failure || failed+=(native)
    # Two lanes: the x86_64 suite under the machine's Wine and then under Wine 10, and beside
    # them the emulated i686 suite, which goes two programs at a time once the first x86_64
    # suite has ended (until then its timing-sensitive tests keep a core). The i686 log
    # streams; the x86_64 ones follow it.
    local x86_64_log="$BUILD/x86_64-tests.log" wine10_log="$BUILD/x86_64-wine10-tests.log"
    local widen="$BUILD/i686/.x86_64-ended" lane lane_status=0
    rm -f "$widen"
    (
        status=0
        run_x86_64_suite >"$x86_64_log" 2>&1 || status=1
        touch "$widen"
        run_x86_64_suite 10 >"$wine10_log" 2>&1 || status=$((status + 2))
        exit $status
    ) &
    lane=$!
    run_i686_suite "$widen" || failed+=(i686)
    wait "$lane" || lane_status=$?
    cat "$x86_64_log" "$wine10_log"
    [ $((lane_status & 1)) -eq 0 ] || failed+=("x86_64 ($HOST_WINE)")
    [ $((lane_status & 2)) -eq 0 ] || failed+=("x86_64 (Wine 10)")
    if [ ${#failed[@]} -gt 0 ]; then
        log "FAILED: the tests of ${failed[*]}"
        return 1
    fi
    log "every test passed: native, x86_64 under $HOST_WINE and Wine 10, i686 under $HOST_WINE"
}

# The i686 half alone: the 32-bit build and its tests under the emulated 32-bit Wine.
run_i686_tests() {
    install_deps
    setup_wine32
    log "building i686"; configure_build i686
    USES_WINE=1
    run_i686_suite
}

# The demo shows its samples from a neutral folder of its prefix, as a user's machine would.
DEMO_SAMPLES='C:\Wells'

# With a display the demo host itself (demo/); without one the screenshot tours (tours/),
# which drive the same window through every dialog.
run_demo() {
    install_deps
    local bin="$BUILD/x86_64/bin"
    local shots="$BUILD/screenshots"
    if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
        configure_build x86_64 derardemo
        "$ROOT/cmake/wine-run.sh" "$BUILD/x86_64/wineprefix" "$bin/derardemo.exe" --samples "$DEMO_SAMPLES"
    else
        configure_build x86_64 derartours
        display_for_wine
        mkdir -p "$shots/messages"
        "$ROOT/cmake/wine-run.sh" "$BUILD/x86_64/wineprefix" "$bin/derartours.exe" --samples "$DEMO_SAMPLES" \
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
        [ -f "$b" ] && "$ROOT/cmake/wine-run.sh" "$BUILD/x86_64/wineprefix" "$b"
    done
    # kvd.exe against the native kvd on a 50 MB file.
    WINEPREFIX="$(prefix_of x86_64)" python3 "$ROOT/bench/kvd/kvd_bench.py" --native "$BUILD/native/bin/kvd" \
        -- "$ROOT/cmake/wine-run.sh" "$(prefix_of x86_64)" "$BUILD/x86_64/bin/kvd.exe"
}

# Only what the kit holds is built (the kit target), then laid out from nothing.
make_kit() {
    install_deps
    for arch in x86_64 i686; do
        log "building the kit of $arch"; configure_build "$arch" kit
        rm -rf "${BUILD:?}/kit/$arch"
        cmake --install "$BUILD/$arch" --prefix "$BUILD/kit/$arch" >/dev/null
        log "kit: $BUILD/kit/$arch ($(du -sh "$BUILD/kit/$arch" | cut -f1), of which debug files $(du -ch "$BUILD/kit/$arch"/bin/*.debug | tail -1 | cut -f1))"
    done
}

run_soak() {
    install_deps
    configure_build x86_64 robustness_long_session
    display_for_wine
    DERAR_SOAK_RUNS=${1:-1000} "$ROOT/cmake/wine-run.sh" "$BUILD/x86_64/wineprefix" \
        "$BUILD/x86_64/bin/robustness_long_session.exe"
}

# Only the lines a change touches: the layout of the rest is left as it is.
format_changes() {
    install_deps
    git diff -U0 --no-color "${1:-HEAD}" -- '*.c' '*.cpp' '*.h' | clang-format-diff -p1 -i
}

case "${1:-}" in
    test)  run_tests ;;
    test-i686) run_i686_tests ;;
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
