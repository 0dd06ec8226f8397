#include "io/mapped_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "core/alert.h"
#include "core/log.h"
#include "core/user_text.h"
#include "io/embedded_resources.h"
#include "io/file_ops.h"
#include "platform/fs.h"
#include "platform/mapped_view.h"

namespace {

const char k_resource_prefix[] = "RESOURCE:";
const size_t k_resource_prefix_length = sizeof(k_resource_prefix) - 1;

struct OutputState {
  std::FILE* file = nullptr;
};

OutputState& output() {
  static OutputState s;
  return s;
}

// Relative paths are the program's own names for its files: they never repeat the
// program folder and never use another separator than '/'.
void check_relative_path(const std::string& path) {
  if (is_absolute_path(path)) return;
  const std::string& folder = program_folder();
  if (!folder.empty() && path.find(folder) != std::string::npos)
    ALERT(alert_crash, "retry: We are getting a file string that is not Nimbrel relative!",
          "This is illegal! All paths must be Nimbrel relative!", "The path in question is:", path);
  if (path.find_first_of("\\:") != std::string::npos)
    ALERT(alert_crash, "OOPS!", "I got a bad dirchar! I only want '/'!", "The path in question is:", path);
}

void bad_kind_assertion(const char* who, int kind) {
  ALERT(alert_crash, std::string(who) + " was asked for a kind of data file it does not know!",
        "Only binary (10000) and text (10001) files exist.",
        "The kind in question is:", std::to_string(kind));
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }
bool ends_token(char c) { return is_blank(c) || is_line_end(c) || c == '\0'; }

void skip_blanks(const char*& p, const char* end) {
  while (p < end && is_blank(*p)) ++p;
}
void skip_blanks_and_line_ends(const char*& p, const char* end) {
  while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
}
void skip_to_line_end(const char*& p, const char* end) {
  while (p < end && !is_line_end(*p) && *p != '\0') ++p;
}

bool accepted_version(int version, const int* accepted) {
  for (const int* a = accepted; a && *a != 0; ++a)
    if (*a == version) return true;
  return false;
}

// Text header: 'A' or 'I', the version with an optional notice, the optional type word.
int check_text_header(MappedFile& file, const int* accepted, const char* file_type, std::string* notice) {
  const char* p = file.begin();
  const char* end = file.end();
  if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
  if (p >= end || (*p != 'A' && *p != 'I')) return 0;
  skip_to_line_end(p, end);
  skip_blanks_and_line_ends(p, end);

  skip_blanks(p, end);
  bool negative = false;
  if (p < end && *p == '-') negative = true, ++p;
  if (p < end && *p == '+') ++p;
  // Every character up to the next blank counts as a digit, as the files were always
  // read; unsigned arithmetic keeps a hostile run of digits from overflowing.
  uint32_t value = 0;
  while (p < end && !ends_token(*p)) value = value * 10u + static_cast<uint32_t>(*p++ - '0');
  int version = static_cast<int>(negative ? 0u - value : value);
  skip_blanks(p, end);
  const char* rest = p;
  skip_to_line_end(p, end);
  if (notice) notice->assign(rest, p);
  skip_blanks_and_line_ends(p, end);

  if (file_type) {
    skip_blanks(p, end);
    size_t n = std::strlen(file_type);
    if (static_cast<size_t>(end - p) < n || std::memcmp(p, file_type, n) != 0) return 0;
    p += n;
    if (p < end && !ends_token(*p)) return 0;
    skip_to_line_end(p, end);
    skip_blanks_and_line_ends(p, end);
  }
  if (!accepted_version(version, accepted)) return 0;
  file.pos = p;
  return version;
}

// Binary header: 'a' (big-endian) or 'i' (little-endian), then a 32-bit version.
int check_binary_header(MappedFile& file, const int* accepted) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(file.begin());
  if (file.size() < 5 || (p[0] != 'a' && p[0] != 'i')) return 0;
  uint32_t v = p[0] == 'i'
                   ? uint32_t(p[1]) | uint32_t(p[2]) << 8 | uint32_t(p[3]) << 16 | uint32_t(p[4]) << 24
                   : uint32_t(p[4]) | uint32_t(p[3]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 24;
  int version = static_cast<int>(v);
  if (!accepted_version(version, accepted)) return 0;
  file.pos = file.begin() + 5;
  return version;
}

}  // namespace

