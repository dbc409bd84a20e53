#!/usr/bin/env bash
# Builds Kestrane, starts it on a virtual display, saves a screenshot of its
# main window (--about: of its About box) and closes it again.
#   tools/screenshot.sh [--dpi N] [--about] [out.png]   (default: docs/main-window.png)
# --dpi N runs it at N dots per inch (the prefix's LogPixels; 144 is 150 %).
set -u
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"
args=("$@") dpi="" about=""
while :; do case "${1:-}" in --dpi) dpi="$2"; shift 2 ;; --about) about=1; shift ;; *) break ;; esac; done
out="${1:-$REPO/docs/main-window.png}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
RUN_BUILD="${KESTRANE_RUN_BUILD:-}"
[ -n "$RUN_BUILD" ] || { build_program; on_virtual_display "${args[@]}"; }
if [ -n "$dpi" ]; then
    dpi_key='HKCU\Control Panel\Desktop'
    old_dpi="$(WINEDEBUG=-all "$RUN_BUILD/wine-run" reg query "$dpi_key" /v LogPixels 2>/dev/null | awk '/LogPixels/ { print $NF }' | tr -d '\r')"
    wine_reg add "$dpi_key" /v LogPixels /t REG_DWORD /d "$dpi" /f || die "could not set LogPixels"
    trap 'wine_reg add "$dpi_key" /v LogPixels /t REG_DWORD /d "$((${old_dpi:-96}))" /f' EXIT
fi
start_program
if [ -n "$about" ]; then
    # A real click (XTest) on "About...", at 37 % of the window's width and 93.5 % of its height.
    IFS='x+' read -r w h x y <<<"$(window_geometry)"
    python3 - $((x + w * 370 / 1000)) $((y + h * 935 / 1000)) <<'PY' || die "could not click About..."
import ctypes, sys
x11, xtst = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(x11.XOpenDisplay(None))
xtst.XTestFakeMotionEvent(display, -1, int(sys.argv[1]), int(sys.argv[2]), 0)
for press in (1, 0):
    xtst.XTestFakeButtonEvent(display, 1, press, 0)
x11.XCloseDisplay(display)
PY
    wait_for_window "About Kestraner"
fi
take_screenshot "$out"
say "screenshot: $out ($(identify -format '%wx%h' "$out"))"
close_program
[ "$CLOSE_RC" = 2 ] || die "kestrane.exe exited with $CLOSE_RC after the close request (expected 2)"
