#!/bin/bash
# Installs what the build and the tests need, skipping what is there:
# the MinGW-w64 cross compilers, Wine (32- and 64-bit), a virtual X display
# and real keyboard and mouse input on it (xdotool), picture tools,
# GoogleTest sources, the reference SZDD tools and cppcheck.
set -euo pipefail

packages=(
  cmake make g++ googletest
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 fonts-wine
  xvfb xauth x11-utils x11-apps xdotool imagemagick
  mscompress nsis file cppcheck
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
