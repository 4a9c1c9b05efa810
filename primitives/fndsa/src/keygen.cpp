// Key-pair generation: candidates (f, g) are drawn from a SHAKE256 stream
// seeded by the caller's 32 bytes, until one is invertible modulo q, short,
// has a short Gram-Schmidt companion and admits a solution (F, G) of
// f G - g F = q with small coefficients. The public key is h = g / f mod q.
// The whole computation is integer arithmetic; apart from the decisions that
// throw a candidate away, nothing in it depends on the secret values in
// timing or memory access.
#include <memory>

#include "fg_sample.hpp"
#include "internal.hpp"
#include "ntru.hpp"
#include "subtle/ct_marks.hpp"
#include "zeroize/zeroize.hpp"

namespace fndsa {

using namespace detail;

namespace {

struct Secrets {
  int8_t f[kN], g[kN], F[kN], G[kN];
  uint16_t h[kN], t[kN];
};

// f must be a unit modulo q for h to exist.
bool invertible_mod_q(const int8_t* f, uint16_t* tmp) noexcept {
  small_to_modq(f, tmp);
  ntt(tmp);
  return ntt_invertible(tmp);
}

}  // namespace

// FIPS 206 / Falcon: KeyGen, with NTRUGen drawing f and g from the seeded generator.
void keygen_from_seed(const uint8_t seed[32], uint8_t sk[kSigningKeyLen], uint8_t vk[kVerifyingKeyLen]) noexcept {
  auto held = std::make_unique<zeroize::Wiped<Secrets>>();
  Secrets& s = held->get();
  {
    ShakePrng rng(seed, kKeygenSeedLen);
    // Each test's verdict is public: a refused candidate is thrown away
    // whole and the next one is drawn from fresh stream bytes, so which
    // test refused it says nothing about the key finally kept.
    for (;;) {
      kgen::sample_short(rng, s.f);
      if (!subtle::public_value(invertible_mod_q(s.f, s.t))) continue;
      kgen::sample_short(rng, s.g);
      if (!subtle::public_value(kgen::small_norm(s.f, s.g))) continue;
      if (!subtle::public_value(kgen::small_orthogonal_norm(s.f, s.g))) continue;
      if (subtle::public_value(kgen::solve_ntru(s.f, s.g, s.F, s.G))) break;
    }
  }
  small_to_modq(s.g, s.h);
  ntt(s.h);
  small_to_modq(s.f, s.t);
  ntt(s.t);
  ntt_div(s.h, s.t);
  vk[0] = static_cast<uint8_t>(kLogN);
  modq_encode(s.h, vk + 1);
  sk[0] = static_cast<uint8_t>(0x50 + kLogN);
  size_t at = 1;
  at += pack_signed(s.f, kN, 6, sk + at);
  at += pack_signed(s.g, kN, 6, sk + at);
  at += pack_signed(s.F, kN, 8, sk + at);
  hash_verifying_key(std::span<const uint8_t>(vk, kVerifyingKeyLen), sk + at);
}

}  // namespace fndsa
