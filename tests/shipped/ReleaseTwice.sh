#!/usr/bin/env bash
# ReleaseTwice.sh REPO WORK: tools/release.sh run in two clones of REPO's HEAD
# (commit first), at paths of different lengths, one after the other and in
# time zones a day apart, gives the same bytes in dist/: both zips and
# SHA256SUMS, which holds for them. Each zip passes the shipped check, with
# neither clone's path in its exe; the zips' files are left in WORK/win32 and
# WORK/win64 for the case that starts one.
set -uo pipefail
export LC_ALL=C
repo="$1" work="$2"
fail() { echo "FAILED: $*"; exit 1; }
rm -rf "$work"
a="$work/a/kestrane" b="$work/b/in/a/deeper/folder/kestrane"
for clone in "$a:Pacific/Kiritimati" "$b:America/Adak"; do
    dir="${clone%%:*}" zone="${clone#*:}"
    git clone -q "$repo" "$dir" || fail "could not clone $repo"
    (cd "$dir" && TZ="$zone" bash tools/release.sh) >"$dir.log" 2>&1 ||
        fail "tools/release.sh in $dir (TZ=$zone): $(grep -E '^(FAILED|error)' "$dir.log" || tail -3 "$dir.log")"
done
name="kestrane-$(cat "$a/VERSION")"
zips="$name-win32.zip $name-win64.zip"
[ "$(cd "$a/dist" && echo *)" = "SHA256SUMS $zips" ] || fail "$a/dist holds $(cd "$a/dist" && echo *)"
for file in $zips SHA256SUMS; do
    cmp "$a/dist/$file" "$b/dist/$file" || fail "$file differs between the two clones"
done
(cd "$a/dist" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not hold for the zips"
/usr/bin/python3 "$a/tests/shipped/ShippedResources.py" --build-dir "$work" \
    i386="$a/dist/$name-win32.zip" amd64="$a/dist/$name-win64.zip" || exit 1
for bits in win32 win64; do /usr/bin/python3 -m zipfile -e "$a/dist/$name-$bits.zip" "$work/$bits"; done
