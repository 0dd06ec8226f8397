#!/usr/bin/env bash
# Sets up, builds, makes the demo disc set (three discs, also as disc images) and runs the
# installer on the three images: in its window when there is a display, else the
# command-line install into build/demo-copy/. The three images are three "drives" at once,
# so in the window each request for another disc is answered with CONTINUE. Extra
# arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash setup.sh
bash tools/demo_discs.sh
discs=build/demo-discs
drives="$PWD/$discs/disc1.iso:$PWD/$discs/disc2.iso:$PWD/$discs/disc3.iso"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/zephiro-installer --dvd_drives="$drives" "$@"
fi
copy="$PWD/build/demo-copy/Zephiro 9"
rm -rf "$PWD/build/demo-copy" && mkdir -p "$PWD/build/demo-copy"
exec build/zephiro-installer --dvd_drives="$drives" --install="$copy" "$@"
