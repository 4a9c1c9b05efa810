// Marks for the constant-time check (tests/ct). The check runs the library
// under valgrind's memcheck with every secret marked as uninitialised
// memory: memcheck then reports each branch and each memory index that
// depends on a secret. Where an algorithm legitimately reveals a value
// derived from secrets (a refused candidate, a sampler's redraw, a value it
// publishes anyway), the code says so with mark_public / public_value at
// that point, with a comment giving the reason.
//
// Outside a build configured with VT_BUILD_CT every mark compiles to nothing.
#pragma once

#include <cstddef>

#if defined(VT_CT_CHECK)
#include <valgrind/memcheck.h>
#endif

namespace subtle {

// The n bytes at p are secret from here on.
inline void mark_secret(const void* p, size_t n) noexcept {
#if defined(VT_CT_CHECK)
  (void)VALGRIND_MAKE_MEM_UNDEFINED(p, n);
#else
  (void)p;
  (void)n;
#endif
}

// The n bytes at p may be revealed from here on.
inline void mark_public(const void* p, size_t n) noexcept {
#if defined(VT_CT_CHECK)
  (void)VALGRIND_MAKE_MEM_DEFINED(p, n);
#else
  (void)p;
  (void)n;
#endif
}

// v itself may be revealed: the usual form for a verdict about to be
// branched on, as in `if (subtle::public_value(refused)) continue;`.
template <class T>
inline T public_value(T v) noexcept {
#if defined(VT_CT_CHECK)
  (void)VALGRIND_MAKE_MEM_DEFINED(&v, sizeof v);
#endif
  return v;
}

}  // namespace subtle
