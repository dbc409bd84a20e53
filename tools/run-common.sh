# shellcheck shell=bash disable=SC2034
# Shared by tools/start.sh and tools/screenshot.sh (source it, don't run it):
# build Kestrane and run it under Wine on a private virtual X display.
#
# Needs: cmake, the mingw-w64 cross compiler, wine, Xvfb (xvfb), xwininfo
# (x11-utils) and import/convert (imagemagick); tools/setup.sh installs them.
#
# KESTRANE_BUILD_DIR chooses the build tree (default: build/ in the repository).

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=tools/arch.sh
. "$REPO/tools/arch.sh"
BUILD="${KESTRANE_BUILD_DIR:-$REPO/build}"
# The tree whose programs run on this machine: $BUILD itself where 32-bit
# code runs, else the x86-64 build of the same source in $BUILD/x64.
RUN_BUILD=""
ARCH=""
WINDOW_TITLE="Kestrane"
# First start in a fresh build tree creates the Wine prefix, which takes a while.
START_DEADLINE="${KESTRANE_START_TIMEOUT:-180}"

XVFB_PID=""
PROGRAM_PID=""
WINDOW_ID=""
RUN_TMP=""

say() { printf '%s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

# Installs what is missing and builds the 32-bit program that ships, in
# $BUILD, and the tree that runs here; sets ARCH and RUN_BUILD. The argument
# names what to build in the tree that runs here: "all" for everything (the
# tests too), a target, or nothing for the program alone.
build_program() {
    local target=(--target "${1:-kestrane}")
    [ "${1:-}" = all ] && target=()
    ARCH="$(kestrane_test_arch)" || exit 1
    local rc=0
    bash "$REPO/tools/setup.sh" "$ARCH" || rc=$?
    if [ $rc -eq 3 ] && [ -z "${KESTRANE_TEST_ARCH:-}" ]; then
        say "32-bit Wine can't be installed from this machine's package lists: using the x86-64 build."
        ARCH=x64
        bash "$REPO/tools/setup.sh" x64 || die "tools/setup.sh failed"
    elif [ $rc -ne 0 ]; then
        die "tools/setup.sh failed"
    fi
    cmake -S "$REPO" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-i686.cmake" >/dev/null \
        || die "configuring the build failed"
    if [ "$ARCH" = x86 ]; then
        RUN_BUILD="$BUILD"
        cmake --build "$BUILD" -j2 "${target[@]}" || die "building failed"
    else
        RUN_BUILD="$BUILD/x64"
        cmake --build "$BUILD" -j2 --target kestrane || die "building kestrane failed"
        cmake -S "$REPO" -B "$RUN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-x86_64.cmake" \
              -DKESTRANE_SHIPPED_EXE="$BUILD/kestrane.exe" >/dev/null || die "configuring the x86-64 build failed"
        cmake --build "$RUN_BUILD" -j2 "${target[@]}" || die "building the x86-64 build failed"
        if [ "${KESTRANE_TEST_ARCH:-}" = x64 ]; then
            say "Running the x86-64 build of the same source (KESTRANE_TEST_ARCH=x64); $BUILD/kestrane.exe is what ships."
        elif kestrane_runs_x86; then
            say "Running the x86-64 build of the same source (no 32-bit Wine); $BUILD/kestrane.exe is what ships."
        else
            say "This machine can't execute 32-bit x86 code: running the x86-64 build of the same source; $BUILD/kestrane.exe is what ships."
        fi
    fi
    [ -x "$RUN_BUILD/wine-run" ] || die "$RUN_BUILD/wine-run is missing"
    [ -f "$RUN_BUILD/kestrane.exe" ] || die "$RUN_BUILD/kestrane.exe is missing"
}

# Starts Xvfb on a free display number (Xvfb picks it and reports it once it
# accepts connections) and exports DISPLAY.
start_xvfb() {
    RUN_TMP="$(mktemp -d /tmp/kestrane-run.XXXXXX)"
    local numfile="$RUN_TMP/display"
    : >"$numfile"
    # In a session of its own, like the program: Ctrl+C on the terminal is for
    # this script, which then shuts both down in order.
    setsid Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$numfile" >"$RUN_TMP/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local deadline=$((SECONDS + 30))
    while [ ! -s "$numfile" ]; do
        kill -0 "$XVFB_PID" 2>/dev/null || die "Xvfb did not start: $(cat "$RUN_TMP/xvfb.log")"
        [ $SECONDS -lt $deadline ] || die "Xvfb did not report its display in 30 s"
        sleep 0.1
    done
    DISPLAY=":$(tr -dc 0-9 <"$numfile")"
    export DISPLAY
    say "virtual display $DISPLAY"
}

# With no window manager on the virtual display nobody would draw the main
# window's frame and caption; this per-program Wine setting has Wine draw them
# itself. It is taken out of the prefix again once the window is up.
# (Running Wine here also creates the prefix on the first start.)
FRAME_KEY='HKCU\Software\Wine\AppDefaults\kestrane.exe'
FRAME_SET=""
wine_reg() { WINEDEBUG=-all "$RUN_BUILD/wine-run" reg "$@" >/dev/null 2>&1; }

draw_own_frame() {
    local had_key=""
    wine_reg query "$FRAME_KEY" && had_key=1
    wine_reg add "$FRAME_KEY\X11 Driver" /v Decorated /t REG_SZ /d N /f \
        || die "could not set up the Wine prefix in $RUN_BUILD/wineprefix"
    FRAME_SET="${had_key:-new}"
}

forget_own_frame() {
    case "$FRAME_SET" in
        new) wine_reg delete "$FRAME_KEY" /f ;;
        1) wine_reg delete "$FRAME_KEY\X11 Driver" /v Decorated /f ;;
    esac
    FRAME_SET=""
}

