// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// 32-bit Mersenne Twister with a fixed way of forming numbers in (0, 1).
class RandomSource {
 public:
  static constexpr int kStateWords = 624;

  RandomSource() { Seed(5489); }

  void Seed(uint32_t seed);
  uint32_t NextWord();
  // 53 random bits from two words; never 0 and never 1.
  double NextOpenUnit();

  // Replaces the whole generator state; lets tests reach states a seed never gives.
  void LoadState(const uint32_t* words, uint32_t position);

 private:
  void Regenerate();
  bool StateIsValid() const;

  uint32_t mt[kStateWords];
  uint32_t mPosition;  // 1-based index of the word used last
};
