#pragma once
// The background tasks the install engine hands to worker stages: copying an archive
// from the DVD and extracting it into the copy, and taking the signatures of installed files.

#include <string>

#include "io/threads.h"

// Brings one group's archive from the disc into the copy, in two runs on two stages: the
// first copies it from the DVD to the temporary folder, the second extracts it next to its
// destination and records the group's current entry as installed. A failed copy makes the
// second run do nothing, so the task always passes both stages.
class dvd_unpack_task : public UTL_work_task {
 public:
  // The archive of `group` in the DVD's archive folder, the copy at the Install Path.
  dvd_unpack_task(int group, const std::string& temp_folder);
  // The same with the archive folder (ending '/') and the copy's folder given.
  dvd_unpack_task(int group, const std::string& temp_folder, const std::string& archive_folder,
                  const std::string& install_folder);
  ~dvd_unpack_task() override;  // logs the outcome when installer actions are logged

  void run() override;
  int result(std::string& message) override;

  int group() const { return group_; }
  bool copied() const { return phase_ == 1; }
  // The copy failed because the disc was no longer in its drive (taken out, unmounted):
  // the archive is to be copied again once the disc is back, not counted as a failure.
  bool disc_went_away() const { return disc_went_away_; }
  const std::string& source() const { return source_; }
  const std::string& temp_copy() const { return temp_copy_; }
  const std::string& destination() const { return destination_; }

 private:
  void copy_from_disc();
  void extract();
  // Why the task failed, put in words by `words` (English, or the user's language).
  std::string failure_text(std::string (*words)(const std::string&, const std::string&, const std::string&)) const;

  enum { step_none = 0, step_copy = 1, step_unzip = 2 };

  int group_;
  int phase_ = 0;  // 0 before the copy, 1 after it
  std::string archive_folder_;
  std::string source_;
  std::string temp_copy_;
  std::string destination_;
  int failed_step_ = step_none;
  int result_ = 0;
  bool disc_went_away_ = false;
};

// The Found Signature of a FIFO, a device or a socket where a file belongs: it is there,
// is never read, and matches no version.
extern const char kNotAFileSignature[];

// Takes the signatures of the installed files of groups [first, end): each wanted group's
// current entry gets the MD5 of its file in the copy (or "NONE"); with `quick` a file that
// exists counts as matching without being read. Only regular files are read.
class checksum_task : public UTL_work_task {
 public:
  // Works on the copy at the Install Path as it is when the task is made.
  checksum_task(int first, int end, bool quick);
  checksum_task(int first, int end, bool quick, const std::string& install_folder);

  void run() override;
  int result(std::string& message) override;

  int first() const { return first_; }
  int end() const { return end_; }

 private:
  int first_;
  int end_;
  bool quick_;
  std::string install_folder_;
};
