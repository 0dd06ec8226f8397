#include "io/md5_lanes.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "io/file_ops.h"
#include "io/md5.h"
#include "platform/fs.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define ZEPHIRO_MD5_SIMD 1
#endif

namespace {

struct LanesState {
  int forced_width = 0;  // 0: the processor's best, lowered by the environment
};
LanesState g_lanes;

constexpr int kMaxLanes = 16;
constexpr size_t kBlock = 64;

// Streams side by side: state[0..3][lane] are A, B, C and D of each lane.
struct alignas(64) LaneStates {
  uint32_t word[4][kMaxLanes];
};

// The 64 steps of RFC 1321: function, the registers in turn, message word, shift, constant.
#define MD5_STEPS(F, G, H, I)                                                              \
  F(a, b, c, d, 0, 7, 0xd76aa478) F(d, a, b, c, 1, 12, 0xe8c7b756)                          \
  F(c, d, a, b, 2, 17, 0x242070db) F(b, c, d, a, 3, 22, 0xc1bdceee)                         \
  F(a, b, c, d, 4, 7, 0xf57c0faf) F(d, a, b, c, 5, 12, 0x4787c62a)                          \
  F(c, d, a, b, 6, 17, 0xa8304613) F(b, c, d, a, 7, 22, 0xfd469501)                         \
  F(a, b, c, d, 8, 7, 0x698098d8) F(d, a, b, c, 9, 12, 0x8b44f7af)                          \
  F(c, d, a, b, 10, 17, 0xffff5bb1) F(b, c, d, a, 11, 22, 0x895cd7be)                       \
  F(a, b, c, d, 12, 7, 0x6b901122) F(d, a, b, c, 13, 12, 0xfd987193)                        \
  F(c, d, a, b, 14, 17, 0xa679438e) F(b, c, d, a, 15, 22, 0x49b40821)                       \
  G(a, b, c, d, 1, 5, 0xf61e2562) G(d, a, b, c, 6, 9, 0xc040b340)                           \
  G(c, d, a, b, 11, 14, 0x265e5a51) G(b, c, d, a, 0, 20, 0xe9b6c7aa)                        \
  G(a, b, c, d, 5, 5, 0xd62f105d) G(d, a, b, c, 10, 9, 0x02441453)                          \
  G(c, d, a, b, 15, 14, 0xd8a1e681) G(b, c, d, a, 4, 20, 0xe7d3fbc8)                        \
  G(a, b, c, d, 9, 5, 0x21e1cde6) G(d, a, b, c, 14, 9, 0xc33707d6)                          \
  G(c, d, a, b, 3, 14, 0xf4d50d87) G(b, c, d, a, 8, 20, 0x455a14ed)                         \
  G(a, b, c, d, 13, 5, 0xa9e3e905) G(d, a, b, c, 2, 9, 0xfcefa3f8)                          \
  G(c, d, a, b, 7, 14, 0x676f02d9) G(b, c, d, a, 12, 20, 0x8d2a4c8a)                        \
  H(a, b, c, d, 5, 4, 0xfffa3942) H(d, a, b, c, 8, 11, 0x8771f681)                          \
  H(c, d, a, b, 11, 16, 0x6d9d6122) H(b, c, d, a, 14, 23, 0xfde5380c)                       \
  H(a, b, c, d, 1, 4, 0xa4beea44) H(d, a, b, c, 4, 11, 0x4bdecfa9)                          \
  H(c, d, a, b, 7, 16, 0xf6bb4b60) H(b, c, d, a, 10, 23, 0xbebfbc70)                        \
  H(a, b, c, d, 13, 4, 0x289b7ec6) H(d, a, b, c, 0, 11, 0xeaa127fa)                         \
  H(c, d, a, b, 3, 16, 0xd4ef3085) H(b, c, d, a, 6, 23, 0x04881d05)                         \
  H(a, b, c, d, 9, 4, 0xd9d4d039) H(d, a, b, c, 12, 11, 0xe6db99e5)                         \
  H(c, d, a, b, 15, 16, 0x1fa27cf8) H(b, c, d, a, 2, 23, 0xc4ac5665)                        \
  I(a, b, c, d, 0, 6, 0xf4292244) I(d, a, b, c, 7, 10, 0x432aff97)                          \
  I(c, d, a, b, 14, 15, 0xab9423a7) I(b, c, d, a, 5, 21, 0xfc93a039)                        \
  I(a, b, c, d, 12, 6, 0x655b59c3) I(d, a, b, c, 3, 10, 0x8f0ccc92)                         \
  I(c, d, a, b, 10, 15, 0xffeff47d) I(b, c, d, a, 1, 21, 0x85845dd1)                        \
  I(a, b, c, d, 8, 6, 0x6fa87e4f) I(d, a, b, c, 15, 10, 0xfe2ce6e0)                         \
  I(c, d, a, b, 6, 15, 0xa3014314) I(b, c, d, a, 13, 21, 0x4e0811a1)                        \
  I(a, b, c, d, 4, 6, 0xf7537e82) I(d, a, b, c, 11, 10, 0xbd3af235)                         \
  I(c, d, a, b, 2, 15, 0x2ad7d2bb) I(b, c, d, a, 9, 21, 0xeb86d391)

// ---------------------------------------------------------------- one stream

// One stream taken over part-way, from the state and length a lane reached. The system's
// MD5 cannot start from a given state, so the tails have their own plain compression.
#define X1_ROL(x, s) (((x) << (s)) | ((x) >> (32 - (s))))
#define X1_F(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define X1_G(b, c, d) ((c) ^ ((d) & ((b) ^ (c))))
#define X1_H(b, c, d) ((b) ^ (c) ^ (d))
#define X1_I(b, c, d) ((c) ^ ((b) | ~(d)))
#define X1_STEP(FN, a, b, c, d, i, s, k) \
  a += FN(b, c, d) + w[i] + uint32_t(k);  \
  a = b + X1_ROL(a, s);
#define X1_FF(a, b, c, d, i, s, k) X1_STEP(X1_F, a, b, c, d, i, s, k)
#define X1_GG(a, b, c, d, i, s, k) X1_STEP(X1_G, a, b, c, d, i, s, k)
#define X1_HH(a, b, c, d, i, s, k) X1_STEP(X1_H, a, b, c, d, i, s, k)
#define X1_II(a, b, c, d, i, s, k) X1_STEP(X1_I, a, b, c, d, i, s, k)

class TailMd5 {
 public:
  TailMd5(const uint32_t state[4], uint64_t bytes) : bytes_(bytes) {
    std::memcpy(state_, state, sizeof state_);
  }

