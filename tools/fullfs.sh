#!/usr/bin/env bash
# Mounts (setup) or removes (cleanup) a 3 MiB filesystem mapped to drive Q:
# of the build's Wine prefix, for the disk-full tests. Where it can't be
# mounted (no root, no tmpfs) it says so; the tests then skip.
set -u
action="$1"
build="$2"
mnt="$build/fullfs"
drive="$build/wineprefix/dosdevices/q:"

case "$action" in
setup)
    mkdir -p "$mnt" "$build/wineprefix/dosdevices"
    if ! mountpoint -q "$mnt"; then
        if ! mount -t tmpfs -o size=3m kestrane-fullfs "$mnt" 2>/dev/null; then
            echo "fullfs: cannot mount a small filesystem here; the disk-full tests will skip"
            exit 0
        fi
    fi
    touch "$mnt/.kestrane-fullfs"
    ln -sfn "$mnt" "$drive"
    echo "fullfs: 3 MiB filesystem at $mnt is drive Q:"
    ;;
cleanup)
    rm -f "$drive"
    if mountpoint -q "$mnt"; then
        umount "$mnt" || true
    fi
    ;;
esac
exit 0
