#!/bin/bash
# Pictures of the installation dialogs as they appear on screen, one PNG per
# dialog, into docs/pictures/. Wine's virtual desktop (1024x768, set up with
# the prefix) draws the frames and captions.
#
#   bash scripts/pictures.sh
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

bash scripts/deps.sh || exit 1
mkdir -p build docs/pictures

flavour=$(zl_flavour)
build=$(zl_build_dir "$flavour")
if [ ! -f "$build/CMakeCache.txt" ]; then
  if [ "$flavour" = mingw ]; then
    cmake --preset mingw -DZL_BUILD_TESTS=ON >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
  else
    cmake --preset mingw -DZL_BUILD_TESTS=OFF >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
    cmake --build --preset mingw || exit 1
    cmake --preset mingw64 -DZL_PRODUCT_EXE="$ZL_ROOT/build/setup.exe" >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
  fi
else
  cmake "$build" >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
fi
cmake --build "$build" -j2 --target dialog_pictures || exit 1

zl_wine_env "$build" "$flavour"
zl_ensure_display
trap 'zl_virtual_desktop off; zl_stop_display' EXIT
zl_ensure_prefix
zl_virtual_desktop on   # Wine draws the frames and captions

"$ZL_WINE" "$build/dialog_pictures.exe" "$(zl_winpath "$ZL_ROOT/docs/pictures")" \
  >"$build/pictures.log" 2>&1 </dev/null
status=$?
wineserver -w
cat "$build/pictures.log"
# The test support writes uncompressed PNGs; store them compressed.
for png in docs/pictures/*.png; do
  convert "$png" -strip "$png" 2>/dev/null || true
done
exit $status
