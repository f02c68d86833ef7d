#!/usr/bin/env bash
# Runs the program: sets up the dependencies if needed, builds pelikant.exe, starts the
# bundled demo site and then Pelikant under Wine, on the user's display or, where there is
# none, on a private Xvfb display. Ends the demo site (and that display) when Pelikant ends.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS=$(bash "$ROOT/tools/setup.sh" | tail -n 1)
. "$ROOT/tools/wine-env.sh"

BUILD=$ROOT/build/win
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPELIKANT_DEPS="$DEPS" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target pelikant

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT INT TERM

site_url=$(sed -n 's/^PELIKANT_SITE_URL:STRING=//p' "$BUILD/CMakeCache.txt")
port=$(echo "$site_url" | sed -n 's#^http://127\.0\.0\.1:\([0-9]*\).*#\1#p')
if [ -n "$port" ]; then
    python3 "$ROOT/tools/site.py" --port "$port" &
    pids+=("$!")
fi

# A local display is usable when its X socket exists; anything else gets a private one.
display_usable() {
    [ -n "${DISPLAY:-}" ] || return 1
    local host=${DISPLAY%%:*} n=${DISPLAY#*:}
    n=${n%%.*}
    [ -n "$host" ] || [ -S "/tmp/.X11-unix/X$n" ]
}
private=0
if ! display_usable; then
    wine_start_display
    pids+=("$XVFB_PID")
    private=1
    echo "run: no display found; Pelikant runs on the private display $DISPLAY" >&2
fi
wine_prepare_prefix "$DEPS/wine-run"
if [ "$private" -eq 0 ]; then
    # A real desktop has a window manager: let it frame the window.
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi

echo "run: Pelikant for $site_url (quit from the tray menu: Plik > Zakończ)" >&2
wine "$BUILD/pelikant.exe"
