#pragma once
// Ejecting a disc the way the desktop does for a user who is not root: the UDisks2 service
// on the system bus unmounts the disc's filesystem, then ejects its drive. Only root may
// unmount by itself.

#include <string>

namespace platform {

// The UDisks2 object of a block device: "/dev/sr0" is ".../block_devices/sr0"; characters
// other than letters, digits and '_' in the kernel's name become "_" and two hex digits.
std::string udisks_block_object(const std::string& device);

// Unmounts the filesystem of `device` ("/dev/sr0") and ejects the drive that holds it,
// through UDisks2 on the system bus (at DBUS_SYSTEM_BUS_ADDRESS when that is set). 0, or an errno
// value: EACCES when the service refused the user, EBUSY when the disc is in use,
// EHOSTUNREACH when there is no bus or no service, EIO for any other failure. The
// service's own words go to `detail` when given.
int udisks_eject(const std::string& device, std::string* detail = nullptr);

}  // namespace platform
