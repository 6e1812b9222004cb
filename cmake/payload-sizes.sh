#!/bin/bash
# Writes the payload's sizes: raw, packed by our packer, packed by
# mscompress, and the sizes of the setup program and the uninstaller.
# usage: payload-sizes.sh MANIFEST SETUP-EXE UNINSTALLER-EXE OUT
manifest=$1; setup=$2; uninstaller=$3; out=$4
work=$(mktemp -d)
# mscompress takes about a minute for 100 MB: its sizes are kept beside the
# output, one line per file (path, size, modification time, packed size), and
# reused while the file is unchanged, so that relinking setup.exe stays quick.
cache=$out.mscompress
touch "$cache"
raw=0; ours=0; ref=0; plain=0
while read -r res mode stored source; do
    if [ "$mode" != szdd ]; then
        plain=$((plain + $(stat -c %s "$stored")))
        continue
    fi
    raw=$((raw + $(stat -c %s "$source")))
    ours=$((ours + $(stat -c %s "$stored")))
    key="$source $(stat -c '%s %Y' "$source")"
    packed=$(awk -v k="$key" 'substr($0, 1, length(k) + 1) == k " " { v = $NF } END { print v }' "$cache")
    if [ -z "$packed" ]; then
        cp "$source" "$work/f"
        rm -f "$work/f_"
        mscompress "$work/f" >/dev/null 2>&1
        packed=$(stat -c %s "$work/f_")
        echo "$key $packed" >>"$cache"
    fi
    ref=$((ref + packed))
done <"$manifest"
rm -rf "$work"
{
    echo "raw size of the packed files:    $raw"
    echo "packed by the project's packer:  $ours"
    echo "packed by mscompress:            $ref"
    awk -v a="$ours" -v b="$ref" 'BEGIN { printf "saving against mscompress:       %.2f%%\n", 100 * (b - a) / b }'
    echo "plain resources (INI template):  $plain"
    size=$(stat -c %s "$setup")
    echo "setup.exe:                       $size"
    echo "setup.exe less its payload:      $((size - ours - plain))"
    echo "zlrem32.exe (the uninstaller):   $(stat -c %s "$uninstaller")"
} >"$out"
cat "$out"
