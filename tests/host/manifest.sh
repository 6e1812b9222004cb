#!/bin/bash
# Checks each image's manifest: one resource of type 24, well-formed XML, no
# namespace declared twice (Windows XP SP2 and Server 2003 can stop at that),
# requireAdministrator, the supportedOS ids of Vista, 7, 8, 8.1 and 10/11, no
# Common Controls 6. And the resource directory as loaders search it: in each
# table names first, then ascending ids; every resource's data inside .rsrc.
# usage: manifest.sh OBJDUMP EXE...
set -u
objdump=$1; shift
fail=0
report() { echo "FAIL $exe: $*"; fail=1; }
for exe in "$@"; do
    read -r rva size < <("$objdump" -p "$exe" | awk '/Resource Directory \[/ { print "0x" $3, "0x" $4 }')
    [ -n "${rva:-}" ] || { report "no resource directory"; continue; }
    # Depth: the indentation after the offset column.
    found=$("$objdump" -p "$exe" | sed -n '/^The .rsrc Resource Directory/,$p' | awk -v lo=$((rva)) -v hi=$((rva + size)) '
        function hex(s,   v, i, c) { for (i = 3; (c = index("0123456789abcdef", substr(s, i, 1))) > 0; i++) v = v * 16 + c - 1; return v }
        { match($0, /^[0-9a-f]+ +/); d = RLENGTH }
        /Table:/ { last[d + 1] = "" }
        /Entry: name:/ { n = $0; sub(/.*\]: /, "", n); sub(/, Value:.*/, "", n); n = toupper(n)
            if (last[d] ~ /^#/ || (last[d] != "" && n "" <= last[d] "")) print "bad names out of order at " n; last[d] = n }
        /Entry: ID:/ { id = hex($4); if (last[d] ~ /^#/ && id <= substr(last[d], 2) + 0) print "bad ids out of order at " $4
            last[d] = "#" id; if (d == 6) { inside = id == 24; types += inside } }
        /Leaf:/ { if (hex($4) < lo || hex($4) + hex($6) > hi) print "bad data outside .rsrc at " $4
            if (inside) { leaves++; print hex($4), hex($6) } }
        END { if (types != 1 || leaves != 1) print "bad: " types + 0 " manifest types, " leaves + 0 " manifests" }')
    if grep -q '^bad' <<<"$found"; then sed -n "s|^bad:* |FAIL $exe: |p" <<<"$found"; fail=1; continue; fi
    read -r at bytes <<<"$found"
    off=$((at - rva + 0x$("$objdump" -h "$exe" | awk '$2 == ".rsrc" { print $6 }')))
    text=$(tail -c +$((off + 1)) "$exe" | head -c "$bytes" | tr '\r\n' '  ')
    xmllint --noout - <<<"$text" || report "the manifest is not well-formed XML"
    [ -z "$(grep -o 'xmlns[:A-Za-z0-9_]*="[^"]*"' <<<"$text" | sed 's/.*=//' | sort | uniq -d)" ] &&
        ! grep -q '<[^>]*xmlns[^>]*xmlns' <<<"$text" || report "a namespace is declared twice"
    grep -q 'requestedExecutionLevel level="requireAdministrator"' <<<"$text" || report "no requireAdministrator"
    for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
              1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        grep -qi "supportedOS Id=\"{$os}\"" <<<"$text" || report "no supportedOS $os"
    done
    ! grep -qi 'Common-Controls' <<<"$text" || report "depends on the Common Controls"
    echo "$exe: one manifest, $bytes bytes"
done
exit $fail
