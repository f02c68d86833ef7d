#!/usr/bin/env bash
# Runs the program: sets up the dependencies if needed, builds pelikant.exe, starts the
# bundled demo site and then Pelikant under Wine, on the user's display or, where there is
# none, on a private Xvfb display. On a private display it also saves two screenshots (PNG):
# after the first feed has arrived and after a sample search, and prints where they are.
# Runs until Pelikant ends, Ctrl+C or a TERM signal; ends everything it started either way.
# PELIKANT_DPI=144 runs it on a display scaled to 150 % (a Wine prefix of its own);
# PELIKANT_THEME=dark with the user's apps in dark mode (light otherwise).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS=$(bash "$ROOT/tools/setup.sh" | tail -n 1)
. "$ROOT/tools/wine-env.sh"

BUILD=$ROOT/build/win
DPI=${PELIKANT_DPI:-96}
SHOTS=$BUILD/screenshots
[ "$DPI" = 96 ] || SHOTS=$SHOTS/${DPI}dpi
THEME=${PELIKANT_THEME:-light}
[ "$THEME" = light ] || SHOTS=$SHOTS/$THEME
QUERY=printf
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPELIKANT_DEPS="$DEPS" >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target pelikant screenshots

pids=()
cleanup() {
    trap - EXIT INT TERM
    # Wine first (whatever it started for the program lives in the run's own prefix), while its
    # display is still there.
    [ -n "${WINEPREFIX:-}" ] && { wineserver -k; wineserver -w; } 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

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
if [ "$DPI" = 96 ]; then
    wine_prepare_prefix "$DEPS/wine-run"
else
    wine_prepare_scaled_prefix "$DEPS/wine-run-${DPI}dpi" "$DPI"
    export WINEPREFIX=$DEPS/wine-run-${DPI}dpi
fi
# The apps mode Windows' settings write, which the program follows.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize' /v AppsUseLightTheme \
    /t REG_DWORD /d "$([ "$THEME" = dark ] && echo 0 || echo 1)" /f >/dev/null 2>&1
if [ "$private" -eq 0 ]; then
    # A real desktop has a window manager: let it frame the window.
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi

echo "run: Pelikant for $site_url (quit from the tray menu: Plik > Zakończ, or Ctrl+C here)" >&2
# In the background, so that a signal is handled at once rather than when Pelikant ends.
wine "$BUILD/pelikant.exe" &
program=$!
pids+=("$program")

if [ "$private" -eq 1 ]; then
    mkdir -p "$SHOTS"
    rm -f "$SHOTS"/*.bmp "$SHOTS"/*.png
    (cd "$SHOTS" && exec wine "$BUILD/screenshots.exe" 1-forum.bmp 2-search.bmp "$QUERY") &
    shooter=$!
    pids+=("$shooter")
    if wait "$shooter"; then
        for shot in 1-forum 2-search; do
            python3 "$ROOT/tools/bmp_to_png.py" "$SHOTS/$shot.bmp" "$SHOTS/$shot.png"
            rm -f "$SHOTS/$shot.bmp"
        done
        echo "run: screenshot after the first feed: $SHOTS/1-forum.png" >&2
        echo "run: screenshot after searching for \"$QUERY\": $SHOTS/2-search.png" >&2
    else
        echo "run: no screenshots were taken" >&2
    fi
    echo "run: Pelikant keeps running until Ctrl+C or a TERM signal" >&2
fi
wait "$program"
