#!/bin/bash
# Builds the product twice from the same sources, in two folders of different
# depth (the second from a copy of the sources), at different times and in
# different time zones, and fails unless both setup.exe are byte-identical
# and carry the date given as SOURCE_DATE_EPOCH.
# usage: reproducible.sh SOURCE-DIR WORK-DIR
set -u
src=$1; work=$2
epoch=1765000000
rm -rf "$work"
mkdir -p "$work/one" "$work/second/tree/src"
# The copy leaves out build trees and version control, like an unpacked release.
tar -C "$src" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/second/tree/src" -xf -

build() {   # sources build-dir time-zone
    local log="$2.log"
    ( cd "$1" && TZ=$3 SOURCE_DATE_EPOCH=$epoch cmake --preset mingw -B "$2" -DZL_BUILD_TESTS=OFF \
        && TZ=$3 cmake --build "$2" -j2 --target setup ) >"$log" 2>&1 \
        || { tail -n 40 "$log"; echo "FAIL build in $2"; return 1; }
}
build "$src" "$work/one/build" UTC || exit 1
sleep 2
build "$work/second/tree/src" "$work/second/tree/build-elsewhere" Asia/Tokyo || exit 1

a="$work/one/build/setup.exe"; b="$work/second/tree/build-elsewhere/setup.exe"
sha256sum "$a" "$b"
objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$work/one/build/CMakeCache.txt")
expected=$(LC_ALL=C TZ=UTC date -d "@$epoch" '+%a %b %e %H:%M:%S %Y')
fail=0
if ! cmp -s "$a" "$b"; then
    echo "FAIL the two builds differ in $(cmp -l "$a" "$b" | wc -l) bytes; first:"
    cmp -l "$a" "$b" | head -n 8
    fail=1
fi
# objdump prints the stamp in the local time zone.
stamp_utc=$(TZ=UTC "$objdump" -p "$a" | sed -n 's/^Time\/Date[[:space:]]*//p')
if [ "$stamp_utc" != "$expected" ]; then
    echo "FAIL PE time stamp '$stamp_utc', expected '$expected' (SOURCE_DATE_EPOCH=$epoch)"
    fail=1
fi
if grep -a -q -e "$src" -e "$work" "$a"; then
    echo "FAIL a build or source folder is named inside setup.exe"
    fail=1
fi
[ $fail -eq 0 ] && rm -rf "$work"
exit $fail
