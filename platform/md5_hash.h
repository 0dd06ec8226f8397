#pragma once
// The MD5 hash of the system's cryptography library, fed piece by piece.

#include <cstddef>

namespace platform {

struct Md5Hash;
// A new hash; null when out of memory or when the system offers no MD5.
Md5Hash* md5_hash_begin();
void md5_hash_add(Md5Hash* hash, const void* data, size_t size);
// Writes the 16 bytes of the digest; false when the system failed to give it.
bool md5_hash_end(Md5Hash* hash, unsigned char digest[16]);
void md5_hash_free(Md5Hash* hash);

}  // namespace platform
