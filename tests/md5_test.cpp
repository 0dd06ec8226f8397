#include "io/md5.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "tests/test_util.h"

namespace {

// The digest as the system's md5sum computes it, a second opinion on our own.
std::string md5sum_of(const TempDir& dir, const std::string& path) {
  std::string out = dir / "md5sum.out";
  std::string command = "md5sum '" + path + "' > '" + out + "'";
  if (std::system(command.c_str()) != 0) return "md5sum failed";
  return read_file(out).substr(0, 32);
}

}  // namespace

TEST(Md5, KnownDigests) {
  TempDir dir;
  std::string sig;
  write_file(dir / "abc", "abc");
  ASSERT_EQ(md5_of_file(dir / "abc", sig), 0);
  EXPECT_EQ(sig, "900150983cd24fb0d6963f7d28e17f72");

  write_file(dir / "empty", "");
  ASSERT_EQ(md5_of_file(dir / "empty", sig), 0);
  EXPECT_EQ(sig, "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, FileSpanningSeveralBlocksMatchesMd5sum) {
  TempDir dir;
  std::mt19937 random(7);
  std::string bytes(3 * 1024 * 1024 + 17, '\0');  // three whole blocks and a tail
  for (char& c : bytes) c = static_cast<char>(random());
  write_file(dir / "big.bin", bytes);
  std::string sig;
  ASSERT_EQ(md5_of_file(dir / "big.bin", sig), 0);
  EXPECT_EQ(sig.size(), 32u);
  // What md5sum says of these bytes (the generator gives the same ones everywhere); Windows
  // has no md5sum to ask again.
  EXPECT_EQ(sig, "84db365dd3b8243b52dc42d34d632f6d");
  if (posix_system()) {
    EXPECT_EQ(sig, md5sum_of(dir, dir / "big.bin"));
  }
}

TEST(Md5, FailureLeavesSignatureUnchanged) {
  TempDir dir;
  std::string sig = "NONE";
  EXPECT_EQ(md5_of_file(dir / "missing.txt", sig), 2);
  EXPECT_EQ(sig, "NONE");
  // A folder or a FIFO is never read (a FIFO with no writer would block for ever).
  EXPECT_EQ(md5_of_file(dir.path(), sig), 21);
  if (posix_system()) {  // Windows has no FIFOs
    ASSERT_EQ(make_fifo(dir / "fifo"), 0);
    EXPECT_EQ(md5_of_file(dir / "fifo", sig), 22);
  }
  EXPECT_EQ(sig, "NONE");
}

TEST(Md5, DigestOfPiecesEqualsTheFilesDigest) {
  TempDir dir;
  std::string bytes(100000, 'x');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 300);
  write_file(dir / "f", bytes);
  std::string whole;
  ASSERT_EQ(md5_of_file(dir / "f", whole), 0);
  Md5Digest digest;
  ASSERT_TRUE(digest.ready());
  for (size_t at = 0; at < bytes.size(); at += 777) digest.add(bytes.data() + at, std::min<size_t>(777, bytes.size() - at));
  EXPECT_EQ(digest.finish(), whole);
}
