// Seed derivation: a 32-byte master seed is divided into the component seeds
// of a suite, into hard-junction child master seeds and into the seed of a
// suite's dedicated VRF key.
//
// Every derivation is HKDF-SHA256 (RFC 5869) with the extract salt
// "quartz-lem" and the master (or parent) seed as input key material; the
// expansion info is an ASCII prefix followed directly by the suite label
// (zero byte included) or by the chain code:
//
//   classical component seed   "classical/"     || label       32 bytes
//   post-quantum component     "pq/"            || label       n bytes
//   hard-junction child        "junction/hard/" || chain code  32 bytes
//   dedicated VRF key seed     "vrf-stateless/" || label       32 bytes
//
// The functions are pure and keep no state. Every intermediate secret (the
// pseudorandom key, the info buffer, intermediate seeds) is wiped; returned
// seeds wipe themselves when released.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "valtorimesca/error.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::derive {

inline constexpr size_t kSeedLen = 32;
inline constexpr size_t kChainCodeLen = 32;
using Seed = zeroize::SecretArray<kSeedLen>;
using ChainCode = std::array<uint8_t, kChainCodeLen>;

inline constexpr char kSalt[] = "quartz-lem";
inline constexpr char kClassicalPrefix[] = "classical/";
inline constexpr char kPqPrefix[] = "pq/";
inline constexpr char kJunctionPrefix[] = "junction/hard/";
inline constexpr char kStatelessVrfPrefix[] = "vrf-stateless/";
// The longest info that carries a label.
inline constexpr size_t kInfoBufferLen = 80;
// HKDF-SHA256 gives at most 255 blocks of 32 bytes.
inline constexpr size_t kMaxExpandLen = 255 * 32;

// Writes the classical seed (32 bytes) and the post-quantum seed
// (pq_out.size() bytes) of the suite with `label`. Both come from one
// extraction. Errors: OutputBufferTooSmall (label + 10, 80) for a label over
// 70 bytes, nothing written; ComponentFailure when pq_out is longer than
// kMaxExpandLen, and then classical_out is wiped.
CoreStatus derive_component_seeds(std::span<const uint8_t, kSeedLen> master, std::span<const uint8_t> label,
                                  std::span<uint8_t, kSeedLen> classical_out, std::span<uint8_t> pq_out);

// The hard-junction child of `parent` under `chain_code`.
CoreResult<Seed> derive_hard_junction(std::span<const uint8_t, kSeedLen> parent,
                                      std::span<const uint8_t, kChainCodeLen> chain_code);

// Applies the chain codes in order: [a, b] is the junction b of the junction
// a of `parent`. An empty path gives `parent` itself. Each intermediate seed
// is wiped as soon as the next one exists; the first failure ends the walk.
CoreResult<Seed> derive_hard_junction_path(std::span<const uint8_t, kSeedLen> parent,
                                           std::span<const ChainCode> chain_codes);

// The seed of the suite's dedicated VRF key, disjoint from its component
// seeds. Errors: OutputBufferTooSmall (label + 14, 80) for a label over 66
// bytes.
CoreResult<Seed> derive_stateless_vrf_seed(std::span<const uint8_t, kSeedLen> master, std::span<const uint8_t> label);

}  // namespace valtorimesca::derive
