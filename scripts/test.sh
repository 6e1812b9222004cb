#!/bin/bash
# The whole test suite: installs what it needs, builds the installer and the
# tests, and runs them under Wine on a virtual display. Ends with CTest's
# summary.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh

bash scripts/deps.sh || exit 1
mkdir -p build

# The product, build/setup.exe (a 32-bit Windows program), and the 32-bit
# test programs, always: a 32-bit-only compile error must fail here even on
# a machine that can run only the 64-bit tests.
cmake --preset mingw -DZL_BUILD_TESTS=ON >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
cmake --build --preset mingw || exit 1

flavour=$(zl_flavour)
build=$(zl_build_dir "$flavour")
if [ "$flavour" != mingw ]; then
  echo "This kernel does not run 32-bit programs: testing the 64-bit build of the same sources."
  # Tests on explicitly: scripts/run.sh configures this tree without them.
  cmake --preset mingw64 -DZL_BUILD_TESTS=ON -DZL_PRODUCT_EXE="$ZL_ROOT/build/setup.exe" >build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
  cmake --build "$build" -j2 || exit 1
fi

zl_wine_env "$build" "$flavour"
zl_ensure_display
trap 'wineserver -k 2>/dev/null; zl_stop_display' EXIT
zl_ensure_prefix

ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 "$@"
