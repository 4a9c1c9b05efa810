#include "dispatch.hpp"

#include <atomic>

#include "cpu/features.hpp"

namespace fndsa::detail {
namespace {
std::atomic<bool> g_force_portable{false};
}  // namespace

bool use_avx2() noexcept {
  static const bool has = cpu::features().avx2;
  return has && !g_force_portable.load(std::memory_order_relaxed);
}

void force_portable(bool on) noexcept { g_force_portable.store(on, std::memory_order_relaxed); }

const char* backend() noexcept { return use_avx2() ? "avx2" : "portable"; }

}  // namespace fndsa::detail