# Runs the program at N dots per inch (the prefix's LogPixels) until cleanup
# puts the prefix back as it was. Call it before start_program.
DPI_KEY='HKCU\Control Panel\Desktop'
DPI_SET=""
set_dpi() {
    local old
    old="$(WINEDEBUG=-all "$RUN_BUILD/wine-run" reg query "$DPI_KEY" /v LogPixels 2>/dev/null \
           | awk '/LogPixels/ { print $NF }' | tr -d '\r')"
    wine_reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d "$1" /f || die "could not set LogPixels"
    DPI_SET="${old:-none}"
}

forget_dpi() {
    case "$DPI_SET" in
        "") ;;
        none) wine_reg delete "$DPI_KEY" /v LogPixels /f ;;
        *) wine_reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d "$((DPI_SET))" /f ;;
    esac
    DPI_SET=""
}

# Clicks, as the user would, the point at fractions fx, fy of the width and
# the height of the window found last (XTest, through the X libraries
# themselves).
click_in_window() {
    local geometry w h x y
    geometry="$(window_geometry)"
    IFS='x+' read -r w h x y <<<"$geometry"
    python3 - "$((x + w * $1 / 1000))" "$((y + h * $2 / 1000))" <<'PY' || die "could not click"
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(x11.XOpenDisplay(None))
if not display:
    sys.exit(1)
xtst.XTestFakeMotionEvent(display, -1, int(sys.argv[1]), int(sys.argv[2]), 0)
xtst.XTestFakeButtonEvent(display, 1, 1, 0)
xtst.XTestFakeButtonEvent(display, 1, 0, 0)
x11.XFlush(display)
x11.XCloseDisplay(display)
PY
}

start_program() {
    setsid "$RUN_BUILD/wine-run" "$RUN_BUILD/kestrane.exe" >"$RUN_TMP/wine.log" 2>&1 &
    PROGRAM_PID=$!
}

# True while the program runs (an ended but not yet reaped child counts as ended).
program_alive() {
    [ -n "$PROGRAM_PID" ] && [ -r "/proc/$PROGRAM_PID/stat" ] || return 1
    local state
    state="$(sed 's/.*) //' "/proc/$PROGRAM_PID/stat" 2>/dev/null | cut -c1)"
    [ -n "$state" ] && [ "$state" != Z ]
}

# Waits until the main window is mapped; sets WINDOW_ID.
wait_for_window() {
    local deadline=$((SECONDS + START_DEADLINE)) id
    while :; do
        program_alive || die "kestrane.exe ended before its window appeared: $(tail -5 "$RUN_TMP/wine.log")"
        for id in $(xwininfo -root -tree 2>/dev/null \
                    | awk -v t=" \"$WINDOW_TITLE\": " 'index($0, t) { print $1 }'); do
            if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
                WINDOW_ID="$id"
                forget_own_frame
                return 0
            fi
        done
        [ $SECONDS -lt $deadline ] || die "no \"$WINDOW_TITLE\" window within $START_DEADLINE s"
        sleep 0.2
    done
}

# Prints the window's geometry on the root window as WxH+X+Y.
window_geometry() {
    xwininfo -id "$WINDOW_ID" | awk '
        /Absolute upper-left X:/ { x = $NF }
        /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/  { w = $NF }
        /^ *Height:/ { h = $NF }
        END { printf "%dx%d+%d+%d\n", w, h, x, y }'
}

# Saves the main window as a PNG at $1, once it has finished painting: the
# grab is repeated until two grabs in a row are the same picture.
take_screenshot() {
    local out="$1" geometry previous="" current deadline=$((SECONDS + 30))
    mkdir -p "$(dirname "$out")"
    while :; do
        geometry="$(window_geometry)"
        import -silent -window root -crop "$geometry" +repage "$RUN_TMP/shot.png" \
            || die "import failed"
        current="$(identify -format '%#' "$RUN_TMP/shot.png")"
        [ "$current" = "$previous" ] && break
        [ $SECONDS -lt $deadline ] || { say "warning: the window kept changing; saving the last grab"; break; }
        previous="$current"
        sleep 0.3
    done
    cp "$RUN_TMP/shot.png" "$out"
}

# Asks the program to close the way the window manager would (WM_CLOSE to its
# top-level window, through Wine's taskkill without /f) and waits for it.
# Leaves the program's exit code in CLOSE_RC.
CLOSE_RC=""
close_program() {
    CLOSE_RC=""
    [ -n "$PROGRAM_PID" ] || return 0
    WINEDEBUG=-all "$RUN_BUILD/wine-run" taskkill /im kestrane.exe >/dev/null 2>&1
    local deadline=$((SECONDS + 20))
    while program_alive; do
        if [ $SECONDS -ge $deadline ]; then
            say "warning: kestrane.exe did not close; killing it"
            kill "$PROGRAM_PID" 2>/dev/null
            break
        fi
        sleep 0.1
    done
    wait "$PROGRAM_PID"
    CLOSE_RC=$?
    PROGRAM_PID=""
}

cleanup() {
    if program_alive; then
        kill "$PROGRAM_PID" 2>/dev/null
        wait "$PROGRAM_PID" 2>/dev/null
    fi
    if [ -n "$XVFB_PID" ]; then
        forget_own_frame
        forget_dpi
        # Let Wine's processes for this prefix end while their display still
        # exists; a Wine started meanwhile elsewhere bounds the wait.
        (. "$RUN_BUILD/wine-env" && timeout 20 "$WINESERVER" -w 2>/dev/null)
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    fi
    [ -n "$RUN_TMP" ] && rm -rf "$RUN_TMP"
    RUN_TMP=""
}
