// Entry points of the four stateless suites, the verification dispatcher of
// all six suites, and the seed derivations.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "valtorimesca/suites.hpp"
#include "valtorimesca_abi/error.hpp"
#include "valtorimesca_abi/sizes.hpp"

namespace valtorimesca_abi {

using Bytes = std::span<const uint8_t>;
using MutBytes = std::span<uint8_t>;
using Seed32 = std::array<uint8_t, 32>;

namespace stateless_suites {

AbiStatus keygen_from_seed(SuiteCode suite, Bytes seed, MutBytes sk_out, MutBytes pk_out);
// Hedged signing with the operating system's generator; counts the bytes written.
AbiResult<size_t> sign(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, MutBytes sig_out);
AbiResult<size_t> sign_deterministic(SuiteCode suite, Bytes sk, Bytes msg, Bytes ctx, Bytes nonce,
                                     MutBytes sig_out);

}  // namespace stateless_suites

namespace verify {

// The verdict for any suite; every fault answers false.
bool verify(SuiteCode suite, Bytes pk, Bytes msg, Bytes ctx, Bytes sig);

}  // namespace verify

namespace seed {

AbiStatus derive_hard_junction(const Seed32& parent, const Seed32& chain_code, Seed32& out);
AbiStatus derive_hard_junction_path(const Seed32& parent, std::span<const Seed32> chain_codes, Seed32& out);
AbiStatus master_seed_from_mnemonic(std::string_view phrase, std::optional<std::string_view> password,
                                    Seed32& out);

}  // namespace seed

}  // namespace valtorimesca_abi