bool MappedFile::open(const std::string& path, uint64_t offset, uint64_t length, uint64_t limit) {
  close();
  path_ = path;

  if (path.compare(0, k_resource_prefix_length, k_resource_prefix) == 0) {
    const EmbeddedResource* r = find_embedded_resource(path.c_str() + k_resource_prefix_length);
    if (!r) return false;
    uint64_t size = static_cast<uint64_t>(r->end - r->begin);
    if (offset >= size) return false;
    uint64_t available = size - offset;
    uint64_t n = length == 0 ? available : std::min(length, available);
    begin_ = reinterpret_cast<const char*>(r->begin) + offset;
    end_ = begin_ + n;
    pos = begin_;
    embedded_ = true;
    return true;
  }

  check_relative_path(path);
  std::string full = path;
  make_absolute(full);
  int handle = -1;
  if (open_for_mapping(full, &handle) != 0) return false;  // missing: the caller decides

  uint64_t size = 0;
  if (mapping_file_size(handle, &size) != 0) {
    LOG << "GetFileSize failed for " << full << "\n";
    close_mapping_handle(handle);
    return false;
  }
  if (size == 0) {
    close_mapping_handle(handle);
    return false;
  }
  // Never map past the end: touching those pages would kill the process.
  if (offset >= size || (length != 0 && length > size - offset)) {
    LOG << "Warning: remaining file space is " << (offset < size ? size - offset : 0)
        << " and offset is " << offset << " for file " << full << "\n";
    if (offset >= size) {
      close_mapping_handle(handle);
      return false;
    }
    length = size - offset;
  }
  if (length == 0) length = size - offset;
  if (length > limit) {
    LOG << "The file " << full << " is too large to read (" << length << " bytes; at most " << limit << ")\n";
    close_mapping_handle(handle);
    return false;
  }

  if (length <= kCopiedFileLimit) {
    copy_.reset(new (std::nothrow) char[length]);
    size_t got = 0;
    int err = copy_ ? read_view(handle, offset, static_cast<size_t>(length), copy_.get(), &got) : ENOMEM;
    close_mapping_handle(handle);
    if (err != 0 || got == 0) {
      if (err) LOG << "Mem file error.  Err=" << err << ", file=" << full << "\n";
      copy_.reset();
      return false;
    }
    // A file cut short meanwhile gives what it still had.
    begin_ = copy_.get();
    end_ = begin_ + got;
    pos = begin_;
    return true;
  }

  uint64_t granularity = mapping_granularity();
  uint64_t start = offset / granularity * granularity;
  uint64_t skip = offset - start;
  void* base = nullptr;
  int err = map_view(handle, start, static_cast<size_t>(length + skip), &base);
  close_mapping_handle(handle);  // the mapping keeps the file open
  if (err != 0) {
    LOG << "Mem file error.  Err=" << err << ", file=" << full << "\n";
    ALERT(alert_info, user_text("Xmapped file ran out of memory"), "", "", "");
    return false;
  }
  map_base_ = base;
  map_length_ = static_cast<size_t>(length + skip);
  begin_ = static_cast<const char*>(base) + skip;
  end_ = begin_ + length;
  pos = begin_;
  return true;
}

bool MappedFile::open_bytes(const std::string& path, const std::string& bytes) {
  close();
  path_ = path;
  if (bytes.empty()) return false;
  copy_.reset(new (std::nothrow) char[bytes.size()]);
  if (!copy_) return false;
  std::copy(bytes.begin(), bytes.end(), copy_.get());
  begin_ = copy_.get();
  end_ = begin_ + bytes.size();
  pos = begin_;
  return true;
}

void MappedFile::close() {
  if (map_base_) unmap_view(map_base_, map_length_);
  map_base_ = nullptr;
  map_length_ = 0;
  copy_.reset();
  begin_ = end_ = nullptr;
  pos = nullptr;
  embedded_ = false;
}

int check_file(MappedFile& file, int kind, const int* accepted, const char* file_type, std::string* notice) {
  if (kind != kind_binary && kind != kind_text) {
    bad_kind_assertion("check_file", kind);
    return 0;
  }
  if (!file.has_view() || file.size() == 0) return 0;
  const char* saved = file.pos;
  int version = kind == kind_text ? check_text_header(file, accepted, file_type, notice)
                                  : check_binary_header(file, accepted);
  if (version == 0) file.pos = saved;
  return version;
}

int ouf_open(const std::string& path, int kind, int version, const char* notice) {
  if (kind != kind_binary && kind != kind_text) {
    bad_kind_assertion("ouf_open", kind);
    return 0;
  }
  std::string full = path;
  make_absolute(full);
  ouf_close();
  // A text file is written in text mode: with the system's own line ends.
  const char* mode = kind == kind_binary ? "wb" : "w";
  std::FILE* out = nullptr;
  for (int attempt = 0; attempt < 2 && !out; ++attempt) {
    out = platform::open_stdio_file(full, mode);
    if (!out && attempt == 0) {
      size_t slash = full.rfind('/');
      if (slash != std::string::npos) create_folder(full.substr(0, slash));
    }
  }
  if (!out) {
    ALERT(alert_info,
          user_text("I could not save the file! Could the directory that the file sits in be missing? Or flagged "
                    "as READ-ONLY by the operating system? (Windows machines typically do this)."),
          full, user_text("Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!"),
          user_text("Try putting this app in the background and then flag the file as NOT read-only, or creating "
                    "the folder listed in the path above."));
    return 0;
  }
  output().file = out;
  if (kind == kind_text) {
    std::fprintf(out, "I\n%d version", version);
    if (notice && std::strcmp(notice, "no-copyright-string") != 0) std::fputs(notice, out);
    std::fputs("\n", out);
  } else {
    uint32_t v = static_cast<uint32_t>(version);
    char bytes[5] = {'i', char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
    std::fwrite(bytes, 1, sizeof bytes, out);
  }
  return 1;
}

std::FILE* ouf_stream() { return output().file; }

int ouf_close() {
  std::FILE*& out = output().file;
  if (!out) return 0;
  const bool write_failed = std::ferror(out) != 0;
  const bool close_failed = std::fclose(out) != 0;
  out = nullptr;
  return write_failed || close_failed ? (errno != 0 ? errno : EIO) : 0;
}
