#include "io/md5.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "io/file_ops.h"
#include "platform/fs.h"

namespace {

// Large enough to keep the disk busy, small enough that several checksum workers stay cheap.
constexpr size_t kBlockSize = 1 << 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct DigestFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

std::string hex_of(const unsigned char* digest, unsigned length) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    text += digits[digest[i] >> 4];
    text += digits[digest[i] & 15];
  }
  return text;
}

}  // namespace

int md5_of_file(const std::string& path, std::string& signature) {
  std::string absolute = path;
  make_absolute(absolute);
  // Opening a FIFO waits for a writer that never comes and a device may never end: a
  // copy's file that is neither a file nor a folder has no signature.
  if (platform::path_exists(absolute) && !platform::is_regular_file(absolute) && !folder_exists(absolute))
    return EINVAL;
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(absolute.c_str(), "rb"));
  if (!file) return errno ? errno : EIO;

  std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kBlockSize]);
  std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
  if (!block || !context) return ENOMEM;
  if (EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return ENOMEM;

  errno = 0;
  for (;;) {
    size_t got = std::fread(block.get(), 1, kBlockSize, file.get());
    if (got > 0) EVP_DigestUpdate(context.get(), block.get(), got);
    if (got < kBlockSize) {
      if (std::ferror(file.get())) return errno ? errno : EIO;
      break;
    }
  }

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return ENOMEM;
  signature = hex_of(digest, length);
  return 0;
}
