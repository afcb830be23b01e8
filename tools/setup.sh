#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Idempotent:
# when every package is present it changes nothing and returns at once.
set -euo pipefail

packages=(
  cmake make g++ python3 openssl git locales
  googletest
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 file
  xvfb xdotool x11-utils imagemagick
  nsis osslsigncode
)

missing=()
have_i386=$(dpkg --print-foreign-architectures | grep -qx i386 && echo yes || echo no)
if [ "$have_i386" = yes ]; then
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi

if [ "$have_i386" = yes ] && [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if [ "$have_i386" = no ]; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
