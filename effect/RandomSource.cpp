// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/RandomSource.h"

void RandomSource::Seed(uint32_t seed) {
  mt[0] = seed;
  for (uint32_t i = 1; i < kStateWords; ++i) {
    mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + i;
  }
  mPosition = kStateWords;
}

void RandomSource::Regenerate() {
  for (int k = 0; k < kStateWords; ++k) {
    const uint32_t y = (mt[k] & 0x80000000u) | (mt[(k + 1) % kStateWords] & 0x7FFFFFFFu);
    uint32_t next = mt[(k + 397) % kStateWords] ^ (y >> 1);
    if (y & 1u) next ^= 0x9908B0DFu;
    mt[k] = next;
  }
}

uint32_t RandomSource::NextWord() {
  uint32_t p = mPosition + 1;
  // p == 0 only after a loaded position of 2^32 - 1; treat it like an exhausted state.
  if (p >= kStateWords + 1 || p == 0) {
    Regenerate();
    p = 1;
  }
  uint32_t y = mt[p - 1];
  mPosition = p;
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

bool RandomSource::StateIsValid() const {
  if (mPosition < 1 || mPosition > kStateWords) return false;
  for (uint32_t word : mt) {
    if (word != 0) return true;
  }
  return false;
}

double RandomSource::NextOpenUnit() {
  for (;;) {
    const uint32_t a = NextWord();
    const uint32_t b = NextWord();
    // 2^26 and 2^-53: a contributes the top 27 bits, b the low 26.
    const double r =
        (static_cast<double>(a >> 5) * 67108864.0 + static_cast<double>(b >> 6)) * 1.1102230246251565e-16;
    if (r != 0.0) return r;
    if (!StateIsValid()) Seed(5489);
  }
}

void RandomSource::LoadState(const uint32_t* words, uint32_t position) {
  for (int i = 0; i < kStateWords; ++i) mt[i] = words[i];
  mPosition = position;
}
