#pragma once
// The background tasks the install engine hands to worker stages: copying an archive
// from the DVD and extracting it into the copy, and taking the signatures of installed files.

#include <string>

// A background job. A worker stage calls run() on one of its threads; the owner reads
// the outcome with result() once the task has come back, then deletes it.
class UTL_work_task {
 public:
  virtual ~UTL_work_task() {}
  // May be called more than once (dvd_unpack_task copies on its first run, extracts on its second).
  virtual void run() = 0;
  // 0 on success; otherwise the error code, with the user's message in `message`.
  virtual int result(std::string& message) = 0;
};
