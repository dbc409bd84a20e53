#!/usr/bin/env bash
# Builds Kestrane and its tests and runs every test under Wine, on a virtual
# display. Arguments go to ctest: tools/test.sh -L slow runs the slow cases
# only, tools/test.sh -LE slow all others.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${KESTRANE_BUILD_DIR:-$repo/build}"

bash "$repo/tools/setup.sh"
cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j2

# One Wine server for the whole run: every test program starts in a blink.
"$build/wine-run" cmd /c exit >/dev/null 2>&1 || true
WINEPREFIX="$build/wineprefix" wineserver -p >/dev/null 2>&1 &
trap 'WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true' EXIT

cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure "$@"
