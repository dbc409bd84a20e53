# shellcheck shell=bash disable=SC2034
# Shared by the scripts of tools/ (source it): building the program, the
# virtual display, starting and closing the program on it. KESTRANE_BUILD_DIR
# chooses the build tree (default: build/ in the repository).
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=tools/arch.sh
. "$REPO/tools/arch.sh"
BUILD="${KESTRANE_BUILD_DIR:-$REPO/build}"
say() { printf '%s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }
# Installs what is missing and builds the 32-bit program that ships, in
# $BUILD, then the program and the targets named ("all": everything, the
# tests too) in the tree whose programs run here, RUN_BUILD: $BUILD where
# 32-bit code runs, else the x86-64 build of the same source in $BUILD/x64.
build_program() {
    local arch rc=0 why="KESTRANE_TEST_ARCH=x64" targets=(--target kestrane "$@")
    [ "${1:-}" = all ] && targets=()
    arch="$(kestrane_test_arch)" || exit 1
    bash "$REPO/tools/setup.sh" "$arch" || rc=$?
    if [ $rc -eq 3 ] && [ -z "${KESTRANE_TEST_ARCH:-}" ]; then
        say "32-bit Wine can't be installed from this machine's package lists: using the x86-64 build."
        arch=x64 rc=0
        bash "$REPO/tools/setup.sh" x64 || rc=$?
    fi
    [ $rc -eq 0 ] || die "tools/setup.sh failed"
    cmake -S "$REPO" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-i686.cmake" >/dev/null || die "configuring failed"
    RUN_BUILD="$BUILD"
    if [ "$arch" = x64 ]; then
        cmake --build "$BUILD" -j2 --target kestrane || die "building failed"
        RUN_BUILD="$BUILD/x64"
        cmake -S "$REPO" -B "$RUN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-x86_64.cmake" \
              -DKESTRANE_SHIPPED_EXE="$BUILD/kestrane.exe" >/dev/null || die "configuring the x86-64 build failed"
        [ -n "${KESTRANE_TEST_ARCH:-}" ] || { why="no 32-bit Wine"; kestrane_runs_x86 || why="this machine can't execute 32-bit x86 code"; }
        say "Running the x86-64 build of the same source ($why); $BUILD/kestrane.exe is what ships."
    fi
    cmake --build "$RUN_BUILD" -j2 "${targets[@]}" || die "building in $RUN_BUILD failed"
    export KESTRANE_RUN_BUILD="$RUN_BUILD"
}
# One way to start a virtual display; on_virtual_display reruns the calling script on one.
VIRTUAL_DISPLAY=(xvfb-run -a -s "-screen 0 1280x1024x24")
on_virtual_display() { exec "${VIRTUAL_DISPLAY[@]}" bash "$0" "$@"; }
# No window manager draws the main window's frame and caption: a per-program
# Wine setting, taken out again once the window is up, has Wine draw them.
FRAME_KEY='HKCU\Software\Wine\AppDefaults\kestrane.exe'
wine_reg() { WINEDEBUG=-all "$RUN_BUILD/wine-run" reg "$@" >/dev/null 2>&1; }
PROGRAM_PID="" WINDOW_ID=""
program_alive() { [[ -n "$PROGRAM_PID" && "$(ps -o stat= -p "$PROGRAM_PID")" == [^Z]* ]]; }
# Starts the program in a session of its own (Ctrl+C is for the script) and
# waits until its main window is mapped.
start_program() {
    wine_reg add "$FRAME_KEY\X11 Driver" /v Decorated /t REG_SZ /d N /f || die "could not set up the Wine prefix"
    setsid "$RUN_BUILD/wine-run" "$RUN_BUILD/kestrane.exe" >"$RUN_BUILD/start.log" 2>&1 &
    PROGRAM_PID=$!
    wait_for_window Kestrane
    wine_reg delete "$FRAME_KEY" /f
}
# Waits until a window of the program titled $1 is mapped; sets WINDOW_ID.
wait_for_window() {
    local deadline=$((SECONDS + ${KESTRANE_START_TIMEOUT:-180})) id
    WINDOW_ID=""
    while [ -z "$WINDOW_ID" ]; do
        program_alive || die "kestrane.exe ended before its window appeared: $(tail -5 "$RUN_BUILD/start.log")"
        [ $SECONDS -lt $deadline ] || die "no \"$1\" window in time"
        sleep 0.2
        for id in $(xwininfo -root -tree | awk -v t=" \"$1\": " 'index($0, t) { print $1 }'); do
            xwininfo -id "$id" | grep -q 'Map State: IsViewable' && WINDOW_ID="$id"
        done
    done
}
# The window found last as WIDTHxHEIGHT+X+Y.
window_geometry() {
    xwininfo -id "$WINDOW_ID" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /^ *Width/ { w = $NF } /^ *Height/ { h = $NF } END { printf "%dx%d+%d+%d", w, h, x, y }'
}
# Saves the main window as a PNG at $1 once it has finished painting: two
# grabs in a row are the same picture.
take_screenshot() {
    local previous="" current deadline=$((SECONDS + 30))
    mkdir -p "$(dirname "$1")"
    while [ $SECONDS -lt $deadline ]; do
        import -silent -window root -crop "$(window_geometry)" +repage "$1" || die "import failed"
        current="$(identify -format '%#' "$1")"
        [ "$current" = "$previous" ] && return 0
        previous="$current"
        sleep 0.3
    done
    say "warning: the window kept changing; kept the last grab"
}
# Asks the program to close as the window manager would (WM_CLOSE, Wine's
# taskkill without /f) and waits for it; its exit code goes to CLOSE_RC.
close_program() {
    WINEDEBUG=-all "$RUN_BUILD/wine-run" taskkill /im kestrane.exe >/dev/null 2>&1
    local deadline=$((SECONDS + 20))
    while program_alive && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
    program_alive && { say "warning: kestrane.exe did not close; killing it"; kill "$PROGRAM_PID"; }
    wait "$PROGRAM_PID"
    CLOSE_RC=$? PROGRAM_PID=""
    # Wine's processes end while their display still exists.
    (. "$RUN_BUILD/wine-env" && timeout 20 "$WINESERVER" -w)
}
