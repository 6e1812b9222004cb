#!/bin/bash
# Runs the volume faults of e2e_hostile_faults: a small volume that fills up
# and a read-only one, each a tmpfs mapped to a Wine drive letter (R: and
# S:). Needs root to mount; without it the tests are skipped, not failed.
# Usage: hostile_volumes.sh <e2e_hostile_faults.exe>
set -u
exe="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "$(dirname "$exe")" && pwd)"
prefix="$build/wineprefix"
root=$(mktemp -d /tmp/zt-volumes.XXXXXX)
mkdir -p "$root/full" "$root/ro"

cleanup() {
    rm -f "$prefix/dosdevices/r:" "$prefix/dosdevices/s:"
    umount "$root/full" 2>/dev/null
    umount "$root/ro" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT

if ! mount -t tmpfs -o size=256k tmpfs "$root/full" 2>/dev/null ||
   ! mount -t tmpfs -o size=1m tmpfs "$root/ro" 2>/dev/null; then
    echo "cannot mount a tmpfs here: the volume faults are not run"
    exit 0
fi
# The user's INI is there before the volume turns read-only.
mkdir "$root/ro/zeltra"
printf '[MySites]\r\nFILENAME=mine.ini\r\n[Work]\r\nHOST=ftp.work.example\r\n' >"$root/ro/zeltra/zeltra.ini"
mount -o remount,ro "$root/ro" || { echo "cannot make the volume read-only"; exit 1; }

mkdir -p "$prefix/dosdevices"
ln -sfn "$root/full" "$prefix/dosdevices/r:"
ln -sfn "$root/ro" "$prefix/dosdevices/s:"

ZT_FULL_DRIVE=R: ZT_READONLY_DRIVE=S: \
    bash "$here/cmake/wine-run.sh" "$exe" --gtest_filter='Faults.Destination*'
