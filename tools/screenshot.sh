#!/usr/bin/env bash
# Builds Kestrane, starts it on a virtual X display of its own, saves a
# screenshot of its main window (or of its About box) and closes it again.
#
#   tools/screenshot.sh [--dpi N] [--about] [out.png]
#
#   --dpi N   run the program at N dots per inch (96 is 100 %, 144 is 150 %)
#   --about   open the About box (a click on About...) and take it instead
#   out.png   default: docs/main-window.png
set -u
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"

dpi=""
about=""
while [ $# -gt 0 ]; do
    case "$1" in
        --dpi) dpi="${2:-}"; shift 2 ;;
        --about) about=1; shift ;;
        *) break ;;
    esac
done
case "$dpi" in "" | [0-9]*) ;; *) die "--dpi takes a number" ;; esac
out="${1:-$REPO/docs/main-window.png}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

build_program
trap cleanup EXIT
start_xvfb
draw_own_frame
[ -n "$dpi" ] && set_dpi "$dpi"
start_program
wait_for_window
if [ -n "$about" ]; then
    # The "About..." button: its middle lies at 81/219 of the dialog's width
    # and 259/273 of its height (in dialog units), below the caption.
    click_in_window 370 935
    WINDOW_TITLE="About Kestraner"
    wait_for_window
fi
take_screenshot "$out"
say "screenshot: $out ($(identify -format '%wx%h' "$out"))"
close_program
if [ "$CLOSE_RC" != 2 ]; then
    say "error: kestrane.exe exited with $CLOSE_RC after the close request (expected 2)"
    exit 1
fi
