// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/FilterKernel.h"

#include <cmath>

#include "effect/Avx2FilterKernel.h"
#include "effect/PeakLimiter.h"
#include "effect/Sse2FilterKernel.h"

namespace {

inline double RunSection(const SectionCoefficients& c, double x, double* s1, double* s2) {
  const double y = c.b0 * x + *s1;
  *s1 = c.b1 * x + *s2 - c.a1 * y;
  *s2 = c.b2 * x - c.a2 * y;
  return y;
}

}  // namespace

bool FilterKernel::Supported(EKind kind) {
  switch (kind) {
    case EKind::kPortable:
      return true;
    case EKind::kSse2:
      return Sse2FilterKernel::Supported();
    case EKind::kAvx2:
      return Avx2FilterKernel::Supported();
  }
  return false;
}

FilterKernel::EKind FilterKernel::Fastest() {
  if (Avx2FilterKernel::Supported()) return EKind::kAvx2;
  if (Sse2FilterKernel::Supported()) return EKind::kSse2;
  return EKind::kPortable;
}

bool FilterKernel::HasFixedPreFilterShape(const FilterJob& job) {
  for (int k = 0; k < PreFilterForm::kSections; ++k) {
    if (!PreFilterForm::Fits(k, *job.coefficients[k])) return false;
  }
  return true;
}

FilterKernel::EKind FilterKernel::KernelFor(EKind kind, const FilterJob& job) {
  if (kind == EKind::kPortable || !HasFixedPreFilterShape(job)) return EKind::kPortable;
  if (kind == EKind::kAvx2 && Avx2FilterKernel::Supported()) return EKind::kAvx2;
  return Sse2FilterKernel::Supported() ? EKind::kSse2 : EKind::kPortable;
}

double FilterKernel::Run(EKind kind, const FilterJob& job) {
  switch (KernelFor(kind, job)) {
    case EKind::kAvx2:
      return Avx2FilterKernel::Run(job);
    case EKind::kSse2:
      return Sse2FilterKernel::Run(job);
    case EKind::kPortable:
      break;
  }
  return RunPortable(job);
}

void FilterKernel::Divide(EKind kind, double* samples, int count, double divisor) {
  if (kind == EKind::kAvx2 && Avx2FilterKernel::Supported())
    return Avx2FilterKernel::Divide(samples, count, divisor);
  DivideSamples(samples, count, divisor);
}

double FilterKernel::RunPortable(const FilterJob& job) {
  double peak = 0.0;
  for (int i = 0; i < job.frames; ++i) {
    const double x[2] = {job.inputs[0][i], job.inputs[1][i]};
    double y[2];
    for (int c = 0; c < 2; ++c) {
      double v = x[c];
      for (int k = 0; k < FilterJob::kLowStage; ++k)
        v = RunSection(*job.coefficients[k], v, job.s1[k] + c, job.s2[k] + c);
      const int lo = FilterJob::kLowStage, hi = FilterJob::kHighStage;
      const double low = RunSection(*job.coefficients[lo], v, job.s1[lo] + c, job.s2[lo] + c);
      const double high = RunSection(*job.coefficients[hi], v, job.s1[hi] + c, job.s2[hi] + c) * job.highGain;
      y[c] = job.lowGains[c] * low + job.highGains[c] * high;
      const double a = std::fabs(y[c]);
      if (a > peak) peak = a;
    }
    job.outputs[0][i] = y[0];
    job.outputs[1][i] = y[1];
  }
  return peak;
}
