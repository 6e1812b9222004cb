#!/bin/bash
# Installation benchmark: setup.exe's quiet installation against a silent
# NSIS installer of the same files, and the fixed cost of starting any
# Windows program under Wine; the installation's time by phase; sizes;
# growth with the payload; expansion throughput. Not part of the test suite.
#
#   bash bench/run.sh            # BENCH_RUNS=N for more than 5 runs each
#                                # BENCH_NOTE="..." adds a line to the results
#
# Writes bench/results/bench.csv, bench/results/table.txt, bench/results/bench.png,
# and the performance section of docs/guide.md.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

BENCH_START=$(date +%s)
RUNS=${BENCH_RUNS:-5}
SCALES=${BENCH_SCALES:-"1 4 16"}
# Scales timed by phase too, with a build that marks the phases.
SPLIT_SCALES=${BENCH_SPLIT_SCALES:-"1 16"}
RESULTS=$ZL_ROOT/bench/results
WORK=$ZL_ROOT/build/bench
mkdir -p "$RESULTS" "$WORK"
# Every Windows program below writes to a file of its own, never to this log.
exec > >(tee "$RESULTS/run.log") 2>&1

bash scripts/deps.sh || exit 1

# --- Builds -----------------------------------------------------------------
# The product (32-bit) for its size; the flavour this machine runs for the
# timings: the usual tree at 1x, build/bench-xN for the scaled documents;
# build/bench-trace-xN with the phase marks (ZL_TRACE) for the split.
echo "== Building"
cmake --preset mingw -DZL_BUILD_TESTS=OFF >"$WORK/configure32.log" 2>&1 || { cat "$WORK/configure32.log"; exit 1; }
cmake --build --preset mingw >"$WORK/build32.log" 2>&1 || { tail -30 "$WORK/build32.log"; exit 1; }

flavour=$(zl_flavour)
if [ "$flavour" = mingw ]; then
  toolchain=cmake/toolchain-i686.cmake; cxx=i686-w64-mingw32-g++; nsis_target=x86-unicode
  flavour_text="32-bit: setup.exe (i686, the product) against NSIS x86-unicode, under 32-bit Wine"
else
  toolchain=cmake/toolchain-x86_64.cmake; cxx=x86_64-w64-mingw32-g++; nsis_target=amd64-unicode
  flavour_text="64-bit: setup.exe built for x86_64 against NSIS amd64-unicode, under wine64 (this kernel runs no 32-bit code)"
fi
tree_of() {   # scale -> build tree
  if [ "$1" = 1 ]; then zl_build_dir "$flavour"; else echo "$ZL_ROOT/build/bench-x$1"; fi
}
build_tree() {   # tree scale trace(ON|OFF) log-name
  # The bench's own trees are configured every time (a few seconds), so that trees
  # of earlier runs get the options too; no payload-sizes.txt there (the sizes come
  # from the product's tree). The usual 1x tree of the 64-bit flavour only when new.
  if [ "$2" != 1 ] || [ "$3" = ON ] || [ ! -f "$1/CMakeCache.txt" ]; then
    cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$ZL_ROOT/$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DZL_BUILD_TESTS=OFF -DZL_DOC_SCALE="$2" -DZL_TRACE="$3" -DZL_PAYLOAD_SIZES=OFF >"$WORK/configure-$4.log" 2>&1 \
      || { cat "$WORK/configure-$4.log"; return 1; }
  fi
  cmake --build "$1" -j2 --target setup >"$WORK/build-$4.log" 2>&1 || { tail -30 "$WORK/build-$4.log"; return 1; }
}
for scale in $SCALES; do
  tree=$(tree_of "$scale")
  echo "   $tree (documents x$scale)"
  if [ "$scale" != 1 ] || [ "$flavour" != mingw ]; then build_tree "$tree" "$scale" OFF "x$scale" || exit 1; fi
done
for scale in $SPLIT_SCALES; do
  echo "   $ZL_ROOT/build/bench-trace-x$scale (documents x$scale, phase marks)"
  build_tree "$ZL_ROOT/build/bench-trace-x$scale" "$scale" ON "trace-x$scale" || exit 1
done

