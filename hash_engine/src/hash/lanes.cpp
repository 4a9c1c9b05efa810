#include "hash/lanes.hpp"

#include <algorithm>
#include <vector>

#include "fault/fault.hpp"
#include "hash_engine/hash/address.hpp"

namespace hash {
namespace {
thread_local uint64_t t_permutations = 0;
}  // namespace

uint64_t permutation_count() noexcept { return t_permutations; }
void reset_permutation_count() noexcept { t_permutations = 0; }

}  // namespace hash

namespace hash::lanes {

void permute1(State& s) noexcept {
  ::keccak::permute(s);
  hash::t_permutations += 1;
}
void permute4_interleaved(uint64_t* lanes) noexcept {
  ::keccak::permute_x4_interleaved(lanes);
  hash::t_permutations += 4;
}
void permute8_interleaved(uint64_t* lanes) noexcept {
  ::keccak::permute_x8_interleaved(lanes);
  hash::t_permutations += 8;
}

void too_long() { fault::raise("multi-lane hash input longer than its scratch space"); }

namespace {

// One-at-a-time sponge for contiguous input (public data only).
void hash_one(const uint8_t* in, size_t len, uint8_t* out) noexcept {
  State st{};
  while (len >= kRate) {
    for (size_t w = 0; w < kRate / 8; ++w) {
      uint64_t v;
      std::memcpy(&v, in + 8 * w, 8);
      st[w] ^= v;
    }
    permute1(st);
    in += kRate;
    len -= kRate;
  }
  uint8_t* b = bytes(st);
  for (size_t i = 0; i < len; ++i) b[i] ^= in[i];
  pad_block(st, len);
  permute1(st);
  std::memcpy(out, b, 32);
  zeroize::wipe(st.data(), sizeof(st));
}

}  // namespace

void hash_ptrs(size_t n, size_t len, const uint8_t* const* in, Digest* out) noexcept {
  const size_t blocks = len / kRate + 1;
  size_t i = 0;
  for (; n - i >= 8; i += 8) {
    ::keccak::keccak256_x8(in + i, len, reinterpret_cast<uint8_t(*)[32]>(out[i].data()));
    hash::t_permutations += 8 * blocks;
  }
  if (n - i >= 4) {
    ::keccak::keccak256_x4(in + i, len, reinterpret_cast<uint8_t(*)[32]>(out[i].data()));
    hash::t_permutations += 4 * blocks;
    i += 4;
  }
  for (; i < n; ++i) hash_one(in[i], len, out[i].data());
}

ChainLayout chain_layout(std::string_view label, const uint8_t* pk_seed, uint32_t layer, uint64_t tree) noexcept {
  ChainLayout l;
  uint8_t* b = bytes(l.tmpl);
  std::memcpy(b, label.data(), label.size());
  std::memcpy(b + label.size(), pk_seed, 32);
  const size_t addr = label.size() + 32;
  address::write_address_word32(b + addr, layer, tree, address::kTypeWotsChain, 0, 0, 0);
  l.key_pair_off = uint32_t(addr + 20);
  l.value_off = uint32_t(addr + 32);
  pad_block(l.tmpl, addr + 64);
  return l;
}

// Steps run on interleaved lanes (word i of slot s at lanes[i * width + s]),
// so that the vector permutation needs no transposing in or out. Before each
// step the lanes are reset from an interleaved copy of the template of
// `layout`; a slot whose chain has that layout then only gets its words from
// the key-pair field to the end of the value rewritten, a slot with another
// layout all of its words. Only the 32-byte results are read back. Chains
// start longest first, so that few steps run with the lanes part empty.
void walk_chains(const ChainLayout& layout, std::span<const ChainJob> jobs) noexcept {
  std::vector<size_t> order(jobs.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto steps = [&](size_t i) { return jobs[i].start < jobs[i].stop ? jobs[i].stop - jobs[i].start : 0u; };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return steps(a) > steps(b); });
  alignas(64) uint64_t tmpl8[25 * 8], tmpl4[25 * 4];
  for (size_t i = 0; i < 25; ++i) {
    for (size_t s = 0; s < 8; ++s) tmpl8[i * 8 + s] = layout.tmpl[i];
    for (size_t s = 0; s < 4; ++s) tmpl4[i * 4 + s] = layout.tmpl[i];
  }
  alignas(64) uint64_t lanes[25 * 8];
  State blk;
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
    const size_t width = width_for(active);
    if (width > 1) std::memcpy(lanes, width == 8 ? tmpl8 : tmpl4, 25 * width * sizeof(uint64_t));
    for (size_t s = 0; s < active; ++s) {
      const ChainJob& j = jobs[slot_job[s]];
      const ChainLayout& l = j.layout ? *j.layout : layout;
      // The words from the key-pair field to the end of the value.
      const size_t w0 = l.key_pair_off / 8;
      const size_t w1 = (l.value_off + 32 + 7) / 8;
      const bool whole = width == 1 || &l != &layout;
      if (whole) {
        blk = l.tmpl;
      } else {
        for (size_t i = w0; i < w1; ++i) blk[i] = l.tmpl[i];
      }
      uint8_t* b = bytes(blk);
      put_be32(b + l.key_pair_off, j.key_pair);
      put_be32(b + l.key_pair_off + 4, j.chain);
      put_be32(b + l.key_pair_off + 8, slot_pos[s]);
      std::memcpy(b + l.value_off, j.value, 32);
      if (width > 1) {
        const size_t from = whole ? 0 : w0;
        const size_t to = whole ? 25 : w1;
        for (size_t i = from; i < to; ++i) lanes[i * width + s] = blk[i];
      }
    }
    permute_width(width, lanes, blk);
    size_t kept = 0;
    for (size_t s = 0; s < active; ++s) {
      const ChainJob& j = jobs[slot_job[s]];
      if (width == 1) {
        std::memcpy(j.value, bytes(blk), 32);
      } else {
        for (size_t w = 0; w < 4; ++w) std::memcpy(j.value + 8 * w, &lanes[w * width + s], 8);
      }
      if (++slot_pos[s] < j.stop) {
        slot_job[kept] = slot_job[s];
        slot_pos[kept] = slot_pos[s];
        ++kept;
      }
    }
    active = kept;
  }
  zeroize::wipe(lanes, sizeof(lanes));
  zeroize::wipe(blk.data(), sizeof(blk));
}

}  // namespace hash::lanes
