#!/usr/bin/env bash
# Builds the libraries of the Windows program (64-bit, MinGW-w64) from Debian's own source
# packages: SDL2, FreeType, libpng, zlib and minizip, libdeflate, liblzma (for 7z), libarchive,
# and googletest for the Windows test binary. Static libraries only, into a cache folder outside
# the clone, keyed by this script's hash so that a change here builds them again.
#
#   bash tools/windows_deps.sh           prints the prefix (the last line of output)
#   ZEPHIRO_WINDOWS_DEPS=/some/folder    another cache folder
#
# Needs root (or sudo) the first time, to add a bookworm source entry and run apt-get update.
set -euo pipefail
script="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cache_root="${ZEPHIRO_WINDOWS_DEPS:-/var/cache/zephiro-windows-deps}"
key="$(sha256sum "$script" | cut -c1-16)"
prefix="$cache_root/$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

host=x86_64-w64-mingw32
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
jobs=2
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

# Source packages come from the release this machine runs (the main archive: its versions are
# the ones every mirror keeps).
sources=/etc/apt/sources.list.d/zephiro-bookworm-src.sources
if [ ! -f "$sources" ]; then
  $SUDO tee "$sources" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $SUDO apt-get -o DPkg::Lock::Timeout=900 update -y
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Built libraries stay in the staging folder with a stamp each, so that an interrupted run
# goes on where it stopped.
staging="$prefix.partial"
mkdir -p "$staging/include" "$staging/lib"
done_already() { [ -f "$staging/.built-$1" ]; }
mark_built() { touch "$staging/.built-$1"; }
cd "$work"

fetch() {  # fetch SOURCE_PACKAGE: unpacks it (with Debian's patches) and prints its folder
  (cd "$work" && apt-get source -qq "$1" >/dev/null 2>&1) || { echo "apt-get source $1 failed" >&2; return 1; }
  (cd "$work" && ls -1 "$1"_*.dsc) >>"$staging/sources.txt"
  local dir  # sources.txt tells a reader of the cache which source each library came from
  dir="$(find "$work" -maxdepth 1 -mindepth 1 -type d -name "$2*" | head -n1)"
  [ -n "$dir" ] || { echo "no folder $2* from apt-get source $1" >&2; return 1; }
  echo "$dir"
}

cmake_build() {  # cmake_build SOURCE_DIR TARGET... -- CMAKE_ARGS...
  local src="$1"; shift
  local targets=()
  while [ "$1" != "--" ]; do targets+=("$1"); shift; done
  shift
  cmake -S "$src" -B "$src/_win" -G "Unix Makefiles" \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$CC -DCMAKE_CXX_COMPILER=$CXX \
    -DCMAKE_RC_COMPILER=$host-windres -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_FIND_ROOT_PATH="$staging" -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DCMAKE_PREFIX_PATH="$staging" -DCMAKE_INSTALL_PREFIX="$staging" \
    -DBUILD_SHARED_LIBS=OFF "$@" >"$src/_win.log" 2>&1 || { tail -n 40 "$src/_win.log"; return 1; }
  for t in "${targets[@]}"; do
    cmake --build "$src/_win" -j$jobs --target "$t" >>"$src/_win.log" 2>&1 || { tail -n 40 "$src/_win.log"; return 1; }
  done
}

compile_into() {  # compile_into LIBRARY FLAGS -- SOURCES...: a static library without a build system
  local lib="$1"; shift
  local flags=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done
  shift
  local objects=()
  for s in "$@"; do
    $CC -O2 "${flags[@]}" -c "$s" -o "$s.o"
    objects+=("$s.o")
  done
  $AR rcs "$staging/lib/$lib" "${objects[@]}"
}

if ! done_already zlib; then
  echo "== zlib and minizip"
  z="$(fetch zlib zlib-)"
  (cd "$z" && compile_into libz.a -- adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c \
    gzread.c gzwrite.c infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c)
  cp "$z/zlib.h" "$z/zconf.h" "$staging/include/"
  mkdir -p "$staging/include/minizip"
  (cd "$z/contrib/minizip" && compile_into libminizip.a -I"$staging/include" -- ioapi.c unzip.c zip.c)
  cp "$z/contrib/minizip/"{ioapi.h,unzip.h,zip.h} "$staging/include/minizip/"
  mark_built zlib
fi

if ! done_already libpng; then
  echo "== libpng"
  p="$(fetch libpng1.6 libpng1.6-)"
  cp "$p/scripts/pnglibconf.h.prebuilt" "$p/pnglibconf.h"
  (cd "$p" && compile_into libpng.a -I"$staging/include" -- png.c pngerror.c pngget.c pngmem.c \
    pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c \
    pngwtran.c pngwutil.c)
  cp "$p/png.h" "$p/pngconf.h" "$p/pnglibconf.h" "$staging/include/"
  mark_built libpng
