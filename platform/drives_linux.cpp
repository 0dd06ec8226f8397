#include "platform/drives.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <mntent.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/udisks_linux.h"

namespace platform {

namespace {

struct Mount {
  std::string device, root, type;
};

std::vector<Mount> read_mount_table() {
  std::vector<Mount> mounts;
  FILE* f = setmntent("/proc/self/mounts", "r");
  if (!f) return mounts;
  while (mntent* m = getmntent(f)) {
    Mount mount;
    mount.device = m->mnt_fsname;
    mount.root = m->mnt_dir;
    mount.type = m->mnt_type;
    if (mount.root.empty() || mount.root.back() != '/') mount.root += '/';
    mounts.push_back(mount);
  }
  endmntent(f);
  return mounts;
}

}  // namespace

std::vector<std::string> mounted_disc_roots() {
  std::vector<std::string> roots;
  for (const Mount& m : read_mount_table())
    if (m.type == "iso9660" || m.type == "udf") roots.push_back(m.root);
  return roots;
}

int eject_mounted_disc(const std::string& path) {
  std::string wanted = path;
  if (wanted.empty() || wanted.back() != '/') wanted += '/';
  // The disc whose mount point holds the path, the innermost one when mounts nest.
  const Mount* disc = nullptr;
  std::vector<Mount> mounts = read_mount_table();
  for (const Mount& m : mounts) {
    if (m.type != "iso9660" && m.type != "udf") continue;
    if (wanted.compare(0, m.root.size(), m.root) != 0) continue;
    if (!disc || m.root.size() > disc->root.size()) disc = &m;
  }
  if (!disc) return 0;
  // Only root may unmount by itself; anyone else asks the service the desktop uses.
  if (geteuid() != 0) return udisks_eject(disc->device);
  std::string dir = disc->root.size() > 1 ? disc->root.substr(0, disc->root.size() - 1) : disc->root;
  if (umount2(dir.c_str(), 0) != 0) return errno;
  int fd = open(disc->device.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return errno;
  int code = ioctl(fd, CDROMEJECT, 0) == 0 ? 0 : errno;
  close(fd);
  return code;
}

}  // namespace platform
