#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kestrane
# need, where they are missing. Idempotent; asks nothing. Needs root (or sudo).
set -euo pipefail

packages=(g++-mingw-w64-i686 mingw-w64-i686-dev wine wine32:i386 wine64 xvfb xauth x11-utils
          imagemagick cmake googletest)

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
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
