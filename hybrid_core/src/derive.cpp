#include "valtorimesca/derive.hpp"

#include <cstring>

#include "keyed_hmac.hpp"

namespace valtorimesca::derive {
namespace {

using detail::KeyedHmac;

template <size_t N>
constexpr std::span<const uint8_t> ascii(const char (&s)[N]) noexcept {
  // Without the terminating zero byte.
  return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s), N - 1);
}

// RFC 5869 over SHA-256 with the seed-derivation salt. Only the keyed
// expansion MAC is kept; the pseudorandom key is wiped once it is keyed.
class Hkdf {
 public:
  explicit Hkdf(std::span<const uint8_t, kSeedLen> ikm)
      : prk_mac_(KeyedHmac::Hash::Sha256, extract(ikm).span()) {}

  // False (nothing written) when more than kMaxExpandLen bytes are asked.
  bool expand(std::span<const uint8_t> info, std::span<uint8_t> out) {
    if (out.size() > kMaxExpandLen) return false;
    zeroize::SecretArray<32> block;
    size_t block_len = 0;
    uint8_t counter = 1;
    for (size_t off = 0; off < out.size(); off += 32, ++counter) {
      prk_mac_.restart();
      prk_mac_.update(std::span<const uint8_t>(block.data(), block_len));
      prk_mac_.update(info);
      prk_mac_.update(std::span<const uint8_t>(&counter, 1));
      prk_mac_.finish(block.span());
      block_len = 32;
      size_t take = out.size() - off < 32 ? out.size() - off : 32;
      std::memcpy(out.data() + off, block.data(), take);
    }
    return true;
  }

 private:
  static zeroize::SecretArray<32> extract(std::span<const uint8_t, kSeedLen> ikm) {
    KeyedHmac salt_mac(KeyedHmac::Hash::Sha256, ascii(kSalt));
    salt_mac.update(ikm);
    zeroize::SecretArray<32> prk;
    salt_mac.finish(prk.span());
    return prk;
  }

  KeyedHmac prk_mac_;
};

// Assembles prefix || tail in a wiped, fixed-size info buffer.
template <size_t N>
class Info {
 public:
  std::span<const uint8_t> set(std::span<const uint8_t> prefix, std::span<const uint8_t> tail) noexcept {
    std::memcpy(buf_.data(), prefix.data(), prefix.size());
    if (!tail.empty()) std::memcpy(buf_.data() + prefix.size(), tail.data(), tail.size());
    return std::span<const uint8_t>(buf_.data(), prefix.size() + tail.size());
  }

 private:
  zeroize::SecretArray<N> buf_;
};

// Prefix plus label must fit the info buffer.
bool label_fits(std::span<const uint8_t> prefix, std::span<const uint8_t> label) noexcept {
  return label.size() <= kInfoBufferLen - prefix.size();
}
CoreError label_too_long(std::span<const uint8_t> prefix, std::span<const uint8_t> label) noexcept {
  return CoreError::output_buffer_too_small(label.size() + prefix.size(), kInfoBufferLen);
}

// The one-output derivation with a labelled info.
CoreResult<Seed> derive_labelled(std::span<const uint8_t, kSeedLen> master, std::span<const uint8_t> prefix,
                                 std::span<const uint8_t> label) {
  Hkdf hkdf(master);
  if (!label_fits(prefix, label)) return fail(label_too_long(prefix, label));
  Info<kInfoBufferLen> info;
  Seed out;
  if (!hkdf.expand(info.set(prefix, label), out.span())) return fail(CoreError::component_failure());
  return out;
}

}  // namespace

CoreStatus derive_component_seeds(std::span<const uint8_t, kSeedLen> master, std::span<const uint8_t> label,
                                  std::span<uint8_t, kSeedLen> classical_out, std::span<uint8_t> pq_out) {
  Hkdf hkdf(master);
  const auto classical = ascii(kClassicalPrefix);
  if (!label_fits(classical, label)) return fail(label_too_long(classical, label));
  Info<kInfoBufferLen> info;
  if (!hkdf.expand(info.set(classical, label), classical_out)) return fail(CoreError::component_failure());
  if (!hkdf.expand(info.set(ascii(kPqPrefix), label), pq_out)) {
    // No half-made pair: the classical seed is not left behind.
    zeroize::wipe(classical_out.data(), classical_out.size());
    return fail(CoreError::component_failure());
  }
  return {};
}

CoreResult<Seed> derive_hard_junction(std::span<const uint8_t, kSeedLen> parent,
                                      std::span<const uint8_t, kChainCodeLen> chain_code) {
  Hkdf hkdf(parent);
  Info<sizeof(kJunctionPrefix) - 1 + kChainCodeLen> info;
  Seed child;
  if (!hkdf.expand(info.set(ascii(kJunctionPrefix), chain_code), child.span()))
    return fail(CoreError::component_failure());
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

CoreResult<Seed> derive_stateless_vrf_seed(std::span<const uint8_t, kSeedLen> master,
                                           std::span<const uint8_t> label) {
  return derive_labelled(master, ascii(kStatelessVrfPrefix), label);
}

}  // namespace valtorimesca::derive
