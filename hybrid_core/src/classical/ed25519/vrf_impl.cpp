#include "valtorimesca/classical/ed25519/vrf_impl.hpp"

#include <sodium.h>

#include <algorithm>

#include "sha2/sha2.hpp"
#include "subtle/ct_marks.hpp"
#include "zeroize/zeroize.hpp"

namespace valtorimesca::classical::ed25519::vrf_impl {

namespace {

constexpr uint8_t kSuite = 0x03;
constexpr uint8_t kDomainHashToCurve = 0x01;
constexpr uint8_t kDomainChallenge = 0x02;
constexpr uint8_t kDomainProofToHash = 0x03;
constexpr uint8_t kTrailer = 0x00;

// Every hash of the suite starts with the suite byte and a domain byte.
sha2::Sha512& suite_head(sha2::Sha512& hash, uint8_t domain) noexcept {
  const uint8_t head[2] = {kSuite, domain};
  return hash.update(head);
}
const uint8_t kTrailerByte[1] = {kTrailer};

}  // namespace

Expanded::~Expanded() {
  zeroize::wipe(x.data(), x.size());
  zeroize::wipe(prefix.data(), prefix.size());
}

void Expanded::expand(std::span<const uint8_t, 32> seed, Expanded& out) noexcept {
  zeroize::SecretArray<64> h;
  sha2::sha512(seed, h.span());
  zeroize::SecretArray<64> wide;  // clamped half, zero-extended for the reduction
  std::copy(h.data(), h.data() + 32, wide.data());
  wide[0] &= 0xf8;
  wide[31] = static_cast<uint8_t>((wide[31] & 0x3f) | 0x40);
  crypto_core_ed25519_scalar_reduce(out.x.data(), wide.data());
  std::copy(h.data() + 32, h.data() + 64, out.prefix.begin());
}

std::optional<edwards::Point> string_to_point(std::span<const uint8_t> bytes) noexcept {
  return edwards::decode_canonical(bytes);
}

std::optional<edwards::Point> encode_to_curve(std::span<const uint8_t, 32> pk, Chunks alpha) {
  for (unsigned ctr = 0; ctr < 256; ++ctr) {
    sha2::Sha512 hash;
    suite_head(hash, kDomainHashToCurve).update(pk);
    for (const auto& chunk : alpha) hash.update(chunk);
    const uint8_t tail[2] = {static_cast<uint8_t>(ctr), kTrailer};
    const std::array<uint8_t, 64> digest = hash.update(tail).finish();
    const auto candidate = string_to_point(std::span<const uint8_t>(digest.data(), 32));
    if (!candidate) continue;
    const edwards::Point h = edwards::mul_by_cofactor(*candidate);
    if (h == edwards::Point::identity()) continue;
    return h;
  }
  return std::nullopt;
}

std::array<uint8_t, 16> challenge(const edwards::Point& y, const edwards::Point& h, const edwards::Point& gamma,
                                  const edwards::Point& u, const edwards::Point& v) noexcept {
  sha2::Sha512 hash;
  suite_head(hash, kDomainChallenge)
      .update(y.bytes())
      .update(h.bytes())
      .update(gamma.bytes())
      .update(u.bytes())
      .update(v.bytes());
  const std::array<uint8_t, 64> digest = hash.update(kTrailerByte).finish();
  std::array<uint8_t, 16> c;
  std::copy(digest.begin(), digest.begin() + 16, c.begin());
  return c;
}

std::array<uint8_t, 64> proof_to_hash(const edwards::Point& gamma) {
  sha2::Sha512 hash;
  return suite_head(hash, kDomainProofToHash)
      .update(edwards::mul_by_cofactor(gamma).bytes())
      .update(kTrailerByte)
      .finish();
}

CoreStatus prove(std::span<const uint8_t> sk, Chunks alpha, std::span<uint8_t> pre_out, std::span<uint8_t> proof_out) {
  if (sk.size() != 64) return fail(CoreError::bad_length(64, sk.size()));
  if (pre_out.size() != 32) return fail(CoreError::bad_length(32, pre_out.size()));
  if (proof_out.size() != 48) return fail(CoreError::bad_length(48, proof_out.size()));
  edwards::ensure_library_ready();

  Expanded e;
  {
    zeroize::SecretArray<32> seed(sk.data());
    Expanded::expand(seed.span(), e);
  }
  // The public key entering the hashes is the one the seed gives.
  const edwards::Point y = edwards::mul_base(e.x);
  subtle::mark_public(y.bytes().data(), 32);  // the public key
  const auto h = encode_to_curve(y.bytes(), alpha);
  if (!h) return fail(CoreError::component_failure());
  const edwards::Point gamma = edwards::mul_prime_order(*h, e.x);

  zeroize::SecretArray<32> k;
  {
    zeroize::SecretArray<64> digest;
    sha2::Sha512().update(e.prefix).update(h->bytes()).finish(digest.span());
    crypto_core_ed25519_scalar_reduce(k.data(), digest.data());
  }
  const edwards::Point u = edwards::mul_base(k.array());
  const edwards::Point v = edwards::mul_prime_order(*h, k.array());
  const std::array<uint8_t, 16> c = challenge(y, *h, gamma, u, v);

  // s = k + c x mod l
  std::array<uint8_t, 32> c_wide{};
  std::copy(c.begin(), c.end(), c_wide.begin());
  zeroize::SecretArray<32> cx;
  crypto_core_ed25519_scalar_mul(cx.data(), c_wide.data(), e.x.data());
  std::array<uint8_t, 32> s;
  crypto_core_ed25519_scalar_add(s.data(), k.data(), cx.data());

  std::copy(gamma.bytes().begin(), gamma.bytes().end(), pre_out.begin());
  std::copy(c.begin(), c.end(), proof_out.begin());
  std::copy(s.begin(), s.end(), proof_out.begin() + 16);
  return {};
}

subtle::Choice verify_proof(std::span<const uint8_t> pk, Chunks alpha, std::span<const uint8_t> pre_output,
                            std::span<const uint8_t> proof) {
  const subtle::Choice no;
  if (proof.size() != 48 || pk.size() != 32) return no;
  edwards::ensure_library_ready();
  const auto y = string_to_point(pk);
  if (!y || edwards::is_small_order(*y)) return no;
  if (pre_output.size() != 32) return no;
  const auto gamma = string_to_point(pre_output);
  if (!gamma) return no;
  const std::span<const uint8_t, 32> s_bytes(proof.data() + 16, 32);
  if (!edwards::scalar_is_canonical(s_bytes)) return no;
  const auto h = encode_to_curve(std::span<const uint8_t, 32>(pk.data(), 32), alpha);
  if (!h) return no;

  edwards::Scalar c{}, s{};
  std::copy(proof.begin(), proof.begin() + 16, c.begin());
  std::copy(s_bytes.begin(), s_bytes.end(), s.begin());
  // U = [s]B - [c]Y, V = [s]H - [c]Gamma, exact even for points carrying torsion.
  const edwards::Point u = edwards::sub(edwards::mul_base(s), edwards::mul_public(*y, c));
  const edwards::Point v = edwards::sub(edwards::mul_public(*h, s), edwards::mul_public(*gamma, c));
  const std::array<uint8_t, 16> expected = challenge(*y, *h, *gamma, u, v);
  return subtle::ct_eq(expected.data(), proof.data(), 16);
}

}  // namespace valtorimesca::classical::ed25519::vrf_impl
