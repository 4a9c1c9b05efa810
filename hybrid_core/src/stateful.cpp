#include "valtorimesca/stateful.hpp"

#include <string_view>

#include "sha2/sha2.hpp"

namespace valtorimesca::stateful {

namespace {
// Hashed without a zero byte or a length prefix, unlike the parts after it.
constexpr std::string_view kIdentityLabel = "valtorimesca/leaf-journal/key-identity/v1";
}  // namespace

KeyIdentity KeyIdentity::derive(std::span<const uint8_t> label, std::span<const uint8_t> bundle) {
  sha2::Sha256 h;
  h.update(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kIdentityLabel.data()), kIdentityLabel.size()));
  h.update_framed(label);
  h.update_framed(bundle);
  KeyIdentity id;
  h.finish(id.bytes);
  return id;
}

}  // namespace valtorimesca::stateful
