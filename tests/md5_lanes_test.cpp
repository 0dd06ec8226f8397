#include "io/md5_lanes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "io/md5.h"
#include "platform/child_process.h"
#include "tests/test_util.h"

namespace {

std::string one_stream_md5(const std::string& bytes) {
  Md5Digest digest;
  digest.add(bytes.data(), bytes.size());
  return digest.finish();
}

std::string random_bytes(std::mt19937& random, size_t size) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// The widths beside the one-stream path that this processor can run.
std::vector<int> lane_widths() {
  std::vector<int> widths;
  for (int w : {8, 16})
    if (md5_best_lane_width() >= w) widths.push_back(w);
  return widths;
}

// A batch where lanes end at every block boundary that matters, and inputs longer than a
// lane's read buffer, so that lanes are refilled at different steps.
std::vector<std::string> mixed_batch(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> batch;
  for (size_t size : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 4096})
    batch.push_back(random_bytes(random, size));
  for (int i = 0; i < 40; ++i) {
    size_t size = random() % 3 == 0 ? random() % (3 * kMd5LaneBuffer) : random() % 2000;
    batch.push_back(random_bytes(random, size));
  }
  batch.push_back(random_bytes(random, 5 * kMd5LaneBuffer + 17));  // left alone at the end
  return batch;
}

// The suite also runs with ZEPHIRO_MD5_LANES set: what a test changes is put back.
class Md5LanesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* lanes = std::getenv("ZEPHIRO_MD5_LANES");
    had_lanes_ = lanes != nullptr;
    if (lanes) lanes_ = lanes;
  }
  void TearDown() override {
    reset_md5_lanes();
    if (had_lanes_)
      set_environment("ZEPHIRO_MD5_LANES", lanes_.c_str());
    else
      unset_environment("ZEPHIRO_MD5_LANES");
  }
  bool had_lanes_ = false;
  std::string lanes_;
};

TEST_F(Md5LanesTest, ThisMachineHasLanes) {
  // The build must run anywhere, but where it is tested the lanes must be tested too.
  EXPECT_GE(md5_best_lane_width(), 8);
}

TEST_F(Md5LanesTest, EveryWidthGivesTheOneStreamDigest) {
  // The RFC 1321 test suite, beside the mixed lengths.
  const std::pair<std::string, std::string> known[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"}};
  for (unsigned seed : {1u, 2u, 3u}) {
    std::vector<std::string> batch = mixed_batch(seed);
    for (const auto& k : known) batch.push_back(k.first);
    std::vector<std::string> expected;
    for (const std::string& b : batch) expected.push_back(one_stream_md5(b));
    for (size_t k = 0; k < sizeof known / sizeof known[0]; ++k)
      ASSERT_EQ(known[k].second, expected[batch.size() - 7 + k]);
    for (int width : lane_widths()) {
      std::vector<Md5Result> got = md5_of_buffers(batch, width);
      ASSERT_EQ(batch.size(), got.size());
      for (size_t i = 0; i < batch.size(); ++i) {
        EXPECT_EQ(0, got[i].code);
        EXPECT_EQ(expected[i], got[i].signature) << "width " << width << ", input of " << batch[i].size() << " bytes";
      }
    }
  }
}

TEST_F(Md5LanesTest, OneLaneInManyIsEnough) {
  // Only one long input beside short ones: the long one runs on alone, in its own lane
  // until the others have ended. With two long ones both stay in lanes to the end.
  std::mt19937 random(9);
  for (int long_ones : {1, 2, 9}) {
    std::vector<std::string> batch;
    for (int i = 0; i < 12; ++i) batch.push_back(random_bytes(random, i < long_ones ? 300000 + i * 64 : 200 + i));
    for (int width : lane_widths()) {
      std::vector<Md5Result> got = md5_of_buffers(batch, width);
      for (size_t i = 0; i < batch.size(); ++i) EXPECT_EQ(one_stream_md5(batch[i]), got[i].signature) << width << " " << i;
    }
  }
}

// Inputs that cannot be opened, or fail part-way: only their own results carry the error.
TEST_F(Md5LanesTest, FailuresStayWithTheirOwnInput) {
  struct FailingInput : Md5Input {
    size_t left;
    explicit FailingInput(size_t bytes) : left(bytes) {}
    int read(char* buffer, size_t capacity, size_t* got) override {
      if (left == 0) return EIO;
      *got = std::min(capacity, left);
      std::fill(buffer, buffer + *got, 'x');
      left -= *got;
      return 0;
    }
  };
  std::mt19937 random(4);
  std::vector<std::string> good;
  for (int i = 0; i < 30; ++i) good.push_back(random_bytes(random, random() % 200000));
  // Every third input is bad: odd ones fail to open, even ones fail after some blocks.
  Md5Opener open = [&](size_t i, std::unique_ptr<Md5Input>& input) {
    if (i % 3 != 0) {
      struct Reader : Md5Input {
        const std::string& bytes;
        size_t at = 0;
        explicit Reader(const std::string& b) : bytes(b) {}
        int read(char* buffer, size_t capacity, size_t* got) override {
          *got = std::min(capacity, bytes.size() - at);
          std::copy(bytes.data() + at, bytes.data() + at + *got, buffer);
          at += *got;
          return 0;
        }
      };
      input.reset(new Reader(good[i]));
      return 0;
    }
    if (i % 2) return ENOENT;
    input.reset(new FailingInput(i * 10000));
    return 0;
  };
  for (int width : {1, 8, 16}) {
    std::vector<Md5Result> got = md5_of_inputs(good.size(), open, width);
    ASSERT_EQ(good.size(), got.size());
    for (size_t i = 0; i < good.size(); ++i) {
      if (i % 3 != 0) {
        EXPECT_EQ(0, got[i].code) << width << " " << i;
        EXPECT_EQ(one_stream_md5(good[i]), got[i].signature) << width << " " << i;
      } else {
        EXPECT_EQ(i % 2 ? ENOENT : EIO, got[i].code) << width << " " << i;
        EXPECT_EQ("", got[i].signature) << width << " " << i;
      }
    }
  }
}

// Inputs past 512 MiB have a bit count above 32 bits: the lanes hand it over whole to the
// one-stream digest that ends them. Made as they are read, so they take no memory.
TEST_F(Md5LanesTest, InputsBeyondFourGigabits) {
  // Byte k is table[k % 4099]: no block repeats the one before it.
  static const std::string table = [] {
    std::mt19937 random(5);
    return random_bytes(random, 4099);
  }();
  struct Pattern : Md5Input {
    size_t at = 0, size;
    explicit Pattern(size_t bytes) : size(bytes) {}
    int read(char* buffer, size_t capacity, size_t* got) override {
      *got = std::min(capacity, size - at);
      for (size_t done = 0; done < *got;) {
        size_t from = (at + done) % table.size(), n = std::min(*got - done, table.size() - from);
        std::memcpy(buffer + done, table.data() + from, n);
        done += n;
      }
      at += *got;
      return 0;
    }
  };
  const size_t sizes[] = {(size_t(512) << 20) + 64 * 1000 + 3, (size_t(512) << 20) + 64 * 1001 + 60};
  Md5Opener open = [&](size_t i, std::unique_ptr<Md5Input>& input) {
    input.reset(new Pattern(sizes[i]));
    return 0;
  };
  std::vector<Md5Result> one = md5_of_inputs(2, open, 1);
  std::vector<Md5Result> lanes = md5_of_inputs(2, open, 8);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(32u, one[i].signature.size());
    EXPECT_EQ(one[i].signature, lanes[i].signature) << i;
  }
}