# The bench's own Windows helpers. The expansion's timer links the core
# library of the 1x tree, to time the program's own expander as it is built.
for helper in noop reset lzspeed no_shell; do
  flags= libs= src="bench/win/$helper.cpp"
  # The launcher of the tests: a window station without a shell.
  [ $helper = no_shell ] && flags=-mwindows src=tests/tools/no_shell.cpp
  [ $helper = noop ] && flags=-mwindows
  [ $helper = lzspeed ] && flags="-Isrc" libs="$(tree_of 1)/libsetupcore.a -luser32 -lgdi32"
  # shellcheck disable=SC2086
  $cxx -O2 -static $flags -o "$WORK/$helper.exe" "$src" $libs -llz32 -lshell32 -ladvapi32 \
    || { echo "cannot build $src" >&2; exit 1; }
done

# --- The NSIS peer ----------------------------------------------------------
# The same files the tree's setup.exe carries (its manifest), into a folder,
# with the win.ini keys, an uninstall entry, a Start Menu item per program,
# the three self-registering DLLs and the scheduler started: the work the
# quiet installation does, in NSIS's terms.
nsis_script() {   # manifest target compressor outfile
  local manifest=$1 target=$2 compressor=$3 out=$4
  echo "Unicode true"
  echo "Target $target"
  echo "SetCompressor /SOLID $compressor"
  echo "Name \"ZELTRA Pro\""
  echo "OutFile \"$out\""
  if [ "$target" = amd64-unicode ]; then
    echo "InstallDir \"\$PROGRAMFILES64\\ZELTRA Pro NSIS\""
  else
    echo "InstallDir \"\$PROGRAMFILES\\ZELTRA Pro NSIS\""
  fi
  echo "RequestExecutionLevel admin"
  echo "Section"
  echo "  SetOutPath \"\$INSTDIR\""
  while read -r _ _ _ source; do
    echo "  File \"$source\""
  done <"$manifest"
  echo "  WriteINIStr \"\$WINDIR\\win.ini\" ZELTRA DIR \"\$INSTDIR\""
  echo "  WriteINIStr \"\$WINDIR\\win.ini\" ZELTRA GROUP \"ZELTRA Pro\""
  echo "  WriteRegStr HKLM \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAProNSIS\" DisplayName \"ZELTRA Pro\""
  echo "  WriteRegStr HKLM \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZELTRAProNSIS\" UninstallString \"\$INSTDIR\\zlrem32.exe\""
  echo "  CreateDirectory \"\$SMPROGRAMS\\ZELTRA Pro\""
  while read -r _ _ _ source; do
    case "$source" in
      *.exe|*.hlp|*.txt|*.pdf) local base; base=$(basename "$source")
        echo "  CreateShortCut \"\$SMPROGRAMS\\ZELTRA Pro\\${base%.*}.lnk\" \"\$INSTDIR\\$base\"" ;;
    esac
  done <"$manifest"
  for dll in zlstub zlexpl32 zlbrowse; do echo "  RegDLL \"\$INSTDIR\\$dll.dll\""; done
  echo "  Exec '\"\$INSTDIR\\zlsched.exe\" -install'"
  echo "SectionEnd"
}

build_nsis() {   # scale target compressor -> prints the installer's path
  local tree manifest out
  tree=$(tree_of "$1")
  manifest="$tree/payload/manifest.txt"
  out="$WORK/nsis-x$1-$2-$3.exe"
  nsis_script "$manifest" "$2" "$3" "$out" >"$WORK/nsis-x$1-$2-$3.nsi"
  makensis -V2 "$WORK/nsis-x$1-$2-$3.nsi" >"$WORK/nsis-x$1-$2-$3.log" 2>&1 || { cat "$WORK/nsis-x$1-$2-$3.log" >&2; return 1; }
  echo "$out"
}

echo "== Building the NSIS installers"
for scale in $SCALES; do
  for comp in zlib lzma; do
    build_nsis "$scale" "$nsis_target" "$comp" >/dev/null || exit 1
  done
