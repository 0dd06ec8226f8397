#include "platform/md5_hash.h"

#include <windows.h>
#include <bcrypt.h>

#include <new>

namespace platform {

// The system's cryptography (CNG) computes the hash.
struct Md5Hash {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

Md5Hash* md5_hash_begin() {
  Md5Hash* h = new (std::nothrow) Md5Hash;
  if (!h) return nullptr;
  if (BCryptOpenAlgorithmProvider(&h->algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0 ||
      BCryptCreateHash(h->algorithm, &h->hash, nullptr, 0, nullptr, 0, 0) != 0) {
    md5_hash_free(h);
    return nullptr;
  }
  return h;
}

void md5_hash_add(Md5Hash* hash, const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    ULONG step = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
    BCryptHashData(hash->hash, const_cast<PUCHAR>(p), step, 0);
    p += step;
    size -= step;
  }
}

bool md5_hash_end(Md5Hash* hash, unsigned char digest[16]) {
  return BCryptFinishHash(hash->hash, digest, 16, 0) == 0;
}

void md5_hash_free(Md5Hash* hash) {
  if (!hash) return;
  if (hash->hash) BCryptDestroyHash(hash->hash);
  if (hash->algorithm) BCryptCloseAlgorithmProvider(hash->algorithm, 0);
  delete hash;
}

}  // namespace platform
