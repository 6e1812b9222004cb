#!/bin/bash
# Runs one Windows program of a build tree under Wine (CTest's emulator).
# Wine's output goes through a file: its background processes would keep a
# pipe open and the caller would wait for ever.
exe="$1"; shift
build=$(cd "$(dirname "$exe")" && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/wine-env.sh"
case "$build" in */win64) flavour=mingw64 ;; *) flavour=mingw ;; esac
zl_wine_env "$build" "$flavour"
zl_ensure_prefix
zl_ensure_display
log=$(mktemp)
"$ZL_WINE" "$exe" "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
rm -f "$log"
zl_stop_display
exit $rc
