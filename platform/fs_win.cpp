#include "platform/fs.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/host.h"
#include "platform/windows_text.h"

namespace platform {

namespace {

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

// Kernel handles fit in 32 bits on 64-bit Windows, so they travel as the descriptors
// the rest of the program passes around (-1 stays "none").
int fd_of(HANDLE h) { return static_cast<int>(reinterpret_cast<intptr_t>(h)); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

DWORD attributes_of(const std::string& path) { return GetFileAttributesW(wide_path(path).c_str()); }

// The program's path convention: '/' after the drive prefix, which keeps its "X:\".
std::string program_path(const std::wstring& wide) { return program_path_of(utf8_text(wide.c_str())); }

std::string strip_separator(std::string s) {
  while (s.size() > 3 && (s.back() == '/' || s.back() == '\\')) s.pop_back();
  return s;
}

std::string known_folder(REFKNOWNFOLDERID id) {
  PWSTR found = nullptr;
  std::string out;
  // A folder the settings name but that is not there yet is still the one: the program
  // makes what it needs, as it does on Linux.
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &found)) && found) out = program_path(found);
  CoTaskMemFree(found);
  // The root of the system drive when the shell has none.
  return out.empty() ? "C:\\" : strip_separator(out);
}

// The advisory locks: a named kernel semaphore per file (by volume and file index, which
// a rename keeps). The system closes the holder's handle however the process ends, and
// the semaphore then goes with it.
struct LockTable {
  std::mutex mutex;
  std::map<int, HANDLE> held;  // file descriptor -> semaphore it holds
};
LockTable& locks() {
  static LockTable table;
  return table;
}

int take_lock(int fd, DWORD wait_ms) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle_of(fd), &info)) return last_system_errno();
  wchar_t name[96];
  swprintf(name, 96, L"Local\\zephiro-lock-%08lx-%08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh,
           info.nFileIndexLow);
  HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, name);
  if (!semaphore) return last_system_errno();
  DWORD r = WaitForSingleObject(semaphore, wait_ms);
  if (r != WAIT_OBJECT_0) {
    CloseHandle(semaphore);
    return r == WAIT_TIMEOUT ? EWOULDBLOCK : EIO;
  }
  std::lock_guard<std::mutex> guard(locks().mutex);
  locks().held[fd] = semaphore;
  return 0;
}

void release_lock(int fd) {
  HANDLE semaphore = nullptr;
  {
    std::lock_guard<std::mutex> guard(locks().mutex);
    auto it = locks().held.find(fd);
    if (it == locks().held.end()) return;
    semaphore = it->second;
    locks().held.erase(it);
  }
  ReleaseSemaphore(semaphore, 1, nullptr);
  CloseHandle(semaphore);
}

int open_handle(const std::string& path, DWORD access, DWORD creation, DWORD flags, int* fd) {
  HANDLE h = CreateFileW(wide_path(path).c_str(), access, kShareAll, nullptr, creation, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_system_errno();
  *fd = fd_of(h);
  return 0;
}

std::string quoted_parameters(const std::vector<std::string>& args) {
  std::string out;
  for (const std::string& a : args) {
    if (!out.empty()) out += ' ';
    out += a.find_first_of(" \t") == std::string::npos ? a : "\"" + a + "\"";
  }
  return out;
}

}  // namespace

bool read_dir(const std::string& path, std::vector<DirEntry>& entries) {
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '/' && pattern.back() != '\\') pattern += '/';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide_path(pattern + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
    DirEntry entry;
    entry.name = utf8_text(found.cFileName);
    entry.is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      DWORD target = attributes_of(pattern + entry.name);
      entry.is_folder = target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY);
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

