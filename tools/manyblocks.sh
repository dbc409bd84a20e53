#!/usr/bin/env bash
# Lays out (setup) or removes (cleanup) the 100,001-block case's folder with its
# block names, empty: Wine reads the whole folder to look up a new name, so
# creating 100,000 new files takes an hour; rewriting them tests the rest. It is
# in memory (/dev/shm) where there is room: 200,000 flushes to disk take minutes.
set -eu
dir="$2/manyblocks"
rm -rf "$(readlink -f "$dir")" "$dir"
[ "$1" = setup ] || exit 0
if [ "$(df -P -k /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')" -gt 2000000 ] 2>/dev/null; then
    ln -s "$(mktemp -d /dev/shm/kestrane-manyblocks.XXXXXX)" "$dir"
else
    mkdir -p "$dir"
fi
cd "$dir"
seq -f "many_%05g.dat" 0 100000 | xargs touch
