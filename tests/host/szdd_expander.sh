#!/bin/bash
# Builds szdd_expander.cpp for the host, with AddressSanitizer where it links, and runs it.
# usage: szdd_expander.sh SOURCE-DIR WORK-DIR MANIFEST
src=$1; work=$2
rm -rf "$work"; mkdir -p "$work"
build() {
    g++ -std=c++17 -O1 -g -Wall -Wextra -Werror "$@" -I"$src/src" -I"$src/tools" -o "$work/check" \
        "$src/tests/host/szdd_expander.cpp" "$src/src/fileops/szdd.cpp" -lmspack
}
build -fsanitize=address,undefined -fno-sanitize-recover=all 2>"$work/build.log" || build || exit 1
"$work/check" "$3" "$work"
