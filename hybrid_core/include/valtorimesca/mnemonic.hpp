// Master seeds from English BIP-39 recovery phrases.
//
// NOTE: this is not the standard BIP-39 seed derivation. The phrase is
// parsed and checked (word count, English words, checksum) and its entropy
// (16 to 32 bytes) is recovered; PBKDF2-HMAC-SHA512 then runs over that
// entropy, not over the phrase text, with the salt "mnemonic" followed by the
// password's UTF-8 bytes, 2048 iterations, and the master seed is the first
// 32 bytes of the 64-byte block. A stock BIP-39 library therefore gives a
// different seed, and so a different key, for the same phrase.
//
// Neither phrase nor password is Unicode-normalised or case-folded; words
// are separated by runs of white space. An absent password and an empty one
// give the same seed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "valtorimesca/error.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::mnemonic {

// Holder that wipes its value when released.
template <class T>
using Wiped = zeroize::Wiped<T>;

using Seed = zeroize::SecretArray<32>;

inline constexpr char kSaltPrefix[] = "mnemonic";
inline constexpr uint32_t kPbkdf2Rounds = 2048;

// The 32-byte master seed of `phrase` under `password`. Error:
// InvalidMnemonic for a wrong word count, an unknown word or a bad checksum
// (not told apart).
CoreResult<Seed> master_seed_from_mnemonic(std::string_view phrase,
                                           std::optional<std::string_view> password = std::nullopt);

}  // namespace valtorimesca::mnemonic
