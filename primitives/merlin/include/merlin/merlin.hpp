// merlin 3.0.0 transcripts: a STROBE-128 duplex over Keccak-f[1600] that
// absorbs labelled messages and squeezes challenges, and the transcript RNG
// that binds witness bytes and external randomness to the transcript state.
// Every state is wiped when it is released. Messages and challenges longer
// than 2^32-1 bytes are an internal fault (merlin frames lengths in 32 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "keccak/keccak.hpp"

namespace merlin {

using Bytes = std::span<const uint8_t>;

inline Bytes bytes_of(std::string_view s) noexcept { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// The subset of STROBE-128 (STROBE v1.0.2) that merlin uses.
class Strobe128 {
 public:
  explicit Strobe128(Bytes protocol_label) noexcept;
  ~Strobe128();
  Strobe128(const Strobe128&) = default;
  Strobe128& operator=(const Strobe128&) = default;

  void meta_ad(Bytes data, bool more) noexcept;
  void ad(Bytes data, bool more) noexcept;
  void prf(std::span<uint8_t> out, bool more) noexcept;
  void key(Bytes data, bool more) noexcept;

 private:
  static constexpr size_t kRate = 166;
  static const keccak::State& initialised_state() noexcept;
  uint8_t* bytes() noexcept { return reinterpret_cast<uint8_t*>(st_.data()); }
  void run_f() noexcept;
  void absorb(Bytes data) noexcept;
  void overwrite(Bytes data) noexcept;
  void squeeze(std::span<uint8_t> out) noexcept;
  void begin_op(uint8_t flags, bool more) noexcept;

  keccak::State st_{};
  uint8_t pos_ = 0;
  uint8_t pos_begin_ = 0;
  uint8_t cur_flags_ = 0;
};

class TranscriptRng;
class TranscriptRngBuilder;

class Transcript {
 public:
  explicit Transcript(Bytes label);
  explicit Transcript(std::string_view label) : Transcript(bytes_of(label)) {}
  Transcript(const Transcript&) = default;
  Transcript& operator=(const Transcript&) = default;

  void append_message(Bytes label, Bytes message);
  void append_message(std::string_view label, Bytes message) { append_message(bytes_of(label), message); }
  // The value as 8 little-endian bytes.
  void append_u64(Bytes label, uint64_t x);
  void append_u64(std::string_view label, uint64_t x) { append_u64(bytes_of(label), x); }

  void challenge_bytes(Bytes label, std::span<uint8_t> out);
  void challenge_bytes(std::string_view label, std::span<uint8_t> out) { challenge_bytes(bytes_of(label), out); }

  // A generator builder over a copy of the current state; the transcript
  // itself is not changed.
  TranscriptRngBuilder build_rng() const noexcept;

 private:
  Strobe128 strobe_;
};

class TranscriptRngBuilder {
 public:
  TranscriptRngBuilder& rekey_with_witness_bytes(Bytes label, Bytes witness);
  TranscriptRngBuilder& rekey_with_witness_bytes(std::string_view label, Bytes witness) {
    return rekey_with_witness_bytes(bytes_of(label), witness);
  }
  // Keys the state with 32 bytes drawn from `rng` (anything with
  // fill_bytes(uint8_t*, size_t)).
  template <class Rng>
  TranscriptRng finalize(Rng& rng);
  // The same with the 32 external bytes given directly.
  TranscriptRng finalize_with_bytes(std::span<const uint8_t, 32> random_bytes) noexcept;

 private:
  friend class Transcript;
  explicit TranscriptRngBuilder(const Strobe128& s) noexcept : strobe_(s) {}
  Strobe128 strobe_;
};

class TranscriptRng {
 public:
  void fill_bytes(uint8_t* out, size_t len);
  void fill_bytes(std::span<uint8_t> out) { fill_bytes(out.data(), out.size()); }

 private:
  friend class TranscriptRngBuilder;
  explicit TranscriptRng(const Strobe128& s) noexcept : strobe_(s) {}
  Strobe128 strobe_;
};

void wipe_bytes(uint8_t* p, size_t n) noexcept;

template <class Rng>
TranscriptRng TranscriptRngBuilder::finalize(Rng& rng) {
  uint8_t random_bytes[32];
  rng.fill_bytes(random_bytes, sizeof random_bytes);
  TranscriptRng out = finalize_with_bytes(std::span<const uint8_t, 32>(random_bytes));
  wipe_bytes(random_bytes, sizeof random_bytes);
  return out;
}

}  // namespace merlin
