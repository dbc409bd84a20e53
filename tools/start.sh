#!/usr/bin/env bash
# Builds Kestrane and starts it under Wine.
#
# With an X display ($DISPLAY set) the program runs in the foreground and its
# exit code is returned. Without one, the program runs on a virtual display of
# its own: once the main window is up a screenshot of it is saved to
# build/kestrane-window.png, and the program keeps running until Ctrl+C.
set -u
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"

build_program

if [ -n "${DISPLAY:-}" ]; then
    "$RUN_BUILD/wine-run" "$RUN_BUILD/kestrane.exe"
    exit $?
fi

trap cleanup EXIT
trap 'say; say "stopping"; close_program; say "kestrane.exe exited with $CLOSE_RC"; exit 0' INT TERM

start_xvfb
draw_own_frame
start_program
wait_for_window
shot="$BUILD/kestrane-window.png"
take_screenshot "$shot"
say "Kestrane is running on the virtual display $DISPLAY (window $WINDOW_ID)."
say "Screenshot of its window: $shot"
say "Press Ctrl+C to stop it."
wait "$PROGRAM_PID"
rc=$?
PROGRAM_PID=""
say "kestrane.exe exited with $rc"
exit "$rc"