bool is_symlink(const std::string& path) {
  DWORD a = attributes_of(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool path_exists(const std::string& path) { return attributes_of(path) != INVALID_FILE_ATTRIBUTES; }

bool is_regular_file(const std::string& path) { return path_kind(path) == PathKind::regular; }

bool is_executable_file(const std::string& path) {
  if (!is_regular_file(path) || path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".cmd";
}

PathKind path_kind(const std::string& path) {
  DWORD a = attributes_of(path);
  if (a == INVALID_FILE_ATTRIBUTES) return PathKind::missing;
  if (a & FILE_ATTRIBUTE_DIRECTORY) return PathKind::folder;
  if (a & FILE_ATTRIBUTE_DEVICE) return PathKind::other;
  return PathKind::regular;
}

int file_size(const std::string& path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide_path(path).c_str(), GetFileExInfoStandard, &data)) return last_system_errno();
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return 0;
}

int file_identity(const std::string& path, uint64_t* device, uint64_t* inode) {
  int fd = -1;
  if (int code = open_handle(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, &fd)) return code;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(handle_of(fd), &info);
  int code = ok ? 0 : last_system_errno();
  CloseHandle(handle_of(fd));
  if (!ok) return code;
  *device = info.dwVolumeSerialNumber;
  *inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return 0;
}

int open_regular_file(const std::string& path, int* fd) {
  PathKind kind = path_kind(path);
  if (kind == PathKind::folder) return EISDIR;
  int f = -1;
  if (int code = open_handle(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, &f)) return code;
  // A console, a pipe or a device may never end: only files on a disk are read.
  if (GetFileType(handle_of(f)) != FILE_TYPE_DISK) {
    CloseHandle(handle_of(f));
    return EINVAL;
  }
  *fd = f;
  return 0;
}

int read_file_bytes(int fd, char* buffer, uint64_t size, uint64_t* got) {
  uint64_t total = 0;
  while (total < size) {
    DWORD n = 0;
    DWORD step = static_cast<DWORD>(std::min<uint64_t>(size - total, 1u << 30));
    if (!ReadFile(handle_of(fd), buffer + total, step, &n, nullptr)) return last_system_errno();
    if (n == 0) break;
    total += n;
  }
  *got = total;
  return 0;
}

int read_file_bytes_at(int fd, uint64_t offset, char* buffer, uint64_t size, uint64_t* got) {
  // Each read names its own offset, so readers that share the handle this way never race
  // on a position. A read at an offset still moves the position of a handle opened for
  // plain reads: it is put back for a reader that goes on from it.
  LARGE_INTEGER position = {}, zero = {};
  if (!SetFilePointerEx(handle_of(fd), zero, &position, FILE_CURRENT)) return last_system_errno();
  uint64_t total = 0;
  int code = 0;
  while (total < size) {
    // Reading at or past the end fails with ERROR_HANDLE_EOF: that is the end.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset + total);
    at.OffsetHigh = static_cast<DWORD>((offset + total) >> 32);
    DWORD n = 0;
    DWORD step = static_cast<DWORD>(std::min<uint64_t>(size - total, 1u << 30));
    if (!ReadFile(handle_of(fd), buffer + total, step, &n, &at)) {
      if (GetLastError() != ERROR_HANDLE_EOF) code = last_system_errno();
      break;
    }
    if (n == 0) break;
    total += n;
  }
  SetFilePointerEx(handle_of(fd), position, nullptr, FILE_BEGIN);
  *got = total;
  return code;
}

void close_file(int fd) {
  if (fd == -1) return;
  release_lock(fd);
  CloseHandle(handle_of(fd));
}

int lock_held_file(int fd) {
  if (int code = take_lock(fd, INFINITE)) return code;
  FILE_STANDARD_INFO info;
  if (!GetFileInformationByHandleEx(handle_of(fd), FileStandardInfo, &info, sizeof info)) return last_system_errno();
  return info.DeletePending ? ENOENT : 0;
}

int try_lock_path(const std::string& path, int* fd) {
  int f = -1;
  if (int code = open_handle(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, &f))
    return code;
  if (int code = take_lock(f, 0)) {
    CloseHandle(handle_of(f));
    return code;
  }
  *fd = f;
  return 0;
}

int open_folder(const std::string& path, int* fd) {
  if (path_kind(path) != PathKind::folder) return path_exists(path) ? ENOTDIR : ENOENT;
  return open_handle(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, fd);
}

int process_id() { return static_cast<int>(GetCurrentProcessId()); }

bool process_alive(int pid) {
  if (pid <= 0) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  // Refused: the process is there, it only belongs to someone else.
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  // A process that ended with the very code STILL_ACTIVE (259) is told apart by waiting.
  if (alive) alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

int sync_to_disk(const std::string& path) {
  // A folder opens only with backup semantics; flushing needs write access.
  int fd = -1;
  if (int code = open_handle(path, GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, &fd)) {
    // A read-only file or a folder the user may not write has nothing of this run to flush.
    return code == EACCES ? 0 : code;
  }
  DWORD error = FlushFileBuffers(handle_of(fd)) ? ERROR_SUCCESS : GetLastError();
  CloseHandle(handle_of(fd));
  // A filesystem that cannot flush this handle (a folder on FAT, a network share) has done
  // what it can: its entries are written with the files they name.
  if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_ACCESS_DENIED) return 0;
  return errno_from_system(error);
}

int create_new_file(const std::string& path, int* fd) {
  return open_handle(path, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, fd);
}

int write_file_bytes(int fd, const void* data, uint64_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD n = 0;
    DWORD step = static_cast<DWORD>(std::min<uint64_t>(size, 1u << 30));
    if (!WriteFile(handle_of(fd), p, step, &n, nullptr)) return last_system_errno();
    if (n == 0) return EIO;
    p += n;
    size -= n;
  }
  return 0;
}

int close_written_file(int fd) {
  release_lock(fd);
  return CloseHandle(handle_of(fd)) ? 0 : last_system_errno();
}

int open_for_append(const std::string& path, int* fd) {
  return open_handle(path, FILE_APPEND_DATA, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, fd);
}

