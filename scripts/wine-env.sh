# Shared by the project's scripts (sourced, not run): the build flavour this
# machine can run, its private Wine prefix, and a display.

ZL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# 32-bit Windows programs need a kernel that runs 32-bit code; some virtual
# machines have that switched off. There the same sources are built for
# 64-bit Windows, which Wine runs natively.
zl_can_run_32bit() {
    timeout 20 /usr/lib/wine/wine --version >/dev/null 2>&1
}

zl_flavour() {
    if [ -n "${ZL_FLAVOUR:-}" ]; then echo "$ZL_FLAVOUR"; return; fi
    if zl_can_run_32bit; then echo mingw; else echo mingw64; fi
}

zl_build_dir() {   # flavour
    if [ "$1" = mingw ]; then echo "$ZL_ROOT/build"; else echo "$ZL_ROOT/build/win64"; fi
}

# Wine settings for a build tree: its own prefix, no debug noise, no Mono or
# Gecko prompts, and no menu builder writing into the Linux home folder.
zl_wine_env() {   # build-dir flavour
    export WINEPREFIX="$1/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [ "$2" = mingw ]; then
        export WINEARCH=win32
        ZL_WINE=/usr/lib/wine/wine
    else
        export WINEARCH=win64
        ZL_WINE=/usr/lib/wine/wine64
    fi
    export ZL_WINE
}

# Creates the prefix once, with crash dialogs off (a crash must end the
# program, not wait for a click). Windows are plain X windows: in a Wine
# virtual desktop every window hangs off the desktop process's window, and
# when that process restarts, programs still running lose their windows.
zl_ensure_prefix() {
    if [ -f "$WINEPREFIX/.zl-ready" ]; then
        zl_prefix_fonts
        # Prefixes made before windows left the virtual desktop.
        if grep -q '^"Desktop"="Default"' "$WINEPREFIX/user.reg" 2>/dev/null; then
            zl_virtual_desktop off
        fi
        return 0
    fi
    echo "Creating the Wine prefix $WINEPREFIX (once per build tree)..."
    mkdir -p "$WINEPREFIX"
    "$ZL_WINE" wineboot -i >"$WINEPREFIX/../wineboot.log" 2>&1 </dev/null
    "$ZL_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$WINEPREFIX/../wineboot.log" 2>&1 </dev/null
    wineserver -w
    zl_prefix_fonts
    touch "$WINEPREFIX/.zl-ready"
}

# Wine draws the caption buttons (close box, minimise, maximise) as letters
# of its symbol font, Marlett: without it the close box reads "r". Debian's
# Wine 8 never opens the fonts of fonts-wine (/usr/share/wine/fonts; it names
# that folder by a path with ".." in it), but it reads the prefix's own Fonts
# folder.
zl_prefix_fonts() {
    local font=/usr/share/wine/fonts/marlett.ttf dir="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f "$font" ] && [ ! -f "$dir/marlett.ttf" ]; then
        mkdir -p "$dir" && cp "$font" "$dir/"
    fi
}

# Turns Wine's 1024x768 virtual desktop on or off for the prefix: pictures
# and runs on a display without a window manager want it, because Wine then
# draws window frames and captions itself. Ends the prefix's processes so the
# next program starts the desktop anew.
zl_virtual_desktop() {   # on|off
    wineserver -k >/dev/null 2>&1 || true
    if [ "$1" = on ]; then
        "$ZL_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 </dev/null
        "$ZL_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 </dev/null
    else
        "$ZL_WINE" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 </dev/null
    fi
    wineserver -w
}

# A display: the caller's when it works, otherwise a private virtual one.
# The display's process id stays in this shell: a script run from here (CTest's
# Wine wrapper) must not stop the display its caller started.
zl_ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then ZL_XVFB_PID=; return 0; fi
    # Wine processes still running in the prefix belong to an earlier display
    # and would hand new programs windows that no longer exist.
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    ZL_XVFB_PID=$!
    for _ in $(seq 1 100); do
        if [ -s "$fdfile" ]; then break; fi
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

zl_stop_display() {
    if [ -n "${ZL_XVFB_PID:-}" ]; then kill "$ZL_XVFB_PID" 2>/dev/null || true; fi
}

# Windows path of a Unix path (Wine maps / to Z:).
zl_winpath() {
    printf 'Z:%s' "$1" | tr '/' '\\'
}
