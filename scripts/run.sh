#!/bin/bash
# Builds the installer and runs it under Wine in the build tree's own prefix.
#   scripts/run.sh                 interactive, on this display or a virtual one
#   scripts/run.sh --quiet [INI]   quiet and unattended from an install.ini
#                                  (default: QUIET=1, LOGGING=1)
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

quiet=0
ini=
while [ $# -gt 0 ]; do
  case "$1" in
    --quiet) quiet=1; if [ $# -gt 1 ] && [ -f "$2" ]; then ini=$2; shift; fi ;;
    -h|--help) sed -n 2,6p "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done

bash scripts/deps.sh || exit 1
mkdir -p build
cmake --preset mingw -DZL_BUILD_TESTS=OFF >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
cmake --build --preset mingw || exit 1

flavour=$(zl_flavour)
build=$(zl_build_dir "$flavour")
if [ "$flavour" = mingw64 ]; then
  echo "This kernel does not run 32-bit programs: running the 64-bit build of the same sources."
  cmake --preset mingw64 -DZL_BUILD_TESTS=OFF >build/configure64.log 2>&1 || { cat build/configure64.log; exit 1; }
  cmake --build "$build" -j2 --target setup || exit 1
fi
zl_wine_env "$build" "$flavour"
zl_ensure_display
zl_ensure_prefix
# On a display of our own there is no window manager: let Wine draw frames.
if [ -n "${ZL_XVFB_PID:-}" ]; then zl_virtual_desktop on; fi

user=$(whoami)
temp="$WINEPREFIX/drive_c/users/$user/Temp"
mkdir -p "$temp"
rm -f "$temp/install.ini"
if [ "$quiet" = 1 ]; then
  if [ -n "$ini" ]; then
    cp "$ini" "$temp/install.ini"
  else
    printf '[INSTALL]\r\nQUIET=1\r\nLOGGING=1\r\n' >"$temp/install.ini"
  fi
fi

echo "Running $build/setup.exe (prefix $WINEPREFIX, display $DISPLAY)..."
out=$(mktemp)
# The log grows run after run: this run's lines are those past its size now.
logsize=$(stat -c %s "$temp/setup.log" 2>/dev/null || echo 0)
"$ZL_WINE" "$build/setup.exe" >"$out" 2>&1 </dev/null
rc=$?
# The folder window the shell opens for the new group would keep the prefix
# (and this command) alive for ever: the run is over when setup.exe is.
wineserver -k >/dev/null 2>&1
wineserver -w
if [ -n "${ZL_XVFB_PID:-}" ]; then zl_virtual_desktop off; fi
rm -f "$out"
[ "$quiet" = 1 ] && rm -f "$temp/install.ini"
zl_stop_display

# Wine hands on only the low 8 bits of the exit code (3010 arrives as 194);
# this run's lines of the log, where it wrote one, have the whole code. A
# logged code that does not end in those bits is not this run's.
code=$rc
if [ -f "$temp/setup.log" ]; then
  logged=$(tail -c +"$((logsize + 1))" "$temp/setup.log" | grep -a '^Exit code ' | tail -n1 | tr -dc '0-9-')
  [ -n "$logged" ] && [ $((logged & 255)) = "$rc" ] && code=$logged
fi
case $code in
  0) what="done" ;;
  1602) what="cancelled" ;;
  1603) what="failed" ;;
  1641) what="done; it started a restart" ;;
  3010) what="done; a restart is needed" ;;
  *) what="" ;;
esac

dest=$(grep -a '^DEFDIR=' "$WINEPREFIX/drive_c/windows/win.ini" 2>/dev/null | tail -n1 | cut -d= -f2- | tr -d '\r')
echo "setup.exe exited with $code${what:+ ($what)}"
echo "Log:             $temp/setup.log"
if [ -n "$dest" ]; then
  echo "Installed files: $dest  (in $WINEPREFIX/drive_c)"
else
  echo "Installed files: none recorded in win.ini [ZELTRA] DEFDIR"
fi
# A run that needs a restart did its work; every other code but 0 is a failure.
case $code in
  0 | 1641 | 3010) exit 0 ;;
esac
[ "$rc" = 0 ] && rc=1
exit $rc