fi

if ! done_already libdeflate; then
  echo "== libdeflate"
  d="$(fetch libdeflate libdeflate-)"
  (cd "$d" && compile_into libdeflate.a -I. -- lib/deflate_compress.c lib/deflate_decompress.c \
    lib/utils.c lib/adler32.c lib/crc32.c lib/zlib_compress.c lib/zlib_decompress.c \
    lib/gzip_compress.c lib/gzip_decompress.c lib/x86/cpu_features.c)
  cp "$d/libdeflate.h" "$staging/include/"
  mark_built libdeflate
fi

if ! done_already liblzma; then
  echo "== liblzma"
  x="$(fetch xz-utils xz-utils-)"
  (cd "$x" && ./configure --host=$host --prefix="$staging" --disable-shared --enable-static \
    --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links \
    --disable-scripts --disable-doc --disable-nls >configure.log 2>&1 \
    && make -j$jobs -C src/liblzma install >make.log 2>&1) || { tail -n 40 "$x/config.log" "$x/make.log" 2>/dev/null; exit 1; }
  mark_built liblzma
fi

if ! done_already libarchive; then
  echo "== libarchive"
  a="$(fetch libarchive libarchive-)"
  # Checks that would run a test program report "no" (the emulator is false): none of them
  # is wanted for a static build, and CMake cannot run Windows programs here anyway.
  cmake_build "$a" archive_static -- -DCMAKE_C_FLAGS="-DLZMA_API_STATIC" \
    -DCMAKE_CROSSCOMPILING_EMULATOR=/bin/false -DPOSIX_REGEX_LIB=NONE \
    -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=ON \
    -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_ZSTD=OFF -DENABLE_BZip2=OFF \
    -DENABLE_LZMA=ON -DENABLE_ZLIB=ON -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF \
    -DENABLE_LIBGCC=OFF -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_TAR=OFF \
    -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF -DENABLE_INSTALL=OFF \
    -DZLIB_LIBRARY="$staging/lib/libz.a" -DZLIB_INCLUDE_DIR="$staging/include" \
    -DLIBLZMA_LIBRARY="$staging/lib/liblzma.a" -DLIBLZMA_INCLUDE_DIR="$staging/include"
  cp "$a/_win/libarchive/libarchive_static.a" "$staging/lib/libarchive.a"
  cp "$a/libarchive/archive.h" "$a/libarchive/archive_entry.h" "$staging/include/"
  mark_built libarchive
fi

if ! done_already freetype; then
  echo "== FreeType"
  f="$(fetch freetype freetype-)"
  # With the zlib above: FreeType's own copy of zlib would clash with it at link time.
  cmake_build "$f" freetype -- -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_PNG=ON -DFT_REQUIRE_ZLIB=ON \
    -DZLIB_LIBRARY="$staging/lib/libz.a" -DZLIB_INCLUDE_DIR="$staging/include"
  cp "$f/_win/libfreetype.a" "$staging/lib/"
  cp -r "$f/include/." "$staging/include/freetype2/"
  mark_built freetype
fi

if ! done_already sdl2; then
  echo "== SDL2"
  s="$(fetch libsdl2 libsdl2-)"
  cmake_build "$s" SDL2-static -- -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    -DSDL_AUDIO=OFF -DSDL_JOYSTICK=ON -DSDL_HAPTIC=OFF -DSDL_HIDAPI=ON -DSDL_SENSOR=OFF \
    -DSDL_POWER=OFF -DSDL_RENDER=OFF -DSDL_VULKAN=OFF -DSDL_DIRECTX=OFF -DSDL_RENDER_D3D=OFF \
    -DSDL_WASAPI=OFF -DSDL_XINPUT=ON
  cp "$s/_win/libSDL2.a" "$staging/lib/"
  mkdir -p "$staging/include/SDL2"
  cp "$s/include/"*.h "$staging/include/SDL2/"
  cp "$s/_win/include/"*.h "$staging/include/SDL2/" 2>/dev/null || true
  cp "$s/_win/include-config-release/"*.h "$staging/include/SDL2/" 2>/dev/null || true
  mark_built sdl2
fi

if ! done_already googletest; then
  echo "== googletest"
  g="$(fetch googletest googletest-)"
  cmake_build "$g" gtest gtest_main -- -DBUILD_GMOCK=OFF -DINSTALL_GTEST=OFF
  cp "$g/_win/lib/libgtest.a" "$g/_win/lib/libgtest_main.a" "$staging/lib/"
  cp -r "$g/googletest/include/gtest" "$staging/include/"
  mark_built googletest
fi

touch "$staging/.complete"
rm -rf "$prefix"
mv "$staging" "$prefix"
echo "$prefix"
