// Keccak-p[1600] (24 rounds) and the sponges built on it: Keccak-256 with
// Keccak's original padding, SHA3-256, SHAKE128 and SHAKE256 with incremental
// absorb and squeeze, and multi-lane variants that process 4 or 8 independent
// states at once (AVX2 / AVX-512F / AVX-512VL, chosen at run time, portable
// fallback).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace keccak {

using State = std::array<uint64_t, 25>;

// A word read from or written as eight little-endian bytes, the byte order of
// the sponge state: swapped on a big-endian machine, unchanged elsewhere.
inline uint64_t le64(uint64_t v) noexcept {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return __builtin_bswap64(v);
#else
  return v;
#endif
}

// One permutation of a single state: the portable code, or the same rounds
// compiled for BMI1/BMI2 or run on single words of AVX-512VL registers when
// the CPU has them and the cap allows (see cap_backend); all give identical
// results.
void permute(State& s) noexcept;

// Independent permutations of 4 or 8 states on interleaved lanes: word i of
// state k is at lanes[i * 4 + k] (x4, 100 words) or lanes[i * 8 + k] (x8,
// 200 words). This is the layout the vector code works in, so no
// transposition is needed. The result equals permute() applied to each state.
void permute_x4_interleaved(uint64_t* lanes) noexcept;
void permute_x8_interleaved(uint64_t* lanes) noexcept;

// The narrowest lane width (1, 4 or 8) that holds n (1..8) states.
inline size_t lane_width(size_t n) noexcept { return n >= 5 ? 8 : n >= 2 ? 4 : 1; }

// Permutations run, by the kernel that ran them: one-lane permutations, and
// calls of the 4- and 8-lane kernels (a spare lane counts with its call).
struct PermutationCalls {
  uint64_t x1 = 0;
  uint64_t x4 = 0;
  uint64_t x8 = 0;
  PermutationCalls& operator+=(const PermutationCalls& o) noexcept {
    x1 += o.x1;
    x4 += o.x4;
    x8 += o.x8;
    return *this;
  }
  // Lane permutations, spare lanes included.
  constexpr uint64_t lanes() const noexcept { return x1 + 4 * x4 + 8 * x8; }
};

// One permutation of `width` (1, 4 or 8) interleaved states, word i of state
// k at lanes[i * width + k]; at width 1 the 25 words are a plain state.
// Returns the one call it made.
PermutationCalls permute_lanes(size_t width, uint64_t* lanes) noexcept;

// Keccak's padding of a message of `len` bytes (len < rate): the domain byte
// right after the message and the top bit of the block's last byte, XORed
// into one state whose word i is words[i * stride] (stride 1: a plain state,
// N: lane k of N interleaved states, from &lanes[k]). Every sponge here pads
// through this.
inline void pad(uint64_t* words, size_t stride, size_t len, size_t rate, uint8_t domain) noexcept {
  words[(len / 8) * stride] ^= uint64_t{domain} << (8 * (len % 8));
  words[((rate - 1) / 8) * stride] ^= uint64_t{0x80} << (8 * ((rate - 1) % 8));
}

// Implementation levels, in increasing order. What each level runs:
//   kPortable  x1 portable, x4 portable, x8 portable
//   kAvx2      x1 BMI2 (where the CPU has BMI1 and BMI2, else portable),
//              x4 AVX2, x8 as two AVX2 halves
//   kAvx512f   x1 as kAvx2, x4 AVX2, x8 AVX-512F
//   kAvx512vl  x1 AVX-512VL, x4 AVX-512VL, x8 AVX-512F
enum class Backend : uint8_t { kPortable = 0, kAvx2 = 1, kAvx512f = 2, kAvx512vl = 3 };

// The widest implementation compiled in that this CPU and its OS support
// (checked once, CPUID feature bits plus the XGETBV register-state mask).
Backend best_backend() noexcept;

// Which implementation runs: x1 "portable", "bmi2" or "avx512vl"; x4
// "portable", "avx2" or "avx512vl"; x8 "portable", "avx2" (two AVX2 halves)
// or "avx512f".
const char* x1_backend() noexcept;
const char* x4_backend() noexcept;
const char* x8_backend() noexcept;

