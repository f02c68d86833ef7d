#!/usr/bin/env bash
# Runs every test: sets up the dependencies, builds for Windows (and the portable foundation
# natively under the sanitizers), then runs ctest with the Windows tests under Wine on a
# private Xvfb display. Everything it starts is ended by process id on the way out. Arguments go
# to ctest (`-R app` runs only the matching entries).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=$(nproc)

DEPS=$(bash "$ROOT/tools/setup.sh" | tail -n 1)
. "$ROOT/tools/wine-env.sh"
. "$ROOT/tools/servers.sh"

BUILD=$ROOT/build/win
NATIVE=$ROOT/build/native

# The foundation's tests also run natively, where AddressSanitizer and UBSan watch them.
native_dir=
if compgen -G "$ROOT/tests/memory/*.cpp" >/dev/null; then
    cmake -S "$ROOT" -B "$NATIVE" -DPELIKANT_NATIVE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$NATIVE" -j"$JOBS"
    native_dir=$NATIVE
fi

PREFIX=${PELIKANT_WINE_PREFIX:-$DEPS/wine-test}
# The same system with its display at 150 % (144 DPI), for the entry app_144dpi.
PREFIX_144=$PREFIX-144dpi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPELIKANT_DEPS="$DEPS" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$ROOT/tools/wine-test.sh" \
    -DPELIKANT_NATIVE_TESTS_DIR="$native_dir" -DPELIKANT_WINE_PREFIX_144DPI="$PREFIX_144" \
    ${PELIKANT_E2E_PORT:+-DPELIKANT_E2E_PORT=$PELIKANT_E2E_PORT} >/dev/null
cmake --build "$BUILD" -j"$JOBS"

pids=()
servers=$(mktemp -d)
cleanup() {
    local status=$?
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
    WINEPREFIX=$PREFIX_144 wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$servers"
    exit $status
}
trap cleanup EXIT INT TERM

wine_start_display
pids+=("$XVFB_PID")
wine_prepare_scaled_prefix "$PREFIX_144" 144
wine_prepare_prefix "$PREFIX"
# One wineserver for the whole run, so each test program starts in about a second and none starts
# while the server of the one before is closing down. The set-up's server must have ended first, or
# this one gives up (Debian's wineserver ends after its last program, but not at once); and the
# prefix's own processes start now, so that none of them holds a test's output open.
wineserver -w
wineserver -p -f &
pids+=("$!")
wineboot >/dev/null 2>&1

# The scriptable HTTP server of the network tests, on a free port.
port_file=$(mktemp)
python3 "$ROOT/tools/site.py" --port 0 --port-file "$port_file" --every 0 2>/dev/null &
pids+=("$!")
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.05; done
export PELIKANT_TEST_SERVER="http://127.0.0.1:$(cat "$port_file")"
rm -f "$port_file"
# A real web server with the feed as a static file, and a real proxy, for the conditional polls,
# compression and the Internet Options proxy.
servers_start_nginx "$servers/nginx"
pids+=("$NGINX_PID")
servers_start_tinyproxy "$servers/tinyproxy"
pids+=("$TINYPROXY_PID")
servers_export "$servers/nginx" "$servers/tinyproxy"
# The end-to-end build of the program has its site on this fixed port.
e2e_port=$(sed -n 's/^PELIKANT_E2E_PORT:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
python3 "$ROOT/tools/site.py" --port "${e2e_port:-8766}" --every 0 2>/dev/null &
pids+=("$!")
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/${e2e_port:-8766}") 2>/dev/null && break; sleep 0.05; done

log=$(mktemp)
set +e
ctest --test-dir "$BUILD" --output-on-failure "$@" 2>&1 | tee "$log" | grep -v -E '% tests passed|tests failed out of'
status=${PIPESTATUS[0]}
set -e
# ctest's summary line goes last, where CI reads it.
grep -E '% tests passed|tests failed out of' "$log" | tail -n 1
rm -f "$log"
exit "$status"
