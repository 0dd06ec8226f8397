#!/usr/bin/env bash
# The Windows program from a clean clone: its libraries (built once from Debian's sources and
# cached outside the clone), the build in build-win/ with MinGW-w64, and its tests under Wine.
#   bash tools/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
bash setup.sh
deps=$(bash tools/windows_deps.sh | tail -n1)
echo "== libraries in $deps after $(( $(date +%s) - start )) s"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEPHIRO_WINDOWS_DEPS="$deps" "${launcher[@]}"
cmake --build build-win -j2
echo "== built after $(( $(date +%s) - start )) s"
ctest --test-dir build-win --output-on-failure
echo "== tools/windows.sh took $(( $(date +%s) - start )) s"