done
# The product is 32-bit: its 32-bit peers, for their sizes.
for comp in zlib lzma; do
  nsis_script "$ZL_ROOT/build/payload/manifest.txt" x86-ansi "$comp" "$WORK/nsis32-$comp.exe" >"$WORK/nsis32-$comp.nsi"
  makensis -V2 "$WORK/nsis32-$comp.nsi" >"$WORK/nsis32-$comp.log" 2>&1 || { cat "$WORK/nsis32-$comp.log"; exit 1; }
done

# --- Wine -------------------------------------------------------------------
# One prefix for every run, its server kept alive between runs so that each
# timing is one program start, as a user would meet it.
zl_wine_env "$WORK" "$flavour"
zl_ensure_display
zl_ensure_prefix
wineserver -p >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null; zl_stop_display' EXIT
echo "== Wine prefix $WINEPREFIX ($flavour), display $DISPLAY"

user=$(whoami)
TEMP_DIR="$WINEPREFIX/drive_c/users/$user/Temp"
mkdir -p "$TEMP_DIR" "$WINEPREFIX/drive_c/bench"
SETUP_DIR='C:\Program Files\ZELTRA Pro'
NSIS_DIR='C:\Program Files\ZELTRA Pro NSIS'

now() { date +%s.%N; }

reset_state() {
  rm -f "$TEMP_DIR"/ZLT*.tmp "$TEMP_DIR/setup.log" "$TEMP_DIR/install.ini"
  "$ZL_WINE" "$WORK/reset.exe" "$SETUP_DIR" "$NSIS_DIR" >"$WORK/reset.log" 2>&1 </dev/null
}

# One timed start of a Windows program; prints its wall time in seconds and
# leaves "start end" (host clock) in $WORK/last-times.
timed() {   # exe args...
  local t0 t1 rc
  t0=$(now)
  "$ZL_WINE" "$@" >"$WORK/run.log" 2>&1 </dev/null
  rc=$?
  t1=$(now)
  # 194: 3010's low byte, all Wine hands on (done, a restart wanted: the
  # Explorer interface was registered).
  if [ $rc -ne 0 ] && [ $rc -ne 194 ]; then echo "   exit code $rc from $1" >&2; fi
  echo "$t0 $t1" >"$WORK/last-times"
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

installed_count() {   # unix folder
  find "$1" -type f 2>/dev/null | wc -l
}

stats() {   # times... -> "min median max"
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.3f %.3f %.3f\n", v[1], m, v[NR] }'
}

# The traced build's marks go to this file, after a line with the host's
# start and end of the run: report.py makes the phases of them.
TRACE_WIN='C:\bench\trace.txt'
TRACE_FILE=$WINEPREFIX/drive_c/bench/trace.txt

# One run of a case from a clean machine; prints its wall time.
run_case() {   # kind exe
  reset_state
  case $1 in
    setup) printf '[INSTALL]\r\nQUIET=1\r\n' >"$TEMP_DIR/install.ini"; timed "$2" ;;
    traced) printf '[INSTALL]\r\nQUIET=1\r\n' >"$TEMP_DIR/install.ini"; rm -f "$TRACE_FILE"
            ZL_TRACE_FILE=$TRACE_WIN timed "$2"
            { echo "run $(cat "$WORK/last-times")"; cat "$TRACE_FILE" 2>/dev/null; } >>"$WORK/trace-$3.txt" ;;
    nsis)  timed "$2" /S ;;
    # As a deployment tool runs it: switches alone, no install.ini (so the
    # log is on), in a window station where no shell runs, so the group is
    # made as a folder of shortcuts.
    deploy) timed "$WORK/no_shell.exe" "Z:${2//\//\\}" /quiet ;;
    # The quiet removal, as the entry's QuietUninstallString runs it, of an
    # installation made first (not timed).
    remove) printf '[INSTALL]\r\nQUIET=1\r\n' >"$TEMP_DIR/install.ini"
            "$ZL_WINE" "$2" >/dev/null 2>&1 </dev/null
            timed 'C:\Program Files\ZELTRA Pro\zlrem32.exe' -q -f 'C:\Program Files\ZELTRA Pro' \
              -d 'C:\Program Files\ZELTRA Pro' -g 'ZELTRA Pro' ;;
    noop)  timed "$2" ;;
  esac
  # Let what the installers started (the scheduler) finish before the reset.
  sleep 0.3
  installed_count "$WINEPREFIX/drive_c/Program Files/ZELTRA Pro" >"$WORK/count-setup"
  installed_count "$WINEPREFIX/drive_c/Program Files/ZELTRA Pro NSIS" >"$WORK/count-nsis"
  [ "$1" = setup ] && cp "$WORK/count-setup" "$WORK/count-setup-last"
  [ "$1" = nsis ] && cp "$WORK/count-nsis" "$WORK/count-nsis-last"
  return 0
}

