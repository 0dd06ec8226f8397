#include "io/partial_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "io/file_ops.h"
#include "platform/fs.h"

namespace fs = std::filesystem;

namespace {

const char kPrefix[] = ".zephiro-part-";

struct PartialNames {
  std::atomic<uint64_t> counter{0};
  const uint64_t salt = (uint64_t(std::random_device{}()) << 32) ^ std::random_device{}();
};
PartialNames g_names;

std::string folder_of(const std::string& target) {
  size_t cut = target.find_last_of('/');
  return cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
}

std::string next_name_beside(const std::string& target) {
  char tail[80];
  std::snprintf(tail, sizeof tail, "%s%016llx-%llu", kPrefix, (unsigned long long)g_names.salt,
                (unsigned long long)g_names.counter.fetch_add(1));
  return folder_of(target) + tail;
}

// Gives the file the execute permission `mode` records, where it may be read.
void add_execute_bits(const std::string& path, unsigned mode) {
  using fs::perms;
  std::error_code ec;
  perms now = fs::status(path, ec).permissions();
  if (ec) return;
  perms add = perms::none;
  if ((mode & 0100) && (now & perms::owner_read) != perms::none) add |= perms::owner_exec;
  if ((mode & 0010) && (now & perms::group_read) != perms::none) add |= perms::group_exec;
  if ((mode & 0001) && (now & perms::others_read) != perms::none) add |= perms::others_exec;
  if (add != perms::none) fs::permissions(path, add, fs::perm_options::add, ec);
}

// A file of the copy that the user replaced by a link to a file elsewhere is written
// through the link: the new file goes where the link leads, and the link stays.
std::string written_path(const std::string& target) {
  if (!platform::is_symlink(target) || platform::path_kind(target) != platform::PathKind::regular) return target;
  std::error_code ec;
  fs::path real = fs::canonical(target, ec);
  return ec ? target : real.string();
}

}  // namespace

std::string partial_file_folder(const std::string& target) { return folder_of(written_path(target)); }

bool is_partial_name(const std::string& name) { return name.compare(0, sizeof kPrefix - 1, kPrefix) == 0; }

// ---------------------------------------------------------------------------------------

PartialFile::~PartialFile() { discard(); }

int PartialFile::open(const std::string& target, bool take_signature) {
  discard();
  target_ = written_path(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Beside the file it will replace, so that the final rename stays on one filesystem
    // also when a link leads to another drive.
    std::string temp = next_name_beside(target_);
    int fd = -1;
    int code = platform::create_new_file(temp, &fd);
    if (code == EEXIST) continue;
    if (code) return code;
    // Locked at once: a cleaner that removed the new file first makes us start again.
    code = platform::lock_held_file(fd);
    if (code) {
      platform::close_file(fd);
      if (code == ENOENT) continue;
      platform::remove_file(temp);
      return code;
    }
    fd_ = fd;
    temp_ = temp;
    if (take_signature) {
      digest_.reset(new Md5Digest());
      if (!digest_->ready()) {
        discard();
        return ENOMEM;
      }
    }
    return 0;
  }
  return EEXIST;
}

int PartialFile::write(const void* data, size_t size) {
  if (fd_ < 0) return EBADF;
  if (digest_) digest_->add(data, size);
  return platform::write_file_bytes(fd_, data, size);
}

std::string PartialFile::signature() { return digest_ ? digest_->finish() : std::string(); }

int PartialFile::commit(unsigned mode) {
  if (fd_ < 0) return EBADF;
  if (mode & 0111) add_execute_bits(temp_, mode);
  // Renamed while still locked, so no cleaner can take the file away first.
  int code = platform::rename_path(temp_, target_);
  if (code) {
    discard();
    return code;
  }
  temp_.clear();
  code = platform::close_written_file(fd_);
  fd_ = -1;
  // A write the system could not finish after all: what it left is no good either.
  if (code) platform::remove_file(target_);
  return code;
}

void PartialFile::discard() {
  if (fd_ >= 0) platform::close_file(fd_);
  fd_ = -1;
  if (!temp_.empty()) platform::remove_file(temp_);
  temp_.clear();
  digest_.reset();
}

// ---------------------------------------------------------------------------------------

PartialFolder::~PartialFolder() { discard(); }

int PartialFolder::open(const std::string& target) {
  discard();
  target_ = target;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = next_name_beside(target);
    int code = platform::make_dir(temp);
    if (code == EEXIST) continue;
    if (code) return code;
    int fd = -1;
    code = platform::open_folder(temp, &fd);
    if (!code) code = platform::lock_held_file(fd);
    if (code) {
      platform::close_file(fd);
      if (code == ENOENT) continue;
      delete_folder_tree(temp + "/");
      return code;
    }
    fd_ = fd;
    temp_ = temp;
    return 0;
  }
  return EEXIST;
}

int PartialFolder::commit() {
  if (fd_ < 0) return EBADF;
  // A folder that appeared meanwhile is never replaced (rename would take an empty one).
  if (platform::path_kind(target_) != platform::PathKind::missing) return EEXIST;
  int code = platform::rename_path(temp_, target_);
  if (code) return code;
  platform::close_file(fd_);
  fd_ = -1;
  temp_.clear();
  return 0;
}

void PartialFolder::discard() {
  if (!temp_.empty()) delete_folder_tree(temp_ + "/");
  if (fd_ >= 0) platform::close_file(fd_);
  fd_ = -1;
  temp_.clear();
}

// ---------------------------------------------------------------------------------------

int remove_stale_partial_files(const std::string& folder) {
  std::string base = folder;
  make_absolute(base);
  if (!base.empty() && base.back() != '/') base += '/';
  std::vector<platform::DirEntry> entries;
  if (!platform::read_dir(base, entries)) return 0;
  int removed = 0;
  for (const platform::DirEntry& e : entries) {
    if (!is_partial_name(e.name)) continue;
    std::string path = base + e.name;
    int fd = -1;
    // Removed while this run holds its lock, so its maker can never take it up again.
    if (platform::try_lock_path(path, &fd) != 0) continue;
    bool folder_entry = platform::path_kind(path) == platform::PathKind::folder && !platform::is_symlink(path);
    int code = folder_entry ? delete_folder_tree(path + "/") : platform::remove_file(path);
    platform::close_file(fd);
    if (code == 0) ++removed;
  }
  return removed;
}
