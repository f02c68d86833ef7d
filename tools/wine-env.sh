# Sourced by the run and test scripts: the Wine environment the program is tested in.
# Polish locale: Wine then uses code page 1250, as a Polish Windows does.
export LC_ALL=pl_PL.UTF-8
export WINEDEBUG=-all
# No Linux menu entries for the shortcuts an installer makes in the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Starts a private Xvfb on a free display; sets DISPLAY and XVFB_PID.
# Without a display Wine can hang for minutes and list views stay empty.
wine_start_display() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fdfile" 2>/dev/null &
    XVFB_PID=$!
    local i
    for i in $(seq 200); do
        [ -s "$fdfile" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || { echo "Xvfb did not start" >&2; return 1; }
        sleep 0.05
    done
    export DISPLAY=":$(tr -d '\n' <"$fdfile")"
    rm -f "$fdfile"
}

# Creates the prefix once (about 15 s) and reuses it afterwards.
wine_prepare_prefix() {
    export WINEPREFIX=$1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    # This Wine does not find the fonts of its own data folder, so the caption buttons and scroll
    # arrows, drawn with Marlett glyphs, would come out as letters ("0 1 r"); the prefix's Fonts
    # folder is searched.
    local marlett=/usr/share/wine/fonts/marlett.ttf
    if [ -f "$marlett" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    # Unmanaged windows: with no window manager on the display, Wine would otherwise wait two
    # seconds for one at every top-level window's destruction. Wine then draws the frames.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

# A prefix whose display is scaled (LogPixels: 144 is 150 %), made once beside the others; the
# current WINEPREFIX stays as it is. Its wineserver is restarted so that it reads the setting.
wine_prepare_scaled_prefix() {
    (
        wine_prepare_prefix "$1"
        local key
        for key in 'HKCU\Control Panel\Desktop' \
            'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
            wine reg add "$key" /v LogPixels /t REG_DWORD /d "$2" /f >/dev/null 2>&1
        done
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    )
}
