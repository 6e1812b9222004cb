#!/bin/bash
# The build option that carries an install.ini: payloadrc embeds it as the
# plain resource INSTINI with a size/CRC-32 record like every other payload
# resource (the program trusts none without one).
# usage: instini_check.sh PAYLOADRC PRODUCT-DIR WORK-DIR
set -u
tool=$1; product=$2; work=$3
rm -rf "$work"; mkdir -p "$work/out" "$work/none"
printf '[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n' >"$work/install.ini"
fail=0
"$tool" "$product" - "$work/out" "$work/install.ini" >/dev/null || { echo "FAIL payloadrc with the file"; exit 1; }
grep -qxF "INSTINI EXE \"$work/out/Install.ini\"" "$work/out/payload.rc" || { echo "FAIL no INSTINI in payload.rc"; fail=1; }
cmp -s "$work/install.ini" "$work/out/Install.ini" || { echo "FAIL the carried file differs"; fail=1; }
# The record: the name NUL-padded to 16 bytes, then size and CRC-32, both
# little-endian. gzip's trailer holds the same CRC-32 and size.
gzip -c "$work/install.ini" | tail -c 8 >"$work/trailer"
{ printf 'INSTINI'; head -c 9 /dev/zero; tail -c 4 "$work/trailer"; head -c 4 "$work/trailer"; } >"$work/record"
tail -c 24 "$work/out/payload_sums.bin" | cmp -s - "$work/record" || { echo "FAIL no INSTINI record"; fail=1; }
# Without the option nothing is carried.
"$tool" "$product" - "$work/none" >/dev/null || { echo "FAIL payloadrc without the file"; exit 1; }
if grep -q INSTINI "$work/none/payload.rc" "$work/none/payload_sums.bin"; then echo "FAIL INSTINI carried unasked"; fail=1; fi
[ $fail = 0 ] && echo "ok   INSTINI carried with its record"
exit $fail
