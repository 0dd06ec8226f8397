#pragma once

#include <cstddef>
#include <string>

namespace platform {
struct Md5Hash;
}

// The MD5 signature of a file: 32 lowercase hexadecimal digits.
// Returns 0, or an error code with `signature` left unchanged. Only a regular file is
// read (EINVAL for a FIFO or a device, which could block or never end).
int md5_of_file(const std::string& path, std::string& signature);

// The digest's bytes as a signature: two lowercase hex digits a byte, in order.
std::string md5_signature_text(const unsigned char* digest, unsigned length);

// The signature of bytes that arrive piece by piece (a file as it is written).
class Md5Digest {
 public:
  Md5Digest();
  ~Md5Digest();
  Md5Digest(const Md5Digest&) = delete;
  Md5Digest& operator=(const Md5Digest&) = delete;

  bool ready() const { return context_ != nullptr; }  // false when out of memory
  void add(const void* data, size_t size);
  // The 32 hex digits of everything added; ends the digest.
  std::string finish();

 private:
  platform::Md5Hash* context_ = nullptr;
};
