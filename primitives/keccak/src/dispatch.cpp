#include <atomic>

#include "keccak/keccak.hpp"
#include "keccak_internal.hpp"

namespace keccak {
namespace {

std::atomic<bool> g_force_portable{false};

}  // namespace

void permute_x4_portable(State* s) noexcept {
  for (int k = 0; k < 4; ++k) permute(s[k]);
}

void permute_x8_portable(State* s) noexcept {
  for (int k = 0; k < 8; ++k) permute(s[k]);
}

void force_portable(bool on) noexcept { g_force_portable.store(on, std::memory_order_relaxed); }

void permute_x4(State* s) noexcept { permute_x4_portable(s); }
void permute_x8(State* s) noexcept { permute_x8_portable(s); }

const char* x4_backend() noexcept { return "portable"; }
const char* x8_backend() noexcept { return "portable"; }

}  // namespace keccak
