#!/bin/bash
# Saves a picture of the interactive background window into
# docs/pictures/background.png (or the file given). The end-to-end test of the
# background window takes it while the window is up, so the picture shows
# what the program itself drew.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

out=${1:-docs/pictures/background.png}
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

bash scripts/deps.sh || exit 1
mkdir -p build
cmake --preset mingw -DZL_BUILD_TESTS=OFF >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
cmake --build --preset mingw || exit 1

flavour=$(zl_flavour)
build=$(zl_build_dir "$flavour")
if [ "$flavour" = mingw ]; then
  cmake --preset mingw -DZL_BUILD_TESTS=ON >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
else
  cmake --preset mingw64 -DZL_BUILD_TESTS=ON -DZL_PRODUCT_EXE="$ZL_ROOT/build/setup.exe" >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
fi
cmake --build "$build" -j2 --target e2e_startup || exit 1

zl_wine_env "$build" "$flavour"
zl_ensure_display
trap 'zl_virtual_desktop off; zl_stop_display' EXIT
zl_ensure_prefix
zl_virtual_desktop on   # Wine draws the frames and captions

rm -f "$out"
log="$build/picture.log"
ZT_PICTURE=$(zl_winpath "$out") "$ZL_WINE" "$build/e2e_startup.exe" \
  --gtest_filter='Background.*' >"$log" 2>&1 </dev/null
rc=$?
wineserver -w
if [ $rc -ne 0 ] || [ ! -s "$out" ]; then
  cat "$log"
  echo "No picture taken." >&2
  exit 1
fi
# The test writes the PNG uncompressed; squeeze it when ImageMagick is there.
if command -v convert >/dev/null 2>&1; then
  convert "$out" -strip -define png:compression-level=9 "$out.tmp.png" && mv "$out.tmp.png" "$out"
fi
echo "Saved $out"
