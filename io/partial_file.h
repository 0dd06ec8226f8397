#pragma once
// Files and folders made under a temporary name beside their final name and moved over
// it only when complete, so that a kill, a crash or a full disk never leaves a partial
// file under a name the program trusts. The temporary names begin ".zephiro-part-".
// While a file or folder is being made its maker holds a lock on it, which ends with the
// process however it ends: a later run removes the partial files no live run holds.

#include <cstdint>
#include <memory>
#include <string>

#include "io/md5.h"

// True for a name (the last component of a path) that a partial file or folder carries.
bool is_partial_name(const std::string& name);

class PartialFile {
 public:
  PartialFile() = default;
  ~PartialFile();  // an uncommitted file is removed
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  // Creates the temporary file in the folder of `target`, or of the file it leads to when
  // the target is a link the user made to a file (perhaps on another filesystem). With `take_signature` the MD5 of everything
  // written is kept for signature(). 0 or an error code.
  int open(const std::string& target, bool take_signature = false);
  int write(const void* data, size_t size);
  // The MD5 of the bytes written so far (empty without take_signature); ends the digest.
  std::string signature();
  // Closes the file, gives it the execute bits of `mode` that its read bits allow, and
  // moves it over the target. 0 or an error code (the temporary file is then removed).
  int commit(unsigned mode = 0);
  // Removes the temporary file.
  void discard();

  const std::string& target() const { return target_; }
  const std::string& temporary() const { return temp_; }

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  std::unique_ptr<Md5Digest> digest_;
};

// A new folder made under a temporary name in the folder of `target` (which must not
// exist yet); fill it, then commit() moves it to the target as a whole.
class PartialFolder {
 public:
  PartialFolder() = default;
  ~PartialFolder();  // an uncommitted folder is removed with what it holds
  PartialFolder(const PartialFolder&) = delete;
  PartialFolder& operator=(const PartialFolder&) = delete;

  int open(const std::string& target);  // target without trailing '/'
  // The temporary folder, ending '/'.
  std::string folder() const { return temp_ + "/"; }
  // 0, or an error code (EEXIST when the target appeared meanwhile).
  int commit();
  void discard();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

// The folder (ending '/') that a PartialFile for `target` is made in: the target's own, or
// that of the file it leads to when it is a link the user made to a file.
std::string partial_file_folder(const std::string& target);

// Removes the partial files and folders in `folder` (ending '/') that no live process is
// making. Returns how many were removed.
int remove_stale_partial_files(const std::string& folder);
