#!/bin/bash
# Fails when a program imports a DLL outside the allowed list: DLLs that are
# not always taken from the system folder (lz32, comdlg32, ...) must be
# loaded at run time by their full system path, never through an import
# that a DLL planted beside the program could satisfy.
# usage: pe_imports.sh OBJDUMP EXE...
set -u
objdump=$1; shift
allowed='^(kernel32|user32|gdi32|advapi32|msvcrt|api-ms-win-crt-[a-z0-9-]+)\.dll$'
fail=0
for exe in "$@"; do
    if [ ! -f "$exe" ]; then echo "FAIL $exe: missing"; fail=1; continue; fi
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
    if [ -z "$dlls" ]; then echo "FAIL $exe: no import table read"; fail=1; continue; fi
    for dll in $dlls; do
        if [[ ! "$dll" =~ $allowed ]]; then echo "FAIL $exe imports $dll"; fail=1; fi
    done
    echo "$exe: $(echo $dlls)"
done
exit $fail
