#include <cstring>

#include "internal.hpp"
#include "keccak/keccak.hpp"
#include "subtle/ct_marks.hpp"
#include "xof_lanes.hpp"
#include "zeroize/zeroize.hpp"

namespace mldsa::detail {
namespace {

// Fills polys[k] (k < N) from stream k, `First` blocks at once and then one
// more for every stream while some poly is short. The output of secret
// streams is wiped.
template <class Lanes, size_t N, size_t First, bool Secret, class Append>
void fill_lanes(Lanes& xof, Poly* const polys[N], Append append) noexcept {
  constexpr size_t first = First;
  alignas(32) uint8_t buf[N][First * Lanes::kRate];
  uint8_t* out[N];
  for (size_t k = 0; k < N; ++k) out[k] = buf[k];
  int n[N] = {};
  xof.squeeze(out, first);
  bool short_poly = false;
  for (size_t k = 0; k < N; ++k) {
    n[k] = append(*polys[k], 0, buf[k], first * Lanes::kRate);
    short_poly |= n[k] < kN;
  }
  while (short_poly) {
    xof.squeeze(out, 1);
    short_poly = false;
    for (size_t k = 0; k < N; ++k) {
      n[k] = append(*polys[k], n[k], buf[k], Lanes::kRate);
      short_poly |= n[k] < kN;
    }
  }
  if constexpr (Secret) zeroize::wipe(buf, sizeof buf);
}

}  // namespace

// FIPS 204 Algorithm 32 (ExpandA), each entry by Algorithm 30 (RejNTTPoly).
void expand_a(Matrix& a, const uint8_t rho[32]) noexcept {
  // 16 streams, eight at a time; stream (i, j) is indexed j + 256 i.
  for (int half = 0; half < 2; ++half) {
    uint16_t index[8];
    Poly* polys[8];
    for (int k = 0; k < 8; ++k) {
      const int i = 2 * half + k / kL, j = k % kL;
      index[k] = static_cast<uint16_t>(j | (i << 8));
      polys[k] = &a[i][j];
    }
    Shake128x8 xof(rho, 32, index);
    // Five blocks give 280 candidates; fewer than 256 of them are below q
    // with probability under 2^-128 per poly.
    fill_lanes<Shake128x8, 8, 5, false>(xof, polys, rej_ntt_append);
  }
}

// SHAKE256 of a message run one block per permutation in lane 7 of an
// eight-lane XOF whose other lanes serve the caller.
class HashLane {
 public:
  HashLane(Shake128x8& xof, const uint8_t* msg, size_t len) noexcept : xof_(xof), msg_(msg), len_(len) {
    for (size_t i = 0; i < 25; ++i) xof_.word(i, 7) = 0;
  }
  bool done() const noexcept { return done_; }
  // Before a permutation: the next block of the message, padded if last.
  void feed() noexcept {
    if (padded_) return;
    constexpr size_t kRate = keccak::Shake256::kRate;
    if (len_ - at_ >= kRate) {
      for (size_t w = 0; w < kRate / 8; ++w) {
        uint64_t v;
        std::memcpy(&v, msg_ + at_ + 8 * w, 8);
        xof_.word(w, 7) ^= le64(v);
      }
      at_ += kRate;
      return;
    }
    uint8_t block[kRate] = {};
    const size_t take = len_ - at_ < kRate ? len_ - at_ : kRate;
    for (size_t b = 0; b < take; ++b) block[b] = msg_[at_ + b];
    at_ += take;
    if (take < kRate) {
      block[take] ^= 0x1F;
      block[kRate - 1] ^= 0x80;
      padded_ = true;
    }
    for (size_t w = 0; w < kRate / 8; ++w) {
      uint64_t v = 0;
      for (size_t b = 0; b < 8; ++b) v |= uint64_t{block[8 * w + b]} << (8 * b);
      xof_.word(w, 7) ^= v;
    }
  }
  // After a permutation: the first `n` (<= 136) output bytes once the
  // message is in.
  void collect(uint8_t* out, size_t n) noexcept {
    if (!padded_ || done_) return;
    for (size_t b = 0; b < n; ++b) out[b] = static_cast<uint8_t>(xof_.word(b / 8, 7) >> (8 * (b % 8)));
    done_ = true;
  }

