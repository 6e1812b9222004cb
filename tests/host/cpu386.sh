#!/bin/bash
# Fails on any instruction newer than the 80386 in the shipped 32-bit images:
# a 386 or 486 (for CMOV a Pentium too) stops on it with an invalid-opcode
# fault, which Wine on a current CPU never shows. The images are stripped;
# the function is named from the link map in MAP-DIR (<name>.map).
# usage: cpu386.sh OBJDUMP MAP-DIR IMAGE|FOLDER...   (a folder: its .exe and .dll)
set -u
objdump=$1; maps=$2; shift 2
images=()
for arg; do
    if [ -d "$arg" ]; then images+=("$arg"/*.exe "$arg"/*.dll); else images+=("$arg"); fi
done
fail=0
for image in "${images[@]}"; do
    if [ ! -f "$image" ]; then echo "FAIL $image: missing"; fail=1; continue; fi
    map=$maps/$(basename "${image%.*}").map
    [ -f "$map" ] || map=/dev/null
    # The map's code addresses with their names (an input section's own
    # name for static functions), then the disassembly; addresses as eight
    # hex digits, so that they compare as text.
    found=$({ awk '/^\.text/ { text = 1; next } /^\.[a-z]/ { text = 0 }
                  !text { next }
                  /^ \.text/ { name = $1; sub(/^\.text\$?/, "", name)
                               if (name == "") { name = $NF; sub(/.*\//, "", name) }
                               if (NF == 1) { pending = name; next }
                               if (NF >= 3) print substr($2, 3), name; next }
                  pending != "" && $1 ~ /^0x/ { print substr($1, 3), pending; pending = ""; next }
                  /^ +0x[0-9a-f]+ +[^ *]/ { a = $1; sub(/^ +0x[0-9a-f]+ +/, ""); print substr(a, 3), $0 }' "$map"
               "$objdump" -d "$image" | awk -F'\t' 'NF >= 3 && $1 ~ /^ *[0-9a-f]+:$/ {
                   a = $1; gsub(/[ :]/, "", a); print substr("00000000", 1, 8 - length(a)) a, "@" $3 }'
             } | LC_ALL=C sort -s -k1,1 | awk '
                  $2 !~ /^@/ { fn = $0; sub(/^[0-9a-f]+ /, "", fn); next }
                  { ins = $0; sub(/^[0-9a-f]+ @/, "", ins)
                    if (ins ~ /^(rep[a-z]* |lock |data16 |addr16 |[c-gs]s )*(cmov|fcmov|fu?comi|sysenter|sysexit|ud[0-2]|bswap|cmpxchg|xadd|invlpg|invd|wbinvd|cpuid|rdtsc|rdpmc|rdmsr|wrmsr|rsm|nop[wl]|[lms]fence|emms)/ \
                        || ins ~ /%[xy]?mm[0-9]/)
                        print "0x" $1 "  " ins "  in " (fn == "" ? "?" : fn) }' | "${objdump%objdump}c++filt" -n)
    if [ -n "$found" ]; then
        echo "FAIL $image: $(wc -l <<<"$found") instructions newer than the 80386:"
        head -n 40 <<<"$found"
        fail=1
    else
        echo "$image: 80386 code only"
    fi
done
exit $fail
