#!/usr/bin/env bash
# The Windows program under Wine, without a window: what the .exe imports, then a generated
# 3-disc set installed, verified, damaged, repaired and verified again through
# zephiro-installer.exe, with the drives given as Windows paths separated by ';'; then the
# same for a user whose folders, and the copy's, have non-ASCII names.
#   bash tests/windows/command_line_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
export WINEPREFIX=${WINEPREFIX:-$build/wine} WINEDEBUG=-all
# Wine reads the Linux side's file names and parameters in the locale's character set: UTF-8,
# whatever locale the caller has (in the C locale "Jörg" would not survive the way in).
export LC_ALL=C.UTF-8
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# Wine's view of a Linux path: the whole file system is drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# The prefix's register: one setting's "TYPE VALUE", and setting one.
setting() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p"; }
put() { wine reg add "$1" /v "$2" /t "$3" /d "$4" /f > /dev/null 2>&1; }
# User folders this script moves are noted here first, and put back from here: at its end,
# and at the start of the next run when this one was killed in between.
moved_settings="$WINEPREFIX/zephiro-moved-user-folders.txt"
put_back() {
  [ -f "$moved_settings" ] || return 0
  local key name type value
  while IFS=$'\t' read -r key name type value; do put "$key" "$name" "$type" "$value"; done < "$moved_settings"
  wineserver -w
  rm -f "$moved_settings"
}
put_back

# --- one program file that needs nothing but Windows
allowed="kernel32.dll user32.dll gdi32.dll shell32.dll ole32.dll oleaut32.dll advapi32.dll bcrypt.dll
opengl32.dll imm32.dll winmm.dll version.dll setupapi.dll cfgmgr32.dll msvcrt.dll comdlg32.dll"
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'; }
strangers() {  # the imports of $1 that are not part of Windows
  local dll
  for dll in $(imports "$1"); do
    [[ " ${allowed//$'\n'/ } " == *" $dll "* ]] || echo "$dll"
  done
}
exe=$build/zephiro-installer.exe
[ -n "$(imports "$exe")" ] || fail "no imports read from $exe"
extra=$(strangers "$exe")
[ -z "$extra" ] || fail "zephiro-installer.exe needs DLLs that Windows does not have: $extra"
# The check itself: a program linked against the compiler's shared runtime is caught.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf '#include <string>\nint main(int c, char**) { return (int)std::to_string(c).size(); }\n' > "$probe/p.cpp"
x86_64-w64-mingw32-g++-posix "$probe/p.cpp" -o "$probe/p.exe" 2>/dev/null
[[ "$(strangers "$probe/p.exe")" == *libstdc++-6.dll* ]] || fail "the DLL check misses libstdc++-6.dll"

# --- a set of three discs with the Windows stand-in for the simulator
work=$probe
wine "$build/make_disc_set.exe" --out="$(winpath "$work/set")" --discs=3 --no-tools > "$work/make.txt" 2>&1 ||
  fail "make_disc_set.exe: $(cat "$work/make.txt")"
discs="$(winpath "$work/set/disc1");$(winpath "$work/set/disc2");$(winpath "$work/set/disc3")"
run() {  # run ARGS...: the installer under Wine; output in $out, exit code in $code
  out=$(cd "$work" && wine "$exe" --dvd_drives="$discs" "$@" 2>&1)
  code=$?
}
copy="$work/Zephiro 9"
run --install="$(winpath "$copy")" --scenery=+40+070,+20+070
[ "$code" = 0 ] || fail "install ended with $code: $out"
# Windows' files by default (IBM): the real Zephiro.exe, and neither the Linux nor the Mac program.
cmp -s "$copy/Zephiro.exe" "$build/Zephiro.exe" || fail "Zephiro.exe is not the stand-in program"
[ ! -e "$copy/Zephiro" ] || fail "the Linux simulator was installed on Windows"
[ ! -e "$copy/Zephiro.app" ] || fail "the Mac simulator was installed on Windows"
# The chosen tiles (7z archives, LZMA and LZMA2) and no other.
tiles="$copy/Global Scenery/-global terrain-"
for t in +40+070/+43+073.dsf +20+070/+27+076.dsf; do [ -f "$tiles/$t" ] || fail "tile $t is not in the copy"; done
[ ! -e "$tiles/-30+010" ] || fail "a tile that was not chosen was installed"

run --verify="$(winpath "$copy")"
[ "$code" = 0 ] || fail "verify of a fresh copy ended with $code: $out"
[[ "$out" == *": 0 missing, 0 damaged."* ]] || fail "verify summary: $out"