  void add(const char* data, size_t size) {
    bytes_ += size;
    if (held_ > 0) {
      size_t take = std::min(size, kBlock - held_);
      std::memcpy(held_block_ + held_, data, take);
      held_ += take;
      data += take;
      size -= take;
      if (held_ < kBlock) return;
      compress(held_block_);
      held_ = 0;
    }
    for (; size >= kBlock; data += kBlock, size -= kBlock) compress(reinterpret_cast<const unsigned char*>(data));
    std::memcpy(held_block_, data, size);
    held_ = size;
  }

  // The padding: 0x80, zeros up to 56 bytes of the last block, the length in bits (little-endian).
  void finish(unsigned char digest[16]) {
    uint64_t bits = bytes_ * 8;
    static const char kPad[kBlock] = {'\x80'};
    add(kPad, held_ < 56 ? 56 - held_ : kBlock + 56 - held_);
    unsigned char length[8];
    for (int k = 0; k < 8; ++k) length[k] = static_cast<unsigned char>(bits >> (8 * k));
    add(reinterpret_cast<const char*>(length), 8);
    for (int k = 0; k < 16; ++k) digest[k] = static_cast<unsigned char>(state_[k / 4] >> (8 * (k % 4)));
  }

 private:
  void compress(const unsigned char* p) {
    uint32_t w[16];
    for (int j = 0; j < 16; ++j)
      w[j] = uint32_t(p[4 * j]) | uint32_t(p[4 * j + 1]) << 8 | uint32_t(p[4 * j + 2]) << 16 |
             uint32_t(p[4 * j + 3]) << 24;
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    MD5_STEPS(X1_FF, X1_GG, X1_HH, X1_II)
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
  }

