// The leaf journal of a stateful key and the identity it is bound to.
//
// A stateful key (ED_SH, SR_SH) spends one-time leaves. The library keeps no
// record of them: the caller supplies a journal, bound to the key's identity,
// that durably remembers how many leaves are spent. Signing reads it, compares
// it with the key, and commits the leaf before the one-time signature exists.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace valtorimesca::stateful {

inline constexpr size_t kKeyIdentityLen = 32;

// What a journal answers from next_leaf when it cannot read its count. No key
// has that many leaves, so such an answer never matches and never commits.
inline constexpr uint32_t kUnreadableLeafCount = 0xffffffffu;

// SHA-256 over "valtorimesca/leaf-journal/key-identity/v1" (no zero byte),
// BE64(|label|) || label, BE64(|bundle|) || bundle. Public data only.
struct KeyIdentity {
  std::array<uint8_t, kKeyIdentityLen> bytes{};

  static KeyIdentity derive(std::span<const uint8_t> label, std::span<const uint8_t> bundle);
  bool operator==(const KeyIdentity&) const = default;
};

// bound_key: the identity the journal is bound to, or nothing (never bound,
// or unreadable). bind_key: bind durably; false on failure. next_leaf: the
// number of spent leaves (the 0-based number of the next one). commit: record
// durably that the given leaf is spent; false on failure.
template <class J>
concept LeafJournal = requires(J& j, const KeyIdentity& id, uint32_t leaf) {
  { j.bound_key() } -> std::same_as<std::optional<KeyIdentity>>;
  { j.bind_key(id) } -> std::same_as<bool>;
  { j.next_leaf() } -> std::same_as<uint32_t>;
  { j.commit(leaf) } -> std::same_as<bool>;
};

// A non-owning view of any LeafJournal, so that the signing code is compiled
// once while its callers stay generic over their journal type.
class JournalRef {
 public:
  template <LeafJournal J>
  explicit JournalRef(J& journal) noexcept : self_(&journal), ops_(&kOps<J>) {}

  std::optional<KeyIdentity> bound_key() { return ops_->bound_key(self_); }
  bool bind_key(const KeyIdentity& id) { return ops_->bind_key(self_, id); }
  uint32_t next_leaf() { return ops_->next_leaf(self_); }
  bool commit(uint32_t leaf) { return ops_->commit(self_, leaf); }

 private:
  struct Ops {
    std::optional<KeyIdentity> (*bound_key)(void*);
    bool (*bind_key)(void*, const KeyIdentity&);
    uint32_t (*next_leaf)(void*);
    bool (*commit)(void*, uint32_t);
  };
  template <class J>
  static constexpr Ops kOps{
      [](void* s) { return static_cast<J*>(s)->bound_key(); },
      [](void* s, const KeyIdentity& id) { return static_cast<J*>(s)->bind_key(id); },
      [](void* s) { return static_cast<J*>(s)->next_leaf(); },
      [](void* s, uint32_t leaf) { return static_cast<J*>(s)->commit(leaf); },
  };

  void* self_;
  const Ops* ops_;
};

static_assert(LeafJournal<JournalRef>);

}  // namespace valtorimesca::stateful