// Caps the implementation level at `max` (tests and benchmarks); the
// effective one is the lower of `max` and best_backend().
void cap_backend(Backend max) noexcept;
// Lifts any cap: the processor's best implementation runs again.
void uncap_backend() noexcept;
// Forces the portable code for every permutation, one-lane included (tests
// and benchmarks); force_portable(false) lifts the cap.
void force_portable(bool on) noexcept;
// The level that runs now: the lower of the cap and best_backend().
Backend active_backend() noexcept;

// Generic sponge over Keccak-p[1600] with rate in bytes and a domain byte
// (0x01 Keccak, 0x06 SHA-3, 0x1F SHAKE).
class Sponge {
 public:
  Sponge(size_t rate, uint8_t domain) noexcept;
  ~Sponge();
  Sponge(const Sponge&) = default;
  Sponge& operator=(const Sponge&) = default;

  void absorb(const uint8_t* data, size_t len) noexcept;
  void absorb(std::span<const uint8_t> data) noexcept { absorb(data.data(), data.size()); }
  // Pads and switches to squeezing; called implicitly by the first squeeze.
  void finalize() noexcept;
  void squeeze(uint8_t* out, size_t len) noexcept;
  void squeeze(std::span<uint8_t> out) noexcept { squeeze(out.data(), out.size()); }
  // Wipes the state.
  void reset() noexcept;

 private:
  State st_{};
  size_t rate_;
  size_t pos_ = 0;  // byte position inside the current block
  uint8_t domain_;
  bool squeezing_ = false;
};

class Keccak256 : public Sponge {
 public:
  Keccak256() noexcept : Sponge(136, 0x01) {}
  void final(uint8_t out[32]) noexcept { squeeze(out, 32); }
};

class Sha3_256 : public Sponge {
 public:
  Sha3_256() noexcept : Sponge(136, 0x06) {}
  void final(uint8_t out[32]) noexcept { squeeze(out, 32); }
};

class Shake128 : public Sponge {
 public:
  static constexpr size_t kRate = 168;
  Shake128() noexcept : Sponge(kRate, 0x1F) {}
};

class Shake256 : public Sponge {
 public:
  static constexpr size_t kRate = 136;
  Shake256() noexcept : Sponge(kRate, 0x1F) {}
};

// Keccak-256's rate in bytes, and the permutations hashing `len` bytes costs.
inline constexpr size_t kKeccak256Rate = 136;
constexpr size_t keccak256_permutations(size_t len) noexcept { return len / kKeccak256Rate + 1; }