# The cases of one scale take turns, run after run, so that a change in the
# machine's load falls on all of them alike. The first round is a warm-up.
# Prints one "min median max" line per case, in the order given.
measure_turns() {   # kind:exe...
  local n=$# i j t item
  local -a times
  for i in $(seq 0 "$RUNS"); do
    j=0
    # The warm-up's marks are left out too.
    [ "$i" = 1 ] && rm -f "$WORK/trace-$scale.txt"
    for item in "$@"; do
      t=$(run_case "${item%%:*}" "${item#*:}" "$scale")
      [ "$i" -gt 0 ] && times[$j]="${times[$j]:-} $t"
      j=$((j + 1))
    done
  done
  for j in $(seq 0 $((n - 1))); do
    # shellcheck disable=SC2086
    stats ${times[$j]}
  done
}

# Can this machine run the 32-bit NSIS installer (the product's own kind)?
reset_state
"$ZL_WINE" "$WORK/nsis32-lzma.exe" /S >"$WORK/nsis32-run.log" 2>&1 </dev/null
nsis32_rc=$?
if [ $nsis32_rc -eq 0 ]; then
  echo "   the 32-bit NSIS installer runs here"
else
  echo "   the 32-bit NSIS installer cannot run here (exit code $nsis32_rc): $(head -n1 "$WORK/nsis32-run.log")"
  echo "   timings use the $nsis_target NSIS installer, like the $flavour build of setup.exe"
fi

csv=$RESULTS/bench.csv
echo "measure,case,scale,payload_bytes,min,median,max,unit" >"$csv"
row() { echo "$*" | tr ' ' ',' >>"$csv"; }
row check nsis32-exit-code 1 0 "$nsis32_rc" "$nsis32_rc" "$nsis32_rc" code

payload_bytes() {   # tree
  local total=0 s
  while read -r _ _ _ source; do s=$(stat -c %s "$source"); total=$((total + s)); done <"$1/payload/manifest.txt"
  echo $total
}

# --- Timings ----------------------------------------------------------------
echo "== Timing, $RUNS runs each (after one warm-up run)"
scale=0
read -r n0 n1 n2 < <(measure_turns "noop:$WORK/noop.exe")
echo "   do-nothing program:      $n0 / $n1 / $n2 s"
row time noop 0 0 "$n0" "$n1" "$n2" s
for scale in $SCALES; do
  tree=$(tree_of "$scale")
  bytes=$(payload_bytes "$tree")
  cases=("setup:$tree/setup.exe")
  names=(setup)
  if [ "$scale" = 1 ]; then
    cases+=("deploy:$tree/setup.exe"); names+=(setup-no-shell)
  fi
  if [[ " $SPLIT_SCALES " == *" $scale "* ]]; then
    cases+=("traced:$ZL_ROOT/build/bench-trace-x$scale/setup.exe"); names+=(setup-traced)
  fi
  cases+=("nsis:$WORK/nsis-x$scale-$nsis_target-zlib.exe" "nsis:$WORK/nsis-x$scale-$nsis_target-lzma.exe")
  names+=(nsis-zlib nsis-lzma)
  if [ "$scale" = 1 ]; then
    cases+=("remove:$tree/setup.exe"); names+=(remove)
  fi
  mapfile -t lines < <(measure_turns "${cases[@]}")
  j=0
  for case in "${names[@]}"; do
    read -r a b c <<<"${lines[$j]}"
    echo "   x$scale $case: $a / $b / $c s"
    row time "$case" "$scale" "$bytes" "$a" "$b" "$c" s
    j=$((j + 1))
  done
  # What the last runs left: both installers place every payload file.
  echo "   files installed by the last runs: setup.exe $(cat "$WORK/count-setup-last"), NSIS $(cat "$WORK/count-nsis-last")"
  if [ -f "$WORK/trace-$scale.txt" ]; then
    cp "$WORK/trace-$scale.txt" "$RESULTS/trace-x$scale.txt"
    python3 bench/report.py phases "$WORK/trace-$scale.txt" "$scale" "$bytes" >>"$csv" || exit 1
  fi
