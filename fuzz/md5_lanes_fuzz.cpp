// MD5 side by side in lanes against the one-stream digest, on arbitrary inputs. The first
// byte gives how many inputs the rest is cut into; each input then takes a cut byte (its
// share of what is left) and a repeat byte (how many times its bytes follow each other, so
// that inputs outgrow a lane's read buffer and end at different blocks).

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "io/md5.h"
#include "io/md5_lanes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t count = 1 + data[0] % 24;
  size_t at = 1;
  std::vector<std::string> inputs;
  for (size_t i = 0; i < count; ++i) {
    size_t cut = at < size ? data[at++] : 0;
    size_t repeat = at < size ? 1 + data[at++] % 48 : 1;
    size_t take = i + 1 == count ? size - std::min(at, size) : std::min(size - std::min(at, size), cut);
    std::string piece(reinterpret_cast<const char*>(data) + std::min(at, size), take);
    at += take;
    std::string input;
    for (size_t r = 0; r < repeat; ++r) input += piece;
    inputs.push_back(input);
  }
  std::vector<std::string> expected;
  for (const std::string& input : inputs) {
    Md5Digest digest;
    FUZZ_CHECK(digest.ready());
    digest.add(input.data(), input.size());
    expected.push_back(digest.finish());
  }
  for (int width : {1, 8, 16}) {
    std::vector<Md5Result> got = md5_of_buffers(inputs, width);
    FUZZ_CHECK(got.size() == inputs.size());
    for (size_t i = 0; i < got.size(); ++i) {
      FUZZ_CHECK(got[i].code == 0);
      FUZZ_CHECK(got[i].signature == expected[i]);
    }
  }
  return 0;
}
