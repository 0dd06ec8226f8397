#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

bool read_dir(const std::string& path, std::vector<DirEntry>& entries) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return false;
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    DirEntry entry;
    entry.name = e->d_name;
    if (e->d_type == DT_DIR) {
      entry.is_folder = true;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      std::string full = path;
      if (!full.empty() && full.back() != '/') full += '/';
      full += e->d_name;
      entry.is_folder = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return true;
}

bool is_symlink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool path_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool is_regular_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_executable_file(const std::string& path) {
  return is_regular_file(path) && access(path.c_str(), X_OK) == 0;
}

PathKind path_kind(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return PathKind::missing;
  if (S_ISREG(st.st_mode)) return PathKind::regular;
  if (S_ISDIR(st.st_mode)) return PathKind::folder;
  return PathKind::other;
}

int file_size(const std::string& path, uint64_t* size) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno;
  *size = static_cast<uint64_t>(st.st_size);
  return 0;
}

int file_identity(const std::string& path, uint64_t* device, uint64_t* inode) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno;
  *device = static_cast<uint64_t>(st.st_dev);
  *inode = static_cast<uint64_t>(st.st_ino);
  return 0;
}

int open_regular_file(const std::string& path, int* fd) {
  // Non-blocking, so that a FIFO with no writer does not hang the open.
  int f = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (f < 0) return errno;
  struct stat st;
  if (fstat(f, &st) != 0) {
    int e = errno;
    close(f);
    return e;
  }
  if (!S_ISREG(st.st_mode)) {
    close(f);
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  }
  fcntl(f, F_SETFL, fcntl(f, F_GETFL) & ~O_NONBLOCK);
  *fd = f;
  return 0;
}

