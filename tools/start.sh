#!/usr/bin/env bash
# Builds Kestrane and starts it under Wine. With an X display ($DISPLAY) the
# program runs in the foreground and its exit code is returned. Without one
# it runs on a virtual display: a screenshot of its window is saved to
# build/kestrane-window.png, and it runs until Ctrl+C.
set -u
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"
RUN_BUILD="${KESTRANE_RUN_BUILD:-}"
if [ -z "$RUN_BUILD" ]; then
    build_program
    [ -n "${DISPLAY:-}" ] && exec "$RUN_BUILD/wine-run" "$RUN_BUILD/kestrane.exe"
    # The display runs in a session of its own, away from Ctrl+C, which is
    # passed on as a request to close the program first.
    setsid -w "${VIRTUAL_DISPLAY[@]}" bash "$0" &
    trap 'kill -TERM "$(cat "$BUILD/start.pid")"' INT
    while wait $!; rc=$?; kill -0 $! 2>/dev/null; do :; done
    exit "$rc"
fi
echo $$ >"$BUILD/start.pid"
trap 'say "stopping"; close_program; say "kestrane.exe exited with $CLOSE_RC"; exit 0' TERM
start_program
take_screenshot "$BUILD/kestrane-window.png"
say "Kestrane runs on the virtual display $DISPLAY; its window: $BUILD/kestrane-window.png. Ctrl+C stops it."
while program_alive; do sleep 1; done
wait "$PROGRAM_PID"
