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
inline constexpr size_t kRate = ::keccak::kKeccak256Rate;
// Longest input hash_many builds in its fixed scratch space; longer ones get
// scratch from the heap.
inline constexpr size_t kScratchLen = 512;

inline uint8_t* bytes(State& s) noexcept { return reinterpret_cast<uint8_t*>(s.data()); }
inline const uint8_t* bytes(const State& s) noexcept { return reinterpret_cast<const uint8_t*>(s.data()); }

// Counted permutations of 1, 4 or 8 interleaved states (word i of state k at
// lanes[i * width + k]), and counted one-block hashes of n messages laid out
// the same way (keccak::keccak256_blocks).
void permute_width(size_t width, uint64_t* lanes) noexcept;
void hash_blocks(uint64_t* lanes, size_t width, size_t n, size_t len) noexcept;
// Adds permutations run elsewhere (by keccak's own sponge) to the count.
void count_permutations(uint64_t n) noexcept;

// H over one input of len (< 136) bytes that fill(dst) writes: one block,
// one permutation.
template <class Fill>
Digest hash_block(size_t len, Fill&& fill) {
  State st{};
  fill(bytes(st));
  hash_blocks(st.data(), 1, 1, len);
  Digest out;
  std::memcpy(out.data(), bytes(st), 32);
  return out;
}

// H over n contiguous inputs of `len` bytes each: out[i] = H(in[i]).
void hash_ptrs(size_t n, size_t len, const uint8_t* const* in, Digest* out) noexcept;

// Inputs of more than kScratchLen bytes: scratch for 8 of them from the heap.
void hash_long(size_t n, size_t len, void (*fill)(void*, size_t, uint8_t*), void (*sink)(void*, size_t, const uint8_t*),
               void* ctx);

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
      const size_t width = ::keccak::lane_width(k);
      for (size_t j = 0; j < k; ++j) {
        blk.fill(0);
        fill(base + j, bytes(blk));
        for (size_t i = 0; i < 25; ++i) lanes[i * width + j] = blk[i];
      }
      hash_blocks(lanes, width, k, len);
      for (size_t j = 0; j < k; ++j) {
        ::keccak::lane_digest(lanes, width, j, digest);
        sink(base + j, digest);
      }
    }
    zeroize::wipe(lanes, sizeof(lanes));
    zeroize::wipe(blk.data(), sizeof(blk));
    zeroize::wipe(digest, sizeof(digest));
    return;
  }
  if (len > kScratchLen) {
    struct Ctx {
      Fill& f;
      Sink& s;
    } ctx{fill, sink};
    hash_long(
        n, len, [](void* c, size_t i, uint8_t* dst) { static_cast<Ctx*>(c)->f(i, dst); },
        [](void* c, size_t i, const uint8_t* d) { static_cast<Ctx*>(c)->s(i, d); }, &ctx);
    return;
  }
  uint8_t buf[8][kScratchLen];
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
ChainLayout chain_layout(std::string_view label, const uint8_t* pk_seed, uint32_t layer, uint64_t tree) noexcept;

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
