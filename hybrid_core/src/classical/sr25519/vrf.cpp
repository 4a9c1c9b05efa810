// The schnorrkel DLEQ VRF: input hashing, evaluation, verification and the
// output bytes.
#include <cstring>

#include "ristretto.hpp"
#include "valtorimesca/classical/sr25519.hpp"
#include "valtorimesca/classical/sr25519/vartime.hpp"

namespace valtorimesca::classical::sr25519 {

using detail::Keypair;
using detail::Point;
using detail::Scalar32;

namespace {

// The 64 bytes the input point is made of: the challenge "VRFHash" of the
// signing transcript of (label, input) with the public key committed under
// "vrf-nm-pk".
void input_bytes(Bytes label, Bytes input, const uint8_t pk[32], uint8_t wide[64]) {
  merlin::Transcript t = detail::signing_transcript(label, input);
  detail::commit_point(t, "vrf-nm-pk", pk);
  t.challenge_bytes("VRFHash", std::span<uint8_t>(wide, 64));
}

// H = from_uniform_bytes(input_bytes), by libsodium.
Point input_point(Bytes label, Bytes input, const uint8_t pk[32]) {
  uint8_t wide[64];
  input_bytes(label, input, pk, wide);
  Point h{};
  crypto_core_ristretto255_from_hash(h.data(), wide);
  return h;
}

// The "VRF" proof transcript up to the witness: proto-name and the input.
merlin::Transcript proof_transcript(const Point& h) {
  merlin::Transcript e("VRF");
  e.append_message("proto-name", merlin::bytes_of("DLEQProof"));
  detail::commit_point(e, "vrf:h", h.data());
  return e;
}

// Commits the two witness commitments, the key and the output, and draws c.
void proof_challenge(merlin::Transcript& e, const Point& r, const Point& hr, const uint8_t pk[32],
                     const uint8_t out[32], uint8_t c[32]) {
  detail::commit_point(e, "vrf:R=g^r", r.data());
  detail::commit_point(e, "vrf:h^r", hr.data());
  detail::commit_point(e, "vrf:pk", pk);
  detail::commit_point(e, "vrf:h^sk", out);
  detail::challenge_scalar(e, "prove", c);
}

constexpr std::string_view kWitnessLabel(
    "proving\x00"
    "0",
    9);

// The output point must decode and must not be the identity.
bool is_output_point(const uint8_t p[32]) noexcept {
  return detail::is_point(p) && !subtle::ct_is_zero(p, 32).declassify();
}

}  // namespace

namespace vrf_impl {

CoreStatus evaluate_with_rng(Bytes secret_key, Bytes label, Bytes input, SeededRng& rng, MutBytes pre_output,
                             MutBytes proof) {
  if (secret_key.size() != 64) return fail(CoreError::bad_length(64, secret_key.size()));
  if (pre_output.size() != 32) return fail(CoreError::bad_length(32, pre_output.size()));
  if (proof.size() != 64) return fail(CoreError::bad_length(64, proof.size()));
  Keypair kp;
  if (auto st = detail::decode_secret_key(secret_key, kp); !st) return st;

  const Point h = input_point(label, input, kp.pk.data());
  Point out{};
  detail::point_mul(out.data(), kp.key.data(), h.data());

  merlin::Transcript e = proof_transcript(h);
  Scalar32 r;
  detail::witness_scalar(e, kWitnessLabel, kp.nonce.data(), rng, r.data());
  Point big_r{}, hr{};
  detail::base_mul(big_r.data(), r.data());
  detail::point_mul(hr.data(), r.data(), h.data());
  uint8_t c[32];
  proof_challenge(e, big_r, hr, kp.pk.data(), out.data(), c);

  Scalar32 cx, s;
  crypto_core_ristretto255_scalar_mul(cx.data(), c, kp.key.data());
  crypto_core_ristretto255_scalar_sub(s.data(), r.data(), cx.data());

  std::memcpy(pre_output.data(), out.data(), 32);
  std::memcpy(proof.data(), c, 32);
  std::memcpy(proof.data() + 32, s.data(), 32);
  return {};
}

}  // namespace vrf_impl

CoreStatus Sr25519::vrf_evaluate_deterministic(Bytes secret_key, Bytes label, Bytes input, MutBytes pre_output,
                                               MutBytes proof) {
  if (secret_key.size() != 64) return fail(CoreError::bad_length(64, secret_key.size()));
  auto seed = nonce_seed_in(label_with_zero(kVrfNonceSeedLabel), secret_key.first<64>(), label, input);
  SeededRng gen(seed.span());
  return vrf_impl::evaluate_with_rng(secret_key, label, input, gen, pre_output, proof);
}

subtle::Choice Sr25519::vrf_verify(Bytes public_key, Bytes label, Bytes input, Bytes pre_output, Bytes proof) {
  using vartime::PublicPoint;
  if (public_key.size() != 32) return subtle::Choice();
  const auto pk = PublicPoint::decode(public_key.data());
  if (!pk) return subtle::Choice();
  if (pre_output.size() != 32 || proof.size() != 64) return subtle::Choice();
  const uint8_t* c = proof.data();
  const uint8_t* s = proof.data() + 32;
  if (!(detail::scalar_is_canonical(c) & detail::scalar_is_canonical(s)).declassify()) return subtle::Choice();
  // The output point must decode and must not be the identity's encoding.
  const auto out = PublicPoint::decode(pre_output.data());
  if (!out || subtle::ct_is_zero(pre_output.data(), 32).declassify()) return subtle::Choice();
  // H straight from libdecaf's map, which gives libsodium's point: no
  // encoding to decode again; the encoding is made once, for the transcript.
  uint8_t wide[64];
  input_bytes(label, input, public_key.data(), wide);
  const PublicPoint hp = PublicPoint::from_uniform_bytes(wide);
  Point h{};
  hp.encode(h.data());

  merlin::Transcript e = proof_transcript(h);
  // R = c*pk + s*B, Hr = c*out + s*H; everything here is public, so both run
  // in variable time.
  Point big_r{}, hr{};
  PublicPoint::base_double_mul(s, *pk, c).encode(big_r.data());
  PublicPoint::double_mul(*out, c, hp, s).encode(hr.data());
  uint8_t c2[32];
  proof_challenge(e, big_r, hr, public_key.data(), pre_output.data(), c2);
  return subtle::Choice::from_bit(subtle::ct_eq(c2, c, 32).unwrap_u8());
}

CoreStatus Sr25519::vrf_make_bytes_into(Bytes public_key, Bytes label, Bytes input, Bytes pre_output, Bytes context,
                                        MutBytes out) {
  if (public_key.size() != 32 || !detail::is_point(public_key.data()) || pre_output.size() != 32)
    return fail(CoreError::component_failure());
  const Point h = input_point(label, input, public_key.data());
  if (!is_output_point(pre_output.data())) return fail(CoreError::component_failure());
  merlin::Transcript t("VRFResult");
  t.append_message("", context);
  detail::commit_point(t, "vrf-in", h.data());
  detail::commit_point(t, "vrf-out", pre_output.data());
  t.challenge_bytes("", out);
  return {};
}

CoreResult<std::array<uint8_t, 32>> Sr25519::vrf_make_bytes(Bytes public_key, Bytes label, Bytes input,
                                                            Bytes pre_output, Bytes context) {
  std::array<uint8_t, 32> out{};
  if (auto st = vrf_make_bytes_into(public_key, label, input, pre_output, context, out); !st) return fail(st.error());
  return out;
}

}  // namespace valtorimesca::classical::sr25519
