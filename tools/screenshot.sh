#!/usr/bin/env bash
# Builds Kestrane, starts it on a virtual display, saves a screenshot of its
# main window and closes it again.  tools/screenshot.sh [out.png]
# (default: docs/main-window.png)
set -u
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"
out="${1:-$REPO/docs/main-window.png}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
RUN_BUILD="${KESTRANE_RUN_BUILD:-}"
[ -n "$RUN_BUILD" ] || { build_program; on_virtual_display "$out"; }
start_program
take_screenshot "$out"
say "screenshot: $out ($(identify -format '%wx%h' "$out"))"
close_program
[ "$CLOSE_RC" = 2 ] || die "kestrane.exe exited with $CLOSE_RC after the close request (expected 2)"
