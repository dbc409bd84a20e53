#!/usr/bin/env bash
# Measures Kestrane on this machine and prints its figures, each with its
# target and whether it is met; every reference is measured in the same run,
# on the same disk:
#   - separating a 2 GiB file of random bytes into 100 M blocks and merging
#     the blocks back, with the real job code on its worker thread, against
#     dd with the same durability (every 1 MiB synced: oflag=dsync, as the
#     jobs flush every 1 MiB chunk; the merge appends each block with a dd of
#     its own) and against a native loop that makes exactly the job's calls
#     (read 1 MiB, write it, fsync; a file per block), and, for reference
#     only, split and cat without any syncing;
#   - separating the same file into 1 M blocks, without the window and
#     through it, against the native loop over the same blocks;
#   - the memory each job adds to its process (peak against idle);
#   - how long the main window takes to answer while a 2 GiB job runs, with
#     100 M and with 1 M blocks, and how long after a separation into 1 M
#     blocks has handed over its last block the list shows every block;
#   - what a block costs when a file is cut into 100,000 blocks of 1 K
#     against 10,000, through the main window (the merge list fills).
#
# Usage: tools/bench.sh   (builds the kestrane_bench program first)
#   BENCH_RUNS=n          runs, interleaved, the median counts (3)
#   BENCH_SCALE="a b"     block counts of the last part ("10000 100000");
#                         empty skips it (100,000 blocks take half an hour)
#   KESTRANE_BUILD_DIR    the build tree (build/ in the repository)
# Files go to <build tree>/bench-data (about 6 GiB) and are removed at the end.
set -euo pipefail
runs="${BENCH_RUNS:-3}"
scale="${BENCH_SCALE-10000 100000}"

if [ -z "${KESTRANE_BENCH_TREE:-}" ]; then
    # shellcheck source=tools/run-common.sh
    . "$(dirname "$0")/run-common.sh"
    build_program kestrane_bench >/dev/null
    export KESTRANE_BENCH_TREE="$RUN_BUILD"
    # Message boxes and the main window need a display: a virtual one if none.
    if [ -z "${DISPLAY:-}" ]; then
        exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
    fi
fi
build="$KESTRANE_BENCH_TREE"
bench_exe="$build/tests/kestrane_bench.exe"
. "$build/wine-env"

# The 2 GiB source, its blocks and one copy at a time.
data="$build/bench-data"
need=$((7 << 30))
free=$(($(df -P -B1 "$build" | awk 'NR == 2 { print $4 }')))
if [ "$free" -lt "$need" ]; then
    echo "skipped: the benchmark needs $((need >> 20)) MiB of free disk, $build has $((free >> 20)) MiB"
    exit 0