  uint32_t state_[4];
  uint64_t bytes_;
  unsigned char held_block_[kBlock];
  size_t held_ = 0;
};

#ifdef ZEPHIRO_MD5_SIMD

// ---------------------------------------------------------------- 8 lanes (AVX2)

// Rows r[0..7] of eight 32-bit words become columns: r[i] word j -> r[j] word i.
__attribute__((target("avx2"))) void transpose_8x8(__m256i* r) {
  __m256i t[8], u[8];
  #pragma GCC unroll 16
  for (int k = 0; k < 8; k += 2) {
    t[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
    t[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
  }
  #pragma GCC unroll 16
  for (int k = 0; k < 8; k += 4) {
    u[k] = _mm256_unpacklo_epi64(t[k], t[k + 2]);
    u[k + 1] = _mm256_unpackhi_epi64(t[k], t[k + 2]);
    u[k + 2] = _mm256_unpacklo_epi64(t[k + 1], t[k + 3]);
    u[k + 3] = _mm256_unpackhi_epi64(t[k + 1], t[k + 3]);
  }
  #pragma GCC unroll 16
  for (int k = 0; k < 4; ++k) {
    r[k] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x20);
    r[k + 4] = _mm256_permute2x128_si256(u[k], u[k + 4], 0x31);
  }
}

#define X8_ROL(x, s) _mm256_or_si256(_mm256_slli_epi32(x, s), _mm256_srli_epi32(x, 32 - (s)))
#define X8_F(b, c, d) _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)))
#define X8_G(b, c, d) _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c)))
#define X8_H(b, c, d) _mm256_xor_si256(_mm256_xor_si256(b, c), d)
#define X8_I(b, c, d) _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, ones)))
// a + word + constant does not wait for the step before; only F and what follows do.
#define X8_STEP(FN, a, b, c, d, i, s, k)                                              \
  a = _mm256_add_epi32(a, _mm256_add_epi32(w[i], _mm256_set1_epi32(int(k))));         \
  a = _mm256_add_epi32(a, FN(b, c, d));                                                \
  a = _mm256_add_epi32(b, X8_ROL(a, s));
#define X8_FF(a, b, c, d, i, s, k) X8_STEP(X8_F, a, b, c, d, i, s, k)
#define X8_GG(a, b, c, d, i, s, k) X8_STEP(X8_G, a, b, c, d, i, s, k)
#define X8_HH(a, b, c, d, i, s, k) X8_STEP(X8_H, a, b, c, d, i, s, k)
#define X8_II(a, b, c, d, i, s, k) X8_STEP(X8_I, a, b, c, d, i, s, k)

// Advances lanes 0..7 by `blocks` blocks each, lane j reading from `data[j]` on.
__attribute__((target("avx2"))) void md5_blocks_x8(LaneStates& st, const char* const* data, size_t blocks) {
  __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.word[0]));
  __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.word[1]));
  __m256i c = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.word[2]));
  __m256i d = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.word[3]));
  const __m256i ones = _mm256_set1_epi32(-1);
  for (size_t n = 0; n < blocks; ++n) {
    __m256i w[16];
    #pragma GCC unroll 16
    for (int j = 0; j < 8; ++j) {
      const char* p = data[j] + n * kBlock;
      w[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      w[j + 8] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    }
    transpose_8x8(w);
    transpose_8x8(w + 8);
    const __m256i a0 = a, b0 = b, c0 = c, d0 = d;
    MD5_STEPS(X8_FF, X8_GG, X8_HH, X8_II)
    a = _mm256_add_epi32(a, a0);
    b = _mm256_add_epi32(b, b0);
    c = _mm256_add_epi32(c, c0);
    d = _mm256_add_epi32(d, d0);
  }
  _mm256_store_si256(reinterpret_cast<__m256i*>(st.word[0]), a);
  _mm256_store_si256(reinterpret_cast<__m256i*>(st.word[1]), b);
  _mm256_store_si256(reinterpret_cast<__m256i*>(st.word[2]), c);
  _mm256_store_si256(reinterpret_cast<__m256i*>(st.word[3]), d);
}

// ---------------------------------------------------------------- 16 lanes (AVX-512)

