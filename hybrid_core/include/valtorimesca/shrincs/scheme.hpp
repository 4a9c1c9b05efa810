// ShrincsScheme: the post-quantum half of ED_SH and SR_SH, an adapter with
// no state of its own over the hash-based engine (profile shrincs-256s).
//
// The half never signs the caller's message itself. It signs the engine's
// action message hash over five words: ACTION_CONST_A, zero, zero,
// ACTION_CONST_B and the Keccak-256 of the message it is given. Signatures
// travel in two flat forms:
//
//   stateful  (leaf q):  randomizer 32 | BE32 counter | 64 chain values |
//                        q authentication nodes          2084 + 32 q bytes
//   stateless:           the engine's flat SPHINCS+C form   29092 bytes
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "hash_engine/shrincs/key.hpp"
#include "hash_engine/sphincs_plus_c/signature.hpp"
#include "subtle/subtle.hpp"
#include "valtorimesca/component.hpp"
#include "valtorimesca/error.hpp"
#include "valtorimesca/shrincs/bundle.hpp"

namespace valtorimesca::shrincs {

using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;

inline constexpr size_t kEngineKeyLen = ::shrincs::key::Keys::kEncodedLen;  // 264
inline constexpr size_t kStatefulSigFixedLen = 2084;
inline constexpr size_t kAuthNodeLen = 32;
inline constexpr size_t kStatelessSigLen = sphincs_plus_c::signature::kFlatLen;  // 29092
inline constexpr uint32_t kMaxLeafCapacity = 4096;

inline constexpr std::array<uint8_t, 32> ACTION_CONST_A = {
    0xba, 0x0e, 0x5b, 0x3c, 0xbd, 0xe0, 0xec, 0xd2, 0xa8, 0x14, 0xc8, 0xc7, 0x36, 0x1e, 0x8d, 0x57,
    0xfe, 0x2f, 0x77, 0x2d, 0x89, 0x9c, 0x7f, 0xc1, 0xbe, 0x3e, 0xb7, 0x37, 0x63, 0x80, 0xee, 0xbc};
inline constexpr std::array<uint8_t, 32> ACTION_CONST_B = {
    0x8c, 0xfe, 0xa3, 0x40, 0x74, 0x62, 0x5e, 0xf4, 0x1c, 0x2e, 0x43, 0x42, 0xcd, 0xbe, 0xc1, 0x59,
    0x68, 0x95, 0xca, 0xaa, 0xff, 0x52, 0xee, 0x86, 0x64, 0x35, 0x4e, 0xa8, 0x76, 0xe1, 0xd0, 0x34};

// Bytes of the flat stateful signature of leaf q.
constexpr size_t stateful_sig_len(uint32_t q) noexcept { return kStatefulSigFixedLen + kAuthNodeLen * size_t{q}; }

// The in-memory SHRINCS secret key: present with an engine key, or absent
// (after zeroize, or moved from). Releasing it wipes both secret halves.
class ShrincsSecretKey {
 public:
  ShrincsSecretKey() noexcept = default;
  explicit ShrincsSecretKey(::shrincs::key::Keys keys) noexcept;
  ShrincsSecretKey(ShrincsSecretKey&& o) noexcept;
  ShrincsSecretKey& operator=(ShrincsSecretKey&& o) noexcept;
  ShrincsSecretKey(const ShrincsSecretKey&) = delete;
  ShrincsSecretKey& operator=(const ShrincsSecretKey&) = delete;
  ~ShrincsSecretKey() { zeroize(); }

  bool present() const noexcept { return present_ == 1; }
  // Leaf capacity and next leaf (counted from 1); 0 for an absent key.
  uint32_t capacity() const noexcept { return present() ? keys_.stateful.capacity() : 0; }
  uint32_t next_leaf() const noexcept { return present() ? keys_.stateful.next() : 0; }
  // Leaves used so far: next leaf - 1, never below 0.
  uint32_t spent() const noexcept {
    const uint32_t n = next_leaf();
    return n == 0 ? 0 : n - 1;
  }

  const ::shrincs::key::Keys& keys() const noexcept { return keys_; }
  ::shrincs::key::Keys& keys() noexcept { return keys_; }

  // Wipes the four secret values and marks the key absent.
  void zeroize() noexcept;

 private:
  uint32_t present_ = 0;
  ::shrincs::key::Keys keys_{};
};

// The five action words over a message.
::shrincs::ShrincsAction action_for(Bytes message) noexcept;

struct ShrincsScheme {
  using SecretKey = ShrincsSecretKey;
  using Action = ::shrincs::ShrincsAction;

  // New key from a post-quantum seed (any length) with `capacity` leaves;
  // writes the bundle. BadLength {164, n} unless bundle_out is 164 bytes
  // (tested first); ComponentFailure for a capacity outside 1 .. 4096.
  static CoreResult<ShrincsSecretKey> keygen_from_seed(Bytes seed, uint32_t capacity, MutBytes bundle_out);

  // One-time-leaf signature with the key's next leaf, over the action
  // message hash under the bundle's carried commitment. On success the key
  // has advanced; a failure after the engine signed leaves it advanced.
  static CoreResult<size_t> sign_stateful(ShrincsSecretKey& key, Bytes bundle, Bytes message, MutBytes out);
  // Few-time signature (29092 bytes) under the key's own commitment, over
  // the words of acceptable_action. The words are not tested here.
  static CoreResult<size_t> sign_stateless(const ShrincsSecretKey& key, const Action& action, MutBytes out);

  // Either path over the words of acceptable_action, under a bundle whose
  // commitment is checked once. Total: every fault answers no.
  static subtle::Choice verify_stateful(Bytes bundle, const Action& action, Bytes signature);
  static subtle::Choice verify_stateless(Bytes bundle, const Action& action, Bytes signature);

  static CoreStatus export_secret_key(const ShrincsSecretKey& key, MutBytes out);
  // The engine's validating import.
  static CoreResult<ShrincsSecretKey> import_secret_key(Bytes engine_key);

  static CoreResult<uint32_t> max_signatures_from_vk(Bytes bundle);
  // Bytes 100..164 of the bundle, as a view into it.
  static CoreResult<Bytes> stateless_key_material(Bytes bundle);
  // The words over the message when the Keccak-256 of the message is not
  // all zero, else nothing: the message digest is computed once for the
  // check and the signature or verification that follows.
  static std::optional<Action> acceptable_action(Bytes message) noexcept;

  // The commitment recomputed from the bundle (never its carried field).
  static CoreStatus compute_committed_key(Bytes bundle, MutBytes out);
  // The bundle checked against a stored commitment.
  static CoreStatus verify_committed_key(Bytes commitment, Bytes bundle);
};

static_assert(component::PqStatefulScheme<ShrincsScheme>);

// Codecs of the flat stateless form (the engine's field order): nothing
// unless exactly 29092 bytes; OutputBufferTooSmall {29092, n} for a short
// output.
std::optional<sphincs_plus_c::signature::Signature> read_flat_stateless(Bytes bytes);
CoreResult<size_t> write_flat_stateless(const sphincs_plus_c::signature::Signature& sig, MutBytes out);

}  // namespace valtorimesca::shrincs
