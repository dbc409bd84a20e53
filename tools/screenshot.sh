#!/usr/bin/env bash
# Builds Kestrane, starts it on a virtual X display of its own, saves a
# screenshot of its main window and closes it again.
#
#   tools/screenshot.sh [out.png]      (default: docs/main-window.png)
set -u
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"

out="${1:-$REPO/docs/main-window.png}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

build_program
trap cleanup EXIT
start_xvfb
draw_own_frame
start_program
wait_for_window
take_screenshot "$out"
say "screenshot: $out ($(identify -format '%wx%h' "$out"))"
close_program
if [ "$CLOSE_RC" != 2 ]; then
    say "error: kestrane.exe exited with $CLOSE_RC after the close request (expected 2)"
    exit 1
fi
