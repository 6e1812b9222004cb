#!/bin/bash
# Before and after: quiet installations by two builds of setup.exe (and the
# NSIS peer bench/run.sh built), taking turns in the benchmark's prefix.
#
#   bash bench/compare.sh BEFORE.exe AFTER.exe [NSIS.exe]   # BENCH_RUNS=N, default 5
#
# Two builds with phase marks (-DZL_TRACE=ON) are timed by phase too, with
# BENCH_TRACE=1. Run bench/run.sh once first: it builds the helpers and the prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

RUNS=${BENCH_RUNS:-5}
WORK=$ZL_ROOT/build/bench
flavour=$(zl_flavour)
zl_wine_env "$WORK" "$flavour"
zl_ensure_display
zl_ensure_prefix
wineserver -p >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null; zl_stop_display' EXIT

TEMP_DIR="$WINEPREFIX/drive_c/users/$(whoami)/Temp"
mkdir -p "$TEMP_DIR" "$WINEPREFIX/drive_c/bench"
TRACE_FILE=$WINEPREFIX/drive_c/bench/trace.txt
rm -f "$WORK"/compare-trace-*.txt

one() {   # exe [args] -> seconds; a traced build's marks go to compare-trace-N.txt
  rm -f "$TEMP_DIR"/ZLT*.tmp "$TEMP_DIR/setup.log" "$TEMP_DIR/install.ini"
  "$ZL_WINE" "$WORK/reset.exe" 'C:\Program Files\ZELTRA Pro' 'C:\Program Files\ZELTRA Pro NSIS' >/dev/null 2>&1 </dev/null
  [ $# -eq 1 ] && printf '[INSTALL]\r\nQUIET=1\r\n' >"$TEMP_DIR/install.ini"
  local t0 t1 n
  rm -f "$TRACE_FILE"
  t0=$(date +%s.%N)
  ZL_TRACE_FILE='C:\bench\trace.txt' "$ZL_WINE" "$@" >/dev/null 2>&1 </dev/null
  t1=$(date +%s.%N)
  sleep 0.3
  n=1; [ "$1" = "$AFTER" ] && n=2
  [ -n "${BENCH_TRACE:-}" ] && [ $# -eq 1 ] && [ "$i" != 0 ] && { echo "run $t0 $t1"; cat "$TRACE_FILE"; } >>"$WORK/compare-trace-$n.txt"
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

stats() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "min %.3f  median %.3f  max %.3f\n", v[1], m, v[NR] }'
}

AFTER=$2
before=() after=() peer=()
for i in $(seq 0 "$RUNS"); do
  b=$(one "$1"); a=$(one "$2")
  [ $# -gt 2 ] && p=$(one "$3" /S)
  [ "$i" = 0 ] && continue
  before+=("$b"); after+=("$a"); [ $# -gt 2 ] && peer+=("$p")
done
echo "before: $(stats "${before[@]}")"
echo "after:  $(stats "${after[@]}")"
[ $# -gt 2 ] && echo "NSIS:   $(stats "${peer[@]}")"
if [ -n "${BENCH_TRACE:-}" ]; then
  echo "by phase: min, median, max in seconds"
  python3 bench/report.py phases "$WORK/compare-trace-1.txt" 0 0 | cut -d, -f2,5-7 | sed 's/^/before /'
  python3 bench/report.py phases "$WORK/compare-trace-2.txt" 0 0 | cut -d, -f2,5-7 | sed 's/^/after  /'
fi
exit 0
