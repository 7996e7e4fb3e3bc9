#!/usr/bin/env bash
# derar's one entry point. Each command installs what a fresh Debian machine lacks.
#   ./derar.sh test    build both architectures and the native reader, run every test (both under Wine)
#   ./derar.sh test-i686  build i686 and run its tests alone (Debian's 32-bit Wine, emulated)
#   ./derar.sh demo    run the demo host (a real window with a display, else the tours saving PNGs)
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
    # and clang build the kit's test host with Microsoft's ABI; gdb reads the kit's debug files.
    local want=(cmake ninja-build g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
                binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 fonts-wine xvfb xauth
                googletest libgtest-dev libbenchmark-dev clang clang-format llvm lld gdb python3 python3-pefile ccache)
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
prefix_of() { echo "$ROOT/$BUILD/$1/wineprefix"; }
launcher_of() {
    case $1 in
        x86_64) echo "$ROOT/cmake/wine-run.sh $(prefix_of x86_64)" ;;
        i686)   echo "$ROOT/cmake/wine32-run.sh $ROOT/$BUILD/i686/wine32 $(prefix_of i686)" ;;
    esac
}
setup_wine32() {
    local begin; begin=$(date +%s)
    log "the 32-bit Wine (Debian's packages, unpacked into $BUILD/i686/wine32 once)"
    "$ROOT/cmake/wine32-setup.sh" "$ROOT/$BUILD/i686/wine32"
    log "the 32-bit Wine is ready after $(( $(date +%s) - begin )) s"
}
# Both architectures' wineservers speak one protocol: the 64-bit one serves either.
stop_wineservers() {
    for arch in x86_64 i686; do
        [ -d "$(prefix_of $arch)" ] && WINEPREFIX="$(prefix_of $arch)" "$WINESERVER" -k 2>/dev/null || true
    done
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

# One wineserver (and one start of Wine's services) per prefix for the whole run,
# instead of one per test program; the first program also makes the prefix.
keep_wineserver() {
    $(launcher_of "$1") cmd /c exit 0 >/dev/null 2>&1 || true
    WINEPREFIX="$(prefix_of "$1")" "$WINESERVER" -p 2>/dev/null || true
}

# run_wine_suite ARCH: every test of that build under Wine, on a display of its own; the
# log names the architecture. Returns nonzero when a test failed.
run_wine_suite() {
    local arch=$1
    (
        start_xvfb derar.sh
        trap stop_xvfb EXIT
        begin=$(date +%s)
        log "$arch tests under Wine"
        keep_wineserver "$arch"
        log "$arch: the prefix and Wine's services are up after $(( $(date +%s) - begin )) s"
        # On a loaded machine a Wine program now and then ends before its first line runs
        # (no output at all); such a test gets one more run, and the log keeps the first.
        if ctest --test-dir "$BUILD/$arch" --output-on-failure --timeout 900 --repeat until-pass:2; then
            log "$arch tests: passed in $(( $(date +%s) - begin )) s"
        else
            log "$arch tests: FAILED (after $(( $(date +%s) - begin )) s)"
            exit 1
        fi
    )
}

run_tests() {
    build_all
    setup_wine32
    USES_WINE=1   # each Wine suite starts its own Xvfb
    local failed=()
    log "native tests"
    ctest --test-dir "$BUILD/native" --output-on-failure || failed+=(native)
    # The two Wine suites run side by side, each with its own prefix and display: the
    # emulated one spends most of its time waiting on the emulator, not on the processor.
    # The i686 log streams; the x86_64 one follows it.
    local x86_64_log="$ROOT/$BUILD/x86_64-tests.log" x86_64_pid
    run_wine_suite x86_64 >"$x86_64_log" 2>&1 &
    x86_64_pid=$!
    run_wine_suite i686 || failed+=(i686)
    wait "$x86_64_pid" || failed+=(x86_64)
    cat "$x86_64_log"
    if [ ${#failed[@]} -gt 0 ]; then
        log "FAILED: the ${failed[*]} tests"
        return 1
    fi
    log "every test passed: native, x86_64 and i686"
}

# The i686 half alone: the 32-bit build and its tests under the emulated 32-bit Wine.
run_i686_tests() {
    install_deps
    setup_wine32
    log "building i686"; configure_build i686
    USES_WINE=1
    run_wine_suite i686
}

# The demo shows its samples from a neutral folder of its prefix, as a user's machine would.
DEMO_SAMPLES='C:\Wells'

# With a display the demo host itself (demo/); without one the screenshot tours (tours/),
# which drive the same window through every dialog.
run_demo() {
    install_deps
    local bin="$ROOT/$BUILD/x86_64/bin"
    local shots="$ROOT/$BUILD/screenshots"
    if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
        configure_build x86_64 derardemo
        "$ROOT/cmake/wine-run.sh" "$ROOT/$BUILD/x86_64/wineprefix" "$bin/derardemo.exe" --samples "$DEMO_SAMPLES"
    else
        configure_build x86_64 derartours
        display_for_wine
        mkdir -p "$shots/messages"
        "$ROOT/cmake/wine-run.sh" "$ROOT/$BUILD/x86_64/wineprefix" "$bin/derartours.exe" --samples "$DEMO_SAMPLES" \
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
        cmake --install "$BUILD/$arch" --prefix "$ROOT/$BUILD/kit/$arch" >/dev/null
        log "kit: $BUILD/kit/$arch ($(du -sh "$BUILD/kit/$arch" | cut -f1), of which debug files $(du -ch "$BUILD/kit/$arch"/bin/*.debug | tail -1 | cut -f1))"
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
