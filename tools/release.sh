#!/usr/bin/env bash
# Makes the release from the committed tree (installs what is missing):
#   dist/kestrane-<version>-win32.zip   the 32-bit program that ships
#   dist/kestrane-<version>-win64.zip   the x86-64 build of the same source
#   dist/SHA256SUMS                     both zips, in sha256sum's format
# Each zip holds kestrane.exe, README.txt and LICENSE.txt (Windows line ends),
# the licence followed by the notices of what the exe links in.
# Two clones of one commit give the same bytes wherever and whenever they
# are built: the builds run in build/release from the commit's files, and the
# zips take the commit's time.
set -euo pipefail
# shellcheck source=tools/run-common.sh
. "$(dirname "$0")/run-common.sh"
cd "$REPO"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    die "tracked files have uncommitted changes; the release is built from the committed tree: commit or stash them"
# The x86-64 lane's packages are what the release needs: both compilers and
# Python with pefile (no 32-bit Wine).
bash "$REPO/tools/setup.sh" x64 || die "tools/setup.sh failed"

version="$(cat VERSION)"
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
work="$REPO/build/release"
rm -rf "$work" dist
mkdir -p "$work/src" dist
git archive HEAD | tar -x -C "$work/src"
for arch in i686 x86_64; do
    cmake -S "$work/src" -B "$work/$arch" -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-$arch.cmake" \
          -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null || die "configuring the $arch build failed"
    cmake --build "$work/$arch" -j2 --target kestrane >/dev/null || die "building for $arch failed"
done
# What the linker took from outside the build (the map's archives and start-
# up files) must be named in docs/NOTICES.txt, whose notices the zips' licence
# carries: a library newly linked in brings notices of its own.
covered="$(sed -n 's/^Linked in from: //p' "$work/src/docs/NOTICES.txt" | tr ' ' '\n')"
for arch in i686 x86_64; do
    linked="$(awk '/^Archive member included/, /^Discarded input sections/ { if (sub(/\(.*/, "")) print }
                   /^LOAD .*\.o$/ { print $2 }' "$work/$arch/kestrane.map" | grep '^/' | grep -v "^$work/" |
              sed 's|.*/||' | sort -u)"
    [ -n "$linked" ] || die "no library in the $arch build's linker map"
    uncovered="$(grep -vxF -e "$covered" <<<"$linked" || true)"
    [ -z "$uncovered" ] || die "the $arch exe links in ${uncovered//$'\n'/ }, which docs/NOTICES.txt does not cover: add their notices"
done
/usr/bin/python3 "$work/src/tests/shipped/ShippedResources.py" --build-dir "$REPO" \
    i386="$work/i686/kestrane.exe" amd64="$work/x86_64/kestrane.exe" >&2 || die "the exes failed the check above"

# Entries in a fixed order, with fixed permissions and the commit's time in
# UTC (a zip's times have no zone).
/usr/bin/python3 - "$version" "$SOURCE_DATE_EPOCH" "$work" <<'EOF'
import sys, time, zipfile
version, epoch, work = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def text(path):
    data = open(path, "rb").read().replace(b"@VERSION@", version.encode())
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
readme = text(work + "/src/docs/README.txt")
licence = text(work + "/src/LICENSE") + b"\r\n\r\n" + text(work + "/src/docs/NOTICES.txt")
for arch, name in (("i686", "win32"), ("x86_64", "win64")):
    with zipfile.ZipFile("dist/kestrane-%s-%s.zip" % (version, name), "w") as archive:
        for entry, data in (("kestrane.exe", open(work + "/" + arch + "/kestrane.exe", "rb").read()),
                            ("README.txt", readme), ("LICENSE.txt", licence)):
            info = zipfile.ZipInfo(entry, time.gmtime(epoch)[:6])
            info.create_system, info.external_attr = 3, 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
EOF
(cd dist && sha256sum -- *.zip >SHA256SUMS)
say "dist/ for $(git rev-parse --short HEAD), version $version:"
(cd dist && ls -l -- *.zip && cat SHA256SUMS) >&2
