#!/usr/bin/env bash
# Builds Kestrane and its tests and runs every test under Wine, on a virtual
# display of its own; the tests run on the 32-bit build where this machine
# executes 32-bit x86 code, else on the x86-64 build (tools/arch.sh).
# Arguments go to ctest: tools/test.sh -L slow runs the slow cases only,
# tools/test.sh -LE slow all others. The programs that take no input from
# the pointer or keyboard (labels jobs, batch, slow, faults) run beside the
# others, two at a time, with a Wine server, prefix and display of their own.
set -euo pipefail
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"
[ -n "${KESTRANE_RUN_BUILD:-}" ] || { build_program all; on_virtual_display "$@"; }
cd "$KESTRANE_RUN_BUILD"
# Each program's label is in one lane (ctest ANDs several -L or -LE).
apart='^(jobs|batch|slow|faults)$' main='^(ui|disk|shipped|release)$'
if [ -z "${KESTRANE_LANE:-}" ]; then
    KESTRANE_WINEPREFIX="$PWD/wineprefix-apart" ./wine-run cmd /c exit >/dev/null 2>&1 &
    ctest -N >/dev/null   # lists each new program's cases once, before two lanes write that list at once
    wait $! || true
    KESTRANE_LANE=apart KESTRANE_WINEPREFIX="$PWD/wineprefix-apart" \
        "${VIRTUAL_DISPLAY[@]}" bash "$REPO/tools/test.sh" "$@" >apart.out 2>&1 &
    rc=0 && KESTRANE_LANE=main bash "$REPO/tools/test.sh" "$@" || rc=$?
    wait $! || rc=$?
    cat apart.out
    exit "$rc"
fi
. ./wine-env
./wine-run cmd /c exit >/dev/null 2>&1 || true
"$WINESERVER" -p >/dev/null 2>&1 &   # one server for the lane: programs start in a blink
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
if [ "$KESTRANE_LANE" = apart ]; then lane=(-L "$apart" -j2); else lane=(-L "$main"); fi
ctest --output-on-failure --no-tests=ignore "${lane[@]}" "$@"
