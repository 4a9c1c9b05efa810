// The 24 rounds of Keccak-p[1600] written once over a vector type, for the
// vector units. Each unit instantiates it with its own Ops type from an
// unnamed namespace, so every instantiation has internal linkage and stays
// inside the unit compiled for its instruction set.
//
// Ops provides: type V; V load(int i) and void store(int i, V) for lane word
// i; static V xor2(V, V); static V xor3(V, V, V); static V chi(a, b, c)
// = a ^ (~b & c); template <int N> static V rol(V) for 0 < N < 64;
// static V bcast(uint64_t).
//
// Two schedules are given. permute() keeps all 25 words in registers through
// every round. permute_planes() runs each round from one array of words into
// another, one output plane (five words) at a time, so that only the column
// parities, the five theta offsets and one plane are live at once: with 32
// vector registers this avoids the spills of the first form and is the faster
// of the two for AVX-512; with BMI2 it is also the better scalar schedule.
// permute_planes() works on arrays of V, so its Ops needs no load or store.
#pragma once
#include <cstddef>
#include <cstdint>

namespace keccak::rounds {

template <class Ops>
inline void permute(const Ops& io, const uint64_t* rc) {
  using V = typename Ops::V;
  V a00 = io.load(0), a01 = io.load(1), a02 = io.load(2), a03 = io.load(3), a04 = io.load(4);
  V a05 = io.load(5), a06 = io.load(6), a07 = io.load(7), a08 = io.load(8), a09 = io.load(9);
  V a10 = io.load(10), a11 = io.load(11), a12 = io.load(12), a13 = io.load(13), a14 = io.load(14);
  V a15 = io.load(15), a16 = io.load(16), a17 = io.load(17), a18 = io.load(18), a19 = io.load(19);
  V a20 = io.load(20), a21 = io.load(21), a22 = io.load(22), a23 = io.load(23), a24 = io.load(24);
  for (int r = 0; r < 24; ++r) {
    // theta: column parities c, then lane ^= c[x-1] ^ rol(c[x+1], 1)
    const V c0 = Ops::xor3(Ops::xor3(a00, a05, a10), a15, a20);
    const V c1 = Ops::xor3(Ops::xor3(a01, a06, a11), a16, a21);
    const V c2 = Ops::xor3(Ops::xor3(a02, a07, a12), a17, a22);
    const V c3 = Ops::xor3(Ops::xor3(a03, a08, a13), a18, a23);
    const V c4 = Ops::xor3(Ops::xor3(a04, a09, a14), a19, a24);
    const V r0 = Ops::template rol<1>(c0), r1 = Ops::template rol<1>(c1);
    const V r2 = Ops::template rol<1>(c2), r3 = Ops::template rol<1>(c3);
    const V r4 = Ops::template rol<1>(c4);
    // rho and pi: the lane at (x, y) moves to (y, 2x + 3y), rotated
    const V b00 = Ops::xor3(a00, c4, r1);
    const V b10 = Ops::template rol<1>(Ops::xor3(a01, c0, r2));
    const V b20 = Ops::template rol<62>(Ops::xor3(a02, c1, r3));
    const V b05 = Ops::template rol<28>(Ops::xor3(a03, c2, r4));
    const V b15 = Ops::template rol<27>(Ops::xor3(a04, c3, r0));
    const V b16 = Ops::template rol<36>(Ops::xor3(a05, c4, r1));
    const V b01 = Ops::template rol<44>(Ops::xor3(a06, c0, r2));
    const V b11 = Ops::template rol<6>(Ops::xor3(a07, c1, r3));
    const V b21 = Ops::template rol<55>(Ops::xor3(a08, c2, r4));
    const V b06 = Ops::template rol<20>(Ops::xor3(a09, c3, r0));
    const V b07 = Ops::template rol<3>(Ops::xor3(a10, c4, r1));
    const V b17 = Ops::template rol<10>(Ops::xor3(a11, c0, r2));
    const V b02 = Ops::template rol<43>(Ops::xor3(a12, c1, r3));
    const V b12 = Ops::template rol<25>(Ops::xor3(a13, c2, r4));
    const V b22 = Ops::template rol<39>(Ops::xor3(a14, c3, r0));
    const V b23 = Ops::template rol<41>(Ops::xor3(a15, c4, r1));
    const V b08 = Ops::template rol<45>(Ops::xor3(a16, c0, r2));
    const V b18 = Ops::template rol<15>(Ops::xor3(a17, c1, r3));
    const V b03 = Ops::template rol<21>(Ops::xor3(a18, c2, r4));
    const V b13 = Ops::template rol<8>(Ops::xor3(a19, c3, r0));
    const V b14 = Ops::template rol<18>(Ops::xor3(a20, c4, r1));
    const V b24 = Ops::template rol<2>(Ops::xor3(a21, c0, r2));
    const V b09 = Ops::template rol<61>(Ops::xor3(a22, c1, r3));
    const V b19 = Ops::template rol<56>(Ops::xor3(a23, c2, r4));
    const V b04 = Ops::template rol<14>(Ops::xor3(a24, c3, r0));
    // chi, and iota on lane 0
    a00 = Ops::xor2(Ops::chi(b00, b01, b02), Ops::bcast(rc[r]));
    a01 = Ops::chi(b01, b02, b03);
    a02 = Ops::chi(b02, b03, b04);
    a03 = Ops::chi(b03, b04, b00);
    a04 = Ops::chi(b04, b00, b01);
    a05 = Ops::chi(b05, b06, b07);
    a06 = Ops::chi(b06, b07, b08);
    a07 = Ops::chi(b07, b08, b09);
    a08 = Ops::chi(b08, b09, b05);
    a09 = Ops::chi(b09, b05, b06);
    a10 = Ops::chi(b10, b11, b12);
    a11 = Ops::chi(b11, b12, b13);
    a12 = Ops::chi(b12, b13, b14);
    a13 = Ops::chi(b13, b14, b10);
    a14 = Ops::chi(b14, b10, b11);
    a15 = Ops::chi(b15, b16, b17);
    a16 = Ops::chi(b16, b17, b18);
    a17 = Ops::chi(b17, b18, b19);
    a18 = Ops::chi(b18, b19, b15);
    a19 = Ops::chi(b19, b15, b16);
    a20 = Ops::chi(b20, b21, b22);
    a21 = Ops::chi(b21, b22, b23);
    a22 = Ops::chi(b22, b23, b24);
    a23 = Ops::chi(b23, b24, b20);
    a24 = Ops::chi(b24, b20, b21);
  }
  io.store(0, a00);
  io.store(1, a01);
  io.store(2, a02);
  io.store(3, a03);
  io.store(4, a04);
  io.store(5, a05);
  io.store(6, a06);
  io.store(7, a07);
  io.store(8, a08);
  io.store(9, a09);
  io.store(10, a10);
  io.store(11, a11);
  io.store(12, a12);
  io.store(13, a13);
  io.store(14, a14);
  io.store(15, a15);
  io.store(16, a16);
  io.store(17, a17);
  io.store(18, a18);
  io.store(19, a19);
  io.store(20, a20);
  io.store(21, a21);
  io.store(22, a22);
  io.store(23, a23);
  io.store(24, a24);
}

// One round from `in` to `out` (25 words each, distinct arrays). Output plane
// y gathers the five input words that rho and pi move there: word (x, y) of
// the output comes from input word (x + 3y, x) in (column, row) terms,
// rotated by that word's offset.
template <class Ops>
inline void round_planes(const typename Ops::V* in, typename Ops::V* out, uint64_t rc) {
  using V = typename Ops::V;
  const V c0 = Ops::xor3(Ops::xor3(in[0], in[5], in[10]), in[15], in[20]);
  const V c1 = Ops::xor3(Ops::xor3(in[1], in[6], in[11]), in[16], in[21]);
  const V c2 = Ops::xor3(Ops::xor3(in[2], in[7], in[12]), in[17], in[22]);
  const V c3 = Ops::xor3(Ops::xor3(in[3], in[8], in[13]), in[18], in[23]);
  const V c4 = Ops::xor3(Ops::xor3(in[4], in[9], in[14]), in[19], in[24]);
  // theta offset of column x: c[x-1] ^ rol(c[x+1], 1)
  const V t0 = Ops::xor2(c4, Ops::template rol<1>(c1));
  const V t1 = Ops::xor2(c0, Ops::template rol<1>(c2));
  const V t2 = Ops::xor2(c1, Ops::template rol<1>(c3));
  const V t3 = Ops::xor2(c2, Ops::template rol<1>(c4));
  const V t4 = Ops::xor2(c3, Ops::template rol<1>(c0));
  {
    const V e0 = Ops::xor2(in[0], t0);
    const V e1 = Ops::template rol<44>(Ops::xor2(in[6], t1));
    const V e2 = Ops::template rol<43>(Ops::xor2(in[12], t2));
    const V e3 = Ops::template rol<21>(Ops::xor2(in[18], t3));
    const V e4 = Ops::template rol<14>(Ops::xor2(in[24], t4));
    out[0] = Ops::xor2(Ops::chi(e0, e1, e2), Ops::bcast(rc));  // iota on word 0
    out[1] = Ops::chi(e1, e2, e3);
    out[2] = Ops::chi(e2, e3, e4);
    out[3] = Ops::chi(e3, e4, e0);
    out[4] = Ops::chi(e4, e0, e1);
  }
  {
    const V e0 = Ops::template rol<28>(Ops::xor2(in[3], t3));
    const V e1 = Ops::template rol<20>(Ops::xor2(in[9], t4));
    const V e2 = Ops::template rol<3>(Ops::xor2(in[10], t0));
    const V e3 = Ops::template rol<45>(Ops::xor2(in[16], t1));
    const V e4 = Ops::template rol<61>(Ops::xor2(in[22], t2));
    out[5] = Ops::chi(e0, e1, e2);
    out[6] = Ops::chi(e1, e2, e3);
    out[7] = Ops::chi(e2, e3, e4);
    out[8] = Ops::chi(e3, e4, e0);
    out[9] = Ops::chi(e4, e0, e1);
  }
  {
    const V e0 = Ops::template rol<1>(Ops::xor2(in[1], t1));
    const V e1 = Ops::template rol<6>(Ops::xor2(in[7], t2));
    const V e2 = Ops::template rol<25>(Ops::xor2(in[13], t3));
    const V e3 = Ops::template rol<8>(Ops::xor2(in[19], t4));
    const V e4 = Ops::template rol<18>(Ops::xor2(in[20], t0));
    out[10] = Ops::chi(e0, e1, e2);
    out[11] = Ops::chi(e1, e2, e3);
    out[12] = Ops::chi(e2, e3, e4);
    out[13] = Ops::chi(e3, e4, e0);
    out[14] = Ops::chi(e4, e0, e1);
  }
  {
    const V e0 = Ops::template rol<27>(Ops::xor2(in[4], t4));
    const V e1 = Ops::template rol<36>(Ops::xor2(in[5], t0));
    const V e2 = Ops::template rol<10>(Ops::xor2(in[11], t1));
    const V e3 = Ops::template rol<15>(Ops::xor2(in[17], t2));
    const V e4 = Ops::template rol<56>(Ops::xor2(in[23], t3));
    out[15] = Ops::chi(e0, e1, e2);
    out[16] = Ops::chi(e1, e2, e3);
    out[17] = Ops::chi(e2, e3, e4);
    out[18] = Ops::chi(e3, e4, e0);
    out[19] = Ops::chi(e4, e0, e1);
  }
  {
    const V e0 = Ops::template rol<62>(Ops::xor2(in[2], t2));
    const V e1 = Ops::template rol<55>(Ops::xor2(in[8], t3));
    const V e2 = Ops::template rol<39>(Ops::xor2(in[14], t4));
    const V e3 = Ops::template rol<41>(Ops::xor2(in[15], t0));
    const V e4 = Ops::template rol<2>(Ops::xor2(in[21], t1));
    out[20] = Ops::chi(e0, e1, e2);
    out[21] = Ops::chi(e1, e2, e3);
    out[22] = Ops::chi(e2, e3, e4);
    out[23] = Ops::chi(e3, e4, e0);
    out[24] = Ops::chi(e4, e0, e1);
  }
}

// 24 rounds alternating between `words` and `scratch` (25 words of V each):
// even rounds go words -> scratch, odd rounds scratch -> words, so the result
// ends in `words`. The caller wipes the scratch if it must.
template <class Ops>
inline void permute_planes(typename Ops::V* words, typename Ops::V* scratch, const uint64_t* rc) {
  for (int r = 0; r < 24; r += 2) {
    round_planes<Ops>(words, scratch, rc[r]);
    round_planes<Ops>(scratch, words, rc[r + 1]);
  }
}

// Sets the 25 words to zero; the empty asm keeps the stores from being
// dropped as dead.
template <class Ops>
inline void clear_words(typename Ops::V* w) {
  for (int i = 0; i < 25; ++i) w[i] = Ops::zero();
  __asm__ __volatile__("" : : "r"(w) : "memory");
}

// The 24 rounds on words aligned for V, scratch wiped afterwards. Kept out of
// line so that the compiler schedules the round loop on its own, apart from
// the copying of the unaligned case.
template <class Ops>
__attribute__((noinline)) void permute_aligned(typename Ops::V* a, const uint64_t* rc) {
  using V = typename Ops::V;
  V scratch[25];
  permute_planes<Ops>(a, scratch, rc);
  clear_words<Ops>(scratch);
}
// Permutes interleaved states in place: word i of the sizeof(V) / 8 states is
// the V at a + i * (sizeof(V) / 8). Works on `a` itself when it is aligned
// for V, otherwise on an aligned copy that is wiped afterwards. Ops
// additionally provides static V loadu(const uint64_t*), storeu(uint64_t*, V)
// and zero().
template <class Ops>
inline void permute_interleaved(uint64_t* a, const uint64_t* rc) {
  using V = typename Ops::V;
  constexpr size_t kStep = sizeof(V) / sizeof(uint64_t);
  if (reinterpret_cast<uintptr_t>(a) % alignof(V) == 0) {
    permute_aligned<Ops>(reinterpret_cast<V*>(a), rc);
  } else {
    V w[25];
    for (int i = 0; i < 25; ++i) w[i] = Ops::loadu(a + i * kStep);
    permute_aligned<Ops>(w, rc);
    for (int i = 0; i < 25; ++i) Ops::storeu(a + i * kStep, w[i]);
    clear_words<Ops>(w);
  }
}
}  // namespace keccak::rounds
