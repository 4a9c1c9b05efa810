#include "hash/lanes.hpp"

#include <algorithm>
#include <vector>

#include "fault/fault.hpp"
#include "hash_engine/hash/address.hpp"
#include "hash_engine/hash/testing.hpp"
#include "hash_engine/profiles/p256s.hpp"

namespace hash {
namespace {
thread_local PermutationCalls t_calls;
}  // namespace

uint64_t testing::permutation_count() noexcept { return t_calls.lanes(); }
PermutationCalls testing::permutation_calls() noexcept { return t_calls; }
void testing::reset_permutation_count() noexcept { t_calls = PermutationCalls{}; }

}  // namespace hash

namespace hash::lanes {

void count_permutations(uint64_t n) noexcept { hash::t_calls.x1 += n; }

void permute_width(size_t width, uint64_t* lanes) noexcept { hash::t_calls += ::keccak::permute_lanes(width, lanes); }

void hash_blocks(uint64_t* lanes, size_t width, size_t n, size_t len) noexcept {
  hash::t_calls += ::keccak::keccak256_blocks(lanes, width, n, len);
}

void hash_ptrs(size_t n, size_t len, const uint8_t* const* in, Digest* out) noexcept {
  hash::t_calls += ::keccak::keccak256_many(in, n, len, reinterpret_cast<uint8_t(*)[32]>(out));
}

void hash_long(size_t n, size_t len, void (*fill)(void*, size_t, uint8_t*), void (*sink)(void*, size_t, const uint8_t*),
               void* ctx) {
  std::vector<uint8_t> buf(8 * len);
  const uint8_t* ptr[8];
  Digest out[8];
  for (size_t j = 0; j < 8; ++j) ptr[j] = buf.data() + j * len;
  for (size_t base = 0; base < n; base += 8) {
    const size_t k = (n - base < 8) ? n - base : 8;
    for (size_t j = 0; j < k; ++j) fill(ctx, base + j, buf.data() + j * len);
    hash_ptrs(k, len, ptr, out);
    for (size_t j = 0; j < k; ++j) sink(ctx, base + j, out[j].data());
  }
  zeroize::wipe(buf.data(), buf.size());
}

static_assert(chain_label_fits(profiles::p256s::Profile256s::WOTS_C_CHAIN.size()) &&
                  chain_label_fits(profiles::p256s::Profile256s::UXMSS_CHAIN.size()),
              "chain step fields off their 4-byte grid or past one block");

ChainLayout chain_layout(std::string_view label, const uint8_t* pk_seed, uint32_t layer, uint64_t tree) noexcept {
  ChainLayout l;
  uint8_t* b = bytes(l.tmpl);
  std::memcpy(b, label.data(), label.size());
  std::memcpy(b + label.size(), pk_seed, 32);
  const size_t addr = label.size() + 32;
  address::write_address_word32(b + addr, layer, tree, address::kTypeWotsChain, 0, 0, 0);
  l.key_pair_off = uint32_t(addr + 20);
  ::keccak::pad(l.tmpl.data(), 1, addr + 64, kRate, 0x01);
  return l;
}

namespace {

// Words w0 .. w0 + 5 of a chain step's block: the key pair, chain and position
// fields (big-endian) and the 32-byte value, eleven 4-byte chunks starting at
// half-word `Shift` of word w0, the rest of those words from the template.
// Built in registers and stored as whole words, so that the words are never
// read back from narrower stores.
template <unsigned Shift>
void step_words(const uint64_t* tw, const ChainJob& j, uint32_t pos, uint64_t* out) noexcept {
  uint32_t c[11];
  c[0] = __builtin_bswap32(j.key_pair);
  c[1] = __builtin_bswap32(j.chain);
  c[2] = __builtin_bswap32(pos);
  for (size_t k = 0; k < 8; ++k) std::memcpy(&c[3 + k], j.value + 4 * k, 4);
  for (size_t i = 0; i < kStepWords; ++i) {
    const size_t lo = 2 * i, hi = 2 * i + 1;
    const uint64_t l = (lo >= Shift && lo - Shift < 11) ? c[lo - Shift] : uint32_t(tw[i]);
    const uint64_t h = (hi >= Shift && hi - Shift < 11) ? c[hi - Shift] : uint32_t(tw[i] >> 32);
    out[i] = l | (h << 32);
  }
}

// Word i of every slot set to word i of the template: stores of each word
// repeated across the slots, which the compiler keeps in vector registers
// (a copy from an interleaved template of the same size became a slow
// string move).
template <size_t W>
void fill_template(uint64_t* lanes, const uint64_t* tmpl) noexcept {
  for (size_t i = 0; i < 25; ++i)
    for (size_t s = 0; s < W; ++s) lanes[i * W + s] = tmpl[i];
}

}  // namespace

// Steps run on interleaved lanes (word i of slot s at lanes[i * width + s]),
// so that the vector permutation needs no transposing in or out. Before each
// step the lanes are reset to the template of `layout` in every slot; a slot
// whose chain has that layout then only gets the six words of step_words
// rewritten, a slot with another layout all of its words. Only the 32-byte
// results are read back. Chains start longest first, so that few
// steps run with the lanes part empty.
void walk_chains(const ChainLayout& layout, std::span<const ChainJob> jobs) noexcept {
  std::vector<size_t> order(jobs.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto steps = [&](size_t i) { return jobs[i].start < jobs[i].stop ? jobs[i].stop - jobs[i].start : 0u; };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return steps(a) > steps(b); });
  alignas(64) uint64_t lanes[25 * 8];
  size_t slot_job[8];
  uint32_t slot_pos[8];
  size_t active = 0;
  size_t next = 0;
  for (;;) {
    while (active < 8 && next < jobs.size()) {
      const ChainJob& j = jobs[order[next]];
      if (j.start < j.stop) {
        slot_job[active] = order[next];
        slot_pos[active] = j.start;
        ++active;
      }
      ++next;
    }
    if (active == 0) break;
    const size_t width = ::keccak::lane_width(active);
    switch (width) {
      case 8: fill_template<8>(lanes, layout.tmpl.data()); break;
      case 4: fill_template<4>(lanes, layout.tmpl.data()); break;
      default: fill_template<1>(lanes, layout.tmpl.data()); break;
    }
    for (size_t s = 0; s < active; ++s) {
      const ChainJob& j = jobs[slot_job[s]];
      const ChainLayout& l = j.layout ? *j.layout : layout;
      const size_t w0 = l.key_pair_off / 8;
      uint64_t words[kStepWords];
      if (l.key_pair_off % 8 == 0)
        step_words<0>(l.tmpl.data() + w0, j, slot_pos[s], words);
      else
        step_words<1>(l.tmpl.data() + w0, j, slot_pos[s], words);
      if (&l != &layout)  // another tree's template: its constant words too
        for (size_t i = 0; i < 25; ++i) lanes[i * width + s] = l.tmpl[i];
      for (size_t i = 0; i < kStepWords; ++i) lanes[(w0 + i) * width + s] = words[i];
    }
    permute_width(width, lanes);
    size_t kept = 0;
    for (size_t s = 0; s < active; ++s) {
      const ChainJob& j = jobs[slot_job[s]];
      for (size_t w = 0; w < 4; ++w) std::memcpy(j.value + 8 * w, &lanes[w * width + s], 8);
      if (++slot_pos[s] < j.stop) {
        slot_job[kept] = slot_job[s];
        slot_pos[kept] = slot_pos[s];
        ++kept;
      }
    }
    active = kept;
  }
  zeroize::wipe(lanes, sizeof(lanes));
}

}  // namespace hash::lanes
