#include <cstring>

#include "keccak/keccak.hpp"
#include "keccak_internal.hpp"
#include "keccak_lanes.hpp"

namespace keccak {
namespace {

constexpr uint64_t kRoundConstants[24] = {
    0x0000000000000001ULL, 0x0000000000008082ULL, 0x800000000000808aULL, 0x8000000080008000ULL, 0x000000000000808bULL,
    0x0000000080000001ULL, 0x8000000080008081ULL, 0x8000000000008009ULL, 0x000000000000008aULL, 0x0000000000000088ULL,
    0x0000000080008009ULL, 0x000000008000000aULL, 0x000000008000808bULL, 0x800000000000008bULL, 0x8000000000008089ULL,
    0x8000000000008003ULL, 0x8000000000008002ULL, 0x8000000000000080ULL, 0x000000000000800aULL, 0x800000008000000aULL,
    0x8000000080008081ULL, 0x8000000000008080ULL, 0x0000000080000001ULL, 0x8000000080008008ULL};

inline uint64_t rol(uint64_t x, unsigned n) { return n == 0 ? x : (x << n) | (x >> (64 - n)); }

}  // namespace

const uint64_t* round_constants() noexcept { return kRoundConstants; }

void permute_portable(State& st) noexcept {
  uint64_t* a = st.data();
  uint64_t a00 = a[0], a01 = a[1], a02 = a[2], a03 = a[3], a04 = a[4];
  uint64_t a05 = a[5], a06 = a[6], a07 = a[7], a08 = a[8], a09 = a[9];
  uint64_t a10 = a[10], a11 = a[11], a12 = a[12], a13 = a[13], a14 = a[14];
  uint64_t a15 = a[15], a16 = a[16], a17 = a[17], a18 = a[18], a19 = a[19];
  uint64_t a20 = a[20], a21 = a[21], a22 = a[22], a23 = a[23], a24 = a[24];
  for (int r = 0; r < 24; ++r) {
    // theta
    uint64_t c0 = a00 ^ a05 ^ a10 ^ a15 ^ a20;
    uint64_t c1 = a01 ^ a06 ^ a11 ^ a16 ^ a21;
    uint64_t c2 = a02 ^ a07 ^ a12 ^ a17 ^ a22;
    uint64_t c3 = a03 ^ a08 ^ a13 ^ a18 ^ a23;
    uint64_t c4 = a04 ^ a09 ^ a14 ^ a19 ^ a24;
    uint64_t d0 = c4 ^ rol(c1, 1);
    uint64_t d1 = c0 ^ rol(c2, 1);
    uint64_t d2 = c1 ^ rol(c3, 1);
    uint64_t d3 = c2 ^ rol(c4, 1);
    uint64_t d4 = c3 ^ rol(c0, 1);
    a00 ^= d0;
    a05 ^= d0;
    a10 ^= d0;
    a15 ^= d0;
    a20 ^= d0;
    a01 ^= d1;
    a06 ^= d1;
    a11 ^= d1;
    a16 ^= d1;
    a21 ^= d1;
    a02 ^= d2;
    a07 ^= d2;
    a12 ^= d2;
    a17 ^= d2;
    a22 ^= d2;
    a03 ^= d3;
    a08 ^= d3;
    a13 ^= d3;
    a18 ^= d3;
    a23 ^= d3;
    a04 ^= d4;
    a09 ^= d4;
    a14 ^= d4;
    a19 ^= d4;
    a24 ^= d4;
    // rho + pi: b[y][2x+3y] = rot(a[x][y])
    uint64_t b00 = a00;
    uint64_t b10 = rol(a01, 1);
    uint64_t b20 = rol(a02, 62);
    uint64_t b05 = rol(a03, 28);
    uint64_t b15 = rol(a04, 27);
    uint64_t b16 = rol(a05, 36);
    uint64_t b01 = rol(a06, 44);
    uint64_t b11 = rol(a07, 6);
    uint64_t b21 = rol(a08, 55);
    uint64_t b06 = rol(a09, 20);
    uint64_t b07 = rol(a10, 3);
    uint64_t b17 = rol(a11, 10);
    uint64_t b02 = rol(a12, 43);
    uint64_t b12 = rol(a13, 25);
    uint64_t b22 = rol(a14, 39);
    uint64_t b23 = rol(a15, 41);
    uint64_t b08 = rol(a16, 45);
    uint64_t b18 = rol(a17, 15);
    uint64_t b03 = rol(a18, 21);
    uint64_t b13 = rol(a19, 8);
    uint64_t b14 = rol(a20, 18);
    uint64_t b24 = rol(a21, 2);
    uint64_t b09 = rol(a22, 61);
    uint64_t b19 = rol(a23, 56);
    uint64_t b04 = rol(a24, 14);
    // chi
    a00 = b00 ^ (~b01 & b02);
    a01 = b01 ^ (~b02 & b03);
    a02 = b02 ^ (~b03 & b04);
    a03 = b03 ^ (~b04 & b00);
    a04 = b04 ^ (~b00 & b01);
    a05 = b05 ^ (~b06 & b07);
    a06 = b06 ^ (~b07 & b08);
    a07 = b07 ^ (~b08 & b09);
    a08 = b08 ^ (~b09 & b05);
    a09 = b09 ^ (~b05 & b06);
    a10 = b10 ^ (~b11 & b12);
    a11 = b11 ^ (~b12 & b13);
    a12 = b12 ^ (~b13 & b14);
    a13 = b13 ^ (~b14 & b10);
    a14 = b14 ^ (~b10 & b11);
    a15 = b15 ^ (~b16 & b17);
    a16 = b16 ^ (~b17 & b18);
    a17 = b17 ^ (~b18 & b19);
    a18 = b18 ^ (~b19 & b15);
    a19 = b19 ^ (~b15 & b16);
    a20 = b20 ^ (~b21 & b22);
    a21 = b21 ^ (~b22 & b23);
    a22 = b22 ^ (~b23 & b24);
    a23 = b23 ^ (~b24 & b20);
    a24 = b24 ^ (~b20 & b21);
    // iota
    a00 ^= kRoundConstants[r];
  }
  a[0] = a00;
  a[1] = a01;
  a[2] = a02;
  a[3] = a03;
  a[4] = a04;
  a[5] = a05;
  a[6] = a06;
  a[7] = a07;
  a[8] = a08;
  a[9] = a09;
  a[10] = a10;
  a[11] = a11;
  a[12] = a12;
  a[13] = a13;
  a[14] = a14;
  a[15] = a15;
  a[16] = a16;
  a[17] = a17;
  a[18] = a18;
  a[19] = a19;
  a[20] = a20;
  a[21] = a21;
  a[22] = a22;
  a[23] = a23;
  a[24] = a24;
}

}  // namespace keccak
