// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

// Chunks whose loudest sample exceeds this are scaled so that it becomes exactly 1.
constexpr double kPeakLimitThreshold = 0.9999;

// Largest absolute value; NaN samples are skipped (0 when there is none).
inline double FindPeak(const double* samples, int count) {
  double peak = 0.0;
  for (int i = 0; i < count; ++i) {
    const double a = std::fabs(samples[i]);
    if (a > peak) peak = a;
  }
  return peak;
}

inline void DivideSamples(double* samples, int count, double divisor) {
  for (int i = 0; i < count; ++i) samples[i] = samples[i] / divisor;
}

// Divides every sample by the peak when the peak is above the threshold.
inline void LimitPeak(double* samples, int count) {
  const double peak = FindPeak(samples, count);
  if (peak > kPeakLimitThreshold) DivideSamples(samples, count, peak);
}
