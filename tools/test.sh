#!/usr/bin/env bash
# Builds Kestrane and its tests and runs every test under Wine, on a virtual
# display of its own. Arguments go to ctest: tools/test.sh -L slow runs the
# slow cases only, tools/test.sh -LE slow all others.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${KESTRANE_BUILD_DIR:-$repo/build}"

if [ -z "${KESTRANE_ON_TEST_DISPLAY:-}" ]; then
    bash "$repo/tools/setup.sh"
    cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$build" -j2
    # Everything Wine starts from here on must see the virtual display: its
    # desktop process lives as long as the Wine server.
    export KESTRANE_ON_TEST_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

# One Wine server for the whole run: every test program starts in a blink.
export WINEPREFIX="$build/wineprefix"
"$build/wine-run" cmd /c exit >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 &
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

cd "$build"
ctest --output-on-failure "$@"
