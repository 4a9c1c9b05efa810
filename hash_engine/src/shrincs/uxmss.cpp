#include "hash_engine/shrincs/uxmss.hpp"

#include <algorithm>
#include <cstring>

#include "fault/fault.hpp"
#include "hash/lanes.hpp"
#include "hash_engine/profiles/p256s.hpp"
#include "hash_engine/wots_c.hpp"
#include "subtle/ct_marks.hpp"
#include "subtle/subtle.hpp"

namespace shrincs::uxmss {

using hash::Part;
using hash::ops::keccak_packed;
using P = profiles::p256s::Profile256s;

namespace {

constexpr size_t kLeafPrefix = P::UXMSS_PK.size() + 32 + 4;  // label ‖ public seed ‖ BE32 a
constexpr size_t kLeafInput = kLeafPrefix + 64 * 32;         // ... ‖ 64 chain ends
constexpr size_t kSecretInput = P::UXMSS_CHAIN_SECRET.size() + 32 + 32 + 4 + 4;
constexpr size_t kLeafChunk = 64;  // leaves computed together when folding a chain

// label ‖ secret seed ‖ public seed ‖ BE32 a ‖ BE32 i
void fill_chain_secret(uint8_t* dst, const SkSeed& sk, const Digest& pk, uint32_t a, uint32_t i) {
  std::memcpy(dst, P::UXMSS_CHAIN_SECRET.data(), P::UXMSS_CHAIN_SECRET.size());
  dst += P::UXMSS_CHAIN_SECRET.size();
  std::memcpy(dst, sk.data(), 32);
  std::memcpy(dst + 32, pk.data(), 32);
  hash::put_be32(dst + 64, a);
  hash::put_be32(dst + 68, i);
}

// label ‖ public seed ‖ BE32 a: the kLeafPrefix bytes before leaf a's 64
// chain ends in its compression input.
void fill_leaf_prefix(uint8_t* dst, const Digest& pk, uint32_t a) {
  std::memcpy(dst, P::UXMSS_PK.data(), P::UXMSS_PK.size());
  std::memcpy(dst + P::UXMSS_PK.size(), pk.data(), 32);
  hash::put_be32(dst + P::UXMSS_PK.size() + 32, a);
}

Digest tail_hash(const Digest& pk, uint32_t m) {
  return keccak_packed({Part(P::UXMSS_EMPTY_TAIL), Part(pk), Part(hash::be32(m))});
}

// The nodes of one key over public inputs only (the public seed, a leaf,
// which hashes a WOTS public key, and the next node): one block,
// label ‖ public seed ‖ BE32 a ‖ leaf ‖ next. Chains of these run serially
// in folding, cache building and verification, so the label, the seed and
// the padding are laid into a block once and each node only writes its own
// 68 bytes over a copy of it.
class NodeHash {
 public:
  explicit NodeHash(const Digest& pk) noexcept {
    uint8_t* b = hash::lanes::bytes(block_);
    std::memcpy(b, P::UXMSS_NODE.data(), P::UXMSS_NODE.size());
    std::memcpy(b + P::UXMSS_NODE.size(), pk.data(), 32);
    ::keccak::pad(block_.data(), 1, kLen, hash::lanes::kRate, 0x01);
  }

  Digest operator()(uint32_t a, const Digest& leaf, const Digest& next) const noexcept {
    hash::lanes::State st = block_;
    uint8_t* b = hash::lanes::bytes(st) + kVar;
    hash::put_be32(b, a);
    std::memcpy(b + 4, leaf.data(), 32);
    std::memcpy(b + 36, next.data(), 32);
    hash::lanes::permute_width(1, st.data());
    Digest out;
    std::memcpy(out.data(), hash::lanes::bytes(st), 32);
    return out;
  }

