#!/usr/bin/env bash
# Builds Kestrane and its tests and runs every test under Wine, on a virtual
# display of its own. Arguments go to ctest: tools/test.sh -L slow runs the
# slow cases only, tools/test.sh -LE slow all others.
#
# The tests run on the 32-bit build where this machine executes 32-bit x86
# code, else on the x86-64 build of the same source (tools/arch.sh;
# KESTRANE_TEST_ARCH=x64 or x86 forces the choice).
set -euo pipefail

if [ -z "${KESTRANE_TEST_TREE:-}" ]; then
    # shellcheck source=tools/run-common.sh
    . "$(dirname "$0")/run-common.sh"
    build_program all
    # Everything Wine starts from here on must see the virtual display: its
    # desktop process lives as long as the Wine server.
    export KESTRANE_TEST_TREE="$RUN_BUILD"
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

# One Wine server for the whole run: every test program starts in a blink.
. "$KESTRANE_TEST_TREE/wine-env"
"$KESTRANE_TEST_TREE/wine-run" cmd /c exit >/dev/null 2>&1 || true
"$WINESERVER" -p >/dev/null 2>&1 &
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT

cd "$KESTRANE_TEST_TREE"
ctest --output-on-failure "$@"
