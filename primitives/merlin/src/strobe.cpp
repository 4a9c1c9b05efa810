// STROBE-128 duplex over Keccak-f[1600], rate 166 bytes, as merlin uses it:
// only the AD, meta-AD, PRF and KEY operations, no transport flags.
#include <algorithm>
#include <cstring>

#include "merlin/merlin.hpp"
#include "zeroize/zeroize.hpp"

namespace merlin {

namespace {
constexpr uint8_t kFlagI = 1;
constexpr uint8_t kFlagA = 1 << 1;
constexpr uint8_t kFlagC = 1 << 2;
constexpr uint8_t kFlagM = 1 << 4;
constexpr uint8_t kFlagK = 1 << 5;
}  // namespace

void wipe_bytes(uint8_t* p, size_t n) noexcept { zeroize::wipe(p, n); }

// STROBE's initialisation block, permuted: the same state for every
// instance, so it is computed once.
const keccak::State& Strobe128::initialised_state() noexcept {
  static_assert(sizeof(keccak::State) == 200);
  static const keccak::State st = [] {
    static const uint8_t kInit[18] = {1,   kRate + 2, 1,   0,   1,   96,  'S', 'T', 'R',
                                      'O', 'B',       'E', 'v', '1', '.', '0', '.', '2'};
    keccak::State s{};
    std::memcpy(s.data(), kInit, sizeof kInit);
    keccak::permute(s);
    return s;
  }();
  return st;
}

Strobe128::Strobe128(Bytes protocol_label) noexcept : st_(initialised_state()) { meta_ad(protocol_label, false); }

Strobe128::~Strobe128() {
  zeroize::wipe(st_.data(), sizeof st_);
  pos_ = pos_begin_ = cur_flags_ = 0;
}

void Strobe128::run_f() noexcept {
  uint8_t* b = bytes();
  b[pos_] ^= pos_begin_;
  b[pos_ + 1] ^= 0x04;
  b[kRate + 1] ^= 0x80;
  keccak::permute(st_);
  pos_ = 0;
  pos_begin_ = 0;
}

// The three byte operations work a run at a time, up to the end of the
// rate, where the permutation runs; the runs depend on lengths only.
void Strobe128::absorb(Bytes data) noexcept {
  while (!data.empty()) {
    const size_t n = std::min<size_t>(kRate - pos_, data.size());
    uint8_t* b = bytes() + pos_;
    for (size_t i = 0; i < n; ++i) b[i] ^= data[i];
    data = data.subspan(n);
    pos_ = static_cast<uint8_t>(pos_ + n);
    if (pos_ == kRate) run_f();
  }
}

void Strobe128::overwrite(Bytes data) noexcept {
  while (!data.empty()) {
    const size_t n = std::min<size_t>(kRate - pos_, data.size());
    std::memcpy(bytes() + pos_, data.data(), n);
    data = data.subspan(n);
    pos_ = static_cast<uint8_t>(pos_ + n);
    if (pos_ == kRate) run_f();
  }
}

void Strobe128::squeeze(std::span<uint8_t> out) noexcept {
  while (!out.empty()) {
    const size_t n = std::min<size_t>(kRate - pos_, out.size());
    std::memcpy(out.data(), bytes() + pos_, n);
    std::memset(bytes() + pos_, 0, n);
    out = out.subspan(n);
    pos_ = static_cast<uint8_t>(pos_ + n);
    if (pos_ == kRate) run_f();
  }
}

void Strobe128::begin_op(uint8_t flags, bool more) noexcept {
  if (more) return;  // continuation of the operation already begun
  const uint8_t old_begin = pos_begin_;
  pos_begin_ = static_cast<uint8_t>(pos_ + 1);
  cur_flags_ = flags;
  const uint8_t hdr[2] = {old_begin, flags};
  absorb(Bytes(hdr, 2));
  // Cipher and key operations start on a fresh block.
  if ((flags & (kFlagC | kFlagK)) != 0 && pos_ != 0) run_f();
}

void Strobe128::meta_ad(Bytes data, bool more) noexcept {
  begin_op(kFlagM | kFlagA, more);
  absorb(data);
}

void Strobe128::ad(Bytes data, bool more) noexcept {
  begin_op(kFlagA, more);
  absorb(data);
}

void Strobe128::prf(std::span<uint8_t> out, bool more) noexcept {
  begin_op(kFlagI | kFlagA | kFlagC, more);
  squeeze(out);
}

void Strobe128::key(Bytes data, bool more) noexcept {
  begin_op(kFlagA | kFlagC, more);
  overwrite(data);
}

}  // namespace merlin
