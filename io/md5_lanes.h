#pragma once
// MD5 of many files at once. One MD5 stream cannot go faster than its chain of steps, but
// a scan hashes hundreds of independent files: with AVX2 one core advances 8 streams
// side by side, one 64-byte block each per step, with AVX-512 16. A file's last partial
// block and padding, and a file left alone once the others have ended, go through the
// one-stream MD5. Results are those of md5_of_file.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The number of streams hashed side by side: 16 (AVX-512), 8 (AVX2) or 1 (one stream at a
// time, the plain path). The processor's best, lowered by ZEPHIRO_MD5_LANES=1 or 8, or by
// md5_force_lane_width.
int md5_lane_width();
int md5_best_lane_width();  // what this processor offers
// 0 goes back to the processor's best and the environment; other values are lowered to a
// width this processor has (1, 8 or 16).
void md5_force_lane_width(int width);
void reset_md5_lanes();  // forgets a forced width (tests)

// What one input gave: code 0 and its signature (32 lowercase hex digits), or an error code
// with the signature left empty.
struct Md5Result {
  int code = 0;
  std::string signature;
};

// One input of a batch, read from start to end.
class Md5Input {
 public:
  virtual ~Md5Input() = default;
  // Up to `capacity` bytes into `buffer`, the count in `got` (0 at the end). 0 or an error code.
  virtual int read(char* buffer, size_t capacity, size_t* got) = 0;
};

// Opens input `index` of a batch: 0 with `input` set, or an error code.
using Md5Opener = std::function<int(size_t index, std::unique_ptr<Md5Input>& input)>;

// Hashes inputs 0..count-1 with `width` streams side by side (1: one input after another),
// refilling a stream with the next input as soon as its own ends. Memory: `width` read
// buffers of kMd5LaneBuffer bytes.
std::vector<Md5Result> md5_of_inputs(size_t count, const Md5Opener& open, int width);
constexpr size_t kMd5LaneBuffer = 64 * 1024;

// md5_of_file for each path (regular files only), at md5_lane_width().
std::vector<Md5Result> md5_of_files(const std::vector<std::string>& paths);

// The signatures of byte strings held in memory, at the given width.
std::vector<Md5Result> md5_of_buffers(const std::vector<std::string>& buffers, int width);