 private:
  Shake128x8& xof_;
  const uint8_t* msg_;
  size_t len_;
  size_t at_ = 0;
  bool padded_ = false;
  bool done_ = false;
};

void expand_a_hashing(Matrix& a, const uint8_t rho[32], const uint8_t* msg, size_t len, uint8_t* digest,
                      size_t digest_len) noexcept {
  // Streams 0-6 and 7-13 (stream (i, j) is number 4 i + j) in lanes 0-6,
  // the hash in lane 7 across both; then streams 14 and 15 on four lanes.
  uint16_t index[8] = {};
  Shake128x8 xof(rho, 32, index);
  HashLane hash(xof, msg, len);
  alignas(64) uint8_t buf[8][Shake128x8::kRate];
  uint8_t* out[8];
  for (size_t k = 0; k < 8; ++k) out[k] = buf[k];
  for (int first = 0; first < 14; first += 7) {
    Poly* polys[7];
    for (int k = 0; k < 7; ++k) {
      const int s = first + k, i = s / kL, j = s % kL;
      index[k] = static_cast<uint16_t>(j | (i << 8));
      polys[k] = &a[i][j];
    }
    xof.restart(rho, 32, index, 7);
    int n[7] = {};
    bool short_poly = true;
    // The second set also runs until the hash is out (its ten blocks fit
    // in the two sets' five or more permutations each).
    while (short_poly || (first == 7 && !hash.done())) {
      hash.feed();
      xof.squeeze(out, 1);
      hash.collect(digest, digest_len);
      short_poly = false;
      for (int k = 0; k < 7; ++k) {
        n[k] = rej_ntt_append(*polys[k], n[k], buf[k], Shake128x8::kRate);
        short_poly |= n[k] < kN;
      }
    }
  }
  const uint16_t last[4] = {static_cast<uint16_t>(2 | (3 << 8)), static_cast<uint16_t>(3 | (3 << 8)),
                            static_cast<uint16_t>(2 | (3 << 8)), static_cast<uint16_t>(3 | (3 << 8))};
  Poly spare[2];
  Poly* polys[4] = {&a[3][2], &a[3][3], &spare[0], &spare[1]};
  Shake128x4 rest(rho, 32, last);
  fill_lanes<Shake128x4, 4, 5, false>(rest, polys, rej_ntt_append);
}

// FIPS 204 Algorithm 33 (ExpandS).
void expand_s(PolyVecL& s1, PolyVecK& s2, const uint8_t rho_prime[64]) noexcept {
  uint16_t index[8];
  Poly* polys[8];
  for (int r = 0; r < kL; ++r) index[r] = static_cast<uint16_t>(r), polys[r] = &s1[r];
  for (int r = 0; r < kK; ++r) index[kL + r] = static_cast<uint16_t>(kL + r), polys[kL + r] = &s2[r];
  Shake256x8 xof(rho_prime, 64, index);
  fill_lanes<Shake256x8, 8, 2, true>(xof, polys, rej_eta_append);
}

namespace {
template <class Lanes, size_t N>
void mask_lanes(Poly* y, const uint8_t rho_pp[64], uint16_t kappa) noexcept {
  constexpr size_t kBlocks = (kZPolyLen + Lanes::kRate - 1) / Lanes::kRate;
  static_assert(kBlocks * Lanes::kRate >= kZPolyLen + 28, "unpack_mask reads 28 bytes on");
  alignas(32) uint8_t buf[N][kBlocks * Lanes::kRate];
  uint8_t* out[N];
  uint16_t index[N];
  for (size_t k = 0; k < N; ++k) {
    out[k] = buf[k];
    index[k] = static_cast<uint16_t>(kappa + k);
  }
  {
    Lanes xof(rho_pp, 64, index);
    xof.squeeze(out, kBlocks);
  }
  for (size_t k = 0; k < N; ++k) unpack_mask(y[k], buf[k]);
  zeroize::wipe(buf, sizeof buf);
}
}  // namespace

// FIPS 204 Algorithm 34 (ExpandMask).
void expand_mask(Poly y[kL], const uint8_t rho_pp[64], uint16_t kappa) noexcept {
  mask_lanes<Shake256x4, kL>(y, rho_pp, kappa);
}

// FIPS 204 Algorithm 34 (ExpandMask) for two consecutive attempts.
void expand_mask_x8(Poly y[2 * kL], const uint8_t rho_pp[64], uint16_t kappa) noexcept {
  mask_lanes<Shake256x8, 2 * kL>(y, rho_pp, kappa);
}

namespace {
// The signs (bits 0 to tau - 1) and the positions of SampleInBall, drawn by
// rejection from the stream of c~.
uint64_t draw_positions(uint8_t js[kTau], const uint8_t c_tilde[kCTildeLen]) noexcept {
  keccak::Shake256 xof;
  xof.absorb(c_tilde, kCTildeLen);
  uint8_t buf[keccak::Shake256::kRate];
  xof.squeeze(buf, sizeof buf);
  uint64_t signs = 0;
  for (int i = 0; i < 8; ++i) signs |= static_cast<uint64_t>(buf[i]) << (8 * i);
  size_t pos = 8;
  for (int t = 0; t < kTau; ++t) {
    const uint32_t i = kN - kTau + t;
    uint32_t j;
    do {
      if (pos == sizeof buf) {
        xof.squeeze(buf, sizeof buf);
        pos = 0;
      }
      j = buf[pos++];
      // A refused position is a sampler redraw: public by design.
    } while (subtle::public_value(j > i));
    js[t] = static_cast<uint8_t>(j);
  }
  zeroize::wipe(buf, sizeof buf);
  return signs;
}
}  // namespace

// FIPS 204 Algorithm 29 (SampleInBall).
void sample_in_ball(Poly& c, const uint8_t c_tilde[kCTildeLen]) noexcept {
  uint8_t js[kTau];
  uint64_t signs = draw_positions(js, c_tilde);
  place_signs(c, js, signs);
  zeroize::wipe(js, sizeof js);
  zeroize::wipe(&signs, sizeof signs);
}

// FIPS 204 Algorithm 29 (SampleInBall), lines 5 to 9 as written: the
// positions steer the memory accesses.
void sample_in_ball_public(Poly& c, const uint8_t c_tilde[kCTildeLen]) noexcept {
  uint8_t js[kTau];
  const uint64_t signs = draw_positions(js, c_tilde);
  std::memset(c.c, 0, sizeof c.c);
  for (int t = 0; t < kTau; ++t) {
    const int i = kN - kTau + t;
    c.c[i] = c.c[js[t]];
    c.c[js[t]] = 1 - 2 * static_cast<int32_t>((signs >> t) & 1);
  }
}

}  // namespace mldsa::detail
