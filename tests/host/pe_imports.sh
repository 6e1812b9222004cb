#!/bin/bash
# Checks that setup.exe can be loaded by every Windows it is for. Fails on an
# imported DLL other than the four system ones (lz32, comdlg32 and the rest
# are loaded at run time by their full system path), on an imported name not
# in allowed-imports.txt (names both Windows 95 and NT 3.51 export), and on
# debug sections. For a 32-bit image also on a subsystem or OS version above
# 3.10 (NT 3.51 and Win32s refuse one) and on missing relocations (Win32s
# chooses where a program is loaded). For every image also on a section whose
# raw size is not a multiple of the file alignment, and on a PE checksum
# other than the one computed from the file.
# usage: pe_imports.sh OBJDUMP ALLOWED-LIST EXE...
set -u
objdump=$1; allowed_list=$2; shift 2
allowed=$(grep -v '^#' "$allowed_list" | awk 'NF >= 2 { print $1 " " $2 }' | sort -u)
fail=0
report() { echo "FAIL $exe: $*"; fail=1; }
at() { od -An -v -tu"$2" -j "$1" -N "$2" "$exe" | tr -d ' '; }   # OFFSET BYTES
pe_format() {
    local pe opt table align stored sum i raw
    pe=$(at 60 4); opt=$((pe + 24)); table=$((opt + $(at $((pe + 20)) 2)))
    align=$(at $((opt + 36)) 4); stored=$(at $((opt + 64)) 4)
    for ((i = 0; i < $(at $((pe + 6)) 2); i++)); do
        raw=$(at $((table + 40 * i + 16)) 4)
        (( raw % align == 0 )) || report "section $(dd if="$exe" bs=1 skip=$((table + 40 * i)) count=8 \
            2>/dev/null | tr -d '\0') has raw size $raw, not a multiple of the file alignment $align"
    done
    # The 16-bit words summed with their carries folded in, the checksum
    # field left out, plus the file's length.
    sum=$(od -An -v -tu2 "$exe" | awk -v field=$(((opt + 64) / 2)) '
        { for (i = 1; i <= NF; i++) { if (n != field && n != field + 1) s += $i; n++ } }
        END { while (s > 65535) s = s % 65536 + int(s / 65536); printf "%d", s }')
    (( stored == sum + $(stat -c %s "$exe") )) || report "PE checksum $stored, computed $((sum + $(stat -c %s "$exe")))"
}
for exe in "$@"; do
    if [ ! -f "$exe" ]; then echo "FAIL $exe: missing"; fail=1; continue; fi
    headers=$("$objdump" -p "$exe")
    # "dll Name" for each imported name.
    imports=$(awk '/DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); next }
                   dll && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll " " $3 }' <<<"$headers" | sort -u)
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | tr -d '\r')
    if [ -z "$dlls" ]; then report "no import table read"; continue; fi
    for dll in $dlls; do
        [[ "$dll" =~ ^(kernel32|user32|gdi32|advapi32)\.dll$ ]] || report "imports $dll"
    done
    while read -r name; do
        [ -n "$name" ] && report "imports $name, which is not on the allowed list"
    done < <(comm -23 <(echo "$imports") <(echo "$allowed"))
    sections=$("$objdump" -h "$exe" | awk '$1 ~ /^[0-9]+$/ { print $2 }')
    grep -q '^\.debug' <<<"$sections" && report "carries debug sections"
    if grep -q 'file format pei-i386' <<<"$headers"; then
        for field in MajorSubsystemVersion MajorOSystemVersion; do
            minor=${field/Major/Minor}
            major_v=$(awk -v f="$field" '$1 == f { print $2 }' <<<"$headers")
            minor_v=$(awk -v f="$minor" '$1 == f { print $2 }' <<<"$headers")
            if [ -z "$major_v" ] || (( major_v * 100 + minor_v > 310 )); then
                report "$field.$minor is $major_v.$minor_v, above 3.10"
            fi
        done
        grep -q '^\.reloc$' <<<"$sections" || report "has no relocations"
    fi
    pe_format
    echo "$exe: $(echo $dlls), $(wc -l <<<"$imports") names"
done
exit $fail
