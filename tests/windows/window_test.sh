#!/usr/bin/env bash
# The Windows program's window under Wine on a virtual screen: a QA script installs a
# generated 3-disc set from Welcome to "Installation was successful.", changing discs on the
# way, and pictures the Select Scenery page as the Windows build draws it; the next start
# runs the installed simulator from the main menu.
#   bash tests/windows/window_test.sh BUILD_DIR [PICTURE]
set -uo pipefail
build=$(cd "$1" && pwd)
picture=${2:-}
export WINEPREFIX=${WINEPREFIX:-$build/wine} WINEDEBUG=-all
# Every Wine process of the run on one virtual screen: a Wine server started without a
# display (an earlier run's) would leave the window nowhere to go, so it is let end first.
if [ -z "${ZEPHIRO_WINDOW_TEST_SCREEN:-}" ]; then
  wineserver -w
  ZEPHIRO_WINDOW_TEST_SCREEN=1 LIBGL_ALWAYS_SOFTWARE=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
winpath() { printf 'Z:%s' "${1//\//\\}"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# The user's folders as this Wine prefix has them: the copy goes to the desktop, and the
# register of installed copies must start empty.
windows_folder() { wine cmd /c "echo %$1%" 2>/dev/null | tr -d '\r'; }
profile=$(windows_folder USERPROFILE)
desktop="$(winepath -u "$profile" 2>/dev/null)/Desktop"
appdata=$(winepath -u "$(windows_folder LOCALAPPDATA)" 2>/dev/null)
copy="$desktop/Zephiro 9 DVD"
windows_copy="$profile\\Desktop\\Zephiro 9 DVD"
[ -d "$appdata" ] || fail "no local application data folder in the Wine prefix"
rm -rf "$copy" "$appdata/zephiro_install.txt" "$appdata/Zephiro Installer.prf"

wine "$build/make_disc_set.exe" --out="$(winpath "$work/set")" --discs=3 --no-tools > "$work/make.txt" 2>&1 ||
  fail "make_disc_set.exe: $(cat "$work/make.txt")"
disc() { winpath "$work/set/disc$1"; }
shot=$work/select_scenery.png
cat > "$work/script.txt" <<SCRIPT
wait_text I will guide you through the process of installing Zephiro 9 DVD.
click_text CONTINUE
wait_text You have enough free disk space to install Zephiro 9 at this location.
click_text CONTINUE
wait_text End User License Agreement
click_text I agree!
click_text CONTINUE
wait_text Please pick the scenery you would like to install now.
drag 470 240 580 370
drag 290 250 420 340
frames 10
screenshot $(winpath "$shot")
click_text CONTINUE
wait_text Please insert DVD number 2 and click continue.
set_drives $(disc 2)
click_text CONTINUE
wait_text Please insert DVD number 3 and click continue.
set_drives $(disc 3)
click_text CONTINUE
wait_text Finished Installing Zephiro
wait_text Installation was successful.
click_text QUIT
SCRIPT
# Wine's OpenGL goes through the virtual screen's GLX, drawn by Mesa in software.
timeout 600 wine "$build/zephiro-installer.exe" --lang=en --dvd_drives="$(disc 1)" --qa_script="$(winpath "$work/script.txt")" \
  > "$work/run.txt" 2>&1
code=$?
[ "$code" = 0 ] || fail "the QA flow ended with $code: $(tail -n 20 "$work/run.txt"; tail -n 20 "$desktop/Zephiro Installer Log.txt" 2>/dev/null)"
[ -s "$shot" ] || fail "no picture of the Select Scenery page"
[ -z "$picture" ] || [ ! -s "$shot" ] || cp "$shot" "$picture"

# What the window installed is whole, as the command line sees it.
out=$(cd "$work" && wine "$build/zephiro-installer.exe" --dvd_drives="$(disc 1);$(disc 2);$(disc 3)" \
  --verify="$windows_copy" 2>&1)
[ $? = 0 ] || fail "verify after the window's install: $out"
[[ "$out" == *": 0 missing, 0 damaged."* ]] || fail "verify summary: $out"
[ -f "$copy/Zephiro.exe" ] || fail "no Zephiro.exe in the copy"

# The next start finds the registered copy, and Run Zephiro Now starts its Zephiro.exe
# through the shell and ends the installer (exit code 1 while the simulator runs on).
cat > "$work/run_script.txt" <<SCRIPT
wait_text You already have Zephiro 9 installed on this computer.  What would you like to do?
click_text Run Zephiro Now
frames 100
wait_text never drawn: the program has ended
SCRIPT
timeout 300 wine "$build/zephiro-installer.exe" --lang=en --dvd_drives="$(disc 1)" \
  --qa_script="$(winpath "$work/run_script.txt")" > "$work/run2.txt" 2>&1
code=$?
[ "$code" = 1 ] || fail "Run Zephiro Now ended the installer with $code: $(tail -n 20 "$work/run2.txt")"
for _ in $(seq 50); do [ -s "$copy/Zephiro started.txt" ] && break; sleep 0.2; done
grep -q "Zephiro 9 started with 0 parameters" "$copy/Zephiro started.txt" 2>/dev/null ||
  fail "Run Zephiro Now did not start the copy's Zephiro.exe"
rm -rf "$copy" "$appdata/zephiro_install.txt" "$appdata/Zephiro Installer.prf"
wineserver -w
[ "$failures" = 0 ] && echo "all checks passed"
exit $((failures > 0))