// GCC 12's own AVX-512 header trips its uninitialised-use warning (its bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Rows r[0..15] of sixteen 32-bit words become columns.
__attribute__((target("avx512f"))) void transpose_16x16(__m512i* r) {
  __m512i t[16], u[16];
  #pragma GCC unroll 16
  for (int k = 0; k < 16; k += 2) {
    t[k] = _mm512_unpacklo_epi32(r[k], r[k + 1]);
    t[k + 1] = _mm512_unpackhi_epi32(r[k], r[k + 1]);
  }
  // Now 128-bit lane L of u[4m + j] holds word 4L + j of rows 4m..4m+3.
  #pragma GCC unroll 16
  for (int k = 0; k < 16; k += 4) {
    u[k] = _mm512_unpacklo_epi64(t[k], t[k + 2]);
    u[k + 1] = _mm512_unpackhi_epi64(t[k], t[k + 2]);
    u[k + 2] = _mm512_unpacklo_epi64(t[k + 1], t[k + 3]);
    u[k + 3] = _mm512_unpackhi_epi64(t[k + 1], t[k + 3]);
  }
  #pragma GCC unroll 16
  for (int j = 0; j < 4; ++j) {
    __m512i v0 = _mm512_shuffle_i32x4(u[j], u[4 + j], 0x44);
    __m512i v1 = _mm512_shuffle_i32x4(u[j], u[4 + j], 0xEE);
    __m512i v2 = _mm512_shuffle_i32x4(u[8 + j], u[12 + j], 0x44);
    __m512i v3 = _mm512_shuffle_i32x4(u[8 + j], u[12 + j], 0xEE);
    r[j] = _mm512_shuffle_i32x4(v0, v2, 0x88);
    r[4 + j] = _mm512_shuffle_i32x4(v0, v2, 0xDD);
    r[8 + j] = _mm512_shuffle_i32x4(v1, v3, 0x88);
    r[12 + j] = _mm512_shuffle_i32x4(v1, v3, 0xDD);
  }
}

// The four round functions as three-input truth tables (b = 0xF0, c = 0xCC, d = 0xAA).
constexpr int kTableF = (0xF0 & 0xCC) | (~0xF0 & 0xAA);
constexpr int kTableG = ((0xF0 & 0xAA) | (0xCC & ~0xAA)) & 0xFF;
constexpr int kTableH = 0xF0 ^ 0xCC ^ 0xAA;
constexpr int kTableI = (0xCC ^ (0xF0 | ~0xAA)) & 0xFF;

#define X16_STEP(TABLE, a, b, c, d, i, s, k)                                      \
  a = _mm512_add_epi32(a, _mm512_add_epi32(w[i], _mm512_set1_epi32(int(k))));      \
  a = _mm512_add_epi32(a, _mm512_ternarylogic_epi32(b, c, d, TABLE));              \
  a = _mm512_add_epi32(b, _mm512_rol_epi32(a, s));
#define X16_FF(a, b, c, d, i, s, k) X16_STEP(kTableF, a, b, c, d, i, s, k)
#define X16_GG(a, b, c, d, i, s, k) X16_STEP(kTableG, a, b, c, d, i, s, k)
#define X16_HH(a, b, c, d, i, s, k) X16_STEP(kTableH, a, b, c, d, i, s, k)
#define X16_II(a, b, c, d, i, s, k) X16_STEP(kTableI, a, b, c, d, i, s, k)

