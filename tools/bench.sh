#!/usr/bin/env bash
# Measures Kestrane here against references measured in the same run on the same disk,
# and prints each figure with its target and verdict (tests/bench/Bench.cpp says what
# each is): dd with the jobs' durability (oflag=dsync; the merge appends each block with
# a dd of its own), and a native loop making the jobs' calls (read 1 MiB, write, fsync).
#   BENCH_RUNS=n        runs, interleaved; the median counts (3)
#   BENCH_MIB=n         size of the source in MiB (2048)
#   BENCH_SCALE="a b"   block counts of the cost per block of 1 K blocks, measured
#                       last ("10000 100000"); empty skips it (it takes half an hour)
# Files go to <build tree>/bench-data (3.5 times the source) and are removed.
set -euo pipefail
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"
[ -n "${KESTRANE_RUN_BUILD:-}" ] ||
    { build_program kestrane_bench >/dev/null; on_virtual_display "$@"; }
build="$KESTRANE_RUN_BUILD" data="$KESTRANE_RUN_BUILD/bench-data"
runs="${BENCH_RUNS:-3}" mib="${BENCH_MIB:-2048}"
read -ra scale <<<"${BENCH_SCALE-10000 100000}"
need=$((mib * 7 / 2 + 64)) free=$(($(df -P -k "$build" | awk 'NR == 2 { print $4 }') / 1024))
[ "$free" -ge "$need" ] ||
    { echo "skipped: the benchmark needs $need MiB of free disk, $build has $free MiB"; exit 0; }
. "$build/wine-env"
rm -rf "$data" && mkdir -p "$data/job" "$data/ref"
"$build/wine-run" cmd /c exit >/dev/null 2>&1 || true
"$WINESERVER" -p >/dev/null 2>&1 &   # one Wine server for the whole run
trap 'rm -rf "$data"; "$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
results="$data/results" source="$data/job/source.bin" joined="$data/ref/joined.bin"
win() { local p="${1//\//\\}"; printf 'Z:%s' "$p"; }
program() { "$build/wine-run" "$build/tests/kestrane_bench.exe" "$@" || die "bench $1 failed"; }
# bench KEY_PREFIX MODE ARGS...: the bench program's figures, keys prefixed.
bench() { program "${@:2}" | sed -n "s/^RESULT /RESULT ${1}_/p" >>"$results"; }
# timed KEY COMMAND...: the command's wall time under KEY.
timed() { local TIMEFORMAT="RESULT $1 %R"; shift; { time "$@" 2>&3; } 3>&2 2>>"$results"; }
same() { cmp -s "$source" "$1" || die "$1 differs from the source"; }
clean() { rm -f "$@"; sync; }
# native KEY separate SOURCE BLOCK_BYTES PREFIX | native KEY merge RESULT FILE...
native() {
    python3 - "${@:2}" <<'PY' | sed "s/^/RESULT $1 /" >>"$results"
import os, sys, time
buf, start, a = memoryview(bytearray(1 << 20)), time.monotonic(), sys.argv
def copy(src, dst, size):
    for at in range(0, size, len(buf)):
        b = buf[:min(len(buf), size - at)]
        if os.readv(src, [b]) != len(b) or os.write(dst, b) != len(b): sys.exit("short read/write")
        os.fsync(dst)
def create(name): return os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
if a[1] == "separate":
    src, block = os.open(a[2], os.O_RDONLY), int(a[3])
    for i, at in enumerate(range(0, os.fstat(src).st_size, block)):
        dst = create("%s_%05d.bin" % (a[4], i)); copy(src, dst, min(block, os.fstat(src).st_size - at)); os.close(dst)
else:
    dst = create(a[2])
    for name in a[3:]:
        src = os.open(name, os.O_RDONLY); copy(src, dst, os.fstat(src).st_size); os.close(src)
print("%.3f" % (time.monotonic() - start))
PY
}

say "writing $mib MiB of random bytes"
head -c "$((mib << 20))" /dev/urandom >"$source" && sync
{ echo "RESULT source_bytes $((mib << 20))"
  echo "INFO machine $(nproc) cores, $(uname -sr), $("$WINELOADER" --version) ($WINEARCH build), Xvfb"
  echo "INFO load_start $(cut -d' ' -f1-3 /proc/loadavg)"; } >"$results"
for ((run = 1; run <= runs; run++)); do
    say "run $run of $runs: 100 M blocks, separate and merge, against dd and the native loop"
    bench separate separate "$(win "$source")" $((100 << 20)) && sync
    mapfile -t names < <(cd "$data/job" && ls source_*.bin)
    timed dd_separate_seconds bash -c 'for ((i = 0; i < $2; i++)); do
        dd if="$0" of="$1/$(printf "source_%05d.bin" $i)" bs=1M skip=$((i * 100)) count=100 \
           oflag=dsync status=none; done' "$source" "$data/ref" "${#names[@]}"
    clean "$data"/ref/*
    native native_separate_seconds separate "$source" $((100 << 20)) "$data/ref/source"
    clean "$data"/ref/*
    bench merge merge "$(win "$data/job")\\" "$(win "$data/job/joined.bin")" "${names[@]}"
    same "$data/job/joined.bin" && clean "$data/job/joined.bin" && : >"$joined"
    timed dd_merge_seconds bash -c 'for f in "${@:2}"; do dd if="$f" of="$1" bs=1M \
        oflag=dsync,append conv=notrunc status=none; done' - "$joined" "${names[@]/#/$data/job/}"
    same "$joined" && clean "$joined"
    (cd "$data/job" && native native_merge_seconds merge "$joined" "${names[@]}")
    same "$joined" && clean "$joined"
    clean "$data"/job/source_* && say "run $run of $runs: 1 M blocks without the window"
    bench small separate "$(win "$source")" $((1 << 20)) && clean "$data"/job/source_*
    native native_small_seconds separate "$source" $((1 << 20)) "$data/ref/source"
    clean "$data"/ref/*
    for mb in 100 1; do
        say "run $run of $runs: the window while it separates and merges, $mb M blocks"
        bench "win$mb" window "$(win "$source")" "$(win "$data/job/joined.bin")" "$mb"
        same "$data/job/joined.bin" && clean "$data"/job/source_* "$data/job/joined.bin"
    done
done
echo "INFO load_end $(cut -d' ' -f1-3 /proc/loadavg)" >>"$results"
bench draw handlers
program table "$(win "$results")"
[ ${#scale[@]} -eq 0 ] || say "many blocks through the window: ${scale[*]} (this takes long)"
[ ${#scale[@]} -eq 0 ] || program scale "$(win "$data")" "${scale[@]}"