// Files at every width, as the checksum tasks hash them, beside md5_of_file; and the
// environment variable that keeps the program to one stream.
TEST_F(Md5LanesTest, FilesAgreeWithMd5OfFileAtEveryWidth) {
  TempDir dir;
  std::mt19937 random(11);
  std::vector<std::string> paths;
  for (int i = 0; i < 25; ++i) {
    paths.push_back(dir / ("f" + std::to_string(i)));
    write_file(paths.back(), random_bytes(random, i == 7 ? 2 * 1024 * 1024 + 5 : random() % 70000));
  }
  paths.push_back(dir / "missing");
  paths.push_back(dir.path());  // a folder
  // A FIFO is never opened for reading: it could block for ever (Windows has none).
  if (posix_system()) {
    ASSERT_EQ(0, make_fifo(dir / "fifo"));
    paths.push_back(dir / "fifo");
  }
  std::vector<Md5Result> expected(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) expected[i].code = md5_of_file(paths[i], expected[i].signature);
  ASSERT_EQ(ENOENT, expected[25].code);
  ASSERT_EQ(EISDIR, expected[26].code);
  if (posix_system()) {
    ASSERT_EQ(EINVAL, expected[27].code);
  }

  set_environment("ZEPHIRO_MD5_LANES", "1");
  EXPECT_EQ(1, md5_lane_width());
  set_environment("ZEPHIRO_MD5_LANES", "8");
  EXPECT_EQ(md5_best_lane_width() >= 8 ? 8 : 1, md5_lane_width());
  unset_environment("ZEPHIRO_MD5_LANES");
  EXPECT_EQ(md5_best_lane_width(), md5_lane_width());
  for (int width : {1, 8, 16}) {
    md5_force_lane_width(width);
    EXPECT_EQ(width <= md5_best_lane_width() ? width : md5_best_lane_width(), md5_lane_width());
    std::vector<Md5Result> got = md5_of_files(paths);
    ASSERT_EQ(paths.size(), got.size());
    for (size_t i = 0; i < paths.size(); ++i) {
      EXPECT_EQ(expected[i].code, got[i].code) << width << " " << paths[i];
      EXPECT_EQ(expected[i].signature, got[i].signature) << width << " " << paths[i];
    }
  }
}

}  // namespace
