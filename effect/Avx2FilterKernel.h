// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "effect/FilterKernel.h"

// The sections skewed in time as in the 128-bit kernel, two sections side by side in each 256-bit vector
// (sections 1 and 4, 2 and 5, 3 and 6, low-pass and high-pass), both channels in each half. Chosen at run
// time: only the functions of this kernel use AVX2 instructions, so the library runs on any x86-64 processor.
class Avx2FilterKernel {
 public:
  static bool Supported();
  // Needs FilterKernel::HasFixedPreFilterShape(job).
  static double Run(const FilterJob& job);
  // FilterKernel::Run32; needs the same.
  static double Run32(const FilterJob& job);
  // samples[i] = samples[i] / divisor, four at a time.
  static void Divide(double* samples, int count, double divisor);
  // FilterKernel::DivideAndNarrow, four at a time.
  static void DivideAndNarrow(double* samples, float* narrowed, int count, double divisor);
};
