// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/Sse2FilterKernel.h"

#if defined(__SSE2__) || defined(_M_X64)

#include <emmintrin.h>

namespace {

constexpr int kPreStages = FilterJob::kLowStage;
// Band filters work on frame i - kBandSkew in step i.
constexpr int kBandSkew = kPreStages;

struct Section {
  __m128d b0, b1, b2, a1, a2;
};

inline Section Broadcast(const SectionCoefficients& c) {
  return {_mm_set1_pd(c.b0), _mm_set1_pd(c.b1), _mm_set1_pd(c.b2), _mm_set1_pd(c.a1), _mm_set1_pd(c.a2)};
}

inline __m128d RunSection(const Section& c, __m128d x, __m128d& s1, __m128d& s2) {
  const __m128d y = _mm_add_pd(_mm_mul_pd(c.b0, x), s1);
  s1 = _mm_sub_pd(_mm_add_pd(_mm_mul_pd(c.b1, x), s2), _mm_mul_pd(c.a1, y));
  s2 = _mm_sub_pd(_mm_mul_pd(c.b2, x), _mm_mul_pd(c.a2, y));
  return y;
}

// Sections of PreFilterForm have b0 = b2 = 1 and b1 = 2 or -2. Multiplying by 1 or 2 is exact, so x and x + x
// give the bits of 1 x and 2 x, and s2 - (x + x) those of (-2 x) + s2.
inline __m128d RunSectionPlusTwo(const Section& c, __m128d x, __m128d& s1, __m128d& s2) {
  const __m128d y = _mm_add_pd(x, s1);
  s1 = _mm_sub_pd(_mm_add_pd(_mm_add_pd(x, x), s2), _mm_mul_pd(c.a1, y));
  s2 = _mm_sub_pd(x, _mm_mul_pd(c.a2, y));
  return y;
}

inline __m128d RunSectionMinusTwo(const Section& c, __m128d x, __m128d& s1, __m128d& s2) {
  const __m128d y = _mm_add_pd(x, s1);
  s1 = _mm_sub_pd(_mm_sub_pd(s2, _mm_add_pd(x, x)), _mm_mul_pd(c.a1, y));
  s2 = _mm_sub_pd(x, _mm_mul_pd(c.a2, y));
  return y;
}

// Pre-filter section k in the arithmetic its place in PreFilterForm allows.
template <int k>
inline __m128d RunPreSection(const Section& c, __m128d x, __m128d& s1, __m128d& s2) {
  static_assert(PreFilterForm::IsFree(k) || PreFilterForm::kB1[k] == 2.0 || PreFilterForm::kB1[k] == -2.0,
                "the 128-bit kernel forms b1 x as x + x");
  if constexpr (PreFilterForm::IsFree(k)) {
    return RunSection(c, x, s1, s2);
  } else if constexpr (PreFilterForm::kB1[k] > 0.0) {
    return RunSectionPlusTwo(c, x, s1, s2);
  } else {
    return RunSectionMinusTwo(c, x, s1, s2);
  }
}

class Pipeline {
 public:
  Pipeline(const FilterJob& job, const Section* sections)
      : mJob(job),
        mSections(sections),
        mLowPlace(_mm_loadu_pd(job.lowGains)),
        mHighPlace(_mm_loadu_pd(job.highGains)),
        mHighGain(_mm_set1_pd(job.highGain)),
        mAbsMask(_mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL))),
        mPeak(_mm_setzero_pd()) {
    for (int k = 0; k < FilterJob::kStages; ++k) {
      mS1[k] = _mm_loadu_pd(job.s1[k]);
      mS2[k] = _mm_loadu_pd(job.s2[k]);
    }
    for (int k = 0; k < kPreStages; ++k) mPending[k] = _mm_setzero_pd();
  }

  // Step i at the chunk's edges: a section only runs while its frame lies inside the chunk. The input frame i
  // is read before the output frame i - 6 is written.
  void EdgeStep(int i) {
    const int n = mJob.frames;
    __m128d x = _mm_setzero_pd();
    if (i < n) x = _mm_loadh_pd(_mm_load_sd(mJob.inputs[0] + i), mJob.inputs[1] + i);
    // From the last section back, so each one takes its predecessor's output of the previous step.
    if (Active(kBandSkew, i)) {
      const __m128d pre = mPending[kPreStages - 1];
      const int lo = FilterJob::kLowStage, hi = FilterJob::kHighStage;
      const __m128d low = RunSection(mSections[lo], pre, mS1[lo], mS2[lo]);
      const __m128d high = _mm_mul_pd(RunSection(mSections[hi], pre, mS1[hi], mS2[hi]), mHighGain);
      const __m128d y = _mm_add_pd(_mm_mul_pd(mLowPlace, low), _mm_mul_pd(mHighPlace, high));
      mPeak = _mm_max_pd(_mm_and_pd(y, mAbsMask), mPeak);  // a NaN lane keeps the old peak
      const int frame = i - kBandSkew;
      _mm_store_sd(mJob.outputs[0] + frame, y);
      _mm_storeh_pd(mJob.outputs[1] + frame, y);
    }
    if (Active(5, i)) mPending[5] = RunPreSection<5>(mSections[5], mPending[4], mS1[5], mS2[5]);
    if (Active(4, i)) mPending[4] = RunPreSection<4>(mSections[4], mPending[3], mS1[4], mS2[4]);
    if (Active(3, i)) mPending[3] = RunPreSection<3>(mSections[3], mPending[2], mS1[3], mS2[3]);
    if (Active(2, i)) mPending[2] = RunPreSection<2>(mSections[2], mPending[1], mS1[2], mS2[2]);
    if (Active(1, i)) mPending[1] = RunPreSection<1>(mSections[1], mPending[0], mS1[1], mS2[1]);
    if (Active(0, i)) mPending[0] = RunPreSection<0>(mSections[0], x, mS1[0], mS2[0]);
  }

  // Steps from to to - 1, where every section runs, with every value in a local variable of its own so that
  // the compiler keeps as many as it can in registers.
  void Steady(int from, int to) {
    const Section* c = mSections;
    const double* inL = mJob.inputs[0];
    const double* inR = mJob.inputs[1];
    double* outL = mJob.outputs[0] - kBandSkew;
    double* outR = mJob.outputs[1] - kBandSkew;
    __m128d p0 = mPending[0], p1 = mPending[1], p2 = mPending[2], p3 = mPending[3], p4 = mPending[4],
            p5 = mPending[5];
    __m128d a1 = mS1[0], a2 = mS2[0], b1 = mS1[1], b2 = mS2[1], c1 = mS1[2], c2 = mS2[2], d1 = mS1[3],
            d2 = mS2[3], e1 = mS1[4], e2 = mS2[4], f1 = mS1[5], f2 = mS2[5], l1 = mS1[6], l2 = mS2[6],
            h1 = mS1[7], h2 = mS2[7];
    __m128d peak = mPeak;
    for (int i = from; i < to; ++i) {
      // The input frame i is read before the output frame i - 6 is written.
      const __m128d x = _mm_loadh_pd(_mm_load_sd(inL + i), inR + i);
      const __m128d low = RunSection(c[FilterJob::kLowStage], p5, l1, l2);
      const __m128d high = _mm_mul_pd(RunSection(c[FilterJob::kHighStage], p5, h1, h2), mHighGain);
      const __m128d y = _mm_add_pd(_mm_mul_pd(mLowPlace, low), _mm_mul_pd(mHighPlace, high));
      peak = _mm_max_pd(_mm_and_pd(y, mAbsMask), peak);
      _mm_store_sd(outL + i, y);
      _mm_storeh_pd(outR + i, y);
      p5 = RunPreSection<5>(c[5], p4, f1, f2);
      p4 = RunPreSection<4>(c[4], p3, e1, e2);
      p3 = RunPreSection<3>(c[3], p2, d1, d2);
      p2 = RunPreSection<2>(c[2], p1, c1, c2);
      p1 = RunPreSection<1>(c[1], p0, b1, b2);
      p0 = RunPreSection<0>(c[0], x, a1, a2);
    }
    mPending[0] = p0, mPending[1] = p1, mPending[2] = p2, mPending[3] = p3, mPending[4] = p4,
    mPending[5] = p5;
    mS1[0] = a1, mS2[0] = a2, mS1[1] = b1, mS2[1] = b2, mS1[2] = c1, mS2[2] = c2, mS1[3] = d1, mS2[3] = d2;
    mS1[4] = e1, mS2[4] = e2, mS1[5] = f1, mS2[5] = f2, mS1[6] = l1, mS2[6] = l2, mS1[7] = h1, mS2[7] = h2;
    mPeak = peak;
  }

  double Finish() {
    for (int k = 0; k < FilterJob::kStages; ++k) {
      _mm_storeu_pd(mJob.s1[k], mS1[k]);
      _mm_storeu_pd(mJob.s2[k], mS2[k]);
    }
    const __m128d peak = _mm_max_pd(mPeak, _mm_unpackhi_pd(mPeak, mPeak));
    return _mm_cvtsd_f64(peak);
  }

 private:
  bool Active(int stage, int i) const { return i >= stage && i - stage < mJob.frames; }

  const FilterJob& mJob;
  const Section* const mSections;
  __m128d mS1[FilterJob::kStages], mS2[FilterJob::kStages];
  __m128d mPending[kPreStages];  // each pre-filter section's output of the previous step
  const __m128d mLowPlace, mHighPlace, mHighGain, mAbsMask;
  __m128d mPeak;
};

}  // namespace

bool Sse2FilterKernel::Supported() { return true; }

double Sse2FilterKernel::Run(const FilterJob& job) {
  Section sections[FilterJob::kStages];
  for (int k = 0; k < FilterJob::kStages; ++k) sections[k] = Broadcast(*job.coefficients[k]);
  Pipeline pipeline(job, sections);
  const int n = job.frames;
  int i = 0;
  for (; i < kBandSkew && i < n; ++i) pipeline.EdgeStep(i);
  if (i < n) {
    pipeline.Steady(i, n);
    i = n;
  }
  for (; i < n + kBandSkew; ++i) pipeline.EdgeStep(i);
  return pipeline.Finish();
}

#else

bool Sse2FilterKernel::Supported() { return false; }

double Sse2FilterKernel::Run(const FilterJob&) { return 0.0; }

#endif
