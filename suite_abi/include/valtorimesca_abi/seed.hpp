// Seed derivations: hard junctions and the master seed of a recovery phrase.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi::seed {

AbiStatus derive_hard_junction(const Seed32& parent, const Seed32& chain_code, Seed32& out);
AbiStatus derive_hard_junction_path(const Seed32& parent, std::span<const Seed32> chain_codes, Seed32& out);
AbiStatus master_seed_from_mnemonic(std::string_view phrase, std::optional<std::string_view> password, Seed32& out);

}  // namespace valtorimesca_abi::seed
