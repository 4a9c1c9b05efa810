// ECVRF-EDWARDS25519-SHA512-TAI (RFC 9381, suite string 0x03) on the
// Ed25519 secret-key form: try-and-increment hashing to the curve, 16-byte
// challenges, proofs c (16) || s (32) with the point Gamma kept apart as the
// 32-byte pre-output.
//
// alpha is given as a list of byte chunks hashed one after another, so the
// callers' framing never needs a joined copy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "subtle/subtle.hpp"
#include "valtorimesca/classical/ed25519/edwards.hpp"
#include "valtorimesca/error.hpp"

namespace valtorimesca::classical::ed25519::vrf_impl {

using Chunks = std::span<const std::span<const uint8_t>>;

// The expanded secret: x = clamp(SHA-512(seed)[0..32]) mod l and the nonce
// prefix SHA-512(seed)[32..64]. Wiped when released.
struct Expanded {
  std::array<uint8_t, 32> x{};
  std::array<uint8_t, 32> prefix{};

  Expanded() = default;
  ~Expanded();
  Expanded(const Expanded&) = delete;
  Expanded& operator=(const Expanded&) = delete;

  static void expand(std::span<const uint8_t, 32> seed, Expanded& out) noexcept;
};

// Evaluates on sk's seed (sk[0..32]; the rest of sk is not read). Writes
// Gamma to pre_out (32) and c || s to proof_out (48).
CoreStatus prove(std::span<const uint8_t> sk, Chunks alpha, std::span<uint8_t> pre_out, std::span<uint8_t> proof_out);

// Checks a proof against a public key that must decode canonically and not
// be of small order.
subtle::Choice verify_proof(std::span<const uint8_t> pk, Chunks alpha, std::span<const uint8_t> pre_output,
                            std::span<const uint8_t> proof);

// H = [8]P for the first counter whose hash decodes to a P not of small
// order; nothing when all 256 counters fail. pk is hashed as given.
std::optional<edwards::Point> encode_to_curve(std::span<const uint8_t, 32> pk, Chunks alpha);

// Canonical decoding: exactly 32 bytes that re-encode to themselves.
std::optional<edwards::Point> string_to_point(std::span<const uint8_t> bytes) noexcept;

std::array<uint8_t, 16> challenge(const edwards::Point& y, const edwards::Point& h, const edwards::Point& gamma,
                                  const edwards::Point& u, const edwards::Point& v) noexcept;

// beta = SHA-512(0x03 || 0x03 || [8]Gamma || 0x00).
std::array<uint8_t, 64> proof_to_hash(const edwards::Point& gamma);

}  // namespace valtorimesca::classical::ed25519::vrf_impl
