#!/bin/bash
# Checks each image's manifest: exactly one resource of type 24, well-formed
# XML, no namespace declared twice (Windows XP SP2 and Server 2003 can stop
# at that), requireAdministrator, the supportedOS ids of Vista, 7, 8, 8.1 and
# 10/11, and no Common Controls 6. And the resource directory as the loaders
# search it: in every table the names first, then ascending ids, and every
# resource's data inside .rsrc.
# usage: manifest.sh OBJDUMP EXE...
set -u
objdump=$1; shift
fail=0
report() { echo "FAIL $exe: $*"; fail=1; }
for exe in "$@"; do
    read -r rva size < <("$objdump" -p "$exe" | awk '/Resource Directory \[/ { print "0x" $3, "0x" $4 }')
    tree=$("$objdump" -p "$exe" | sed -n '/^The .rsrc Resource Directory section:/,/String table starts/p')
    [ -n "${rva:-}" ] && [ -n "$tree" ] || { report "no resource directory read"; continue; }
    # Depth is the indentation after the offset column; a table starts its
    # entries afresh one level deeper.
    problems=$(awk -v lo=$((rva)) -v hi=$((rva + size)) '
        function hex(s,   v, i, c) { sub(/^0x/, "", s); v = 0
            for (i = 1; (c = index("0123456789abcdef", substr(s, i, 1))) > 0; i++) v = v * 16 + c - 1
            return v }
        { match($0, /^[0-9a-f]+ +/); depth = RLENGTH }
        /Table:/ { last[depth + 1] = ""; next }
        /Entry: name:/ { n = $0; sub(/.*\]: /, "", n); sub(/, Value:.*/, "", n); n = toupper(n)
            if (last[depth] ~ /^#/ || (last[depth] != "" && n "" <= last[depth] "")) print "bad name " n " out of order"
            last[depth] = n; next }
        /Entry: ID:/ { id = hex($4); if (last[depth] ~ /^#/ && id <= substr(last[depth], 2) + 0) print "bad id " $4 " out of order"
            last[depth] = "#" id; if (depth == 6) inside = id == 24; if (inside && depth == 6) types++; next }
        /Leaf:/ { a = hex($4); s = hex($6); if (a < lo || a + s > hi) print "bad data at " $4 " outside .rsrc"
            if (inside) { leaves++; print "manifest " a " " s } }
        END { if (types != 1 || leaves != 1) print "bad " types + 0 " manifest types, " leaves + 0 " manifests" }' <<<"$tree")
    errors=$(grep '^bad ' <<<"$problems")
    if [ -n "$errors" ]; then sed "s|^bad |FAIL $exe: |" <<<"$errors"; fail=1; continue; fi
    read -r _ at bytes <<<"$problems"
    off=$(( at - rva + 0x$("$objdump" -h "$exe" | awk '$2 == ".rsrc" { print $6 }') ))
    text=$(tail -c +$((off + 1)) "$exe" | head -c "$bytes")
    xmllint --noout - <<<"$text" || report "the manifest is not well-formed XML"
    flat=$(tr '\r\n' '  ' <<<"$text")
    [ -z "$(grep -o 'xmlns[:A-Za-z0-9_]*="[^"]*"' <<<"$flat" | sed 's/.*=//' | sort | uniq -d)" ] &&
        ! grep -q '<[^>]*xmlns[^>]*xmlns' <<<"$flat" || report "a namespace is declared twice"
    grep -q 'requestedExecutionLevel level="requireAdministrator"' <<<"$flat" || report "no requireAdministrator"
    for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
              1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        grep -qi "supportedOS Id=\"{$os}\"" <<<"$flat" || report "no supportedOS $os"
    done
    grep -qi 'Common-Controls' <<<"$flat" && report "depends on the Common Controls"
    echo "$exe: one manifest, $bytes bytes"
done
exit $fail
