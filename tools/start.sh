#!/usr/bin/env bash
# Builds Kestrane and starts it under Wine. With an X display ($DISPLAY) the
# program runs in the foreground and its exit code is returned. Without one
# it runs on a virtual display: a screenshot of its window is saved to
# build/kestrane-window.png, and it runs until Ctrl+C (or TERM, or HUP).
set -u
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"
RUN_BUILD="${KESTRANE_RUN_BUILD:-}"
if [ -z "$RUN_BUILD" ]; then
    build_program
    [ -n "${DISPLAY:-}" ] && exec "$RUN_BUILD/wine-run" "$RUN_BUILD/kestrane.exe"
    # The display runs in a session of its own, away from the terminal. However
    # this script is ended (Ctrl+C, kill, timeout, a closed terminal), it asks
    # the program to close and waits while it and its display go; before the
    # program has started, the session is ended whole.
    rm -f "$BUILD/start.pid"
    setsid -w "${VIRTUAL_DISPLAY[@]}" bash "$0" &
    session=$!
    stop() {
        say "$1: closing Kestrane and its virtual display"
        kill -TERM "$(cat "$BUILD/start.pid" 2>/dev/null)" 2>/dev/null || kill -TERM -- "-$session"
    }
    for signal in INT TERM HUP; do trap "stop $signal" "$signal"; done
    while wait $session; rc=$?; kill -0 $session 2>/dev/null; do :; done
    exit "$rc"
fi
trap 'say "stopping"; close_program; say "kestrane.exe exited with $CLOSE_RC"; exit 0' TERM
echo $$ >"$BUILD/start.pid"
start_program
take_screenshot "$BUILD/kestrane-window.png"
say "Kestrane runs on the virtual display $DISPLAY; its window: $BUILD/kestrane-window.png. Ctrl+C (or kill) stops it."
while program_alive; do sleep 1; done
wait "$PROGRAM_PID"
