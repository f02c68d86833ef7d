#!/usr/bin/env bash
# Soak run of the whole program (not part of the tests): builds, starts a private display and
# the feed server on the end-to-end port, then plays poll cycles against the program and prints
# its private bytes, handles and threads at the start, after the first cycle and at the end.
#   bash tools/soak.sh [cycles]      (default 1000)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
CYCLES=${1:-1000}
DEPS=$(bash "$ROOT/tools/setup.sh" | tail -n 1)
. "$ROOT/tools/wine-env.sh"
BUILD=$ROOT/build/win
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPELIKANT_DEPS="$DEPS" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target pelikant_e2e bench_soak >/dev/null

pids=()
cleanup() {
    local status=$?
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
    exit $status
}
trap cleanup EXIT INT TERM

wine_start_display
pids+=("$XVFB_PID")
wine_prepare_prefix "${PELIKANT_WINE_PREFIX:-$DEPS/wine-test}"
port=$(sed -n 's/^PELIKANT_E2E_PORT:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
python3 "$ROOT/tools/site.py" --port "${port:-8766}" --every 0 2>/dev/null &
pids+=("$!")
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/${port:-8766}") 2>/dev/null && break; sleep 0.05; done
wine "$BUILD/bench_soak.exe" "$CYCLES" "http://127.0.0.1:${port:-8766}" </dev/null
