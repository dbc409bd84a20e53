#!/usr/bin/env bash
# Lays out (setup) or removes (cleanup) the directory of the 100,001-block
# case: its block names exist beforehand, empty. Wine looks a name that does
# not exist yet up by reading the whole directory, so creating 100,000 new
# files in one directory takes about an hour there; rewriting existing ones
# takes a minute and exercises everything else.
set -eu
action="$1"
dir="$2/manyblocks"
rm -rf "$dir"
if [ "$action" = setup ]; then
    mkdir -p "$dir"
    cd "$dir"
    seq -f "many_%05g.dat" 0 100000 | xargs touch
fi
