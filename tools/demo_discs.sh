#!/usr/bin/env bash
# Builds the program and makes the demo disc set (three discs in folders under
# build/demo-discs/) unless it is there already. Used by demo.sh and screenshot.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
discs=build/demo-discs
if [ ! -f "$discs/disc1/dvd_version.txt" ]; then
  rm -rf "$discs"
  build/make_disc_set --out="$discs" --discs=3 --size=small
fi