int read_file_bytes(int fd, char* buffer, uint64_t size, uint64_t* got) {
  uint64_t total = 0;
  while (total < size) {
    ssize_t n = read(fd, buffer + total, static_cast<size_t>(std::min<uint64_t>(size - total, 1u << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    total += static_cast<uint64_t>(n);
  }
  *got = total;
  return 0;
}

int read_file_bytes_at(int fd, uint64_t offset, char* buffer, uint64_t size, uint64_t* got) {
  uint64_t total = 0;
  while (total < size) {
    ssize_t n = pread(fd, buffer + total, static_cast<size_t>(std::min<uint64_t>(size - total, 1u << 30)),
                      static_cast<off_t>(offset + total));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    total += static_cast<uint64_t>(n);
  }
  *got = total;
  return 0;
}

void close_file(int fd) {
  if (fd >= 0) close(fd);
}

int lock_held_file(int fd) {
  int r;
  do {
    r = flock(fd, LOCK_EX);
  } while (r != 0 && errno == EINTR);
  if (r != 0) return errno;
  struct stat st;
  if (fstat(fd, &st) != 0) return errno;
  return st.st_nlink > 0 ? 0 : ENOENT;
}

int try_lock_path(const std::string& path, int* fd) {
  int f = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (f < 0) return errno;
  if (flock(f, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    close(f);
    return e;
  }
  *fd = f;
  return 0;
}

int open_folder(const std::string& path, int* fd) {
  int f = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (f < 0) return errno;
  *fd = f;
  return 0;
}

int process_id() { return static_cast<int>(getpid()); }

bool process_alive(int pid) {
  if (pid <= 0) return false;
  // EPERM: the process is there, it only belongs to someone else.
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

int sync_to_disk(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  int code = fsync(fd) == 0 ? 0 : errno;
  close(fd);
  // A filesystem that has nothing to sync (or cannot) has done what it can.
  return code == EINVAL || code == EROFS ? 0 : code;
}

int create_new_file(const std::string& path, int* fd) {
  int f = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (f < 0) return errno;
  *fd = f;
  return 0;
}

int write_file_bytes(int fd, const void* data, uint64_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, static_cast<size_t>(std::min<uint64_t>(size, 1u << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    p += n;
    size -= static_cast<uint64_t>(n);
  }
  return 0;
}

int close_written_file(int fd) { return close(fd) == 0 ? 0 : errno; }

int open_for_append(const std::string& path, int* fd) {
  int f = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (f < 0) return errno;
  *fd = f;
  return 0;
}

int rename_path(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int make_dir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }
int remove_file(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }
int remove_dir(const std::string& path) { return rmdir(path.c_str()) == 0 ? 0 : errno; }

int add_owner_write(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno;
  if (st.st_mode & S_IWUSR) return 0;
  return chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 ? 0 : errno;
}

namespace {

// Copies the rest of `in` to `out` in the kernel; EINVAL when the pair does not allow it.
int send_bytes(int in, int out, uint64_t size) {
  while (size > 0) {
    ssize_t n = sendfile(out, in, nullptr, static_cast<size_t>(std::min<uint64_t>(size, 1u << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;  // the source ended before its size: it changed under us
    size -= static_cast<uint64_t>(n);
  }
  return 0;
}

int read_and_write_bytes(int in, int out) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (int code = write_file_bytes(out, buffer.data(), static_cast<uint64_t>(n))) return code;
  }
}

}  // namespace

// A write that stores fewer bytes than asked is carried on from where it stopped, so a full
// disk shows as its own error (ENOSPC) rather than as a failed copy of unknown cause.
int copy_file(const std::string& source, const std::string& target) {
  int in = -1;
  if (int code = open_regular_file(source, &in)) return code;
  struct stat st;
  if (fstat(in, &st) != 0) {
    int code = errno;
    close(in);
    return code;
  }
  int out = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    int code = errno;
    close(in);
    return code;
  }
  // Emptied only once it is known not to be the source itself.
  struct stat target_st;
  int code = fstat(out, &target_st) != 0 ? errno
             : target_st.st_dev == st.st_dev && target_st.st_ino == st.st_ino ? EINVAL
             : ftruncate(out, 0) != 0 ? errno
             : fchmod(out, st.st_mode & 07777) != 0 ? errno : 0;
  if (!code) {
    code = send_bytes(in, out, static_cast<uint64_t>(st.st_size));
    if (code == EINVAL || code == ENOSYS) {
      // Not every pair of filesystems takes sendfile: the copy starts again by hand.
      code = lseek(in, 0, SEEK_SET) == 0 && ftruncate(out, 0) == 0 && lseek(out, 0, SEEK_SET) == 0
                 ? read_and_write_bytes(in, out)
                 : errno;
    }
  }
  close(in);
  int closed = close_written_file(out);
  return code ? code : closed;
}

int fs_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes) {
  struct statvfs s;
  if (statvfs(path.c_str(), &s) != 0) return errno;
  if (total_bytes) *total_bytes = static_cast<uint64_t>(s.f_blocks) * s.f_frsize;
  if (free_bytes) *free_bytes = static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
  return 0;
}

// Names here are bytes the kernel takes as they are.
std::FILE* open_stdio_file(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::vector<std::string> program_parameters(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

std::string program_file_path() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string home_folder() {
  std::string home = env("HOME");
  if (home.empty()) {
    if (passwd* pw = getpwuid(getuid())) home = pw->pw_dir ? pw->pw_dir : "";
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home.empty() ? "/" : home;
}

std::string desktop_data_folder() {
  // A relative value is invalid by the base directory rules and is ignored.
  std::string data = env("XDG_DATA_HOME");
  if (data.empty() || data[0] != '/') data = home_folder() + "/.local/share";
  while (data.size() > 1 && data.back() == '/') data.pop_back();
  return data;
}

std::string current_folder() {
  char buf[4096];
  if (!getcwd(buf, sizeof(buf))) return "/";
  std::string folder = buf;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string desktop_folder() {
  std::string result = env("XDG_DESKTOP_DIR");
  if (!result.empty()) return result;
  // The desktop entry of the user's folder settings, e.g. XDG_DESKTOP_DIR="$HOME/Desktop".
  std::string home = home_folder();
  FILE* f = std::fopen((home + "/.config/user-dirs.dirs").c_str(), "r");
  if (f) {
    char line[1024];
    while (std::fgets(line, sizeof(line), f)) {
      std::string s(line);
      const std::string key = "XDG_DESKTOP_DIR=";
      size_t k = s.find_first_not_of(" \t");
      if (k == std::string::npos || s.compare(k, key.size(), key) != 0) continue;
      std::string v = s.substr(k + key.size());
      while (!v.empty() && (v.back() == '\n' || v.back() == '\r' || v.back() == ' ')) v.pop_back();
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      if (v.compare(0, 5, "$HOME") == 0) v = home + v.substr(5);
      if (!v.empty() && v[0] == '/') result = v;
    }
    std::fclose(f);
  }
  if (result.empty()) {
    std::vector<DirEntry> probe;
    result = read_dir(home + "/Desktop", probe) ? home + "/Desktop" : home;
  }
  return result;
}

std::string temp_folder() {
  std::string result = env("TMPDIR");
  return result.empty() ? "/tmp" : result;
}

std::string local_data_folder() {
  std::string result = env("XDG_DATA_HOME");
  return result.empty() ? home_folder() + "/.local/share" : result;
}

int start_detached(const std::string& file, const std::vector<std::string>& args) {
  // The grandchild reports a failed exec through a close-on-exec pipe: an empty
  // read means the program is running.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return errno;
  pid_t child = fork();
  if (child < 0) {
    int e = errno;
    close(fds[0]);
    close(fds[1]);
    return e;
  }
  if (child == 0) {
    close(fds[0]);
    setsid();
    pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(file.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(file.c_str(), argv.data());
    int e = errno;
    ssize_t w = write(fds[1], &e, sizeof(e));
    (void)w;
    _exit(127);
  }
  close(fds[1]);
  int status = 0;
  waitpid(child, &status, 0);
  int exec_error = 0;
  ssize_t n;
  do {
    n = read(fds[0], &exec_error, sizeof(exec_error));
  } while (n < 0 && errno == EINTR);
  close(fds[0]);
  if (n == static_cast<ssize_t>(sizeof(exec_error))) return exec_error ? exec_error : ENOEXEC;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return ECHILD;
  return 0;
}

bool find_program(const std::string& name) {
  std::string path = env("PATH");
  if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (!dir.empty() && is_executable_file(dir + "/" + name)) return true;
    start = end + 1;
  }
  return false;
}

int open_with_desktop(const std::string& path) {
  if (!find_program("xdg-open")) return no_associated_program;
  return start_detached("/usr/bin/xdg-open", {path});
}

std::string system_error_text(int code) {
  if (code <= 0) return std::string();
  char buf[256];
  // GNU strerror_r returns the message, which may not be in buf.
  const char* text = strerror_r(code, buf, sizeof(buf));
  if (!text || std::strncmp(text, "Unknown error", 13) == 0) return std::string();
  return text;
}

}  // namespace platform
