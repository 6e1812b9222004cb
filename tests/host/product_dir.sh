#!/bin/bash
# A real product folder that lacks carried files must stop the build naming
# every one of them; a name differing only in case is taken and reported,
# files the payload does not carry are listed as left out.
# usage: product_dir.sh PAYLOADRC STANDIN-DIR WORK-DIR
set -u
payloadrc=$1; standin=$2; work=$3
rm -rf "$work"; mkdir -p "$work/product" "$work/out"
cp "$standin"/* "$work/product/"
rm -f "$work/product/documents.stamp"
fail=0
expect() {   # what the output must say
    grep -qF -- "$1" "$work/log" || { echo "FAIL no '$1' in:"; cat "$work/log"; fail=1; }
}

rm "$work/product/zlfind.hlp" "$work/product/zlerr.wav"
mv "$work/product/zlclient.exe" "$work/product/ZLCLIENT.EXE"
touch "$work/product/readme.1st"
if "$payloadrc" "$standin" "$work/product" "$work/out" >"$work/log" 2>&1; then
    echo "FAIL a folder without zlfind.hlp and zlerr.wav was packed"; fail=1
fi
expect "  zlfind.hlp"
expect "  zlerr.wav"
expect "ZLCLIENT.EXE stands for zlclient.exe"
expect "left out (the payload does not carry it): readme.1st"

cp "$standin/zlfind.hlp" "$standin/zlerr.wav" "$work/product/"
"$payloadrc" "$standin" "$work/product" "$work/out" >"$work/log" 2>&1 \
    || { cat "$work/log"; echo "FAIL a whole folder was refused"; fail=1; }
grep -q " $work/product/ZLCLIENT.EXE\$" "$work/out/manifest.txt" \
    || { echo "FAIL ZLCLIENT.EXE was not packed"; fail=1; }
[ $fail -eq 0 ] && rm -rf "$work"
exit $fail
