// Run-time choice of the permutation code. The vector cores are only compiled
// on x86-64 and only called once the processor probe says their instructions
// may be used.
#include <atomic>
#include <cstring>

#include "cpu/features.hpp"
#include "keccak/keccak.hpp"
#include "keccak/testing.hpp"
#include "keccak_internal.hpp"
#include "keccak_lanes.hpp"
#include "zeroize/zeroize.hpp"

namespace keccak {
namespace {

Backend detect() {
#if defined(VT_KECCAK_X86)
  const cpu::Features& f = cpu::features();
  if (!f.avx2) return Backend::kPortable;
  if (!f.avx512f) return Backend::kAvx2;
  if (!f.avx512vl) return Backend::kAvx512f;
  return Backend::kAvx512vl;
#else
  return Backend::kPortable;
#endif
}

bool detect_bmi2() {
#if defined(VT_KECCAK_X86)
  return cpu::features().bmi2;
#else
  return false;
#endif
}

Backend detected() {
  static const Backend b = detect();
  return b;
}

bool has_bmi2() {
  static const bool b = detect_bmi2();
  return b;
}

constexpr Backend kTop = Backend::kAvx512vl;
std::atomic<uint8_t> g_cap{static_cast<uint8_t>(kTop)};

// The one-lane BMI2 core runs at the levels between portable and kAvx512vl.
bool use_bmi2() {
  return has_bmi2() && g_cap.load(std::memory_order_relaxed) != static_cast<uint8_t>(Backend::kPortable);
}

Backend active() {
  const uint8_t cap = g_cap.load(std::memory_order_relaxed);
  const uint8_t best = static_cast<uint8_t>(detected());
  return static_cast<Backend>(cap < best ? cap : best);
}

template <size_t N>
void deinterleave(const uint64_t* lanes, State* s) {
  for (size_t i = 0; i < 25; ++i)
    for (size_t k = 0; k < N; ++k) s[k][i] = lanes[i * N + k];
}

template <size_t N>
void interleave(const State* s, uint64_t* lanes) {
  for (size_t i = 0; i < 25; ++i)
    for (size_t k = 0; k < N; ++k) lanes[i * N + k] = s[k][i];
}

template <size_t N>
void permute_lanes_portable(uint64_t* lanes) {
  State tmp[N];
  deinterleave<N>(lanes, tmp);
  for (size_t k = 0; k < N; ++k) permute_portable(tmp[k]);
  interleave<N>(tmp, lanes);
  zeroize::wipe(tmp, sizeof(tmp));
}

template <size_t N>
void permute_states_vector(State* s, void (*core)(uint64_t*) noexcept) {
  alignas(64) uint64_t lanes[25 * N];
  interleave<N>(s, lanes);
  core(lanes);
  deinterleave<N>(lanes, s);
  zeroize::wipe(lanes, sizeof(lanes));
}

}  // namespace

void permute_x4_portable(State* s) noexcept {
  for (int k = 0; k < 4; ++k) permute_portable(s[k]);
}

void permute_x8_portable(State* s) noexcept {
  for (int k = 0; k < 8; ++k) permute_portable(s[k]);
}

#if defined(VT_KECCAK_X86)
void permute_x4_avx2(State* s) noexcept { permute_states_vector<4>(s, permute_lanes4_avx2); }
void permute_x8_avx512(State* s) noexcept { permute_states_vector<8>(s, permute_lanes8_avx512); }
#endif

Backend best_backend() noexcept { return detected(); }

void cap_backend(Backend max) noexcept { g_cap.store(static_cast<uint8_t>(max), std::memory_order_relaxed); }

void uncap_backend() noexcept { cap_backend(kTop); }

void force_portable(bool on) noexcept {
  if (on)
    cap_backend(Backend::kPortable);
  else
    uncap_backend();
}

Backend active_backend() noexcept { return active(); }

void permute(State& s) noexcept {
#if defined(VT_KECCAK_X86)
  if (active() == Backend::kAvx512vl) return permute1_avx512vl(s.data());
  if (use_bmi2()) return permute1_bmi2(s.data());
#endif
  permute_portable(s);
}

void testing::permute_x4(State* s) noexcept {
#if defined(VT_KECCAK_X86)
  switch (active()) {
    case Backend::kAvx512vl: return permute_states_vector<4>(s, permute_lanes4_avx512vl);
    case Backend::kAvx512f:
    case Backend::kAvx2: return permute_x4_avx2(s);
    case Backend::kPortable: break;
  }
#endif
  permute_x4_portable(s);
}

void testing::permute_x8(State* s) noexcept {
#if defined(VT_KECCAK_X86)
  switch (active()) {
    case Backend::kAvx512vl:
    case Backend::kAvx512f: return permute_x8_avx512(s);
    case Backend::kAvx2: return permute_states_vector<8>(s, permute_lanes8_avx2);
    case Backend::kPortable: break;
  }
#endif
  permute_x8_portable(s);
}

void permute_x4_interleaved(uint64_t* lanes) noexcept {
#if defined(VT_KECCAK_X86)
  switch (active()) {
    case Backend::kAvx512vl: return permute_lanes4_avx512vl(lanes);
    case Backend::kAvx512f:
    case Backend::kAvx2: return permute_lanes4_avx2(lanes);
    case Backend::kPortable: break;
  }
#endif
  permute_lanes_portable<4>(lanes);
}

void permute_x8_interleaved(uint64_t* lanes) noexcept {
#if defined(VT_KECCAK_X86)
  switch (active()) {
    case Backend::kAvx512vl:
    case Backend::kAvx512f: return permute_lanes8_avx512(lanes);
    case Backend::kAvx2: return permute_lanes8_avx2(lanes);
    case Backend::kPortable: break;
  }
#endif
  permute_lanes_portable<8>(lanes);
}

PermutationCalls permute_lanes(size_t width, uint64_t* lanes) noexcept {
  if (width == 8) {
    permute_x8_interleaved(lanes);
    return {.x8 = 1};
  }
  if (width == 4) {
    permute_x4_interleaved(lanes);
    return {.x4 = 1};
  }
  permute(*reinterpret_cast<State*>(lanes));
  return {.x1 = 1};
}

const char* x1_backend() noexcept {
  if (active() == Backend::kAvx512vl) return "avx512vl";
  return use_bmi2() ? "bmi2" : "portable";
}

const char* x4_backend() noexcept {
  switch (active()) {
    case Backend::kAvx512vl: return "avx512vl";
    case Backend::kAvx512f:
    case Backend::kAvx2: return "avx2";
    case Backend::kPortable: break;
  }
  return "portable";
}

const char* x8_backend() noexcept {
  switch (active()) {
    case Backend::kAvx512vl:
    case Backend::kAvx512f: return "avx512f";
    case Backend::kAvx2: return "avx2";
    case Backend::kPortable: break;
  }
  return "portable";
}

}  // namespace keccak
