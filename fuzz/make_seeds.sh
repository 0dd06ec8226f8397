#!/usr/bin/env bash
# Remakes the seed corpora of the fuzz targets in fuzz/corpus/ from our own tools: a tiny
# disc set of build/make_disc_set, what the real program writes when it installs from it,
# and small archives and translation files made here. Needs the normal build (build/).
#   bash fuzz/make_seeds.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$PWD/build
out=$PWD/fuzz/corpus
work=$(mktemp -d "${TMPDIR:-/tmp}/zephiro-seeds.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"/{manifest,check_file,dvd_version,translation,preferences,registry,work_record,zip,sevenzip,md5_lanes,disc_image}_fuzz

# ---- a disc set, and what the installer leaves behind after two installs from it
"$bin/make_disc_set" --out="$work/set" --discs=2 --size=tiny --seed=7 >/dev/null
"$bin/make_disc_set" --out="$work/named" --discs=1 --size=tiny --seed=8 --name="  Zephiro 9 DVD (B) " >/dev/null
disc="$work/set/disc1/Zephiro 9 DVD"
mkdir -p "$work/home" "$work/data" "$work/desktop" "$work/tmp" "$work/copies"
installer() {
  HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_DESKTOP_DIR="$work/desktop" TMPDIR="$work/tmp" \
    "$bin/zephiro-installer" --dvd_drives="$work/set/disc1:$work/set/disc2" "$@" </dev/null >/dev/null 2>&1
}
installer --install="$work/copies/a" --scenery=none --pref:_log_actions=1 "--pref:_proxy_host=proxy.example"
installer --install="$work/copies/b" --scenery=all --pref:_message_1=hello
installer --verify="$work/copies/b" --pref:_get_beta=1
# With the second disc out of reach the install stops and leaves its record of unfinished work.
HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_DESKTOP_DIR="$work/desktop" TMPDIR="$work/tmp" \
  "$bin/zephiro-installer" --dvd_drives="$work/set/disc1" --install="$work/copies/c" --scenery=all \
  </dev/null >/dev/null 2>&1 || true

# ---- install manifest
mkdir -p "$work/manifest"
"$bin/extract_archive" "$disc/directory.txt.zip" "$work/manifest/" >/dev/null
manifest="$work/manifest/directory.txt"
cp "$manifest" "$out/manifest_fuzz/directory.txt"
head -n 12 "$manifest" >"$out/manifest_fuzz/first_lines.txt"
# The older version, a byte-order mark and Windows line ends.
{ printf '\xEF\xBB\xBF'; sed -e '2s/900/840/' -e 's/$/\r/' "$manifest" | head -n 20; } >"$out/manifest_fuzz/bom_crlf.txt"

# ---- dvd_version.txt
cp "$work/set/disc1/dvd_version.txt" "$out/dvd_version_fuzz/dvd_version.txt"
cp "$work/named/disc1/dvd_version.txt" "$out/dvd_version_fuzz/named.txt"

# ---- translation files
cat >"$work/french.txt" <<'EOF'
A
900
TRANSLATION
# TRAN: the buttons
STRING Find It====La trouver
STRING Please insert DVD number %1:disk number% and click continue.====Veuillez insérer le DVD numéro %1:disk number% et cliquer sur continuer.
STRING %1:seconds% second====%1:seconds% seconde
STRING %1:seconds% seconds====%1:seconds% secondes
STRING |Select All{Selects every tile====|Tout choisir{Choisit toutes les tuiles
STRING  leading====  en tête
STRING Line one\nline two====Ligne un\nligne deux
EOF
cat >"$work/russian.txt" <<'EOF'
I
900 version
TRANSLATION
STRING %1:minutes% minute====%1:minutes% минута
STRING %1:minutes% minutes====%1:minutes% минут
GENITIVE %1:minutes% minutes====%1:minutes% минуты
GENITIVE %1:hours% hours====%1:hours% часа
STRIGN misspelt====ignored
STRING a====
STRING Insert %1:a% and %2:b%====%2:b% puis %1:a%
EOF
# The first byte of a translation input picks the language.
{ printf '\x00'; cat "$work/french.txt"; } >"$out/translation_fuzz/french.txt"
{ printf '\x02'; cat "$work/russian.txt"; } >"$out/translation_fuzz/russian.txt"

# ---- preferences and registry, as the installer wrote them
cp "$work/data/Zephiro Installer.prf" "$out/preferences_fuzz/written.prf"
printf 'I\n10 version\n\n  _message_2   two words  \n_log_actions\t1\n_log_actions 0\n' >"$out/preferences_fuzz/blanks.prf"
# '@' stands for the folder that holds the fuzz target's copies.
sed "s|$work/copies/|@|" "$work/data/zephiro_install.txt" >"$out/registry_fuzz/written.txt"
printf '@a/\n/nowhere/\n@b/\r\n@a/' >"$out/registry_fuzz/mixed.txt"

# ---- the record of unfinished work
cp "$work/copies/c/.zephiro-unfinished-work.txt" "$out/work_record_fuzz/stopped_install.txt"
printf 'A\n1 version\nWORK\nBASE 1\r\nSCENERY 0  \nTILE +89-180\nTILE +90+000\nTILE x\n' >"$out/work_record_fuzz/odd_lines.txt"

# ---- check_file: the first byte picks the reader's question
header() { { printf "\\x$1"; head -c 200 "$2"; } >"$out/check_file_fuzz/$3"; }
header 00 "$manifest" manifest
header 01 "$work/set/disc1/dvd_version.txt" dvd_version
header 02 "$work/french.txt" translation
header 03 "$work/data/Zephiro Installer.prf" preferences
printf '\x04i\x84\x03\x00\x00rest' >"$out/check_file_fuzz/binary_little"
printf '\x04a\x00\x00\x03\x84rest' >"$out/check_file_fuzz/binary_big"

# ---- zip archives: some of the set's, and a few shapes of our own
for f in "Zephiro 9/Zephiro.exe.zip" "Zephiro 9/Instructions/Readme.txt.zip" \
         "Zephiro 9/Zephiro.app/Contents/MacOS/Zephiro.zip" "directory.txt.zip"; do
  cp "$disc/$f" "$out/zip_fuzz/$(basename "$f" | tr ' ' _)"
done
mkdir -p "$work/z/data/sub" "$work/z/__MACOSX/data"
echo "a member" >"$work/z/data/a.txt"
echo "deeper" >"$work/z/data/sub/b.txt"
echo "resource fork" >"$work/z/__MACOSX/data/._a.txt"
ln -s a.txt "$work/z/data/link"
(cd "$work/z" && zip -qry "$out/zip_fuzz/folders_fork_link.zip" data __MACOSX)
(cd "$work/z" && zip -q0 "$out/zip_fuzz/stored.zip" data/ data/a.txt)

# A hostile shape: a member that climbs out of the folder (its name patched in place).
mkdir -p "$work/h/XX"
echo "escaped" >"$work/h/XX/escaped.txt"
(cd "$work/h" && zip -q climbs.zip XX/escaped.txt)
LC_ALL=C sed 's|XX/escaped|../escaped|g' "$work/h/climbs.zip" >"$out/zip_fuzz/climbs_out.zip"

# ---- 7z archives: some of the set's, a solid one of two files, and one whose folder does
# not exist (7z extraction makes no folders)
find "$work/set/disc2" -name '*.7z' | sort | head -n 3 | while read -r f; do cp "$f" "$out/sevenzip_fuzz/"; done
echo "another member" >"$work/z/data/c.txt"
(cd "$work/z/data" && 7zz a -bso0 -bsp0 "$out/sevenzip_fuzz/solid.7z" a.txt c.txt >/dev/null)
(cd "$work/z" && 7zz a -bso0 -bsp0 "$out/sevenzip_fuzz/folder.7z" data >/dev/null)

# ---- MD5 lanes: a count byte, then per input a length byte, a repeat byte and its bytes
printf '\x03\x05\x01hello\x38\x02%056d\x00\x01' 0 >"$out/md5_lanes_fuzz/three"
{ printf '\x11'; seq 1 800; } >"$out/md5_lanes_fuzz/seventeen"

# ---- disc images: a small disc mastered with each set of names (no padding, to stay small)
mkdir -p "$work/iso/Zephiro 9 DVD"
cp "$work/set/disc1/dvd_version.txt" "$work/iso/"
cp "$disc/directory.txt.zip" "$work/iso/Zephiro 9 DVD/"
for names in "-r -J" "-J" "-R"; do
  seed=$(echo "$names" | tr -d ' -')
  xorriso -no_rc -as mkisofs -quiet $names -no-pad -V SEED -o "$out/disc_image_fuzz/$seed.iso" "$work/iso" >/dev/null 2>&1
done

find "$out" -type f | sort | while read -r f; do printf '%6d  %s\n' "$(wc -c <"$f")" "${f#"$PWD/"}"; done