__attribute__((target("avx512f"))) void md5_blocks_x16(LaneStates& st, const char* const* data, size_t blocks) {
  __m512i a = _mm512_load_si512(st.word[0]);
  __m512i b = _mm512_load_si512(st.word[1]);
  __m512i c = _mm512_load_si512(st.word[2]);
  __m512i d = _mm512_load_si512(st.word[3]);
  for (size_t n = 0; n < blocks; ++n) {
    __m512i w[16];
    #pragma GCC unroll 16
    for (int j = 0; j < 16; ++j) w[j] = _mm512_loadu_si512(data[j] + n * kBlock);
    transpose_16x16(w);
    const __m512i a0 = a, b0 = b, c0 = c, d0 = d;
    MD5_STEPS(X16_FF, X16_GG, X16_HH, X16_II)
    a = _mm512_add_epi32(a, a0);
    b = _mm512_add_epi32(b, b0);
    c = _mm512_add_epi32(c, c0);
    d = _mm512_add_epi32(d, d0);
  }
  _mm512_store_si512(st.word[0], a);
  _mm512_store_si512(st.word[1], b);
  _mm512_store_si512(st.word[2], c);
  _mm512_store_si512(st.word[3], d);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

int detect_best_width() {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2")) return 1;
  return __builtin_cpu_supports("avx512f") ? 16 : 8;
}

#else

int detect_best_width() { return 1; }
void md5_blocks_x8(LaneStates&, const char* const*, size_t) { std::abort(); }
void md5_blocks_x16(LaneStates&, const char* const*, size_t) { std::abort(); }

#endif

// Lowers a wish to a width the processor has.
int supported_width(int wish) {
  int best = md5_best_lane_width();
  if (wish >= 16 && best >= 16) return 16;
  if (wish >= 8 && best >= 8) return 8;
  return 1;
}

// ---------------------------------------------------------------- the lanes at work

struct Lane {
  size_t item = 0;
  std::unique_ptr<Md5Input> input;  // none: nothing started in this lane yet
  char* buffer = nullptr;           // kMd5LaneBuffer bytes
  size_t pos = 0;                   // bytes [pos, have) wait to be hashed
  size_t have = 0;
  bool ended = false;               // the input has given its last byte
  uint64_t blocks = 0;              // blocks hashed so far
};

class LaneRunner {
 public:
  LaneRunner(size_t count, const Md5Opener& open, int width, char* buffers, std::vector<Md5Result>& results)
      : count_(count), open_(open), busy_(width), results_(results) {
    for (int i = 0; i < width; ++i) lanes_[i].buffer = buffers + size_t(i) * kMd5LaneBuffer;
  }

  void run() {
    for (;;) {
      for (int i = 0; i < busy_;)
        if (settle(i)) ++i;
      if (busy_ == 0) return;
      if (busy_ == 1) {
        finish(0);  // the last input goes on alone: one stream is as fast and has no transposes
        continue;
      }
      size_t blocks = SIZE_MAX;
      const char* data[kMaxLanes];
      for (int i = 0; i < busy_; ++i) {
        Lane& l = lanes_[i];
        data[i] = l.buffer + l.pos;
        size_t n = (l.have - l.pos) / kBlock;
        if (n < blocks) blocks = n;
      }
      int kernel = busy_ > 8 ? 16 : 8;
      // Idle lanes read along with lane 0; what they compute is never used.
      for (int i = busy_; i < kernel; ++i) data[i] = data[0];
      if (kernel == 16)
        md5_blocks_x16(states_, data, blocks);
      else
        md5_blocks_x8(states_, data, blocks);
      for (int i = 0; i < busy_; ++i) {
        lanes_[i].pos += blocks * kBlock;
        lanes_[i].blocks += blocks;
      }
    }
  }

 private:
  // Makes lane i ready for a step (a whole block waiting), finishing and replacing inputs
  // on the way. False when no input was left for it: the lane was dropped, and the last
  // lane moved into its place.
  bool settle(int i) {
    for (;;) {
      Lane& l = lanes_[i];
      if (!l.input && !start(i)) {
        drop(i);
        return false;
      }
      if (int code = top_up(l)) {
        fail(l, code);
        continue;
      }
      if (l.have - l.pos >= kBlock) return true;
      finish(i);
    }
  }

  bool start(int i) {
    Lane& l = lanes_[i];
    while (next_ < count_) {
      size_t item = next_++;
      std::unique_ptr<Md5Input> input;
      int code = open_(item, input);
      if (code == 0 && !input) code = EINVAL;
      if (code != 0) {
        results_[item].code = code;
        continue;
      }
      l.item = item;
      l.input = std::move(input);
      l.pos = l.have = 0;
      l.ended = false;
      l.blocks = 0;
      static const uint32_t kStart[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
      for (int k = 0; k < 4; ++k) states_.word[k][i] = kStart[k];
      return true;
    }
    return false;
  }

  // Keeps the busy lanes at the front: the kernels run lanes 0..busy-1.
  void drop(int i) {
    int last = --busy_;
    if (i == last) return;
    std::swap(lanes_[i], lanes_[last]);
    for (int k = 0; k < 4; ++k) std::swap(states_.word[k][i], states_.word[k][last]);
  }

  // Reads on when less than a block waits.
  int top_up(Lane& l) {
    size_t left = l.have - l.pos;
    if (left >= kBlock || l.ended) return 0;
    std::memmove(l.buffer, l.buffer + l.pos, left);
    l.pos = 0;
    l.have = left;
    while (l.have < kBlock && !l.ended) {
      size_t got = 0;
      if (int code = l.input->read(l.buffer + l.have, kMd5LaneBuffer - l.have, &got)) return code;
      if (got == 0) l.ended = true;
      l.have += got;
    }
    return 0;
  }

  void fail(Lane& l, int code) {
    results_[l.item].code = code;
    l.input.reset();
  }

  // Lane i's input to its end through the one-stream MD5, from the state the lane reached.
  void finish(int i) {
    Lane& l = lanes_[i];
    const uint32_t state[4] = {states_.word[0][i], states_.word[1][i], states_.word[2][i], states_.word[3][i]};
    TailMd5 md5(state, l.blocks * kBlock);
    md5.add(l.buffer + l.pos, l.have - l.pos);
    while (!l.ended) {
      size_t got = 0;
      if (int code = l.input->read(l.buffer, kMd5LaneBuffer, &got)) return fail(l, code);
      if (got == 0) l.ended = true;
      md5.add(l.buffer, got);
    }
    unsigned char digest[16];
    md5.finish(digest);
    results_[l.item].signature = md5_signature_text(digest, sizeof digest);
    l.pos = l.have = 0;
    l.input.reset();
  }

  size_t count_;
  size_t next_ = 0;
  const Md5Opener& open_;
  int busy_;  // lanes 0..busy-1 are in use
  std::vector<Md5Result>& results_;
  Lane lanes_[kMaxLanes];
  LaneStates states_;
};

// One input after another through the present one-stream digest.
void one_stream(size_t count, const Md5Opener& open, std::vector<Md5Result>& results) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kMd5LaneBuffer]);
  for (size_t item = 0; item < count; ++item) {
    Md5Result& r = results[item];
    std::unique_ptr<Md5Input> input;
    Md5Digest digest;
    if (!buffer || !digest.ready()) r.code = ENOMEM;
    if (r.code == 0) r.code = open(item, input);
    if (r.code == 0 && !input) r.code = EINVAL;
    for (size_t got = 1; r.code == 0 && got > 0;) {
      r.code = input->read(buffer.get(), kMd5LaneBuffer, &got);
      digest.add(buffer.get(), got);
    }
    if (r.code == 0) r.signature = digest.finish();
    if (r.code == 0 && r.signature.empty()) r.code = ENOMEM;
  }
}

