#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the demo and the fuzz targets need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  zlib1g-dev libminizip-dev libdeflate-dev libarchive-dev libssl-dev
  libpng-dev libfreetype-dev libsdl2-dev libx11-dev libgl-dev libgl1-mesa-dri
  libgtest-dev fonts-dejavu-core
  xvfb xauth zip 7zip zenity xdotool
  clang libclang-rt-14-dev
  libdbus-1-dev dbus-daemon
  xorriso
  desktop-file-utils
  strace
  desktop-file-utils appstream debootstrap
  g++-mingw-w64-x86-64-posix dpkg-dev wine wine64
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -y
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
