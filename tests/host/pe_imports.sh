#!/bin/bash
# Checks that setup.exe can be loaded by every Windows it is for. Fails on an
# imported DLL other than the four system ones (lz32, comdlg32 and the rest
# are loaded at run time by their full system path), on an imported name not
# in allowed-imports.txt (names both Windows 95 and NT 3.51 export), and on
# debug sections. For a 32-bit image also on a subsystem or OS version above
# 3.10 (NT 3.51 and Win32s refuse one) and on missing relocations (Win32s
# chooses where a program is loaded).
# usage: pe_imports.sh OBJDUMP ALLOWED-LIST EXE...
set -u
objdump=$1; allowed_list=$2; shift 2
allowed=$(grep -v '^#' "$allowed_list" | awk 'NF >= 2 { print $1 " " $2 }' | sort -u)
fail=0
report() { echo "FAIL $exe: $*"; fail=1; }
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
    echo "$exe: $(echo $dlls), $(wc -l <<<"$imports") names"
done
exit $fail
