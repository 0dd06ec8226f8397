#!/usr/bin/env bash
# Builds the self-contained release, dist/zephiro-installer/, in a Debian 11 chroot: linked
# against glibc 2.31, it runs on Debian 11, Ubuntu 20.04 and every x86-64 Linux since.
# The chroot, the SDL build and the package cache stay in the cache folder (see
# chroot_common.sh), so only the first run downloads and builds them. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE=$PWD
# shellcheck source=tools/chroot_common.sh
source tools/chroot_common.sh
start=$(date +%s)

build_packages="build-essential cmake pkg-config dpkg-dev
  zlib1g-dev libminizip-dev libdeflate-dev libarchive-dev libssl-dev libpng-dev libfreetype6-dev
  libacl1-dev libbz2-dev liblz4-dev liblzma-dev libzstd-dev nettle-dev libxml2-dev libicu-dev
  libdbus-1-dev libx11-dev libgl-dev libxext-dev libxcursor-dev libxi-dev libxrandr-dev libxss-dev
  libxfixes-dev libxinerama-dev libxxf86vm-dev libegl-dev libwayland-dev wayland-protocols libxkbcommon-dev"
chroot_base build-bullseye bullseye "$(echo $build_packages)"
ROOT=$CACHE/build-bullseye
chroot_mount "$ROOT"

# Debian's SDL links every display and sound library directly, which a release cannot
# carry; this build of the SDL source Debian 11 ships (its upstream tarball, checked against
# the source package's checksum) loads X11, Wayland and OpenGL at run time instead, leaves
# sound out, keeps game controllers (found through /dev/input without udev), and is a
# static archive. A change of its options (the stamp beside it) builds it again.
SDL_TARBALL=libsdl2_2.0.14+dfsg2.orig.tar.xz
SDL_SHA256=8539849619e0290e962b92f180755b6f2763ed648985c4be15ef5c6de223660e
SDL_OPTIONS="--disable-audio --enable-joystick --disable-haptic --disable-sensor --disable-hidapi"
if [ ! -f "$ROOT/opt/sdl2/lib/libSDL2.a" ] || [ "$(cat "$ROOT/opt/sdl2/options" 2>/dev/null)" != "$SDL_OPTIONS" ]; then
  echo "== building SDL"
  mkdir -p "$CACHE/src"
  if [ ! -f "$CACHE/src/$SDL_TARBALL" ]; then
    chroot_bind "$CACHE/src" "$ROOT/mnt"
    in_chroot "$ROOT" /usr/lib/apt/apt-helper download-file \
      "$MIRROR/pool/main/libs/libsdl2/${SDL_TARBALL//+/%2b}" "/mnt/$SDL_TARBALL.partial" "SHA256:$SDL_SHA256"
    mv "$CACHE/src/$SDL_TARBALL.partial" "$CACHE/src/$SDL_TARBALL"
  fi
  rm -rf "$ROOT/opt/sdl2-src"
  mkdir -p "$ROOT/opt/sdl2-src"
  tar -xJf "$CACHE/src/$SDL_TARBALL" -C "$ROOT/opt/sdl2-src" --strip-components=1
  in_chroot "$ROOT" bash -c 'set -e; cd /opt/sdl2-src
    ./configure -q --prefix=/opt/sdl2 --disable-shared --enable-static '"$SDL_OPTIONS"' \
      --disable-power --disable-dbus --disable-ibus --disable-fcitx --disable-libudev \
      --disable-video-vulkan --disable-video-kmsdrm --disable-video-opengles1 \
      --enable-video-x11 --enable-x11-shared --enable-video-wayland --enable-wayland-shared \
      --enable-video-opengl --enable-sdl-dlopen
    make -s -j2 >/dev/null
    make -s install >/dev/null'
  echo "$SDL_OPTIONS" >"$ROOT/opt/sdl2/options"
  rm -rf "$ROOT/opt/sdl2-src"
fi

# The source as it is in the clone (committed or not), without build folders.
echo "== building the program"
rm -rf "$ROOT/src"
mkdir -p "$ROOT/src"
git ls-files -co --exclude-standard -z | grep -zv '^\(build\|dist\)' | tar -c --null -T - | tar -x -C "$ROOT/src"
in_chroot "$ROOT" bash -c 'set -e
  cmake -S /src -B /release-build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHIRO_RELEASE=ON \
    -DCMAKE_PREFIX_PATH=/opt/sdl2 -DPKG_CONFIG_USE_CMAKE_PREFIX_PATH=ON >/dev/null
  cmake --build /release-build -j2 --target zephiro-installer
  strip --strip-debug -o /release-build/zephiro-installer.stripped /release-build/zephiro-installer'
chroot_unmount_all

rm -rf dist/zephiro-installer
mkdir -p dist/zephiro-installer
cp "$ROOT/release-build/zephiro-installer.stripped" dist/zephiro-installer/zephiro-installer
chmod 755 dist/zephiro-installer/zephiro-installer
cat >dist/zephiro-installer/README.txt <<'EOF'
Zephiro 9 installer for x86-64 Linux. Start zephiro-installer; --help lists its options.
It needs glibc 2.31 or newer, the X11 client library (libX11), the D-Bus client library
and an OpenGL driver (libGL).
EOF
echo "== dist/zephiro-installer/zephiro-installer: $(stat -c %s dist/zephiro-installer/zephiro-installer) bytes," \
  "needs $(objdump -p dist/zephiro-installer/zephiro-installer | awk '/NEEDED/ {printf "%s ", $2}')"
echo "== tools/release.sh took $(($(date +%s) - start)) s"
