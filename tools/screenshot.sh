#!/usr/bin/env bash
# Takes a picture of the Select Scenery page: the real program on the demo disc set, with
# some tiles chosen on the world map. Without an argument docs/screenshot.png in English;
# with a language code (fr, de or ru) docs/select_scenery_<language>.png in that language,
# the script finding its way by the words of the program's own translation. Runs on the
# display in DISPLAY, or on a virtual one (Xvfb) when there is none. The user's own
# desktop and data are not touched.
#   bash tools/screenshot.sh [fr|de|ru]
set -euo pipefail
cd "$(dirname "$0")/.."
code=${1:-en}
case $code in
  en) translation= ; picture=docs/screenshot.png ;;
  fr) translation=resources/French.txt ; picture=docs/select_scenery_french.png ;;
  de) translation=resources/German.txt ; picture=docs/select_scenery_german.png ;;
  ru) translation=resources/Russian.txt ; picture=docs/select_scenery_russian.png ;;
  *) echo "usage: bash tools/screenshot.sh [fr|de|ru]" >&2; exit 2 ;;
esac

# The page's words for an English text, as far as its first sentence, line break or
# parameter goes: what a page draws whole on one line or across wrapped ones.
words() {
  local text=$1
  if [ -n "$translation" ]; then
    text=$(grep -F -m1 "STRING $1====" "$translation")
    text=${text#*====}
  fi
  text=${text%%\%*}
  text=${text%%\\n*}
  printf '%s' "${text%%.*}"
}

bash tools/demo_discs.sh > /dev/null
discs=build/demo-discs
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/desktop" "$home/data" "$home/tmp"
cat > "$home/script.txt" <<SCRIPT
wait_text $(words "Welcome to the Zephiro 9 Installer.  I will guide you through the process of installing %1:install name%.")
click_text CONTINUE
wait_text $(words "I will create the folder '%1:install name%' inside the folder '%2:parent folder%'.")
click_text CONTINUE
wait_text $(words "End User License Agreement")
# the "I agree!" check box
click 250 303
click_text CONTINUE
wait_text $(words "Please pick the scenery you would like to install now.  You can use this installer to add more scenery or remove scenery later.  If you fly into an area with no scenery installed, you will see only ocean.\n\nClick on the world map to select regions to install.")
# Europe and Africa, then the Americas
drag 470 240 580 370
drag 290 250 420 340
frames 10
screenshot $PWD/$picture
quit
SCRIPT
run=(build/zephiro-installer --lang="$code" --dvd_drives="$PWD/$discs/disc1:$PWD/$discs/disc2:$PWD/$discs/disc3"
     --qa_script="$home/script.txt")
export XDG_DESKTOP_DIR="$home/desktop" XDG_DATA_HOME="$home/data" TMPDIR="$home/tmp"
if [ -n "${DISPLAY:-}" ]; then
  "${run[@]}"
else
  LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
fi
echo "$picture taken"