 private:
  static constexpr size_t kVar = P::UXMSS_NODE.size() + 32;
  static constexpr size_t kLen = kVar + 4 + 32 + 32;
  static_assert(kLen < hash::lanes::kRate, "one block");
  hash::lanes::State block_{};
};

// The WOTS+C digest input of leaf q for one counter:
// label ‖ public seed ‖ BE32 q ‖ randomizer ‖ BE32 counter ‖ message.
size_t digest_len(std::span<const uint8_t> message) {
  return P::UXMSS_DIGITS.size() + 32 + 4 + 32 + 4 + message.size();
}

void fill_digest(uint8_t* dst, const Digest& pk, uint32_t q, const Digest& r, uint32_t counter,
                 std::span<const uint8_t> message) {
  std::memcpy(dst, P::UXMSS_DIGITS.data(), P::UXMSS_DIGITS.size());
  dst += P::UXMSS_DIGITS.size();
  std::memcpy(dst, pk.data(), 32);
  hash::put_be32(dst + 32, q);
  std::memcpy(dst + 36, r.data(), 32);
  hash::put_be32(dst + 68, counter);
  if (!message.empty()) std::memcpy(dst + 72, message.data(), message.size());
}

// Digests of counters base .. base + k - 1.
void digests(const Digest& pk, uint32_t q, const Digest& r, std::span<const uint8_t> message, uint32_t base, size_t k,
             Digest* out) {
  hash::lanes::hash_many(
      k, digest_len(message), [&](size_t j, uint8_t* dst) { fill_digest(dst, pk, q, r, base + uint32_t(j), message); },
      [&](size_t j, const uint8_t* d) { std::memcpy(out[j].data(), d, 32); });
}

// N(from) over leaves computed in bounded chunks, top leaf first.
Digest fold_chain(const SkSeed& sk, const Digest& pk, uint32_t from, uint32_t m) {
  Digest node = tail_hash(pk, m);
  if (from > m) return node;
  const NodeHash node_hash(pk);
  std::vector<Digest> leaves(kLeafChunk);
  uint64_t hi = m;  // next leaf to fold, downwards
  while (hi >= from) {
    const uint64_t lo = std::max<uint64_t>(from, hi >= kLeafChunk ? hi - kLeafChunk + 1 : 0);
    stateful_leaves(sk, pk, uint32_t(lo), uint32_t(hi - lo + 1), leaves.data());
    for (uint64_t a = hi + 1; a-- > lo;) node = node_hash(uint32_t(a), leaves[a - lo], node);
    if (lo == 0) break;
    hi = lo - 1;
  }
  return node;
}

bool same_public_seed(const Key& key, const Digest& pk) { return key.public_seed() == pk; }

}  // namespace

void stateful_leaves(const SkSeed& sk, const Digest& pk, uint32_t first, uint32_t count, Digest* out) {
  const auto layout = hash::lanes::chain_layout(P::UXMSS_CHAIN, pk.data(), 0, 0);
  std::vector<uint8_t> buf(8 * kLeafInput);
  const uint8_t* ptrs[8];
  for (size_t k = 0; k < 8; ++k) ptrs[k] = buf.data() + k * kLeafInput;
  std::vector<hash::lanes::ChainJob> jobs(8 * 64);
  for (uint32_t base = 0; base < count; base += 8) {
    const uint32_t g = std::min<uint32_t>(8, count - base);
    for (uint32_t k = 0; k < g; ++k) {
      fill_leaf_prefix(buf.data() + k * kLeafInput, pk, first + base + k);
    }
    hash::lanes::hash_many(
        size_t(g) * 64, kSecretInput,
        [&](size_t idx, uint8_t* dst) {
          fill_chain_secret(dst, sk, pk, first + base + uint32_t(idx / 64), uint32_t(idx % 64));
        },
        [&](size_t idx, const uint8_t* d) {
          std::memcpy(buf.data() + (idx / 64) * kLeafInput + kLeafPrefix + (idx % 64) * 32, d, 32);
        });
    for (uint32_t k = 0; k < g; ++k)
      for (uint32_t i = 0; i < 64; ++i)
        jobs[k * 64 + i] = {buf.data() + k * kLeafInput + kLeafPrefix + i * 32, first + base + k, i, 0, 15};
    hash::lanes::walk_chains(layout, std::span(jobs.data(), size_t(g) * 64));
    hash::lanes::hash_ptrs(g, kLeafInput, ptrs, out + base);
  }
  zeroize::wipe(buf.data(), buf.size());
}

std::array<uint8_t, 68> StructuredPublicKey::to_bytes() const noexcept {
  std::array<uint8_t, 68> b;
  std::memcpy(b.data(), public_seed.data(), 32);
  std::memcpy(b.data() + 32, root.data(), 32);
  hash::put_be32(b.data() + 64, capacity);
  return b;
}

std::optional<StructuredPublicKey> StructuredPublicKey::from_bytes(std::span<const uint8_t> b) noexcept {
  if (b.size() != 68) return std::nullopt;
  StructuredPublicKey pk;
  std::memcpy(pk.public_seed.data(), b.data(), 32);
  std::memcpy(pk.root.data(), b.data() + 32, 32);
  pk.capacity = hash::get_be32(b.data() + 64);
  return pk;
}

Key Key::generate(const SkSeed& sk_seed, const PrfSeed& prf_key, const Digest& public_seed, uint32_t capacity) {
  Key k;
  k.priv_.sk_seed = sk_seed;
  k.priv_.prf_key = prf_key;
  k.public_seed_ = public_seed;
  k.capacity_ = capacity;
  k.next_ = 1;
  k.root_ = k.build_cache();
  return k;
}

std::optional<Key> Key::from_bytes(std::span<const uint8_t> b) {
  if (b.size() != kEncodedLen) return std::nullopt;
  Key k;
  hash::read_key_fields(b.data(), k.priv_, k.public_seed_, k.root_);
  k.capacity_ = hash::get_be32(b.data() + 128);
  k.next_ = hash::get_be32(b.data() + 132);
  return k;
}

zeroize::SecretArray<Key::kEncodedLen> Key::to_bytes() const noexcept {
  zeroize::SecretArray<kEncodedLen> b;
  hash::write_key_fields(b.data(), priv_, public_seed_, root_);
  hash::put_be32(b.data() + 128, capacity_);
  hash::put_be32(b.data() + 132, next_);
  return b;
}

Digest Key::build_cache() {
  fault::check(capacity_ >= 1 && capacity_ <= profiles::p256s::MAX_LEAF_CAPACITY,
               "chain cache for a capacity out of range");
  auto c = std::make_shared<ChainCache>();
  const uint32_t m = capacity_;
  c->leaves.resize(m);
  stateful_leaves(priv_.sk_seed, public_seed_, 1, m, c->leaves.data());
  c->nodes.resize(size_t(m) + 1);
  c->nodes[m] = tail_hash(public_seed_, m);
  const NodeHash node_hash(public_seed_);
  for (uint32_t a = m; a >= 1; --a) c->nodes[a - 1] = node_hash(a, c->leaves[a - 1], c->nodes[a]);
  cache_ = std::move(c);
  return cache_->nodes[0];
}

Digest stateful_subtree_root(const Key& key, const Digest& public_seed, uint32_t from, uint32_t capacity) {
  if (key.has_cache() && same_public_seed(key, public_seed) && capacity == key.capacity() && from >= 1)
    return key.cache()->nodes[std::min<uint64_t>(from, uint64_t(capacity) + 1) - 1];
  return fold_chain(key.private_key().sk_seed, public_seed, from, capacity);
}

std::optional<signature::Signature> sign_stateful_raw(Key& key, std::span<const uint8_t> message) {
  const uint32_t q = key.next();
  const uint32_t m = key.capacity();
  if (q == 0 || q > m) return std::nullopt;
  // A chain longer than any key the engine accepts is never walked.
  if (m > profiles::p256s::MAX_LEAF_CAPACITY) return std::nullopt;
  const Digest& pk = key.public_seed();
  const PrivateKey& priv = key.private_key();
  const auto qb = hash::be32(q);
  const Digest r = keccak_packed({Part(P::UXMSS_RANDOMIZER), Part(priv.prf_key.array()), Part(qb), Part(message)});
  // The randomizer is published in the signature, so the grinding that
  // hashes it, and the chain lengths it yields, are public.
  subtle::mark_public(r.data(), r.size());

  auto grind = [&](uint32_t base, size_t k, Digest* out) { digests(pk, q, r, message, base, k, out); };
  auto values = [&](const wots_c::Digits& digits) {
    wots_c::Values v(64);
    const auto layout = hash::lanes::chain_layout(P::UXMSS_CHAIN, pk.data(), 0, 0);
    hash::lanes::wots_chains(
        kSecretInput, [&](size_t i, uint8_t* dst) { fill_chain_secret(dst, priv.sk_seed, pk, q, uint32_t(i)); }, layout,
        q, digits.data(), v.data());
    return v;
  };
  auto won = wots_c::grind_digit_sum_batched(P::WOTS_COUNTER_BOUND, P::DIGIT_SUM_TARGET, grind, values);
  if (!won) return std::nullopt;

  signature::Signature sig;
  sig.wots_values = std::move(won->values);
  sig.randomizer = r;
  sig.counter = won->counter;
  sig.auth_path.reserve(q);
  sig.auth_path.push_back(stateful_subtree_root(key, pk, q + 1, m));
  if (q > 1) {
    // Leaves q - 1 down to 1, taken from the chain kept in memory when there
    // is one (no scratch copy: large transient buffers cost page faults).
    if (key.has_cache()) {
      const auto& leaves = key.cache()->leaves;
      for (uint32_t a = q - 1; a >= 1; --a) sig.auth_path.push_back(leaves[a - 1]);
    } else {
      std::vector<Digest> lower(q - 1);
      stateful_leaves(priv.sk_seed, pk, 1, q - 1, lower.data());
      for (uint32_t a = q - 1; a >= 1; --a) sig.auth_path.push_back(lower[a - 1]);
    }
  }
  key.set_next(q + 1);
  return sig;
}

bool verify_stateful_unsafe_raw(const StructuredPublicKey& pk, std::span<const uint8_t> message,
                                const signature::Signature& sig) {
  const size_t path_len = sig.auth_path.size();
  if (path_len == 0 || path_len > pk.capacity) return false;
  if (sig.wots_values.size() != 64) return false;
  const uint32_t q = uint32_t(path_len);
  Digest d;
  digests(pk.public_seed, q, sig.randomizer, message, sig.counter, 1, &d);
  if (hash::ops::digit_sum(d) != P::DIGIT_SUM_TARGET) return false;
  const wots_c::Digits digits = wots_c::digits_of(d);
  std::vector<uint8_t> leaf_in(kLeafInput);
  fill_leaf_prefix(leaf_in.data(), pk.public_seed, q);
  Digest* ends = reinterpret_cast<Digest*>(leaf_in.data() + kLeafPrefix);
  std::memcpy(ends, sig.wots_values.data(), 64 * 32);
  const auto layout = hash::lanes::chain_layout(P::UXMSS_CHAIN, pk.public_seed.data(), 0, 0);
  hash::lanes::wots_finish(layout, q, digits.data(), ends);
  const uint8_t* leaf_ptr = leaf_in.data();
  Digest leaf;
  hash::lanes::hash_ptrs(1, kLeafInput, &leaf_ptr, &leaf);
  const NodeHash node_hash(pk.public_seed);
  Digest node = node_hash(q, leaf, sig.auth_path[0]);
  for (uint32_t k = 1; k < q; ++k) node = node_hash(q - k, sig.auth_path[k], node);
  return subtle::ct_eq(node.data(), pk.root.data(), 32).declassify();
}

}  // namespace shrincs::uxmss
