// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Chunks whose loudest sample exceeds this are divided by that sample's magnitude, so that it becomes
// exactly 1. The kernels find the peak while they filter; the engine divides.
constexpr double kPeakLimitThreshold = 0.9999;

// samples[i] = samples[i] / divisor, one sample at a time: the portable kernel's division.
inline void DivideSamples(double* samples, int count, double divisor) {
  for (int i = 0; i < count; ++i) samples[i] = samples[i] / divisor;
}
