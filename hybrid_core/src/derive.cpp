#include "valtorimesca/derive.hpp"

#include "sha2/hmac.hpp"

namespace valtorimesca::derive {
namespace {

template <size_t N>
constexpr std::span<const uint8_t> ascii(const char (&s)[N]) noexcept {
  // Without the terminating zero byte.
  return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s), N - 1);
}

// RFC 5869 over SHA-256 with the seed-derivation salt.
sha2::Hkdf hkdf_of(std::span<const uint8_t, kSeedLen> ikm) { return sha2::Hkdf(sha2::Hash::Sha256, ascii(kSalt), ikm); }

// An info (prefix plus label) is at most kInfoBufferLen bytes.
bool label_fits(std::span<const uint8_t> prefix, std::span<const uint8_t> label) noexcept {
  return label.size() <= kInfoBufferLen - prefix.size();
}
CoreError label_too_long(std::span<const uint8_t> prefix, std::span<const uint8_t> label) noexcept {
  return CoreError::output_buffer_too_small(label.size() + prefix.size(), kInfoBufferLen);
}

// The one-output derivation with a labelled info.
CoreResult<Seed> derive_labelled(std::span<const uint8_t, kSeedLen> master, std::span<const uint8_t> prefix,
                                 std::span<const uint8_t> label) {
  sha2::Hkdf hkdf = hkdf_of(master);
  if (!label_fits(prefix, label)) return fail(label_too_long(prefix, label));
  Seed out;
  if (!hkdf.expand({prefix, label}, out.span())) return fail(CoreError::component_failure());
  return out;
}

}  // namespace

CoreStatus derive_component_seeds(std::span<const uint8_t, kSeedLen> master, std::span<const uint8_t> label,
                                  std::span<uint8_t, kSeedLen> classical_out, std::span<uint8_t> pq_out) {
  sha2::Hkdf hkdf = hkdf_of(master);
  const auto classical = ascii(kClassicalPrefix);
  if (!label_fits(classical, label)) return fail(label_too_long(classical, label));
  if (!hkdf.expand({classical, label}, classical_out)) return fail(CoreError::component_failure());
  if (!hkdf.expand({ascii(kPqPrefix), label}, pq_out)) {
    // No half-made pair: the classical seed is not left behind.
    zeroize::wipe(classical_out.data(), classical_out.size());
    return fail(CoreError::component_failure());
  }
  return {};
}

CoreResult<Seed> derive_hard_junction(std::span<const uint8_t, kSeedLen> parent,
                                      std::span<const uint8_t, kChainCodeLen> chain_code) {
  sha2::Hkdf hkdf = hkdf_of(parent);
  Seed child;
  if (!hkdf.expand({ascii(kJunctionPrefix), chain_code}, child.span())) return fail(CoreError::component_failure());
  return child;
}

CoreResult<Seed> derive_hard_junction_path(std::span<const uint8_t, kSeedLen> parent,
                                           std::span<const ChainCode> chain_codes) {
  Seed working(parent.data());
  for (const ChainCode& code : chain_codes) {
    auto child = derive_hard_junction(working.span(), code);
    if (!child) return fail(child.error());
    working = *child;
  }
  return working;
}

CoreResult<Seed> derive_stateless_vrf_seed(std::span<const uint8_t, kSeedLen> master, std::span<const uint8_t> label) {
  return derive_labelled(master, ascii(kStatelessVrfPrefix), label);
}

}  // namespace valtorimesca::derive