int rename_path(const std::string& from, const std::string& to) {
  // A folder cannot replace anything; a file replaces a file, as rename() does.
  DWORD flags = path_kind(from) == PathKind::folder ? 0 : MOVEFILE_REPLACE_EXISTING;
  return MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(), flags) ? 0 : last_system_errno();
}

int make_dir(const std::string& path) {
  return CreateDirectoryW(wide_path(path).c_str(), nullptr) ? 0 : last_system_errno();
}

int remove_file(const std::string& path) {
  std::wstring w = wide_path(path);
  DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return last_system_errno();
  // A link to a folder is removed as a folder; a read-only file goes like any other.
  if ((a & FILE_ATTRIBUTE_REPARSE_POINT) && (a & FILE_ATTRIBUTE_DIRECTORY))
    return RemoveDirectoryW(w.c_str()) ? 0 : last_system_errno();
  if (a & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
  if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(w.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
  return DeleteFileW(w.c_str()) ? 0 : last_system_errno();
}

int remove_dir(const std::string& path) {
  if (RemoveDirectoryW(wide_path(path).c_str())) return 0;
  DWORD e = GetLastError();
  return e == ERROR_DIRECTORY ? ENOTDIR : errno_from_system(e);
}

int add_owner_write(const std::string& path) {
  std::wstring w = wide_path(path);
  DWORD a = GetFileAttributesW(w.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return last_system_errno();
  if (!(a & FILE_ATTRIBUTE_READONLY)) return 0;
  return SetFileAttributesW(w.c_str(), a & ~FILE_ATTRIBUTE_READONLY) ? 0 : last_system_errno();
}

int copy_file(const std::string& source, const std::string& target) {
  return CopyFileW(wide_path(source).c_str(), wide_path(target).c_str(), FALSE) ? 0 : last_system_errno();
}

int fs_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes) {
  ULARGE_INTEGER available, total;
  if (!GetDiskFreeSpaceExW(wide_path(path).c_str(), &available, &total, nullptr)) return last_system_errno();
  if (total_bytes) *total_bytes = total.QuadPart;
  if (free_bytes) *free_bytes = available.QuadPart;
  return 0;
}

std::FILE* open_stdio_file(const std::string& path, const char* mode) {
  return _wfopen(wide_path(path).c_str(), wide_text(mode).c_str());
}

std::vector<std::string> program_parameters(int argc, char** argv) {
  std::vector<std::string> out;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide) {
    for (int i = 1; i < count; ++i) out.push_back(utf8_text(wide[i]));
    LocalFree(wide);
    return out;
  }
  for (int i = 1; i < argc; ++i) out.push_back(argv[i]);
  return out;
}

std::string program_file_path() {
  wchar_t buffer[501];
  DWORD n = GetModuleFileNameW(nullptr, buffer, 501);
  if (n == 0 || n >= 501) return std::string();
  return utf8_text(buffer);
}

std::string env(const char* name) {
  std::wstring w = wide_text(name);
  DWORD n = GetEnvironmentVariableW(w.c_str(), nullptr, 0);
  if (n == 0) return std::string();
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(w.c_str(), &value[0], n);
  value.resize(n);
  return utf8_text(value.c_str());
}

std::string home_folder() {
  std::string home = program_path_of(env("USERPROFILE"));
  return home.empty() ? "C:\\" : strip_separator(home);
}

// Windows has no freedesktop.org data folder: what a desktop would keep there (menu
// entries, icons) stays with the user's local application data.
std::string desktop_data_folder() { return known_folder(FOLDERID_LocalAppData); }

std::string current_folder() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return "C:\\";
  std::string folder = program_path(buffer);
  if (folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder;
}

std::string desktop_folder() { return known_folder(FOLDERID_Desktop); }

std::string temp_folder() {
  wchar_t buffer[261];
  DWORD n = GetTempPathW(261, buffer);
  if (n == 0 || n > 260) return "C:\\";
  return strip_separator(program_path(buffer));
}

std::string local_data_folder() { return known_folder(FOLDERID_LocalAppData); }

int start_detached(const std::string& file, const std::vector<std::string>& args) {
  std::wstring w = wide_path(file);
  std::wstring parameters = wide_text(quoted_parameters(args));
  std::wstring folder = w.substr(0, w.find_last_of(L'\\') == std::wstring::npos ? 0 : w.find_last_of(L'\\'));
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = w.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) ? 0 : last_system_errno();
}

bool find_program(const std::string& name) {
  wchar_t found[MAX_PATH];
  return SearchPathW(nullptr, wide_text(name).c_str(), L".exe", MAX_PATH, found, nullptr) > 0;
}

int open_with_desktop(const std::string& path) {
  std::wstring w = wide_path(path);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = w.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) return 0;
  DWORD e = GetLastError();
  return e == ERROR_NO_ASSOCIATION ? no_associated_program : errno_from_system(e);
}

std::string system_error_text(int code) {
  if (code <= 0) return std::string();
  const char* text = std::strerror(code);
  if (!text || std::strncmp(text, "Unknown error", 13) == 0) return std::string();
  return text;
}

}  // namespace platform
