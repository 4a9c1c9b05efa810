// The variable-time Ristretto255 arithmetic of sr25519 verification
// (libdecaf) against libsodium: decoding must accept exactly the canonical
// encodings (libsodium's, with bit 255 clear) and give libsodium's point; the
// 64 bytes P || Q, taken as uniform bytes, must map to libsodium's point; on
// two points both accept, the
// double-scalar multiplications must equal two single multiplications and an
// addition.
//
// Input: point P (32 bytes), point Q (32), scalars a and b (32 each, taken
// modulo l when they are not below it); short fields are padded with zeros.
#include <array>
#include <cstring>

#include "fuzz_input.hpp"
#include "sodium_ristretto.hpp"
#include "valtorimesca/classical/sr25519/vartime.hpp"

using valtorimesca::classical::sr25519::vartime::PublicPoint;
namespace ref = vt_test::sodium_ristretto;

namespace {

ref::Encoding take32(fuzz::Input& in) {
  ref::Encoding out{};
  const auto b = in.take(32);
  if (!b.empty()) std::memcpy(out.data(), b.data(), b.size());
  return out;
}

ref::Encoding scalar(fuzz::Input& in) {
  uint8_t wide[64] = {};
  const auto s = take32(in);
  std::memcpy(wide, s.data(), 32);
  ref::Encoding out{};
  crypto_core_ristretto255_scalar_reduce(out.data(), wide);
  return out;
}

std::optional<PublicPoint> decode_both(const ref::Encoding& e) {
  const auto ours = PublicPoint::decode(e.data());
  const bool canonical = (e[31] & 0x80) == 0 && ref::is_point(e.data());
  fuzz::require(ours.has_value() == canonical, "decoders disagree on validity");
  if (ours) {
    ref::Encoding enc{};
    ours->encode(enc.data());
    fuzz::require(enc == *ref::reencode(e.data()), "decoders disagree on the point");
  }
  return ours;
}

ref::Encoding encoding(const PublicPoint& p) {
  ref::Encoding out{};
  p.encode(out.data());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const auto pe = take32(in), qe = take32(in);
  const auto a = scalar(in), b = scalar(in);
  uint8_t wide[64];
  std::memcpy(wide, pe.data(), 32);
  std::memcpy(wide + 32, qe.data(), 32);
  fuzz::require(encoding(PublicPoint::from_uniform_bytes(wide)) == ref::from_uniform_bytes(wide),
                "the map of P || Q to the group differs from libsodium's");
  const auto p = decode_both(pe);
  const auto q = decode_both(qe);
  if (!p || !q) return 0;
  fuzz::note_accepted();
  fuzz::require(encoding(PublicPoint::base_double_mul(a.data(), *p, b.data())) ==
                    ref::base_double_mul(a.data(), pe.data(), b.data()),
                "a*B + b*P differs from libsodium's");
  fuzz::require(encoding(PublicPoint::double_mul(*p, a.data(), *q, b.data())) ==
                    ref::double_mul(pe.data(), a.data(), qe.data(), b.data()),
                "a*P + b*Q differs from libsodium's");
  fuzz::require(encoding(p->negated()) == ref::negate(pe.data()), "-P differs from libsodium's");
  return 0;
}
