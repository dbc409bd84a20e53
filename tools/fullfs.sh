#!/usr/bin/env bash
# Mounts (setup) or removes (cleanup) a 3 MiB filesystem mapped to drive Q:
# of the build's Wine prefix, for the disk-full tests. Where it can't be
# mounted (no root, no tmpfs) it says so; the tests then skip.
set -u
mnt="$2/fullfs" drive="$2/wineprefix/dosdevices/q:"
if [ "$1" = setup ]; then
    mkdir -p "$mnt" "$2/wineprefix/dosdevices"
    if ! mountpoint -q "$mnt" && ! mount -t tmpfs -o size=3m kestrane-fullfs "$mnt" 2>/dev/null; then
        echo "fullfs: cannot mount a small filesystem here; the disk-full tests will skip"
        exit 0
    fi
    touch "$mnt/.kestrane-fullfs"
    ln -sfn "$mnt" "$drive"
    echo "fullfs: 3 MiB filesystem at $mnt is drive Q:"
else
    rm -f "$drive"
    ! mountpoint -q "$mnt" || umount "$mnt" || true
fi
exit 0
