#!/usr/bin/env bash
# Takes the screenshots under docs/ with the real program, each on a virtual screen
# (Xvfb) of the size it needs, driven by a scripted user: the Welcome page on an
# 800 x 480 screen, the same at --scale=2, and in Russian. Run after a build.
#   bash tools/take_screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build/make_disc_set" --out="$work/discs" --discs=1 --size=tiny > /dev/null

# shoot_after NAME SCREEN SCRIPT OPTIONS...: the page the scripted user's SCRIPT leads to,
# as docs/NAME.png, on a screen of SCREEN (WxHxDEPTH).
shoot_after() {
  local name=$1 screen=$2 steps=$3
  shift 3
  # Xvfb picks a free display number and tells it on the descriptor given.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3> "$work/display" 2> /dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  local display=":$(head -n1 "$work/display")"
  mkdir -p "$work/$name/desktop" "$work/$name/data" "$work/$name/tmp"
  printf '%s\nframes 5\nscreenshot %s\nquit\n' "$steps" "$PWD/docs/$name.png" > "$work/$name/script.txt"
  DISPLAY=$display LIBGL_ALWAYS_SOFTWARE=1 XDG_DESKTOP_DIR="$work/$name/desktop" XDG_DATA_HOME="$work/$name/data" \
    TMPDIR="$work/$name/tmp" env -u GDK_SCALE -u WAYLAND_DISPLAY "$build/zephiro-installer" \
    --dvd_drives="$work/discs/disc1" --qa_script="$work/$name/script.txt" "$@"
  kill "$xvfb_pid" && wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
  rm -f "$work/display"
  echo "docs/$name.png"
}

# shoot NAME SCREEN WAIT_TEXT OPTIONS...: the Welcome page once WAIT_TEXT is drawn.
shoot() {
  local name=$1 screen=$2 wait=$3
  shift 3
  shoot_after "$name" "$screen" "wait_text $wait" "$@"
}

shoot welcome_800x480 800x480x24 "I will guide you" --lang=en
shoot welcome_scale2 1700x1300x24 "I will guide you" --lang=en --scale=2
shoot welcome_russian 1024x768x24 "Установка Zephiro 9" --lang=ru
# The keyboard's focus ring on CONTINUE (Shift+Tab to QUIT and Tab back), and the map's
# tile cursor after three tiles were chosen with the arrows and Space.
shoot_after focus_ring_welcome 1024x768x24 "wait_text I will guide you
key SHIFT+TAB
key TAB" --lang=en
shoot_after map_cursor 1024x768x24 "wait_text I will guide you
key RETURN
wait_text I will create the folder
key RETURN
wait_text End User License Agreement
key SPACE
key RETURN
wait_text Please pick the scenery
key SPACE
key DOWN
key RIGHT
key SPACE
key END
key SPACE
key UP" --lang=en
