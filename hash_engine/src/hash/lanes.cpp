#include "hash/lanes.hpp"

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
void permute4(State* s) noexcept {
  ::keccak::permute_x4(s);
  hash::t_permutations += 4;
}
void permute8(State* s) noexcept {
  ::keccak::permute_x8(s);
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

void walk_chains(const ChainLayout& layout, std::span<const ChainJob> jobs) noexcept {
  State st[8];
  size_t slot_job[8];
  uint32_t slot_pos[8];
  size_t active = 0;
  size_t next = 0;
  for (;;) {
    while (active < 8 && next < jobs.size()) {
      const ChainJob& j = jobs[next];
      if (j.start < j.stop) {
        slot_job[active] = next;
        slot_pos[active] = j.start;
        ++active;
      }
      ++next;
    }
    if (active == 0) break;
    for (size_t s = 0; s < active; ++s) {
      const ChainJob& j = jobs[slot_job[s]];
      const ChainLayout& l = j.layout ? *j.layout : layout;
      st[s] = l.tmpl;
      uint8_t* b = bytes(st[s]);
      put_be32(b + l.key_pair_off, j.key_pair);
      put_be32(b + l.key_pair_off + 4, j.chain);
      put_be32(b + l.key_pair_off + 8, slot_pos[s]);
      std::memcpy(b + l.value_off, j.value, 32);
    }
    permute_n(st, active);
    size_t kept = 0;
    for (size_t s = 0; s < active; ++s) {
      const ChainJob& j = jobs[slot_job[s]];
      std::memcpy(j.value, bytes(st[s]), 32);
      if (++slot_pos[s] < j.stop) {
        slot_job[kept] = slot_job[s];
        slot_pos[kept] = slot_pos[s];
        ++kept;
      }
    }
    active = kept;
  }
  zeroize::wipe(st, sizeof(st));
}

}  // namespace hash::lanes
