# Shared by release.sh, release_test.sh and package_test.sh (sourced, not run): Debian chroots
# made with debootstrap from Debian's archive and kept in one cache folder outside the clone,
# with one package cache for all of them, and the mounts a chroot needs, always undone.
#
#   ZEPHIRO_RELEASE_CACHE  the cache folder (default /var/cache/zephiro-release)
#   ZEPHIRO_MIRROR         the Debian archive (default http://deb.debian.org/debian)

CACHE=${ZEPHIRO_RELEASE_CACHE:-/var/cache/zephiro-release}
MIRROR=${ZEPHIRO_MIRROR:-http://deb.debian.org/debian}
DEBS=$CACHE/debs
mkdir -p "$DEBS/partial"

if [ "$(id -u)" -ne 0 ]; then
  echo "$(basename "$0"): chroots need root" >&2
  exit 2
fi

# Every mount made through chroot_mount, newest first, so that the trap can undo them all.
CHROOT_MOUNTS=()
CHROOT_SCRATCH=()

chroot_unmount_all() {
  local m
  for m in "${CHROOT_MOUNTS[@]}"; do
    umount -l "$m" 2>/dev/null || true
  done
  CHROOT_MOUNTS=()
  for m in "${CHROOT_SCRATCH[@]}"; do
    # Only ever a folder this script made; nothing may still be mounted under it.
    if ! grep -q " $m/" /proc/mounts; then rm -rf "$m"; fi
  done
  CHROOT_SCRATCH=()
}
trap chroot_unmount_all EXIT
trap 'exit 130' INT TERM

chroot_bind() {  # source target [ro]
  mkdir -p "$2"
  mount --bind "$1" "$2"
  CHROOT_MOUNTS=("$2" "${CHROOT_MOUNTS[@]}")
  if [ "${3:-}" = ro ]; then mount -o remount,bind,ro "$2"; fi
}

# /proc, /sys, /dev and the shared package cache inside `root`.
chroot_mount() {
  local root=$1
  mkdir -p "$root/proc" "$root/sys" "$root/dev"
  mount -t proc proc "$root/proc"
  CHROOT_MOUNTS=("$root/proc" "${CHROOT_MOUNTS[@]}")
  chroot_bind /sys "$root/sys" ro
  # /dev with what is mounted under it (pts, shm); a slave, so that its unmount never
  # reaches the host's /dev.
  mount --rbind /dev "$root/dev"
  mount --make-rslave "$root/dev"
  CHROOT_MOUNTS=("$root/dev" "${CHROOT_MOUNTS[@]}")
  chroot_bind "$DEBS" "$root/var/cache/apt/archives"
}

in_chroot() {  # root command...
  local root=$1
  shift
  LC_ALL=C.UTF-8 LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin chroot "$root" "$@"
}

# A minimal Debian `suite` with `packages` (space-separated) in $CACHE/<name>, made when
# missing or made with other packages (a half-made one from a killed run is made again).
chroot_base() {  # name suite packages
  local name=$1 suite=$2 packages=$3 root=$CACHE/$1
  if [ "$(cat "$root/.complete" 2>/dev/null)" = "$suite: $packages" ]; then return 0; fi
  echo "== making the $suite chroot $root (debootstrap from $MIRROR)"
  rm -rf "$root" "$root.partial"
  debootstrap --variant=minbase --cache-dir="$DEBS" "$suite" "$root.partial" "$MIRROR" >"$CACHE/$name.log" 2>&1 || {
    tail -20 "$CACHE/$name.log" >&2
    return 1
  }
  # Downloaded packages stay in the shared cache; apt must not empty it.
  echo 'APT::Keep-Downloaded-Packages "true"; Binary::apt::APT::Keep-Downloaded-Packages "true";' \
    >"$root.partial/etc/apt/apt.conf.d/10keep-debs"
  rm -f "$root.partial/etc/apt/apt.conf.d/docker-clean"
  if [ -n "$packages" ]; then
    chroot_mount "$root.partial"
    in_chroot "$root.partial" apt-get update -qq
    # shellcheck disable=SC2086
    in_chroot "$root.partial" apt-get install -y -qq --no-install-recommends $packages >>"$CACHE/$name.log" 2>&1 || {
      tail -20 "$CACHE/$name.log" >&2
      chroot_unmount_all
      return 1
    }
    chroot_unmount_all
  fi
  echo "$suite: $packages" >"$root.partial/.complete"
  mv "$root.partial" "$root"
}

# A fresh copy of the cached chroot `name` for one test in $FRESH_ROOT, removed at exit.
chroot_fresh() {  # name
  FRESH_ROOT=$(mktemp -d "$CACHE/fresh-$1.XXXXXX")
  CHROOT_SCRATCH+=("$FRESH_ROOT")
  cp -a "$CACHE/$1/." "$FRESH_ROOT/"
}

# One named check of a test script: prints ok or FAIL and counts the failures.
failures=0
check() {  # what command...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