done
reset_state

# --- Expansion throughput ---------------------------------------------------
echo "== Expansion of the largest payload file"
for scale in $SCALES; do
  tree=$(tree_of "$scale")
  largest=$(while read -r _ mode stored source; do
              [ "$mode" = szdd ] && echo "$(stat -c %s "$source") $stored"; done <"$tree/payload/manifest.txt" \
            | sort -n | tail -n1 | cut -d' ' -f2)
  cp "$largest" "$WINEPREFIX/drive_c/bench/largest.bin"
  "$ZL_WINE" "$WORK/lzspeed.exe" 'C:\bench\largest.bin' 'C:\bench' "$RUNS" >"$WORK/lzspeed.log" 2>&1 </dev/null
  read -r size tlz tcopy town <"$WORK/lzspeed.log"
  lz=$(awk -v s="$size" -v t="$tlz" 'BEGIN { printf "%.1f", s / 1048576 / t }')
  cp_=$(awk -v s="$size" -v t="$tcopy" 'BEGIN { printf "%.1f", s / 1048576 / t }')
  own=$(awk -v s="$size" -v t="$town" 'BEGIN { printf "%.1f", s / 1048576 / t }')
  echo "   x$scale $(basename "$largest") ($size bytes): LZ32 $lz MB/s, setup.exe's expander $own MB/s, plain copy $cp_ MB/s"
  row throughput lz32 "$scale" "$size" "$lz" "$lz" "$lz" MB/s
  row throughput own "$scale" "$size" "$own" "$own" "$own" MB/s
  row throughput copy "$scale" "$size" "$cp_" "$cp_" "$cp_" MB/s
done
rm -f "$WINEPREFIX/drive_c/bench/largest.bin"

# --- Sizes ------------------------------------------------------------------
sz() { stat -c %s "$1"; }
sizes=$ZL_ROOT/build/payload-sizes.txt
field() { grep "^$1" "$sizes" | awk -F: '{ gsub(/ /, "", $2); print $2 }'; }
row size payload-raw 1 0 "$(field 'raw size')" "$(field 'raw size')" "$(field 'raw size')" bytes
row size payload-szdd 1 0 "$(field 'packed by the project')" "$(field 'packed by the project')" "$(field 'packed by the project')" bytes
row size payload-mscompress 1 0 "$(field 'packed by mscompress')" "$(field 'packed by mscompress')" "$(field 'packed by mscompress')" bytes
row size setup-less-payload 1 0 "$(field 'setup.exe less')" "$(field 'setup.exe less')" "$(field 'setup.exe less')" bytes
for f in "setup-32bit:$ZL_ROOT/build/setup.exe" "nsis32-zlib:$WORK/nsis32-zlib.exe" "nsis32-lzma:$WORK/nsis32-lzma.exe" \
         "setup-run:$(tree_of 1)/setup.exe" "nsis-run-zlib:$WORK/nsis-x1-$nsis_target-zlib.exe" \
         "nsis-run-lzma:$WORK/nsis-x1-$nsis_target-lzma.exe"; do
  s=$(sz "${f#*:}")
  row size "${f%%:*}" 1 0 "$s" "$s" "$s" bytes
done

python3 bench/report.py table "$csv" "$RESULTS/table.txt" "$RESULTS/bench.png" "$flavour_text" \
  "$ZL_ROOT/docs/guide.md" || exit 1
cat "$RESULTS/table.txt"
elapsed=$(( $(date +%s) - BENCH_START ))
echo "== bench/run.sh took $((elapsed / 60)) min $((elapsed % 60)) s (BENCH_RUNS=$RUNS, BENCH_SCALES=\"$SCALES\", BENCH_SPLIT_SCALES=\"$SPLIT_SCALES\")"
