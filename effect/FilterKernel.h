// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One second-order section's coefficients; a0 is 1.
struct SectionCoefficients {
  double b0, b1, b2, a1, a2;
};

// One chunk for a filter kernel: the eight sections in processing order (six pre-filter sections, then the
// low-pass and the high-pass, which both take the sixth section's output), their states, and the gains.
struct FilterJob {
  static constexpr int kStages = 8;
  static constexpr int kLowStage = 6;
  static constexpr int kHighStage = 7;

  const double* inputs[2];
  double* outputs[2];
  int frames;  // at least 1
  const SectionCoefficients* coefficients[kStages];
  double* s1[kStages];  // each points at the left and the right state value
  double* s2[kStages];
  double lowGains[2];  // left and right placement gains of the low band
  double highGains[2];
  double highGain;  // applied to the high band before its placement
};

// Runs one chunk through the sections, applies the high-band gain and the placement, adds the bands and
// writes the sums, not yet limited, to the outputs. Returns the largest absolute output sample (NaN samples
// skipped, 0 when there is none). Every kernel gives the same bits.
//
// An output may be the same memory as its own channel's input, or begin at or before an input it overlaps:
// output frame i is written only after input frame i has been read for both channels.
class FilterKernel {
 public:
  enum class EKind { kPortable, kSse2, kAvx2 };

  static bool Supported(EKind kind);
  // The fastest kernel this processor runs.
  static EKind Fastest();
  static double Run(EKind kind, const FilterJob& job);
  // samples[i] = samples[i] / divisor for every sample, with the kernel's vector width.
  static void Divide(EKind kind, double* samples, int count, double divisor);
  // Whether pre-filter sections 2 to 6 have b0 = b2 = 1 and b1 = 2, -2, 2, -2, -2, as the fixed pre-filter
  // does; the vector kernels need it and the portable one stands in otherwise.
  static bool HasFixedPreFilterShape(const FilterJob& job);

 private:
  static double RunPortable(const FilterJob& job);
};
