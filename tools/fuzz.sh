#!/usr/bin/env bash
# Long fuzz run of the readers of outside input (the short one is part of tools/test.sh): builds
# the fuzzer, starts a private display and runs it under Wine for SECONDS in all, split over its
# targets. Prints the inputs executed per target; a failing input is written to
# build/fuzz-failures/, ready to be kept in tests/fuzz/corpus/ as a regression case.
#   bash tools/fuzz.sh [seconds] [seed]      (default 3600 s, seed 1)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_ALL=${1:-3600}
SEED=${2:-1}
DEPS=$(bash "$ROOT/tools/setup.sh" | tail -n 1)
. "$ROOT/tools/wine-env.sh"
BUILD=$ROOT/build/win
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPELIKANT_DEPS="$DEPS" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target test_fuzz >/dev/null

OUT=$ROOT/build/fuzz-failures
mkdir -p "$OUT"
log=$(mktemp)
pids=()
cleanup() {
    local status=$?
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
    rm -f "$log"
    exit $status
}
trap cleanup EXIT INT TERM

wine_start_display
pids+=("$XVFB_PID")
wine_prepare_prefix "${PELIKANT_WINE_PREFIX:-$DEPS/wine-test}"
# Wine's helper processes keep a pipe open: the output goes to a file first.
set +e
PELIKANT_FUZZ_SECONDS=$SECONDS_ALL PELIKANT_FUZZ_SEED=$SEED PELIKANT_FUZZ_OUT=$OUT \
    wine "$BUILD/test_fuzz.exe" --gtest_brief=1 </dev/null >"$log" 2>&1
status=$?
set -e
cat "$log"
ls "$OUT"/fuzz-* 2>/dev/null && echo "failing inputs above: keep them in tests/fuzz/corpus/ once fixed"
exit "$status"