# --- damage one file and remove another; verify names both, repair puts them back
cp "$copy/Instructions/Readme.txt" "$work/readme.orig"
printf 'scribbled over' >> "$copy/Instructions/Readme.txt"
rm "$copy/Airfoils/NACA 2412.afl"
run --verify="$(winpath "$copy")"
[ "$code" = 2 ] || fail "verify of a damaged copy ended with $code: $out"
[[ "$out" == *$'damaged\tInstructions/Readme.txt'* ]] || fail "verify does not name the damaged file: $out"
[[ "$out" == *$'missing\tAirfoils/NACA 2412.afl'* ]] || fail "verify does not name the missing file: $out"
# Without a console to ask, the file the user changed is kept; the missing one comes back.
run --repair="$(winpath "$copy")"
[ "$code" = 0 ] || fail "repair ended with $code: $out"
[ -f "$copy/Airfoils/NACA 2412.afl" ] || fail "repair did not restore NACA 2412.afl"
cmp -s "$copy/Instructions/Readme.txt" "$work/readme.orig" && fail "repair replaced a changed file unasked"
run --repair="$(winpath "$copy")" --conflicts=overwrite
[ "$code" = 0 ] || fail "repair with --conflicts=overwrite ended with $code: $out"
cmp -s "$copy/Instructions/Readme.txt" "$work/readme.orig" || fail "repair did not restore Readme.txt"
run --verify="$(winpath "$copy")"
[ "$code" = 0 ] || fail "verify after the repair ended with $code: $out"

# --- the installed simulator stand-in starts and notes it beside itself
(cd "$work" && wine "$copy/Zephiro.exe" one two > /dev/null 2>&1)
grep -q "Zephiro 9 started with 2 parameters" "$copy/Zephiro started.txt" 2>/dev/null ||
  fail "Zephiro.exe did not note its start"

# The copy was registered in the prefix's user data: the register goes with the copy.
appdata=$(winepath -u "$(wine cmd /c "echo %LOCALAPPDATA%" 2>/dev/null | tr -d '\r')" 2>/dev/null)
grep -qF "$(winpath "$copy")" "$appdata/zephiro_install.txt" 2>/dev/null ||
  grep -qF "Z:\\${copy#/}" "$appdata/zephiro_install.txt" 2>/dev/null || fail "the copy was not registered"
rm -f "$appdata/zephiro_install.txt"

# --- a user whose folders have non-ASCII names: the prefix's desktop, data and temporary
# folders moved under "Jörg Ωmega" for this part (and put back afterwards, however the script
# ends), and the copy installed into such a folder. The log, the register, the preferences
# and the archives' scratch copies all live under those names; the names reach the program
# as parameters too.
user="$work/Jörg Ωmega"
mkdir -p "$user/Desktop" "$user/AppData" "$user/Temp"
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
keys=("$shell_folders" "$shell_folders" 'HKCU\Environment' 'HKCU\Environment')
names=(Desktop "Local AppData" TEMP TMP)
places=("$user/Desktop" "$user/AppData" "$user/Temp" "$user/Temp")
: > "$moved_settings.new"
for i in 0 1 2 3; do
  v=$(setting "${keys[$i]}" "${names[$i]}")
  [ -n "$v" ] || { fail "cannot read the prefix's setting ${names[$i]}"; continue; }
  printf '%s\t%s\t%s\t%s\n' "${keys[$i]}" "${names[$i]}" "${v%% *}" "${v#* }" >> "$moved_settings.new"
done
mv "$moved_settings.new" "$moved_settings"
trap 'put_back; rm -rf "$probe"' EXIT
for i in 0 1 2 3; do
  grep -qF "${names[$i]}"$'\t' "$moved_settings" || continue  # only what can be put back
  type=REG_EXPAND_SZ
  [ "${keys[$i]}" = "$shell_folders" ] || type=REG_SZ
  put "${keys[$i]}" "${names[$i]}" "$type" "$(winpath "${places[$i]}")"
done
wineserver -w
copy="$user/Zephiro 9 Ωmega"
run --install="$(winpath "$copy")" --scenery=+40+070
[ "$code" = 0 ] || fail "install into a non-ASCII folder ended with $code: $out"
[ -f "$copy/Global Scenery/-global terrain-/+40+070/+43+073.dsf" ] ||
  fail "the tile is not in the non-ASCII copy: $(ls "$user")"
run --verify="$(winpath "$copy")"
[ "$code" = 0 ] && [[ "$out" == *": 0 missing, 0 damaged."* ]] || fail "verify of the non-ASCII copy: $code $out"
log="$user/Desktop/Zephiro Installer Log.txt"
grep -q "Installer log.txt for" "$log" 2>/dev/null || fail "no log on the non-ASCII desktop: $(ls -R "$user")"
register="$user/AppData/zephiro_install.txt"
grep -qF "$(winpath "$copy")" "$register" 2>/dev/null || grep -qF "Z:\\${copy#/}" "$register" 2>/dev/null ||
  fail "the non-ASCII copy was not registered in the non-ASCII data folder: $(ls "$user/AppData")"
head -c 2 "$user/AppData/Zephiro Installer.prf" 2>/dev/null | grep -q "^I" ||
  fail "no preferences in the non-ASCII data folder: $(ls "$user/AppData")"
[ -z "$(ls -A "$user/Temp")" ] || fail "scratch files were left in the temporary folder: $(ls -A "$user/Temp")"
put_back
trap 'rm -rf "$probe"' EXIT

[ "$failures" = 0 ] && echo "all checks passed"
exit $((failures > 0))
