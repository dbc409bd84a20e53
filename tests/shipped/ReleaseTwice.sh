#!/usr/bin/env bash
# ReleaseTwice.sh REPO WORK: tools/release.sh run in two clones of REPO's HEAD
# (commit first), at paths of different lengths, one after the other and in
# time zones a day apart, gives the same bytes in dist/: exactly both zips and
# SHA256SUMS, which holds for them. Each zip holds kestrane.exe, README.txt and
# LICENSE.txt in that order, the texts with Windows line ends; its exe passes
# the shipped check, with neither clone's path in it. The exes are left in
# WORK/win32 and WORK/win64 for the case that starts one.
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
version="$(cat "$a/VERSION")"
zips="kestrane-$version-win32.zip kestrane-$version-win64.zip"
[ "$(cd "$a/dist" && echo *)" = "SHA256SUMS $zips" ] || fail "$a/dist holds $(cd "$a/dist" && echo *), not SHA256SUMS $zips"
for file in $zips SHA256SUMS; do
    cmp "$a/dist/$file" "$b/dist/$file" || fail "$file differs between the two clones"
done
(cd "$a/dist" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not hold for the zips"
/usr/bin/python3 - "$a/dist" "$version" "$work" <<'PY' || exit 1
import sys, zipfile
dist, version, work = sys.argv[1:]
failed = False
for name in ("win32", "win64"):
    with zipfile.ZipFile("%s/kestrane-%s-%s.zip" % (dist, version, name)) as archive:
        names = archive.namelist()
        if names != ["kestrane.exe", "README.txt", "LICENSE.txt"]:
            print("FAILED: the %s zip holds %s" % (name, names))
            failed = True
        for text in ("README.txt", "LICENSE.txt"):
            data = archive.read(text) if text in names else b""
            if not data or data.count(b"\n") != data.count(b"\r\n"):
                print("FAILED: %s in the %s zip has lines not ended by CR LF" % (text, name))
                failed = True
        archive.extract("kestrane.exe", "%s/%s" % (work, name))
sys.exit(failed)
PY
/usr/bin/python3 "$a/tests/shipped/ShippedResources.py" --build-dir "$work" \
    i386="$work/win32/kestrane.exe" amd64="$work/win64/kestrane.exe"
