#!/bin/bash
# Installs what the build and the tests need, skipping what is there:
# the MinGW-w64 cross compilers, Wine (32- and 64-bit), a virtual X display
# and real keyboard and mouse input on it (xdotool), picture tools,
# GoogleTest sources, the reference SZDD tools and decoder library, cppcheck,
# xmllint (the manifest check), jsonschema and YAML for Python (the winget
# manifest check),
# and the Japanese locale some tests run the program under.
set -euo pipefail

packages=(
  cmake make g++ googletest
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 fonts-wine
  xvfb xauth x11-utils x11-apps xdotool imagemagick
  mscompress libmspack-dev nsis file cppcheck locales libxml2-utils
  python3 python3-jsonschema python3-yaml
)

SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes a process's code page from LANG: ja_JP.UTF-8 gives 932, the
# double-byte code page the path tests need. Generated once.
if ! grep -qix 'ja_JP\.utf-\?8' <<<"$(locale -a 2>/dev/null || true)"; then
  echo "Generating the locale ja_JP.UTF-8"
  if ! grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
fi
