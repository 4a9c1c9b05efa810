#include "valtorimesca/encoding_path.hpp"

#include <cstring>
#include <limits>

#include "hash_engine/hash/ops.hpp"

namespace valtorimesca::encoding_path {

namespace {

// The total length of the encoding, after the tests both encoders share.
CoreResult<size_t> encoded_len(Bytes classical, const PathSelectedSignature& sig, PqSizes sizes) {
  if (classical.size() != kClassicalLen) return fail(CoreError::bad_length(kClassicalLen, classical.size()));
  if (sig.path == PathSelector::Stateless) {
    if (sig.pq.size() != sizes.stateless) return fail(CoreError::bad_length(sizes.stateless, sig.pq.size()));
    return kStatelessHeaderLen + sig.pq.size();
  }
  if (sig.leaf_count == 0) return fail(CoreError::leaf_count_out_of_range(0, std::numeric_limits<uint32_t>::max()));
  const size_t expected = sizes.stateful_fixed + 32 * size_t{sig.leaf_count};
  if (sig.pq.size() != expected) return fail(CoreError::bad_length(expected, sig.pq.size()));
  return kStatefulHeaderLen + sig.pq.size();
}

void write_into(uint8_t* out, Bytes classical, const PathSelectedSignature& sig) {
  std::memcpy(out, classical.data(), kClassicalLen);
  out[kClassicalLen] = static_cast<uint8_t>(sig.path);
  if (sig.path == PathSelector::Stateful) hash::put_be32(out + kStatelessHeaderLen, sig.leaf_count);
  uint8_t* at = out + pq_offset(sig.path);
  if (!sig.pq.empty() && sig.pq.data() != at) std::memcpy(at, sig.pq.data(), sig.pq.size());
}

}  // namespace

CoreResult<size_t> write_path_selected(MutBytes out, Bytes classical, const PathSelectedSignature& sig, PqSizes sizes) {
  auto total = encoded_len(classical, sig, sizes);
  if (!total) return total;
  if (out.size() < *total) return fail(CoreError::output_buffer_too_small(*total, out.size()));
  write_into(out.data(), classical, sig);
  return *total;
}

CoreResult<size_t> frame_in_place(MutBytes buf, Bytes classical, const PathSelectedSignature& sig, PqSizes sizes) {
  const size_t at = pq_offset(sig.path);
  if (buf.size() < at || sig.pq.data() != buf.data() + at) return fail(CoreError::component_failure());
  return write_path_selected(buf, classical, sig, sizes);
}

CoreResult<std::vector<uint8_t>> encode_path_selected(Bytes classical, const PathSelectedSignature& sig,
                                                      PqSizes sizes) {
  auto total = encoded_len(classical, sig, sizes);
  if (!total) return fail(total.error());
  std::vector<uint8_t> out(*total);
  write_into(out.data(), classical, sig);
  return out;
}

CoreResult<Decoded> decode_path_selected(Bytes sig, uint32_t max, PqSizes sizes) {
  if (sig.size() < kStatelessHeaderLen) return fail(CoreError::bad_length(kStatelessHeaderLen, sig.size()));
  const Bytes classical = sig.first(kClassicalLen);
  const uint8_t selector = sig[kClassicalLen];
  if (selector == static_cast<uint8_t>(PathSelector::Stateful)) {
    if (sig.size() < kStatefulHeaderLen) return fail(CoreError::bad_length(4, sig.size() - kStatelessHeaderLen));
    const uint32_t q = hash::get_be32(sig.data() + kStatelessHeaderLen);
    if (q == 0 || q > max) return fail(CoreError::leaf_count_out_of_range(q, max));
    const size_t expected = sizes.stateful_fixed + 32 * size_t{q};
    const size_t rest = sig.size() - kStatefulHeaderLen;
    if (rest < expected) return fail(CoreError::bad_length(expected, rest));
    if (rest > expected) return fail(CoreError::trailing_bytes(expected + kStatefulHeaderLen, sig.size()));
    return Decoded{classical, PathSelectedSignature::stateful(q, sig.subspan(kStatefulHeaderLen))};
  }
  if (selector == static_cast<uint8_t>(PathSelector::Stateless)) {
    const size_t rest = sig.size() - kStatelessHeaderLen;
    if (rest < sizes.stateless) return fail(CoreError::bad_length(sizes.stateless, rest));
    if (rest > sizes.stateless)
      return fail(CoreError::trailing_bytes(sizes.stateless + kStatelessHeaderLen, sig.size()));
    return Decoded{classical, PathSelectedSignature::stateless(sig.subspan(kStatelessHeaderLen))};
  }
  return fail(CoreError::bad_path_selector(selector));
}

}  // namespace valtorimesca::encoding_path
