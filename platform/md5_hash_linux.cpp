#include "platform/md5_hash.h"

#include <openssl/evp.h>

namespace platform {

struct Md5Hash {
  EVP_MD_CTX* context;
};

Md5Hash* md5_hash_begin() {
  EVP_MD_CTX* c = EVP_MD_CTX_new();
  if (!c) return nullptr;
  if (EVP_DigestInit_ex(c, EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(c);
    return nullptr;
  }
  return new Md5Hash{c};
}

void md5_hash_add(Md5Hash* hash, const void* data, size_t size) { EVP_DigestUpdate(hash->context, data, size); }

bool md5_hash_end(Md5Hash* hash, unsigned char digest[16]) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(hash->context, out, &length) != 1 || length != 16) return false;
  for (unsigned i = 0; i < 16; ++i) digest[i] = out[i];
  return true;
}

void md5_hash_free(Md5Hash* hash) {
  if (!hash) return;
  EVP_MD_CTX_free(hash->context);
  delete hash;
}

}  // namespace platform
