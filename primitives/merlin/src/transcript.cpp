// Transcript framing: every message and challenge is preceded by a meta-AD of
// its label and its length as a little-endian 32-bit integer.
#include <limits>

#include "fault/fault.hpp"
#include "merlin/merlin.hpp"

namespace merlin {

namespace {

void le32(size_t n, uint8_t out[4]) noexcept {
  const uint32_t v = static_cast<uint32_t>(n);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

void framed_meta(Strobe128& s, Bytes label, size_t len) {
  // merlin's lengths are 32-bit; a longer input is a caller fault.
  fault::check(len <= std::numeric_limits<uint32_t>::max(), "merlin: message longer than 2^32-1 bytes");
  uint8_t n[4];
  le32(len, n);
  s.meta_ad(label, false);
  s.meta_ad(Bytes(n, 4), true);
}

constexpr std::string_view kProtocol = "Merlin v1.0";

}  // namespace

Transcript::Transcript(Bytes label) : strobe_(bytes_of(kProtocol)) { append_message(bytes_of("dom-sep"), label); }

void Transcript::append_message(Bytes label, Bytes message) {
  framed_meta(strobe_, label, message.size());
  strobe_.ad(message, false);
}

void Transcript::append_u64(Bytes label, uint64_t x) {
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(x >> (8 * i));
  append_message(label, Bytes(b, 8));
}

void Transcript::challenge_bytes(Bytes label, std::span<uint8_t> out) {
  framed_meta(strobe_, label, out.size());
  strobe_.prf(out, false);
}

TranscriptRngBuilder Transcript::build_rng() const noexcept { return TranscriptRngBuilder(strobe_); }

TranscriptRngBuilder& TranscriptRngBuilder::rekey_with_witness_bytes(Bytes label, Bytes witness) {
  framed_meta(strobe_, label, witness.size());
  strobe_.key(witness, false);
  return *this;
}

TranscriptRng TranscriptRngBuilder::finalize_with_bytes(std::span<const uint8_t, 32> random_bytes) noexcept {
  strobe_.meta_ad(bytes_of("rng"), false);
  strobe_.key(random_bytes, false);
  return TranscriptRng(strobe_);
}

void TranscriptRng::fill_bytes(uint8_t* out, size_t len) {
  uint8_t n[4];
  le32(len, n);
  fault::check(len <= std::numeric_limits<uint32_t>::max(), "merlin: request longer than 2^32-1 bytes");
  strobe_.meta_ad(Bytes(n, 4), false);
  strobe_.prf(std::span<uint8_t>(out, len), false);
}

}  // namespace merlin
