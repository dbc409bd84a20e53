#!/usr/bin/env bash
# Measures Kestrane on this machine and prints a table:
#   - separating a 2 GiB file of random bytes into 100 M blocks and merging
#     the blocks back, with the real job code on its worker thread, against
#     dd and cat with the same durability (every 1 MiB synced: oflag=dsync,
#     as the jobs flush every 1 MiB chunk) and, for reference only, split
#     and cat without any syncing;
#   - the memory each job adds to its process (peak against idle);
#   - how long the main window takes to answer while a 2 GiB job runs;
#   - what a block costs when a file is cut into 100,000 blocks of 1 K
#     against 10,000, through the main window (the merge list fills).
#
# Usage: tools/bench.sh   (builds the kestrane_bench program first)
#   BENCH_RUNS=n          throughput runs, interleaved, the median counts (3)
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

# The 2 GiB source, its blocks and the references' copies of both.
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

# Runs the bench program; its "RESULT key value" lines land in R[prefix_key].
declare -A R
bench() {
    local prefix="$1" output key value
    shift
    if ! output="$("$build/wine-run" "$bench_exe" "$@")"; then
        say "kestrane_bench $1 failed"
        exit 1
    fi
    while read -r tag key value; do
        [ "$tag" = RESULT ] && R["${prefix}_$key"]="$value"
    done <<<"$output"
}

size=$((2 << 30))
block=$((100 << 20))
blocks=$(((size + block - 1) / block))
source="$data/job/source.bin"
say "writing 2 GiB of random bytes"
head -c "$size" /dev/urandom >"$source"
sync

names=()
for ((i = 0; i < blocks; i++)); do names+=("$(printf 'source_%05d.bin' "$i")"); done

