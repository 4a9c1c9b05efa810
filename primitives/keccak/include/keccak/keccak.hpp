// Keccak-p[1600] (24 rounds) and the sponges built on it: Keccak-256 with
// Keccak's original padding, SHA3-256, SHAKE128 and SHAKE256 with incremental
// absorb and squeeze, and multi-lane variants that process 4 or 8 independent
// states at once (AVX2 / AVX-512F, chosen at run time, portable fallback).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace keccak {

using State = std::array<uint64_t, 25>;

// One permutation of a single state (portable code).
void permute(State& s) noexcept;

// Independent permutations of 4 or 8 states, lane k of the batch being
// states[k]. The result equals permute() applied to each state.
void permute_x4(State* states) noexcept;  // states[0..4)
void permute_x8(State* states) noexcept;  // states[0..8)

// Which multi-lane implementation runs ("portable", "avx2", "avx512f").
const char* x4_backend() noexcept;
const char* x8_backend() noexcept;

// Forces the portable code for every multi-lane call (tests and benchmarks).
void force_portable(bool on) noexcept;

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

// One-shot helpers.
std::array<uint8_t, 32> keccak256(const uint8_t* data, size_t len) noexcept;
inline std::array<uint8_t, 32> keccak256(std::span<const uint8_t> d) noexcept {
  return keccak256(d.data(), d.size());
}
std::array<uint8_t, 32> sha3_256(const uint8_t* data, size_t len) noexcept;
void shake128(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept;
void shake256(const uint8_t* in, size_t inlen, uint8_t* out, size_t outlen) noexcept;

// Keccak-256 of 4 or 8 independent inputs of the same length `len`:
// out[k] = keccak256(in[k], len). Runs the permutations side by side.
void keccak256_x4(const uint8_t* const in[4], size_t len, uint8_t (*out)[32]) noexcept;
void keccak256_x8(const uint8_t* const in[8], size_t len, uint8_t (*out)[32]) noexcept;

}  // namespace keccak
