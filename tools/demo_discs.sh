#!/usr/bin/env bash
# Builds the program and makes the demo disc set unless it is there already: three discs
# in folders under build/demo-discs/ (disc1 ... disc3) and the same discs mastered as disc
# images (disc1.iso ... disc3.iso). Used by demo.sh and screenshot.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
discs=build/demo-discs
if [ ! -f "$discs/disc1/dvd_version.txt" ] || [ ! -f "$discs/disc3.iso" ]; then
  rm -rf "$discs"
  build/make_disc_set --out="$discs" --discs=3 --size=small --iso
fi