fi
rm -rf "$data"
mkdir -p "$data/job" "$data/ref"
# One Wine server for the whole run.
"$build/wine-run" cmd /c exit >/dev/null 2>&1 || true
"$WINESERVER" -p >/dev/null 2>&1 &
cleanup() {
    rm -rf "$data"
    "$WINESERVER" -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

say() { printf '%s\n' "$*" >&2; }
now() { date +%s.%N; }
winpath() { local p="${1//\//\\}"; printf 'Z:%s' "$p"; }
calc() { awk "BEGIN { printf \"%.${2:-1}f\", $1 }"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -1; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
# met VALUE OP TARGET: "met" or "not met".
met() { awk "BEGIN { print ($1 $2 $3) ? \"met\" : \"not met\" }"; }

# Runs the bench program; its "RESULT key value" lines land in R[prefix_key]
# and are kept per run in A[prefix_key] (space-separated).
declare -A R A
bench() {
    local prefix="$1" output key value
    shift
    if ! output="$("$build/wine-run" "$bench_exe" "$@")"; then
        say "kestrane_bench $1 failed"
        exit 1
    fi
    while read -r tag key value; do
        if [ "$tag" = RESULT ]; then
            R["${prefix}_$key"]="$value"
            A["${prefix}_$key"]+="$value "
        fi
    done <<<"$output"
}
# The median over the runs of what bench collected under that key.
med() {
    # shellcheck disable=SC2086
    median ${A[$1]}
}

# The native loop: the job's calls, straight to Linux. Prints the seconds.
#   native separate SOURCE BLOCK_BYTES PREFIX   blocks PREFIX_00000.bin, ...
#   native merge RESULT FILE...                 the files end to end
native() {
    python3 - "$@" <<'EOF'
import os, sys, time
CHUNK = 1 << 20
buffer = memoryview(bytearray(CHUNK))
def copy(source, target, size):
    while size > 0:
        length = min(CHUNK, size)
        if os.readv(source, [buffer[:length]]) != length or os.write(target, buffer[:length]) != length:
            sys.exit("native loop: short read or write")
        os.fsync(target)
        size -= length
start = time.monotonic()
if sys.argv[1] == "separate":
    source = os.open(sys.argv[2], os.O_RDONLY)
    left, block = os.fstat(source).st_size, int(sys.argv[3])
    index = 0
    while left > 0:
        target = os.open("%s_%05d.bin" % (sys.argv[4], index), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        copy(source, target, min(block, left))
        os.close(target)
        left -= min(block, left)
        index += 1
else:
    target = os.open(sys.argv[2], os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    for name in sys.argv[3:]:
        source = os.open(name, os.O_RDONLY)
        copy(source, target, os.fstat(source).st_size)
        os.close(source)
    os.close(target)
print("%.3f" % (time.monotonic() - start))
EOF
}

size=$((2 << 30))
big=$((100 << 20))
small=$((1 << 20))
big_blocks=$(((size + big - 1) / big))
small_blocks=$(((size + small - 1) / small))
source="$data/job/source.bin"
say "writing 2 GiB of random bytes"
head -c "$size" /dev/urandom >"$source"
sync

names=()
for ((i = 0; i < big_blocks; i++)); do names+=("$(printf 'source_%05d.bin' "$i")"); done
same() { cmp -s "$source" "$1" || { say "$2 differs from the source"; exit 1; }; }
clean() { rm -f "$@"; sync; }

load_start=$(load)
k_sep=() k_merge=() dd_sep=() dd_merge=() n_sep=() n_merge=() split_s=() cat_s=() n_small=() k_small=()
mem_sep_ws=() mem_sep_pf=() mem_merge_ws=() mem_merge_pf=()
for ((run = 1; run <= runs; run++)); do
    say "run $run of $runs: 100 M blocks, separate and merge"
    clean "$data"/job/source_* "$data"/ref/*
    bench sep separate "$(winpath "$source")" "$big"
    k_sep+=("${R[sep_seconds]}")
    mem_sep_ws+=("${R[sep_added_working_set]}") mem_sep_pf+=("${R[sep_added_pagefile]}")
    sync

    start=$(now)
    for ((i = 0; i < big_blocks; i++)); do
        dd if="$source" of="$data/ref/${names[i]}" bs=1M skip=$((i * 100)) count=100 \
            oflag=dsync status=none
    done
    dd_sep+=("$(calc "$(now) - $start" 3)")
    clean "$data"/ref/*

    n_sep+=("$(native separate "$source" "$big" "$data/ref/source")")
    clean "$data"/ref/*

    # All three merges read the blocks of the job's separation.
    bench merge merge "$(winpath "$data/job")\\" "$(winpath "$data/job/joined.bin")" "${names[@]}"
    k_merge+=("${R[merge_seconds]}")
    mem_merge_ws+=("${R[merge_added_working_set]}") mem_merge_pf+=("${R[merge_added_pagefile]}")
    same "$data/job/joined.bin" "the merged file"
    clean "$data/job/joined.bin"

    joined="$data/ref/joined.bin"
    start=$(now)
    : >"$joined"
    for name in "${names[@]}"; do
        dd if="$data/job/$name" of="$joined" bs=1M oflag=dsync,append conv=notrunc status=none
    done
    dd_merge+=("$(calc "$(now) - $start" 3)")
    same "$joined" "dd's merged file"
    clean "$joined"

    n_merge+=("$(cd "$data/job" && native merge "$joined" "${names[@]}")")
    same "$joined" "the native loop's merged file"
    clean "$joined"

    # Reference only: the page cache takes these, nothing waits for the disk.
    start=$(now)
    split -b 100M -d -a 5 "$source" "$data/ref/plain_"
    split_s+=("$(calc "$(now) - $start" 3)")
    start=$(now)
    cat "$data"/ref/plain_* >"$joined"
    cat_s+=("$(calc "$(now) - $start" 3)")
    clean "$data"/ref/* "$data"/job/source_*

    say "run $run of $runs: 1 M blocks without the window"
    bench small separate "$(winpath "$source")" "$small"
    k_small+=("${R[small_seconds]}")
    clean "$data"/job/source_*
    n_small+=("$(native separate "$source" "$small" "$data/ref/source")")
    clean "$data"/ref/*

    for mb in 100 1; do
        say "run $run of $runs: the window while it separates and merges, $mb M blocks"
        bench "win$mb" window "$(winpath "$source")" "$(winpath "$data/job/joined.bin")" "$mb"
        same "$data/job/joined.bin" "the file merged through the window"
        clean "$data"/job/source_* "$data/job/joined.bin"
    done
done
load_end=$(load)
bench draw handlers

if [ -n "$scale" ]; then
    say "many blocks through the window: $scale (this takes long)"
    # shellcheck disable=SC2086
    bench many scale "$(winpath "$data")" $scale
fi

# ----------------------------------------------------------------- the table
mbs() { calc "$size / $1 / 1000000" 0; }
kib() { calc "$1 / 1024" 0; }
ratio() { calc "$2 / $1" 2; }
# row LABEL KESTRANE_S REFERENCE_S TARGET: speed, reference speed, ratio, target, met
row() {
    local r
    r=$(ratio "$2" "$3")
    echo "| $1 | $(mbs "$2") MB/s | $(mbs "$3") MB/s | ${r}x | >= $4 | $(met "$r" '>=' "$4") |"
}
ms() { calc "$1"; }

K_sep=$(median "${k_sep[@]}") K_merge=$(median "${k_merge[@]}")
D_sep=$(median "${dd_sep[@]}") D_merge=$(median "${dd_merge[@]}")
N_sep=$(median "${n_sep[@]}") N_merge=$(median "${n_merge[@]}")
K_small=$(median "${k_small[@]}") N_small=$(median "${n_small[@]}")
W_small=$(med win1_separate_seconds)

echo
echo "Kestrane on $(nproc) cores, $(uname -sr), $("$WINELOADER" --version) ($WINEARCH build), Xvfb;"
echo "median of $runs runs; MB = 10^6 bytes; load average at the start $load_start, at the end $load_end"
echo
echo "| 2 GiB of random bytes | Kestrane | reference | ratio | target | |"
echo "|---|---|---|---|---|---|"
row "separate into $big_blocks blocks of 100 M, against dd (every 1 MiB synced)" "$K_sep" "$D_sep" 0.95
row "separate into $big_blocks blocks of 100 M, against the native loop" "$K_sep" "$N_sep" 0.85
row "merge the $big_blocks blocks, against a dd per block (every 1 MiB synced)" "$K_merge" "$D_merge" 0.95
row "merge the $big_blocks blocks, against the native loop" "$K_merge" "$N_merge" 0.85
row "separate into $small_blocks blocks of 1 M through the window, against the native loop" "$W_small" "$N_small" 0.5
echo "| separate into $small_blocks blocks of 1 M without the window, against the native loop | $(mbs "$K_small") MB/s | $(mbs "$N_small") MB/s | $(ratio "$K_small" "$N_small")x | | |"
echo "| for reference: split, cat (no syncing) | | $(mbs "$(median "${split_s[@]}")"), $(mbs "$(median "${cat_s[@]}")") MB/s | | | |"
echo "(Kestrane: from the launch to the job's last chunk, written and flushed. dd: bs=1M oflag=dsync, the"
echo "merge appends each block with oflag=dsync,append conv=notrunc. Native loop: read 1 MiB, write it,"
echo "fsync, a file per block, straight to Linux. Without the window: the job on its worker thread, its"
echo "messages taken by a window that draws nothing.)"
echo
echo "| memory a job adds (peak against idle, largest of $runs runs) | working set | private bytes | target | |"
echo "|---|---|---|---|---|"
mem_row() {
    echo "| $1 | $(kib "$2") KiB | $(kib "$3") KiB | <= 4096 KiB, both | $(met "$(maximum "$2" "$3")" '<=' 4194304) |"
}
mem_row separate "$(maximum "${mem_sep_ws[@]}")" "$(maximum "${mem_sep_pf[@]}")"
mem_row merge "$(maximum "${mem_merge_ws[@]}")" "$(maximum "${mem_merge_pf[@]}")"
echo
echo "| main window, asked every 10 ms | probes | sent WM_NULL p50 / p99 / max | posted message p50 / p99 / max | target: posted p99 | | job speed |"
echo "|---|---|---|---|---|---|---|"
w=win100
echo "| no job | $(calc "$(med ${w}_idle_probes)" 0) | $(ms "$(med ${w}_idle_sent_p50_ms)") / $(ms "$(med ${w}_idle_sent_p99_ms)") / $(ms "$(med ${w}_idle_sent_max_ms)") ms | $(ms "$(med ${w}_idle_posted_p50_ms)") / $(ms "$(med ${w}_idle_posted_p99_ms)") / $(ms "$(med ${w}_idle_posted_max_ms)") ms | | | |"
for mb in 100 1; do
    w="win$mb"
    for job in separate merge; do
        p99=$(med "${w}_${job}_posted_p99_ms")
        echo "| during a 2 GiB $job, $mb M blocks | $(calc "$(med "${w}_${job}_probes")" 0) | $(ms "$(med "${w}_${job}_sent_p50_ms")") / $(ms "$(med "${w}_${job}_sent_p99_ms")") / $(ms "$(med "${w}_${job}_sent_max_ms")") ms | $(ms "$(med "${w}_${job}_posted_p50_ms")") / $(ms "$p99") / $(ms "$(med "${w}_${job}_posted_max_ms")") ms | <= 16 ms | $(met "$p99" '<=' 16) | $(mbs "$(med "${w}_${job}_seconds")") MB/s |"
    done
done
listed=$(med win1_separate_listed_ms)
echo
echo "| the list after a separation into $small_blocks blocks of 1 M | time | target | |"
echo "|---|---|---|---|"
echo "| from the job's hand-over of its last block to the list drawn with every block | $(ms "$listed") ms (runs: $(for v in ${A[win1_separate_listed_ms]}; do printf '%s ' "$(ms "$v")"; done)) | <= 100 ms | $(met "$listed" '<=' 100) |"
echo
echo "(A sent message is answered between two handlers; a posted one, like a click, waits behind every"
echo "message queued before it. What the window's updates cost here when drawn one by one: a progress"
echo "step $(calc "${R[draw_shown_setpos_ms]}" 2) ms, a listed block $(calc "${R[draw_shown_additem_ms]}" 2) ms; with the window hidden $(calc "${R[draw_hidden_setpos_ms]}" 2) ms and"
echo "$(calc "${R[draw_hidden_additem_ms]}" 2) ms. The window draws only the newest of what is queued, and while a job runs at most every 100 ms.)"

if [ -n "$scale" ]; then
    set -- $scale
    first="$1"
    f1="${R[many_scale${first}_fresh_us_per_block]}"
    a1="${R[many_scale${first}_again_us_per_block]}"
    echo
    echo "| 1 K blocks through the window | new files: seconds | per block | against $first | window p99 sent / posted | over the same blocks: seconds | per block | against $first |"
    echo "|---|---|---|---|---|---|---|---|"
    for count in $scale; do
        f="${R[many_scale${count}_fresh_us_per_block]}"
        a="${R[many_scale${count}_again_us_per_block]}"
        echo "| $count | $(calc "${R[many_scale${count}_fresh_seconds]}") | $(calc "$f / 1000" 2) ms | $(calc "$f / $f1" 2)x | $(calc "${R[many_scale${count}_fresh_sent_p99_ms]}") / $(calc "${R[many_scale${count}_fresh_posted_p99_ms]}") ms | $(calc "${R[many_scale${count}_again_seconds]}") | $(calc "$a / 1000" 2) ms | $(calc "$a / $a1" 2)x |"
    done
    echo "(target: 100,000 blocks cost at most 1.2x per block what 10,000 cost. A block is done when the"
    echo "list shows it. New files: Wine reads the whole folder for every name that does not exist yet;"
    echo "over the same blocks every name exists and the blocks are truncated and rewritten.)"
fi
