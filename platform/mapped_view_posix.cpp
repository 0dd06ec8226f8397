#include "platform/mapped_view.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int open_for_mapping(const std::string& path, int* handle) {
  // Non-blocking, so that a FIFO with no writer cannot hang the open.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  int code = ::fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  if (code) {
    ::close(fd);
    return code;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  *handle = fd;
  return 0;
}

int mapping_file_size(int handle, uint64_t* size) {
  struct stat st;
  if (::fstat(handle, &st) != 0) return errno;
  // A folder or a device has no bytes to view.
  if (!S_ISREG(st.st_mode)) return EINVAL;
  *size = static_cast<uint64_t>(st.st_size);
  return 0;
}

int map_view(int handle, uint64_t offset, size_t length, void** base) {
  void* p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, handle, static_cast<off_t>(offset));
  if (p == MAP_FAILED) return errno;
  *base = p;
  return 0;
}

int read_view(int handle, uint64_t offset, size_t length, char* buffer, size_t* got) {
  size_t total = 0;
  while (total < length) {
    ssize_t n = ::pread(handle, buffer + total, length - total, static_cast<off_t>(offset + total));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    total += static_cast<size_t>(n);
  }
  *got = total;
  return 0;
}

void unmap_view(void* base, size_t length) {
  if (base) ::munmap(base, length);
}

void close_mapping_handle(int handle) {
  if (handle >= 0) ::close(handle);
}

uint64_t mapping_granularity() {
  long page = ::sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<uint64_t>(page) : 4096;
}
