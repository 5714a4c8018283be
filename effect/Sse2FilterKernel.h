// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "effect/FilterKernel.h"

// Both channels in the two lanes of a 128-bit vector, with the sections skewed in time: in one step section k
// works on frame i - k and the two band filters on frame i - 6, so the eight sections of a step do not wait
// for one another. Each section keeps its own arithmetic, so the bits equal those of section-after-section
// code.
class Sse2FilterKernel {
 public:
  static bool Supported();
  // Needs FilterKernel::HasFixedPreFilterShape(job).
  static double Run(const FilterJob& job);
  // FilterKernel::Run32; needs the same.
  static double Run32(const FilterJob& job);
};
