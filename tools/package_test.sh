#!/usr/bin/env bash
# Makes the Debian package of the host build (cpack in build/: zephiro-installer_<version>_amd64.deb,
# its dependencies found by dpkg-shlibdeps) and tests it in a fresh minimal Debian 12 chroot:
# `apt-get install ./<package>.deb` fetches what it depends on, the installed program answers
# --version and installs a generated 3-disc set from the command line, then the package is
# purged with what it brought along, and nothing of it may be left. Needs root and the host
# build (build/, configured as tools/test.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE=$PWD
# shellcheck source=tools/chroot_common.sh
source tools/chroot_common.sh
start=$(date +%s)
OUT=$SOURCE/build/package-test

cmake --build build -j2 --target zephiro-installer scaled_icons make_disc_set
rm -rf "$OUT"
mkdir -p "$OUT/pkg"
(cd build && cpack -G DEB -B "$OUT/pkg" >"$OUT/cpack.log")
deb=$(cd "$OUT/pkg" && ls zephiro-installer_*_amd64.deb)
echo "== $deb: $(dpkg-deb -f "$OUT/pkg/$deb" Depends)"
check "the package is named zephiro-installer_<version>_amd64.deb" \
  test "$deb" = "zephiro-installer_$(build/zephiro-installer --version | head -1 | awk '{print $NF}')_amd64.deb"
check "the package depends on the libraries the program links" \
  bash -c "dpkg-deb -f '$OUT/pkg/$deb' Depends | grep -q libsdl2 && dpkg-deb -f '$OUT/pkg/$deb' Depends | grep -q libarchive"
build/make_disc_set --out="$OUT/set" --discs=3 --size=tiny >/dev/null

chroot_base run-bookworm bookworm ""
chroot_fresh run-bookworm
root=$FRESH_ROOT
chroot_mount "$root"
chroot_bind "$OUT/pkg" "$root/pkg" ro
chroot_bind "$OUT/set" "$root/discs" ro

# Every path of the system but the mounts and apt's and dpkg's own records and caches.
paths() {
  (cd "$root" && find . -xdev \( -path ./proc -o -path ./sys -o -path ./dev -o -path ./pkg -o -path ./discs \
    -o -path ./var/cache -o -path ./var/lib/apt -o -path ./var/lib/dpkg -o -path ./var/log -o -path ./tmp \
    -o -path ./root \) -prune -o -print | sort)
}
paths >"$OUT/before.txt"
in_chroot "$root" apt-get update -qq
check "apt-get install ./$deb" in_chroot "$root" apt-get install -y -qq --no-install-recommends "/pkg/$deb"
in_chroot "$root" dpkg -L zephiro-installer >"$OUT/files.txt"
for f in /usr/bin/zephiro-installer /usr/share/applications/org.zephiro.ZephiroInstaller.desktop \
  /usr/share/metainfo/org.zephiro.ZephiroInstaller.metainfo.xml \
  /usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/zephiro-installer.png; do
  check "the package installs $f" grep -qx "$f" "$OUT/files.txt"
done
version=$(in_chroot "$root" zephiro-installer --version | head -1)
check "zephiro-installer --version ($version)" test "$version" = "Zephiro DVD Installer 2.06r1"
copy="/root/Zephiro 9"
check "the command-line install of the 3-disc set" \
  in_chroot "$root" env HOME=/root zephiro-installer --dvd_drives=/discs/disc1:/discs/disc2:/discs/disc3 "--install=$copy" --scenery=all
in_chroot "$root" env HOME=/root zephiro-installer --dvd_drives=/discs/disc1:/discs/disc2:/discs/disc3 "--verify=$copy" >"$OUT/verify.txt" 2>&1 || true
check "--verify finds the copy whole" grep -q ": 0 missing, 0 damaged." "$OUT/verify.txt"

check "apt-get purge --autoremove" in_chroot "$root" apt-get purge -y -qq --autoremove zephiro-installer
paths >"$OUT/after.txt"
check "nothing of the package is left (diff $OUT/before.txt after.txt)" diff "$OUT/before.txt" "$OUT/after.txt"
check "dpkg no longer knows the package" test -z "$(in_chroot "$root" dpkg-query -W zephiro-installer 2>/dev/null || true)"
chroot_unmount_all

echo "== tools/package_test.sh took $(($(date +%s) - start)) s; $failures failed; logs in $OUT"
[ "$failures" -eq 0 ]
