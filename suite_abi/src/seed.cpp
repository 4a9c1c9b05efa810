#include "valtorimesca_abi/seed.hpp"

#include "valtorimesca/derive.hpp"
#include "valtorimesca/mnemonic.hpp"

namespace valtorimesca_abi {

using namespace valtorimesca;

namespace seed {

namespace {
// Copies the derived seed out; the result's own copy is wiped with it.
AbiStatus copy_out(const CoreResult<derive::Seed>& r, Seed32& out) {
  if (!r) return abi_fail(from_core(r.error()));
  out = r->array();
  return {};
}
}  // namespace

AbiStatus derive_hard_junction(const Seed32& parent, const Seed32& chain_code, Seed32& out) {
  return copy_out(derive::derive_hard_junction(parent, chain_code), out);
}

AbiStatus derive_hard_junction_path(const Seed32& parent, std::span<const Seed32> chain_codes, Seed32& out) {
  return copy_out(derive::derive_hard_junction_path(parent, chain_codes), out);
}

AbiStatus master_seed_from_mnemonic(std::string_view phrase, std::optional<std::string_view> password, Seed32& out) {
  auto r = mnemonic::master_seed_from_mnemonic(phrase, password);
  if (!r) return abi_fail(AbiError::InvalidMnemonic);
  out = r->array();
  return {};
}

}  // namespace seed

}  // namespace valtorimesca_abi
