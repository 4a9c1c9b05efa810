// Multi-lane hashing: many independent H evaluations of equal input length
// run side by side on the 4- and 8-lane Keccak permutations. Every result is
// byte-identical to hashing the same bytes one at a time with H.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "hash_engine/hash/ops.hpp"
#include "keccak/keccak.hpp"
#include "zeroize/zeroize.hpp"

namespace hash::lanes {

using ::keccak::State;
inline constexpr size_t kRate = 136;

inline uint8_t* bytes(State& s) noexcept { return reinterpret_cast<uint8_t*>(s.data()); }
inline const uint8_t* bytes(const State& s) noexcept { return reinterpret_cast<const uint8_t*>(s.data()); }

// Counted permutations: one state, or 4 or 8 interleaved states (word i of
// state k at lanes[i * N + k]).
void permute1(State& s) noexcept;
// Adds one-lane permutations run elsewhere (by keccak's own sponge) to the
// count.
void count_permutations(uint64_t n) noexcept;
void permute4_interleaved(uint64_t* lanes) noexcept;
void permute8_interleaved(uint64_t* lanes) noexcept;

// Lane width for n (1..8) inputs: the narrowest of 1, 4 and 8 that holds them.
inline size_t width_for(size_t n) noexcept { return n >= 5 ? 8 : n >= 2 ? 4 : 1; }

// Permutes `lanes` at width 8 or 4, or the single state `one` at width 1.
inline void permute_width(size_t width, uint64_t* lanes, State& one) noexcept {
  if (width == 8)
    permute8_interleaved(lanes);
  else if (width == 4)
    permute4_interleaved(lanes);
  else
    permute1(one);
}

// Appends Keccak padding to a one-block message of len (< 136) bytes that was
// written over a zero state.
inline void pad_block(State& s, size_t len) noexcept {
  bytes(s)[len] ^= 0x01;
  bytes(s)[kRate - 1] ^= 0x80;
}

[[noreturn]] void too_long();

// H over n contiguous inputs of `len` bytes each: out[i] = H(in[i]).
void hash_ptrs(size_t n, size_t len, const uint8_t* const* in, Digest* out) noexcept;

// H over n inputs of equal length `len`. fill(i, dst) writes input i (len
// bytes) at dst; sink(i, digest) receives its 32-byte digest. Inputs are built
// in scratch space that is wiped afterwards, so they may hold secrets.
template <class Fill, class Sink>
void hash_many(size_t n, size_t len, Fill&& fill, Sink&& sink) {
  if (len < kRate) {
    // One block each, permuted on interleaved lanes (word i of input j at
    // lanes[i * width + j]) so that the vector code needs no transposing.
    alignas(64) uint64_t lanes[25 * 8] = {};
    State blk;
    uint8_t digest[32];
    for (size_t base = 0; base < n; base += 8) {
      const size_t k = (n - base < 8) ? n - base : 8;
      const size_t width = width_for(k);
      for (size_t j = 0; j < k; ++j) {
        blk.fill(0);
        fill(base + j, bytes(blk));
        pad_block(blk, len);
        if (width > 1)
          for (size_t i = 0; i < 25; ++i) lanes[i * width + j] = blk[i];
      }
      permute_width(width, lanes, blk);
      if (width == 1) {
        sink(base, bytes(blk));
        continue;
      }
      for (size_t j = 0; j < k; ++j) {
        for (size_t w = 0; w < 4; ++w) std::memcpy(digest + 8 * w, &lanes[w * width + j], 8);
        sink(base + j, digest);
      }
    }
    zeroize::wipe(lanes, sizeof(lanes));
    zeroize::wipe(blk.data(), sizeof(blk));
    zeroize::wipe(digest, sizeof(digest));
    return;
  }
  constexpr size_t kMaxLen = 512;
  if (len > kMaxLen) too_long();
  uint8_t buf[8][kMaxLen];
  const uint8_t* ptr[8];
  Digest out[8];
  for (size_t j = 0; j < 8; ++j) ptr[j] = buf[j];
  for (size_t base = 0; base < n; base += 8) {
    const size_t k = (n - base < 8) ? n - base : 8;
    for (size_t j = 0; j < k; ++j) fill(base + j, buf[j]);
    hash_ptrs(k, len, ptr, out);
    for (size_t j = 0; j < k; ++j) sink(base + j, out[j].data());
  }
  zeroize::wipe(buf, sizeof(buf));
}

// Words of a chain step's block that differ from step to step (the key-pair,
// chain and position fields and the value).
inline constexpr size_t kStepWords = 6;

// Layout of a one-block chain step: label ‖ public seed ‖ address ‖ value,
// with the address's layer, tree and type already set in the template.
// The key-pair field comes 20 bytes into the address, the chain field, the
// position field and the 32-byte value follow it.
struct ChainLayout {
  State tmpl{};           // padded block with the constant fields
  uint32_t key_pair_off;  // byte offset of the key-pair field
};

// Whether a chain label of label_len bytes gives a layout that walk_chains
// can step: the 44 bytes from the key-pair field sit on the 4-byte grid inside
// six whole words of the block, and the message leaves room for its padding.
constexpr bool chain_label_fits(size_t label_len) noexcept {
  const size_t addr = label_len + 32;
  const size_t key_pair_off = addr + 20;
  return key_pair_off % 4 == 0 && (key_pair_off % 8) / 4 + 11 <= 2 * kStepWords &&
         key_pair_off / 8 + kStepWords <= 25 && addr + 64 < kRate;
}

// Builds the template for label ‖ pk_seed ‖ address(layer, tree, 0, ...) ‖ value.
// `label` is one of the profile's chain labels, which chain_label_fits holds
// for (checked at compile time).
ChainLayout chain_layout(std::string_view label, const uint8_t* pk_seed, uint32_t layer,
                         uint64_t tree) noexcept;

// One chain to walk: the value at `value` goes from position start to stop,
// with the steps of `layout` when it is set (chains of several trees walked
// together), else with the layout given to walk_chains.
struct ChainJob {
  uint8_t* value;
  uint32_t key_pair;
  uint32_t chain;
  uint32_t start;
  uint32_t stop;
  const ChainLayout* layout = nullptr;
};

// Walks every job, keeping up to 8 chains in flight.
void walk_chains(const ChainLayout& layout, std::span<const ChainJob> jobs) noexcept;

}  // namespace hash::lanes

namespace hash::lanes {

// The 64 chains of one WOTS+C key pair: chain i starts from the secret that
// fill_secret(i, dst) writes (secret_len bytes, hashed to the chain secret)
// and is walked from position 0 to stop[i]; out[i] receives the value.
template <class Fill>
void wots_chains(size_t secret_len, Fill&& fill_secret, const ChainLayout& layout, uint32_t key_pair,
                 const uint32_t* stop, Digest* out) {
  hash_many(64, secret_len, fill_secret, [&](size_t i, const uint8_t* d) { std::memcpy(out[i].data(), d, 32); });
  ChainJob jobs[64];
  for (uint32_t i = 0; i < 64; ++i) jobs[i] = ChainJob{out[i].data(), key_pair, i, 0, stop[i]};
  walk_chains(layout, jobs);
}

// Walks values[i] on from position start[i] to the chain end (15).
inline void wots_finish(const ChainLayout& layout, uint32_t key_pair, const uint32_t* start, Digest* values) {
  ChainJob jobs[64];
  for (uint32_t i = 0; i < 64; ++i) jobs[i] = ChainJob{values[i].data(), key_pair, i, start[i], 15};
  walk_chains(layout, jobs);
}

}  // namespace hash::lanes
