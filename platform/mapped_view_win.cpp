#include "platform/mapped_view.h"

#include <windows.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "platform/fs.h"
#include "platform/windows_text.h"

namespace {

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

// A view keeps its mapping object until it is unmapped.
struct MappingTable {
  std::mutex mutex;
  std::map<void*, HANDLE> views;
};
MappingTable& mappings() {
  static MappingTable table;
  return table;
}

}  // namespace

int open_for_mapping(const std::string& path, int* handle) { return platform::open_regular_file(path, handle); }

int mapping_file_size(int handle, uint64_t* size) {
  if (GetFileType(handle_of(handle)) != FILE_TYPE_DISK) return EINVAL;
  LARGE_INTEGER s;
  if (!GetFileSizeEx(handle_of(handle), &s)) return platform::last_system_errno();
  *size = static_cast<uint64_t>(s.QuadPart);
  return 0;
}

int map_view(int handle, uint64_t offset, size_t length, void** base) {
  HANDLE mapping = CreateFileMappingW(handle_of(handle), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return platform::last_system_errno();
  void* p = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(offset >> 32), static_cast<DWORD>(offset), length);
  if (!p) {
    int code = platform::last_system_errno();
    CloseHandle(mapping);
    return code;
  }
  std::lock_guard<std::mutex> guard(mappings().mutex);
  mappings().views[p] = mapping;
  *base = p;
  return 0;
}

void unmap_view(void* base, size_t) {
  if (!base) return;
  UnmapViewOfFile(base);
  std::lock_guard<std::mutex> guard(mappings().mutex);
  auto it = mappings().views.find(base);
  if (it == mappings().views.end()) return;
  CloseHandle(it->second);
  mappings().views.erase(it);
}

int read_view(int handle, uint64_t offset, size_t length, char* buffer, size_t* got) {
  size_t total = 0;
  while (total < length) {
    OVERLAPPED at = {};
    uint64_t where = offset + total;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD n = 0;
    DWORD step = static_cast<DWORD>(length - total > (1u << 30) ? (1u << 30) : length - total);
    if (!ReadFile(handle_of(handle), buffer + total, step, &n, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return platform::last_system_errno();
    }
    if (n == 0) break;
    total += n;
  }
  *got = total;
  return 0;
}

void close_mapping_handle(int handle) { platform::close_file(handle); }

uint64_t mapping_granularity() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwAllocationGranularity ? info.dwAllocationGranularity : 65536;
}
