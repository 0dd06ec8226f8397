#!/usr/bin/env bash
# Takes docs/screenshot.png: the real program on the demo disc set, on its Select Scenery
# page with some tiles chosen on the world map. Runs on the display in DISPLAY, or on a
# virtual one (Xvfb) when there is none. The user's own desktop and data are not touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/demo_discs.sh > /dev/null
discs=build/demo-discs
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/desktop" "$home/data" "$home/tmp"
cat > "$home/script.txt" <<SCRIPT
wait_text I will guide you through the process of installing
click_text CONTINUE
wait_text I will create the folder
click_text CONTINUE
wait_text End User License Agreement
click_text I agree!
click_text CONTINUE
wait_text Please pick the scenery you would like to install now.
# Europe and Africa, then the Americas
drag 470 240 580 370
drag 290 250 420 340
frames 10
screenshot $PWD/docs/screenshot.png
quit
SCRIPT
run=(build/zephiro-installer --lang=en --dvd_drives="$PWD/$discs/disc1:$PWD/$discs/disc2:$PWD/$discs/disc3"
     --qa_script="$home/script.txt")
export XDG_DESKTOP_DIR="$home/desktop" XDG_DATA_HOME="$home/data" TMPDIR="$home/tmp"
if [ -n "${DISPLAY:-}" ]; then
  "${run[@]}"
else
  LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
fi
echo "docs/screenshot.png taken"