class FileInput : public Md5Input {
 public:
  explicit FileInput(int fd) : fd_(fd) {}
  ~FileInput() override { platform::close_file(fd_); }
  int read(char* buffer, size_t capacity, size_t* got) override {
    uint64_t n = 0;
    int code = platform::read_file_bytes(fd_, buffer, capacity, &n);
    *got = static_cast<size_t>(n);
    return code;
  }

 private:
  int fd_;
};

class BufferInput : public Md5Input {
 public:
  explicit BufferInput(const std::string& bytes) : bytes_(bytes) {}
  int read(char* buffer, size_t capacity, size_t* got) override {
    *got = std::min(capacity, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, *got);
    at_ += *got;
    return 0;
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

}  // namespace

int md5_best_lane_width() {
  static const int best = detect_best_width();
  return best;
}

int md5_lane_width() {
  if (g_lanes.forced_width) return g_lanes.forced_width;
  std::string wish = platform::env("ZEPHIRO_MD5_LANES");
  return supported_width(wish.empty() ? kMaxLanes : std::atoi(wish.c_str()));
}

void md5_force_lane_width(int width) { g_lanes.forced_width = width > 0 ? supported_width(width) : 0; }

void reset_md5_lanes() { g_lanes = LanesState(); }

std::vector<Md5Result> md5_of_inputs(size_t count, const Md5Opener& open, int width) {
  std::vector<Md5Result> results(count);
  width = supported_width(width);
  if (count < 2) width = 1;
  if (width > 1) {
    std::unique_ptr<char[]> buffers(new (std::nothrow) char[size_t(width) * kMd5LaneBuffer]);
    if (buffers) {
      LaneRunner(count, open, width, buffers.get(), results).run();
      return results;
    }
  }
  one_stream(count, open, results);
  return results;
}

std::vector<Md5Result> md5_of_files(const std::vector<std::string>& paths) {
  int width = md5_lane_width();
  if (width == 1 || paths.size() < 2) {
    std::vector<Md5Result> results(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) results[i].code = md5_of_file(paths[i], results[i].signature);
    return results;
  }
  return md5_of_inputs(
      paths.size(),
      [&paths](size_t i, std::unique_ptr<Md5Input>& input) {
        std::string absolute = paths[i];
        make_absolute(absolute);
        int fd = -1;
        if (int code = platform::open_regular_file(absolute, &fd)) return code;
        input.reset(new FileInput(fd));
        return 0;
      },
      width);
}

std::vector<Md5Result> md5_of_buffers(const std::vector<std::string>& buffers, int width) {
  return md5_of_inputs(
      buffers.size(),
      [&buffers](size_t i, std::unique_ptr<Md5Input>& input) {
        input.reset(new BufferInput(buffers[i]));
        return 0;
      },
      width);
}
