#!/usr/bin/env bash
# Tests the release (dist/zephiro-installer/, made by tools/release.sh) where users are: in
# fresh minimal Debian 11 and Debian 13 chroots with only what a desktop has (the X11 client
# libraries, the D-Bus client library and Mesa), none of the libraries the program is built
# with. On each: --version, the command-line install of a generated 3-disc set that carries
# the release on disc 1 and --verify of the copy, then the window on a virtual display (the
# host's Xvfb, its socket bound into the chroot), started from disc 1, moving itself off the
# disc and driven by a script to the Select Scenery page. Before all that, the release's ELF
# headers must name no shared library outside the list every desktop has. Needs root and the
# host build's make_disc_set (build/). Runs every check and fails when any failed.
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE=$PWD
# shellcheck source=tools/chroot_common.sh
source tools/chroot_common.sh
start=$(date +%s)

RELEASE=$SOURCE/dist/zephiro-installer
PROGRAM=$RELEASE/zephiro-installer
OUT=$SOURCE/build/release-test

[ -x "$PROGRAM" ] || { echo "no release: run tools/release.sh first" >&2; exit 2; }
[ -x build/make_disc_set ] || cmake --build build -j2 --target make_disc_set
rm -rf "$OUT"
mkdir -p "$OUT"

# What the program may ask the dynamic linker for: glibc, X11 and OpenGL. SDL opens the
# rest of the display stack at run time, when it is there.
ALLOWED="libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 librt.so.1 ld-linux-x86-64.so.2 libX11.so.6 libGL.so.1 libdbus-1.so.3"
needed=$(objdump -p "$PROGRAM" | awk '$1 == "NEEDED" {print $2}')
outside=""
for lib in $needed; do
  case " $ALLOWED " in *" $lib "*) ;; *) outside="$outside $lib" ;; esac
done
echo "the release needs: $(echo $needed)"
check "the release needs no library outside the allowed list${outside:+ (it needs$outside)}" test -z "$outside"
glibc=$(objdump -T "$PROGRAM" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -1)
check "the release runs on glibc 2.31 (it needs $glibc)" test "$(printf '%s\n' "$glibc" 2.31 | sort -V | tail -1)" = 2.31
check "the release has no run path that could load libraries from elsewhere" \
  bash -c "! objdump -p '$PROGRAM' | grep -qE 'RPATH|RUNPATH'"

# The disc set, with the release on disc 1, read-only inside the chroots.
build/make_disc_set --out="$OUT/set" --discs=3 --size=tiny --release="$RELEASE" >/dev/null
check "disc 1 carries the release" cmp -s "$PROGRAM" "$OUT/set/disc1/linux/zephiro-installer/zephiro-installer"

