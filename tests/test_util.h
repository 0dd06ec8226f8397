#pragma once
// Helpers shared by the tests.

#include <string>

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
// path() ends with '/'.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);  // empty when missing
