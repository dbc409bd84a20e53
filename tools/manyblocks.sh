#!/usr/bin/env bash
# Lays out (setup) or removes (cleanup) the folder of the 100,001-block case,
# its block names there beforehand, empty: Wine looks a name that does not
# exist yet up by reading the whole folder, so creating 100,000 new files in
# one takes about an hour; rewriting existing ones exercises the rest. The
# folder lives in memory (/dev/shm) where there is room: the case is about
# names and counts, and 200,000 flushes to a disk would take two minutes.
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
