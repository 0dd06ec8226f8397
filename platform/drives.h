#pragma once
// Optical drives: the mounted disc filesystems, or the folders given to act as drives.

#include <string>
#include <vector>

namespace platform {

// Mount points (ending '/') of the mounted iso9660 and udf filesystems, in mount-table order.
std::vector<std::string> mounted_disc_roots();
// Unmounts the disc that holds `path` and ejects its device: root does it itself, anyone
// else through the UDisks2 service (platform/udisks_linux.h). 0, or an errno value.
// A path on no mounted disc (a folder acting as a drive) is left alone: 0.
int eject_mounted_disc(const std::string& path);

}  // namespace platform