# The host's virtual display; the chroots reach it through its socket. Xvfb names the
# display it took once it accepts clients. -noreset: without it the server resets when its
# last client goes, and SDL, which opens the display, closes it and opens it again, can
# find it resetting (a desktop's server never is).
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$OUT/display" >"$OUT/xvfb.log" 2>&1 &
xvfb_pid=$!
stop_xvfb() { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
trap 'stop_xvfb; chroot_unmount_all' EXIT
for _ in $(seq 600); do [ -s "$OUT/display" ] && break; sleep 0.1; done
display=$(head -1 "$OUT/display")
[ -n "$display" ] || { echo "Xvfb did not start: $(cat "$OUT/xvfb.log")" >&2; exit 2; }

DESKTOP_PACKAGES="libx11-6 libxext6 libxcursor1 libxi6 libxrandr2 libgl1 libgl1-mesa-dri libdbus-1-3"
# The libraries the program is built with (Mesa itself may bring zlib and libxml2 along).
BUILD_LIBRARIES="libarchive13 libsdl2-2.0-0 libpng16-16 libfreetype6 libminizip1 libdeflate0"
DRIVES=/discs/disc1:/discs/disc2:/discs/disc3
INSTALLER=/discs/disc1/linux/zephiro-installer/zephiro-installer

for suite in bullseye trixie; do
  echo "== Debian $suite"
  chroot_base "run-$suite" "$suite" "$DESKTOP_PACKAGES"
  chroot_fresh "run-$suite"
  root=$FRESH_ROOT
  chroot_mount "$root"
  chroot_bind "$OUT/set" "$root/discs" ro
  chroot_bind /tmp/.X11-unix "$root/tmp/.X11-unix"
  present=""
  for p in $BUILD_LIBRARIES; do
    if in_chroot "$root" dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then present="$present $p"; fi
  done
  check "$suite: none of the build's libraries is installed${present:+ (found$present)}" test -z "$present"

  version=$(in_chroot "$root" env HOME=/root "$INSTALLER" --version)
  check "$suite: --version names the version and the glibc it needs" \
    test "$version" = "$(printf 'Zephiro DVD Installer 2.06r1\nNeeds glibc %s or newer' "$glibc")"

  copy="/root/Zephiro 9"
  check "$suite: the command-line install of the 3-disc set" \
    in_chroot "$root" env HOME=/root "$INSTALLER" --dvd_drives=$DRIVES "--install=$copy" --scenery=all
  in_chroot "$root" env HOME=/root "$INSTALLER" --dvd_drives=$DRIVES "--verify=$copy" >"$OUT/verify-$suite.txt" 2>&1 || true
  check "$suite: --verify finds the copy whole" grep -q ": 0 missing, 0 damaged." "$OUT/verify-$suite.txt"

  # The window, from the disc: the program copies itself to the temporary folder and ends
  # with code 1, the copy runs the script and ends with the log's last line.
  # A user of its own, who has no copy yet, so that the Welcome page offers the install.
  mkdir -p "$root/home/user"
  cat >"$root/home/user/script.txt" <<'EOF'
wait_text I will guide you through the process of installing Zephiro 9 DVD.
click_text CONTINUE
wait_text I will create the folder 'Zephiro 9 DVD'
click_text CONTINUE
wait_text End User License Agreement
click_text I agree!
click_text CONTINUE
wait_text Please pick the scenery you would like to install now.
screenshot /home/user/select_scenery.png
quit
EOF
  set +e
  in_chroot "$root" env HOME=/home/user DISPLAY=":$display" "$INSTALLER" --lang=en --dvd_drives=$DRIVES \
    --qa_script=/home/user/script.txt >"$OUT/window-$suite.txt" 2>&1
  first=$?
  set -e
  check "$suite: the virtual display is still there" kill -0 "$xvfb_pid"
  check "$suite: started from the disc, the program hands over to its copy (exit code $first)" test "$first" = 1
  log=""
  for _ in $(seq 240); do
    log=$(find "$root/home/user" -name "Zephiro Installer Log.txt" 2>/dev/null | head -1)
    if [ -n "$log" ] && grep -q "Clean exit from threads." "$log"; then break; fi
    sleep 0.5
  done
  [ -n "$log" ] && cp "$log" "$OUT/window-log-$suite.txt"
  check "$suite: the copy reached Select Scenery and ended cleanly" \
    bash -c "[ -n '$log' ] && grep -q 'Clean exit from threads.' '$log' && ! grep -q 'QA script failed' '$log'"
  check "$suite: the copy ran from the temporary folder" grep -q "os_dir_this_app.*=/tmp/" "$OUT/window-log-$suite.txt"
  cp "$root/home/user/select_scenery.png" "$OUT/select_scenery-$suite.png" 2>/dev/null || true
  check "$suite: the script's screenshot of Select Scenery" test -s "$OUT/select_scenery-$suite.png"
  chroot_unmount_all
done

echo "== tools/release_test.sh took $(($(date +%s) - start)) s; $failures failed; logs in $OUT"
[ "$failures" -eq 0 ]
