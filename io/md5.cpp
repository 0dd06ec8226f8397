#include "io/md5.h"

#include <cerrno>
#include <memory>
#include <new>

#include "io/file_ops.h"
#include "platform/fs.h"
#include "platform/md5_hash.h"

namespace {

// Large enough to keep the disk busy, small enough that several checksum workers stay cheap.
constexpr size_t kBlockSize = 1 << 20;

}  // namespace

std::string md5_signature_text(const unsigned char* digest, unsigned length) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    text += digits[digest[i] >> 4];
    text += digits[digest[i] & 15];
  }
  return text;
}

namespace {

struct FileCloser {
  int fd;
  ~FileCloser() { platform::close_file(fd); }
};

}  // namespace

Md5Digest::Md5Digest() : context_(platform::md5_hash_begin()) {}

Md5Digest::~Md5Digest() { platform::md5_hash_free(context_); }

void Md5Digest::add(const void* data, size_t size) {
  if (context_ && size) platform::md5_hash_add(context_, data, size);
}

std::string Md5Digest::finish() {
  unsigned char digest[16];
  if (!context_ || !platform::md5_hash_end(context_, digest)) return std::string();
  return md5_signature_text(digest, 16);
}

int md5_of_file(const std::string& path, std::string& signature) {
  std::string absolute = path;
  make_absolute(absolute);
  int fd = -1;
  if (int code = platform::open_regular_file(absolute, &fd)) return code;
  FileCloser closer{fd};

  std::unique_ptr<char[]> block(new (std::nothrow) char[kBlockSize]);
  Md5Digest digest;
  if (!block || !digest.ready()) return ENOMEM;
  for (;;) {
    uint64_t got = 0;
    if (int code = platform::read_file_bytes(fd, block.get(), kBlockSize, &got)) return code;
    digest.add(block.get(), static_cast<size_t>(got));
    if (got < kBlockSize) break;
  }
  std::string text = digest.finish();
  if (text.empty()) return ENOMEM;
  signature = text;
  return 0;
}
