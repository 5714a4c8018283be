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

// The form of the pre-filter that the vector kernels are written for: sections 2 to 6 have b0 = b2 = 1 and b1
// as below, so that their products with b0, b1 and b2 are exact and the kernels form them with additions
// instead. Section 1 may have any coefficients. The kernels take which additions they use from this table
// alone.
struct PreFilterForm {
  static constexpr int kSections = FilterJob::kLowStage;
  // b1 of each section; 0 marks the free first section.
  static constexpr double kB1[kSections] = {0.0, 2.0, -2.0, 2.0, -2.0, -2.0};

  static constexpr bool IsFree(int section) { return kB1[section] == 0.0; }
  // Whether the section's b0 and b2 are 1, so that a kernel may skip their multiplications.
  static constexpr bool HasUnitEnds(int section) { return !IsFree(section); }
  static constexpr bool Fits(int section, const SectionCoefficients& c) {
    return IsFree(section) || (c.b0 == 1.0 && c.b2 == 1.0 && c.b1 == kB1[section]);
  }
  static constexpr bool Fits(const SectionCoefficients (&sections)[kSections]) {
    for (int k = 0; k < kSections; ++k) {
      if (!Fits(k, sections[k])) return false;
    }
    return true;
  }
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
  // The kernel that Run uses for the job: the requested one when the processor runs it and the job's
  // pre-filter has PreFilterForm, else the fastest one that qualifies.
  static EKind KernelFor(EKind kind, const FilterJob& job);
  static double Run(EKind kind, const FilterJob& job);
  // samples[i] = samples[i] / divisor for every sample, with the kernel's vector width.
  static void Divide(EKind kind, double* samples, int count, double divisor);
  // Whether the job's pre-filter sections have PreFilterForm; the vector kernels need it.
  static bool HasFixedPreFilterShape(const FilterJob& job);

 private:
  static double RunPortable(const FilterJob& job);
};
