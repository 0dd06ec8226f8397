#pragma once
// Read-only views of whole data files, and the framework's data-file header.
// A path beginning "RESOURCE:" names a file embedded in the program.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Every file the program reads whole is bounded, so a damaged or hostile file (a 200 MB
// dvd_version.txt) cannot take the memory or flood the log: 64 MB unless the reader asks
// for less. A manifest of the largest DVD set is a few MB.
constexpr uint64_t kWholeFileLimit = 64ull << 20;
// Files up to this size are copied into memory rather than mapped: a disc that goes away,
// or a file cut short while it is read, cannot then fault the program. Only a large file
// of the program's own (the extracted manifest) is mapped.
constexpr uint64_t kCopiedFileLimit = 1ull << 20;

class MappedFile {
 public:
  MappedFile() = default;
  explicit MappedFile(const std::string& path, uint64_t offset = 0, uint64_t length = 0,
                      uint64_t limit = kWholeFileLimit) {
    open(path, offset, length, limit);
  }
  ~MappedFile() { close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Opens a view of the file (or of `length` bytes from `offset`; 0 = to the end).
  // A view of more than `limit` bytes is refused (logged). Only regular files open.
  // Returns whether a view exists. Opening again first closes the previous view.
  bool open(const std::string& path, uint64_t offset = 0, uint64_t length = 0, uint64_t limit = kWholeFileLimit);
  // A view of bytes read by other means (a file inside a disc image), named `path` for the
  // log. Empty bytes give no view, as an empty file does.
  bool open_bytes(const std::string& path, const std::string& bytes);
  void close();

  bool has_view() const { return begin_ != nullptr; }
  const char* begin() const { return begin_; }
  const char* end() const { return end_; }
  size_t size() const { return static_cast<size_t>(end_ - begin_); }
  bool embedded() const { return embedded_; }
  const std::string& path() const { return path_; }

  // Parse position, advanced by the readers.
  const char* pos = nullptr;

 private:
  std::string path_;
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  bool embedded_ = false;
  void* map_base_ = nullptr;
  size_t map_length_ = 0;
  std::unique_ptr<char[]> copy_;  // the bytes of a small file
};

enum DataFileKind { kind_binary = 10000, kind_text = 10001 };

// Verifies the header of a data file and leaves `pos` after it.
// `accepted` is a list of versions ending with 0; `file_type` may be null.
// Returns the version found, or 0 when the file is not of the expected kind.
int check_file(MappedFile& file, int kind, const int* accepted, const char* file_type, std::string* notice);

// Opens the shared output file at `path` and writes the header. 1 opened, 0 failed
// (an alert has then been shown).
int ouf_open(const std::string& path, int kind, int version, const char* notice);
// The output file ouf_open opened; null when none is open.
std::FILE* ouf_stream();
// Closes the output file: 0, or the errno value (EIO when none was set) of a write or of
// the close that failed. Set errno to 0 before writing to learn a failed write's own code.
int ouf_close();
