#!/usr/bin/env bash
# Builds the four libFuzzer targets of the exchange library (clang, native, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for SECONDS.
#   fuzz/run.sh [SECONDS]        default 60
# Inputs start from fuzz/corpus/<target> and fuzz/regressions/<target> (every input
# that ever failed) and grow in <build>/fuzz/corpus-<target>; a crash or hang lands in
# <build>/fuzz/artifacts/<target>/: copy it into fuzz/regressions/<target>/ once mended.
# DERAR_BUILD names the build folder (default: build), FUZZ_OUT the fuzzers' own folder
# (default: <build>/fuzz); FUZZ_TARGETS picks targets (default: "reader date writer
# update"; the writer starts from the reader's inputs). FUZZ_CHECKS=0 leaves out the
# replay of both ways of reading and the coverage (the native tests run each target so).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_EACH=${1:-60}
OUT=${FUZZ_OUT:-$ROOT/${DERAR_BUILD:-build}/fuzz}
mkdir -p "$OUT"

CXX=${CXX_FUZZ:-clang++}
command -v "$CXX" >/dev/null || { echo "fuzz: $CXX is missing (apt-get install clang)" >&2; exit 1; }
FLAGS=(-std=c++17 -O2 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer -I"$ROOT/include" -I"$ROOT/kiv")
# The library's layers as kiv/sources.list names them.
layer() { sed -n "s/^$1: *//p" "$ROOT/kiv/sources.list" | tr ' ' '\n' | sed "/^$/d; s|^|$ROOT/kiv/|"; }
mapfile -t LIBRARY < <(layer core; layer disk-posix; layer calls)
# The update target fails disk calls through the tests' disks.
TEST_DISKS=("$ROOT/tests/kiv/KvdTestDisks.cpp")

# Each source compiled once for every target, through the compiler cache where there is
# one; one build at a time in a folder (the native tests run the targets side by side).
CACHE=(); command -v ccache >/dev/null && CACHE=(ccache)
objects() {
    local source object list=()
    mkdir -p "$OUT/obj"
    for source in "$@"; do
        object=$OUT/obj/$(basename "${source%.cpp}").o
        "${CACHE[@]}" "$CXX" "${FLAGS[@]}" -I"$ROOT/tests/kiv" -I"$ROOT/fuzz" -c "$source" -o "$object" || return 1
        list+=("$object")
    done
    printf '%s\n' "${list[@]}"
}
build_target() {  # target
    local extra=() objs
    [ "$1" = update ] && extra=("${TEST_DISKS[@]}")
    mapfile -t objs < <(objects "$ROOT/fuzz/fuzz_$1.cpp" "${LIBRARY[@]}" "${extra[@]}") || return 1
    [ ${#objs[@]} -eq $((1 + ${#LIBRARY[@]} + ${#extra[@]})) ] || return 1
    "$CXX" "${FLAGS[@]}" "${objs[@]}" -o "$OUT/fuzz_$1"
}

status=0
for target in ${FUZZ_TARGETS:-reader date writer update}; do
    echo "== building fuzz_$target" >&2
    if ! ( flock 9; build_target "$target" ) 9>"$OUT/.build.lock"; then
        echo "fuzz_$target does not build" >&2
        status=1
        continue
    fi
    mkdir -p "$ROOT/fuzz/regressions/$target"
    corpus=$OUT/corpus-$target
    artifacts=$OUT/artifacts/$target/
    mkdir -p "$corpus" "$artifacts"
    seeds=$target; [ "$target" = writer ] && seeds=reader
    cp -n "$ROOT"/fuzz/corpus/$seeds/* "$corpus"/ 2>/dev/null || true
    extra=()
    case $target in
    reader | writer | update) extra=(-dict="$ROOT/fuzz/kvd.dict" -max_len=8192) ;;
    date) extra=(-max_len=64) ;;
    esac
    echo "== running fuzz_$target for $SECONDS_EACH s" >&2
    log=$OUT/fuzz_$target.log
    if ! "$OUT/fuzz_$target" "$corpus" "$ROOT/fuzz/regressions/$target" -max_total_time="$SECONDS_EACH" \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" \
            "${extra[@]}" >"$log" 2>&1; then
        status=1
        echo "fuzz_$target found a fault; see $log and $artifacts" >&2
    fi
    # The last status line carries the coverage; the final stats the executions.
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    cov=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || echo 'cov: ?')
    echo "fuzz_$target: $runs executions, $cov, corpus $(ls "$corpus" | wc -l) inputs" >&2
    # A run that executed nothing tested nothing.
    case $runs in '' | '?' | 0) status=1; echo "fuzz_$target ran no input" >&2; tail -5 "$log" >&2 ;; esac
done
[ "${FUZZ_CHECKS:-1}" = 0 ] && exit $status
# The reader reads value lines that repeat the group of the line before in one go,
# and everything else the general way; both must deliver the same for every input
# that the fuzzer kept.
if [ -d "$OUT/corpus-reader" ]; then
    for path in one-go general; do
        defines=(); [ $path = general ] && defines=(-DKVD_GENERAL_PATH_ONLY)
        "$CXX" -std=c++17 -O1 -g -fsanitize=address,undefined "${defines[@]}" -I"$ROOT/include" -I"$ROOT/kiv" \
            "$ROOT/fuzz/replay.cpp" "${LIBRARY[@]}" -o "$OUT/replay-$path"
        find "$OUT/corpus-reader" "$ROOT/fuzz/corpus/reader" -type f -print0 | sort -z |
            xargs -0 -r "$OUT/replay-$path" | sed "s|^file $ROOT/|file |" >"$OUT/replay-$path.txt"
    done
    if cmp -s "$OUT/replay-one-go.txt" "$OUT/replay-general.txt"; then
        echo "replay: both ways of reading value lines agree on $(grep -c '^file' "$OUT/replay-general.txt") inputs" >&2
    else
        status=1
        echo "replay: the two ways of reading value lines differ:" >&2
        diff "$OUT/replay-one-go.txt" "$OUT/replay-general.txt" | head -20 >&2
    fi
fi

# Source coverage of the library by the kept reader inputs.
if [ -d "$OUT/corpus-reader" ] && command -v llvm-profdata >/dev/null && command -v llvm-cov >/dev/null; then
    "$CXX" -std=c++17 -O1 -fprofile-instr-generate -fcoverage-mapping -I"$ROOT/include" -I"$ROOT/kiv" \
        "$ROOT/fuzz/replay.cpp" "${LIBRARY[@]}" -o "$OUT/replay-coverage"
    rm -f "$OUT"/coverage-*.profraw
    find "$OUT/corpus-reader" "$ROOT/fuzz/corpus/reader" -type f -print0 | sort -z |
        LLVM_PROFILE_FILE="$OUT/coverage-%p.profraw" xargs -0 -r "$OUT/replay-coverage" >/dev/null
    llvm-profdata merge -o "$OUT/coverage.profdata" "$OUT"/coverage-*.profraw
    llvm-cov report "$OUT/replay-coverage" -instr-profile="$OUT/coverage.profdata" "${LIBRARY[@]}" >"$OUT/coverage.txt"
    echo "coverage of kiv/ by the reader inputs (regions, functions, lines, branches):" >&2
    grep -E '^(Filename|TOTAL|.*Kvd|.*Kiv)' "$OUT/coverage.txt" | sed "s|$ROOT/||" >&2
fi

if find "$OUT/artifacts" -type f | grep -q .; then
    echo "faults found (copy each into fuzz/regressions/<target>/ once mended):" >&2
    find "$OUT/artifacts" -type f >&2
fi
exit $status
