#!/bin/bash
# Checks the packer against the reference tools: every packed case expands
# byte-exactly with msexpand and is no larger than mscompress's output.
# usage: szdd_check.sh SZDD-TOOL WORK-DIR [PACKED-PAYLOAD-MANIFEST]
set -u
tool=$1; work=$2; manifest=${3:-}
rm -rf "$work"; mkdir -p "$work"
"$tool" --cases "$work" || { echo "packer failed"; exit 1; }
fail=0
ours_total=0; ref_total=0
check() {   # raw packed label
    local raw=$1 packed=$2 label=$3
    cp "$packed" "$work/x.pk"
    rm -f "$work/x.out"
    msexpand <"$work/x.pk" >"$work/x.out" 2>"$work/x.err"
    if ! cmp -s "$raw" "$work/x.out"; then
        echo "FAIL $label: msexpand output differs"; fail=1
    fi
    cp "$raw" "$work/ref"
    rm -f "$work/ref_"
    mscompress "$work/ref" >/dev/null 2>&1
    local ours ref
    ours=$(stat -c %s "$packed"); ref=$(stat -c %s "$work/ref_")
    ours_total=$((ours_total + ours)); ref_total=$((ref_total + ref))
    if [ "$ours" -gt "$ref" ]; then
        echo "FAIL $label: $ours bytes, mscompress $ref"; fail=1
    else
        echo "ok   $label: $(stat -c %s "$raw") -> $ours (mscompress $ref)"
    fi
}
for raw in "$work"/*.raw; do
    check "$raw" "${raw%.raw}.szdd" "$(basename "$raw" .raw)"
done
# The payload itself: lines "resource packed-path raw-path".
if [ -n "$manifest" ]; then
    ours_total=0; ref_total=0
    while read -r res mode packed raw; do
        [ "$mode" = szdd ] || continue
        check "$raw" "$packed" "$res"
    done <"$manifest"
    # The whole payload: at least 3% smaller than mscompress makes it.
    echo "payload: $ours_total bytes, mscompress $ref_total"
    if [ $((ours_total * 100)) -gt $((ref_total * 97)) ]; then
        echo "FAIL payload saves less than 3% against mscompress"; fail=1
    fi
fi
exit $fail
