#include "platform/drives.h"

#include <windows.h>
#include <winioctl.h>

#include <cerrno>

#include "platform/windows_text.h"

namespace platform {

std::vector<std::string> mounted_disc_roots() {
  std::vector<std::string> roots;
  wchar_t drives[512];
  DWORD n = GetLogicalDriveStringsW(511, drives);
  if (n == 0 || n > 511) return roots;
  // An empty drive must not bring up the system's "insert a disc" box.
  UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  for (const wchar_t* d = drives; *d; d += wcslen(d) + 1) {
    if (GetDriveTypeW(d) != DRIVE_CDROM) continue;
    roots.push_back(utf8_text(d));  // "D:\\", a drive prefix as the program writes it
  }
  SetErrorMode(old_mode);
  return roots;
}

int eject_mounted_disc(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return 0;
  std::wstring root = wide_text(path.substr(0, 2)) + L"\\";
  if (GetDriveTypeW(root.c_str()) != DRIVE_CDROM) return 0;
  // The drive's device, taken from the file system first so that nothing has it open.
  std::wstring device = L"\\\\.\\" + root.substr(0, 2);
  HANDLE h = CreateFileW(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_system_errno();
  DWORD bytes = 0;
  DeviceIoControl(h, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &bytes, nullptr);
  DeviceIoControl(h, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &bytes, nullptr);
  int code = DeviceIoControl(h, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &bytes, nullptr) ? 0 : last_system_errno();
  CloseHandle(h);
  return code;
}

}  // namespace platform