// One-shot helpers.
std::array<uint8_t, 32> keccak256(const uint8_t* data, size_t len) noexcept;
inline std::array<uint8_t, 32> keccak256(std::span<const uint8_t> d) noexcept { return keccak256(d.data(), d.size()); }
std::array<uint8_t, 32> sha3_256(const uint8_t* data, size_t len) noexcept;
void shake128(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept;
void shake256(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept;

// Keccak-256 of 4 or 8 independent inputs of the same length `len`:
// out[k] = keccak256(in[k], len). Runs the permutations side by side.
void keccak256_x4(const uint8_t* const in[4], size_t len, uint8_t (*out)[32]) noexcept;
void keccak256_x8(const uint8_t* const in[8], size_t len, uint8_t (*out)[32]) noexcept;

// Keccak-256 of `count` independent inputs of the same length `len` (any count,
// zero included): out[k] = keccak256(in[k], len). Inputs go through the x8
// lanes eight at a time; what is left goes through x4 four at a time, a last
// group of 2 or 3 through x4 with its spare lanes fed a copy of its first
// input, a last single input through the one-lane hash. Returns the
// permutations it ran.
PermutationCalls keccak256_many(const uint8_t* const* in, size_t count, size_t len, uint8_t (*out)[32]) noexcept;

// Keccak-256 of n (1..8) one-block messages of `len` bytes each (len below
// the rate), written over zero words into the first n of `width`
// interleaved states (the layout of permute_lanes; width at least
// lane_width(n)). Pads each message and permutes once; digest k is then
// words 0..3 of state k (lane_digest). Returns the permutation it ran.
// The hash engine's hash_block, and its hash_many for inputs shorter than
// the rate, go through here. The engine's chain steps (walk_chains) and
// UXMSS nodes (NodeHash) instead pad a template block once and permute copies
// of it with permute_lanes, and the sponges (one-lane and multi-lane,
// keccak256_many's included) pad their own last block.
inline PermutationCalls keccak256_blocks(uint64_t* lanes, size_t width, size_t n, size_t len) noexcept {
  for (size_t k = 0; k < n; ++k) pad(lanes + k, width, len, kKeccak256Rate, 0x01);
  return permute_lanes(width, lanes);
}

// The 32-byte digest left in state k by keccak256_blocks.
inline void lane_digest(const uint64_t* lanes, size_t width, size_t k, uint8_t* out) noexcept {
  for (size_t w = 0; w < 4; ++w) {
    const uint64_t v = le64(lanes[w * width + k]);
    std::memcpy(out + 8 * w, &v, 8);
  }
}

// N independent sponges (N = 4 or 8) of one rate (in bytes) and domain byte,
// absorbed and squeezed side by side on the multi-lane permutation. Every
// absorb call adds the same number of bytes to each lane, either one buffer
// per lane or one buffer shared by all lanes. The first squeeze pads every
// lane; nothing is absorbed after it. The state is wiped on destruction and
// by reset().
template <size_t N, size_t Rate, uint8_t Domain>
class SpongeLanes {
 public:
  static_assert(N == 4 || N == 8, "4 or 8 lanes");
  static_assert(Rate % 8 == 0 && Rate > 0 && Rate < 200, "a whole number of words below the width");
  static constexpr size_t kLanes = N;
  static constexpr size_t kRate = Rate;
  SpongeLanes() noexcept = default;
  ~SpongeLanes();
  SpongeLanes(const SpongeLanes&) = default;
  SpongeLanes& operator=(const SpongeLanes&) = default;

  // Lane k absorbs in[k][0..len).
  void absorb(const uint8_t* const in[N], size_t len) noexcept;
  // Every lane absorbs data[0..len).
  void absorb_all(const uint8_t* data, size_t len) noexcept;
  void absorb_all(std::span<const uint8_t> d) noexcept { absorb_all(d.data(), d.size()); }
  // Writes the next `blocks` whole blocks (Rate bytes each) of lane k's
  // output to out[k].
  void squeeze(uint8_t* const out[N], size_t blocks) noexcept;
  // Writes the first 32 output bytes of every lane (the digests of a
  // 256-bit hash) and returns the object to its empty state; called instead
  // of squeeze.
  void final(uint8_t (*out)[32]) noexcept;
  void reset() noexcept;

 private:
  void pad() noexcept;

  alignas(64) uint64_t st_[25 * N] = {};  // interleaved: word i of lane k at [i * N + k]
  size_t pos_ = 0;                        // byte position inside the current block
  bool squeezing_ = false;
};

// Keccak-256 of N inputs absorbed side by side.
template <size_t N>
using Keccak256Lanes = SpongeLanes<N, 136, 0x01>;
using Keccak256x4 = Keccak256Lanes<4>;
using Keccak256x8 = Keccak256Lanes<8>;

// N SHAKE128 / SHAKE256 streams side by side.
template <size_t N>
using Shake128Lanes = SpongeLanes<N, Shake128::kRate, 0x1F>;
template <size_t N>
using Shake256Lanes = SpongeLanes<N, Shake256::kRate, 0x1F>;

// The instances the library builds.
extern template class SpongeLanes<4, 136, 0x01>;
extern template class SpongeLanes<8, 136, 0x01>;
extern template class SpongeLanes<4, 168, 0x1F>;
extern template class SpongeLanes<8, 168, 0x1F>;
extern template class SpongeLanes<4, 136, 0x1F>;
extern template class SpongeLanes<8, 136, 0x1F>;

}  // namespace keccak