kestrane_sep=() kestrane_merge=() dd_sep=() dd_merge=() split_s=() cat_s=()
mem_sep_ws=() mem_sep_pf=() mem_merge_ws=() mem_merge_pf=()
for ((run = 1; run <= runs; run++)); do
    say "throughput, run $run of $runs"
    rm -f "$data"/job/source_* "$data/job/joined.bin" "$data"/ref/*
    sync

    bench sep separate "$(winpath "$source")" "$block"
    kestrane_sep+=("${R[sep_seconds]}")
    mem_sep_ws+=("${R[sep_added_working_set]}") mem_sep_pf+=("${R[sep_added_pagefile]}")
    sync

    start=$(now)
    for ((i = 0; i < blocks; i++)); do
        dd if="$source" of="$data/ref/${names[i]}" bs=1M skip=$((i * 100)) count=100 \
            oflag=dsync status=none
    done
    dd_sep+=("$(calc "$(now) - $start" 3)")
    sync

    bench merge merge "$(winpath "$data/job")\\" "$(winpath "$data/job/joined.bin")" "${names[@]}"
    kestrane_merge+=("${R[merge_seconds]}")
    mem_merge_ws+=("${R[merge_added_working_set]}") mem_merge_pf+=("${R[merge_added_pagefile]}")
    sync

    # iflag=fullblock: writes of 1 MiB from the pipe, one sync each, as the job.
    start=$(now)
    (cd "$data/ref" && cat "${names[@]}") | dd of="$data/ref/joined.bin" bs=1M iflag=fullblock \
        oflag=dsync status=none
    dd_merge+=("$(calc "$(now) - $start" 3)")
    sync

    cmp -s "$source" "$data/job/joined.bin" || { say "the merged file differs from the source"; exit 1; }
    cmp -s "$source" "$data/ref/joined.bin" || { say "dd's merged file differs from the source"; exit 1; }

    # Reference only: the page cache takes these, nothing waits for the disk.
    start=$(now)
    split -b 100M -d -a 5 "$source" "$data/ref/plain_"
    split_s+=("$(calc "$(now) - $start" 3)")
    start=$(now)
    cat "$data"/ref/plain_* >"$data/ref/plain_joined"
    cat_s+=("$(calc "$(now) - $start" 3)")
    sync
done

say "the window while a 2 GiB job runs"
rm -f "$data"/job/source_* "$data/job/joined.bin" "$data"/ref/*
sync
bench win window "$(winpath "$source")" "$(winpath "$data/job/joined.bin")" 100
cmp -s "$source" "$data/job/joined.bin" || { say "the merged file differs from the source"; exit 1; }
rm -f "$data"/job/* "$data"/ref/*
bench draw handlers

if [ -n "$scale" ]; then
    say "many blocks through the window: $scale (this takes long)"
    # shellcheck disable=SC2086
    bench many scale "$(winpath "$data")" $scale
fi

# ----------------------------------------------------------------- the table
mb() { calc "$size / $1 / 1000000" 0; }
k_sep=$(median "${kestrane_sep[@]}") k_merge=$(median "${kestrane_merge[@]}")
d_sep=$(median "${dd_sep[@]}") d_merge=$(median "${dd_merge[@]}")
p_split=$(median "${split_s[@]}") p_cat=$(median "${cat_s[@]}")
kib() { calc "$1 / 1024" 0; }

echo
echo "Kestrane on $(nproc) cores, $(uname -sr), $("$WINELOADER" --version) ($WINEARCH build); median of $runs runs; MB = 10^6 bytes"
echo
echo "| 2 GiB of random bytes, 100 M blocks | Kestrane | dd, every 1 MiB synced | ratio (target >= 0.9) | split/cat, no sync (reference) |"
echo "|---|---|---|---|---|"
echo "| separate into $blocks blocks | $(mb "$k_sep") MB/s | $(mb "$d_sep") MB/s | $(calc "$d_sep / $k_sep" 2)x | $(mb "$p_split") MB/s |"
echo "| merge the blocks back | $(mb "$k_merge") MB/s | $(mb "$d_merge") MB/s | $(calc "$d_merge / $k_merge" 2)x | $(mb "$p_cat") MB/s |"
echo
echo "| memory a job adds (peak against idle, target <= 4096 KiB) | working set | pagefile (private) |"
echo "|---|---|---|"
echo "| separate | $(kib "$(maximum "${mem_sep_ws[@]}")") KiB | $(kib "$(maximum "${mem_sep_pf[@]}")") KiB |"
echo "| merge | $(kib "$(maximum "${mem_merge_ws[@]}")") KiB | $(kib "$(maximum "${mem_merge_pf[@]}")") KiB |"
echo "(idle before the separation: working set $(kib "${R[sep_idle_working_set]}") KiB, pagefile $(kib "${R[sep_idle_pagefile]}") KiB; largest of $runs runs)"
echo
echo "| main window, asked every 10 ms | probes | sent WM_NULL p50 / p99 / max | posted message p50 / p99 / max | job speed |"
echo "|---|---|---|---|---|"
echo "| no job | ${R[win_idle_probes]%.*} | $(calc "${R[win_idle_sent_p50_ms]}") / $(calc "${R[win_idle_sent_p99_ms]}") / $(calc "${R[win_idle_sent_max_ms]}") ms | $(calc "${R[win_idle_posted_p50_ms]}") / $(calc "${R[win_idle_posted_p99_ms]}") / $(calc "${R[win_idle_posted_max_ms]}") ms | |"
for job in separate merge; do
    echo "| during a 2 GiB $job | ${R[win_${job}_probes]%.*} | $(calc "${R[win_${job}_sent_p50_ms]}") / $(calc "${R[win_${job}_sent_p99_ms]}") / $(calc "${R[win_${job}_sent_max_ms]}") ms | $(calc "${R[win_${job}_posted_p50_ms]}") / $(calc "${R[win_${job}_posted_p99_ms]}") / $(calc "${R[win_${job}_posted_max_ms]}") ms | $(mb "${R[win_${job}_seconds]}") MB/s |"
done
echo "(target: p99 <= 50 ms. A sent message is answered between two handlers; a posted one, like a"
echo "click, waits behind every progress and list message queued before it. What the window's"
echo "updates cost here: one progress step $(calc "${R[draw_shown_setpos_ms]}" 2) ms, one listed block $(calc "${R[draw_shown_additem_ms]}" 2) ms;"
echo "with the window hidden (nothing drawn) $(calc "${R[draw_hidden_setpos_ms]}" 2) ms and $(calc "${R[draw_hidden_additem_ms]}" 2) ms.)"

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
