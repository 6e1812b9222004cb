#!/bin/bash
# The source folders as layers, bottom first: a folder includes only its own
# headers and those of folders below it, so two folders never lean on each
# other. Within a folder the headers and sources form no include loop.
# usage: layers.sh SRC_DIR
set -u
src=$1
layers=(shell registry "fileops groups" install removal flow)
rank() {
    local i
    for i in "${!layers[@]}"; do
        case " ${layers[$i]} " in *" $1 "*) echo "$i"; return ;; esac
    done
    echo -1
}
fail=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
while IFS= read -r file; do
    rel=${file#"$src"/}
    folder=${rel%%/*}
    own=$(rank "$folder")
    [ "$own" -ge 0 ] || { echo "FAIL $rel: folder $folder has no layer"; fail=1; continue; }
    while IFS= read -r inc; do
        [ -n "$inc" ] || continue
        dir=${inc%%/*}
        [ "$dir" != "$inc" ] || continue   # resource.h, version.h: the resource headers
        other=$(rank "$dir")
        if [ "$dir" != "$folder" ] && [ "$other" -ge "$own" ]; then
            echo "FAIL $rel includes $inc: $dir is not below $folder"
            fail=1
        fi
        # Both the header and its source count as one node, the header's.
        [ "$dir" = "$folder" ] && echo "${rel%.*} ${inc%.*}" >>"$edges"
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find "$src" -name '*.cpp' -o -name '*.h' | sort)
# tsort names a loop on standard error; a file's own header is no loop.
loops=$(awk '$1 != $2' "$edges" | tsort 2>&1 >/dev/null)
if [ -n "$loops" ]; then
    echo "FAIL include loop: $loops"
    fail=1
fi
[ "$fail" = 0 ] && echo "layers: $(find "$src" -name '*.cpp' -o -name '*.h' | wc -l) files, no upward include, no loop"
exit $fail
