#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kestrane
# need, where they are missing; asks nothing; needs root (or sudo).
#   tools/setup.sh [x86|x64]    (default: what tools/arch.sh chooses)
# Both programs are built everywhere (the release ships both). x86 adds 32-bit
# Wine (and the i386 architecture) to run the 32-bit one; x64 64-bit Wine.
# Exits 3 when the x86 packages can't be installed although the rest could be
# (a mirror whose i386 lists are out of step with the installed amd64
# libraries): the caller may then run the x86-64 build instead.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
arch="${1:-$(bash "$here/arch.sh")}"

# python3 runs the benchmark's native reference loop (tools/bench.sh) and makes the
# release's zips; with pefile it reads the shipped exes back (tests/shipped).
packages=(g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
          xvfb xauth x11-utils imagemagick cmake googletest fonts-liberation2 fonts-wine
          python3 python3-pefile)
case "$arch" in
    x86) packages+=(wine wine32:i386 wine64) ;;
    x64) packages+=(wine64) ;;
    *) echo "tools/setup.sh: unknown architecture '$arch'" >&2; exit 1 ;;
esac

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
if [ "$arch" = x86 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
# A list that fails to download (a mirror in the middle of a sync) leaves the
# older one in use: the install below says whether what we need is there.
$sudo apt-get update -qq || echo "warning: some package lists could not be refreshed" >&2
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    { [ "$arch" != x86 ] || exit 3; exit 1; }
