// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/Avx2FilterKernel.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

#include <immintrin.h>

#include "dsp/ProcessorFeatures.h"

// Fused multiply-add stays off: only the instructions of AVX2 proper are enabled for these functions.
#define QUILLMERE_AVX2 __attribute__((target("avx2")))
#define QUILLMERE_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace {

constexpr int kBandSkew = FilterJob::kLowStage;

// Two sections side by side: the first in the low half, the second in the high half, left and right in each.
struct SectionPair {
  __m256d b0, b1, b2, a1, a2;
};

QUILLMERE_AVX2_INLINE __m256d Lanes(double first, double second) {
  return _mm256_set_pd(second, second, first, first);
}

QUILLMERE_AVX2_INLINE SectionPair Pair(const SectionCoefficients& f, const SectionCoefficients& s) {
  return {Lanes(f.b0, s.b0), Lanes(f.b1, s.b1), Lanes(f.b2, s.b2), Lanes(f.a1, s.a1), Lanes(f.a2, s.a2)};
}

QUILLMERE_AVX2_INLINE __m256d LoadPair(const double* first, const double* second) {
  return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(first)), _mm_loadu_pd(second), 1);
}

QUILLMERE_AVX2_INLINE void StorePair(__m256d v, double* first, double* second) {
  _mm_storeu_pd(first, _mm256_castpd256_pd128(v));
  _mm_storeu_pd(second, _mm256_extractf128_pd(v, 1));
}

QUILLMERE_AVX2_INLINE __m256d RunSections(const SectionPair& c, __m256d x, __m256d& s1, __m256d& s2) {
  const __m256d y = _mm256_add_pd(_mm256_mul_pd(c.b0, x), s1);
  s1 = _mm256_sub_pd(_mm256_add_pd(_mm256_mul_pd(c.b1, x), s2), _mm256_mul_pd(c.a1, y));
  s2 = _mm256_sub_pd(_mm256_mul_pd(c.b2, x), _mm256_mul_pd(c.a2, y));
  return y;
}

// Sections with b0 = b2 = 1 (PreFilterForm::HasUnitEnds): multiplying by 1 is exact, so x gives the bits of 1
// x.
QUILLMERE_AVX2_INLINE __m256d RunUnitSections(const SectionPair& c, __m256d x, __m256d& s1, __m256d& s2) {
  const __m256d y = _mm256_add_pd(x, s1);
  s1 = _mm256_sub_pd(_mm256_add_pd(_mm256_mul_pd(c.b1, x), s2), _mm256_mul_pd(c.a1, y));
  s2 = _mm256_sub_pd(x, _mm256_mul_pd(c.a2, y));
  return y;
}

QUILLMERE_AVX2_INLINE __m256d ActiveLanes(bool first, bool second) {
  const long long f = first ? -1 : 0, s = second ? -1 : 0;
  return _mm256_castsi256_pd(_mm256_set_epi64x(s, s, f, f));
}

template <bool kNarrow>
struct Pipeline {
  const FilterJob& job;
  // The job's buffers and length held here: the vector stores may alias anything, so the job's own fields
  // would be read again after every one of them.
  const double* inputs[2];
  double* outputs[2];
  const float* narrowInputs[2];
  double* inputCopies[2];
  float* narrowOutputs[2];
  int frames;
  SectionPair c03, c14, c25, band;
  __m256d s1_03, s2_03, s1_14, s2_14, s1_25, s2_25, s1Band, s2Band;
  __m256d y03, y14, y25;  // the pre-filter sections' outputs of the previous step
  __m256d bandGain, place;
  __m128d absMask, peak;
  __m256d wideAbsMask, widePeak;  // the peak of the outputs that NarrowFour finds, four frames at a time

  QUILLMERE_AVX2_INLINE explicit Pipeline(const FilterJob& j)
      : job(j),
        inputs{j.inputs[0], j.inputs[1]},
        outputs{j.outputs[0], j.outputs[1]},
        narrowInputs{j.narrowInputs[0], j.narrowInputs[1]},
        inputCopies{j.inputCopies[0], j.inputCopies[1]},
        narrowOutputs{j.narrowOutputs[0], j.narrowOutputs[1]},
        frames(j.frames) {
    const SectionCoefficients* const* c = j.coefficients;
    c03 = Pair(*c[0], *c[3]);
    c14 = Pair(*c[1], *c[4]);
    c25 = Pair(*c[2], *c[5]);
    band = Pair(*c[FilterJob::kLowStage], *c[FilterJob::kHighStage]);
    s1_03 = LoadPair(j.s1[0], j.s1[3]);
    s2_03 = LoadPair(j.s2[0], j.s2[3]);
    s1_14 = LoadPair(j.s1[1], j.s1[4]);
    s2_14 = LoadPair(j.s2[1], j.s2[4]);
    s1_25 = LoadPair(j.s1[2], j.s1[5]);
    s2_25 = LoadPair(j.s2[2], j.s2[5]);
    s1Band = LoadPair(j.s1[FilterJob::kLowStage], j.s1[FilterJob::kHighStage]);
    s2Band = LoadPair(j.s2[FilterJob::kLowStage], j.s2[FilterJob::kHighStage]);
    y03 = y14 = y25 = _mm256_setzero_pd();
    // The low band times 1 is the low band itself.
    bandGain = Lanes(1.0, j.highGain);
    place = _mm256_set_pd(j.highGains[1], j.highGains[0], j.lowGains[1], j.lowGains[0]);
    absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL));
    peak = _mm_setzero_pd();
    wideAbsMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL));
    widePeak = _mm256_setzero_pd();
  }

  QUILLMERE_AVX2_INLINE bool Active(int stage, int i) const { return i >= stage && i - stage < frames; }

  // Whether both sections of a pair have b0 = b2 = 1 in PreFilterForm.
  static constexpr bool UnitPair(int a, int b) {
    return PreFilterForm::HasUnitEnds(a) && PreFilterForm::HasUnitEnds(b);
  }

  // Lanes of a section pair whose sections lie in first ... last, as a blend mask.
  static constexpr int PairMask(int first, int last, int a, int b) {
    return (first <= a && a <= last ? 0x3 : 0) | (first <= b && b <= last ? 0xC : 0);
  }

  // Step i with sections kFirst to kLast running (the band filters count as section 6): all of them inside
  // the chunk, the first ones at its start, the last ones at its end; the others keep their state. The input
  // frame i is read before the output frame i - 6 is written.
  // kConvertIn, kConvertOut: a 32-bit job's step converts its own input or output frame; otherwise it reads
  // the input copies or writes the 64-bit outputs alone, and WidenFour or NarrowFour converts them.
  template <int kFirst, int kLast, bool kConvertIn = kNarrow, bool kConvertOut = kConvertIn>
  QUILLMERE_AVX2_INLINE void Step(int i) {
    __m128d x = _mm_setzero_pd();
    if constexpr (kFirst == 0) x = Input<kConvertIn>(i);
    const __m256d x03 = _mm256_insertf128_pd(_mm256_castpd128_pd256(x), _mm256_castpd256_pd128(y25), 1);
    if constexpr (kLast == kBandSkew) Output<kConvertOut, kConvertOut || !kNarrow>(i);
    y25 = Advance<PairMask(kFirst, kLast, 2, 5), UnitPair(2, 5)>(c25, y14, s1_25, s2_25, y25);
    y14 = Advance<PairMask(kFirst, kLast, 1, 4), UnitPair(1, 4)>(c14, y03, s1_14, s2_14, y14);
    y03 = Advance<PairMask(kFirst, kLast, 0, 3), UnitPair(0, 3)>(c03, x03, s1_03, s2_03, y03);
  }

  // Step i of a chunk shorter than the skew, where which sections run is known only at run time.
  QUILLMERE_AVX2_INLINE void ShortChunkStep(int i) {
    __m128d x = _mm_setzero_pd();
    if (i < frames) x = Input<kNarrow>(i);
    const __m256d x03 = _mm256_insertf128_pd(_mm256_castpd128_pd256(x), _mm256_castpd256_pd128(y25), 1);
    if (Active(kBandSkew, i)) Output<kNarrow>(i);
    y25 = Advance(c25, y14, s1_25, s2_25, ActiveLanes(Active(2, i), Active(5, i)), UnitPair(2, 5));
    y14 = Advance(c14, y03, s1_14, s2_14, ActiveLanes(Active(1, i), Active(4, i)), UnitPair(1, 4));
    y03 = Advance(c03, x03, s1_03, s2_03, ActiveLanes(Active(0, i), Active(3, i)), UnitPair(0, 3));
  }

  // Input frame i of both channels: the 64-bit samples, or for a 32-bit job the 32-bit ones widened, with the
  // widened values stored to the job's input copies.
  template <bool kConvert>
  QUILLMERE_AVX2_INLINE __m128d Input(int i) const {
    if constexpr (kConvert) {
      const __m128d x = _mm_cvtps_pd(
          _mm_unpacklo_ps(_mm_load_ss(narrowInputs[0] + i), _mm_load_ss(narrowInputs[1] + i)));
      _mm_store_sd(inputCopies[0] + i, x);
      _mm_storeh_pd(inputCopies[1] + i, x);
      return x;
    } else {
      return _mm_loadh_pd(_mm_load_sd(inputs[0] + i), inputs[1] + i);
    }
  }

  // The band filters on the sixth section's output of the previous step, giving output frame i - 6.
  // kPeak false: the output frame's peak is left to NarrowFour.
  template <bool kConvert, bool kPeak = true>
  QUILLMERE_AVX2_INLINE void Output(int i) {
    const __m256d xBand = _mm256_permute2f128_pd(y25, y25, 0x11);
    const __m256d bands =
        _mm256_mul_pd(_mm256_mul_pd(RunSections(band, xBand, s1Band, s2Band), bandGain), place);
    const __m128d y = _mm_add_pd(_mm256_castpd256_pd128(bands), _mm256_extractf128_pd(bands, 1));
    if constexpr (kPeak) peak = _mm_max_pd(_mm_and_pd(y, absMask), peak);  // a NaN lane keeps the old peak
    const int frame = i - kBandSkew;
    _mm_store_sd(outputs[0] + frame, y);
    _mm_storeh_pd(outputs[1] + frame, y);
    if constexpr (kConvert) {
      const __m128 narrowed = _mm_cvtpd_ps(y);
      _mm_store_ss(narrowOutputs[0] + frame, narrowed);
      _mm_store_ss(narrowOutputs[1] + frame, _mm_movehdup_ps(narrowed));
    }
  }

  // Widens input frames i to i + 3 of a 32-bit job into its input copies.
  QUILLMERE_AVX2_INLINE void WidenFour(int i, int c) const {
    _mm256_storeu_pd(inputCopies[c] + i, _mm256_cvtps_pd(_mm_loadu_ps(narrowInputs[c] + i)));
  }

  // Narrows output frames i to i + 3 of a 32-bit job, the left channel first, and takes them into the peak:
  // the steps that wrote them left that out. The largest magnitude is the same whichever way it is gathered,
  // and taking a frame in twice changes nothing.
  QUILLMERE_AVX2_INLINE void NarrowFour(int i, int c) {
    const __m256d y = _mm256_loadu_pd(outputs[c] + i);
    _mm_storeu_ps(narrowOutputs[c] + i, _mm256_cvtpd_ps(y));
    widePeak = _mm256_max_pd(_mm256_and_pd(y, wideAbsMask), widePeak);  // a NaN lane keeps the old peak
  }

  template <int kMask, bool kUnit>
  QUILLMERE_AVX2_INLINE static __m256d Advance(const SectionPair& c, __m256d x, __m256d& s1, __m256d& s2,
                                               __m256d previous) {
    if constexpr (kMask == 0) {
      return previous;
    } else if constexpr (kMask == 0xF) {
      return kUnit ? RunUnitSections(c, x, s1, s2) : RunSections(c, x, s1, s2);
    } else {
      __m256d n1 = s1, n2 = s2;
      const __m256d y = kUnit ? RunUnitSections(c, x, n1, n2) : RunSections(c, x, n1, n2);
      s1 = _mm256_blend_pd(s1, n1, kMask);
      s2 = _mm256_blend_pd(s2, n2, kMask);
      return y;
    }
  }

  QUILLMERE_AVX2_INLINE static __m256d Advance(const SectionPair& c, __m256d x, __m256d& s1, __m256d& s2,
                                               __m256d active, bool unit) {
    __m256d n1 = s1, n2 = s2;
    const __m256d y = unit ? RunUnitSections(c, x, n1, n2) : RunSections(c, x, n1, n2);
    s1 = _mm256_blendv_pd(s1, n1, active);
    s2 = _mm256_blendv_pd(s2, n2, active);
    return y;
  }

  QUILLMERE_AVX2_INLINE double Finish() {
    StorePair(s1_03, job.s1[0], job.s1[3]);
    StorePair(s2_03, job.s2[0], job.s2[3]);
    StorePair(s1_14, job.s1[1], job.s1[4]);
    StorePair(s2_14, job.s2[1], job.s2[4]);
    StorePair(s1_25, job.s1[2], job.s1[5]);
    StorePair(s2_25, job.s2[2], job.s2[5]);
    StorePair(s1Band, job.s1[FilterJob::kLowStage], job.s1[FilterJob::kHighStage]);
    StorePair(s2Band, job.s2[FilterJob::kLowStage], job.s2[FilterJob::kHighStage]);
    __m128d all = peak;
    if constexpr (kNarrow)
      all = _mm_max_pd(_mm_max_pd(_mm256_castpd256_pd128(widePeak), _mm256_extractf128_pd(widePeak, 1)), all);
    return _mm_cvtsd_f64(_mm_max_pd(all, _mm_unpackhi_pd(all, all)));
  }
};

// The steps of a 32-bit job of at least kBandSkew frames. Most frames are converted four at a time, one
// instruction per channel, spread over the steps so that the conversions share the execution units with the
// filter arithmetic evenly: the inputs four steps before the steps that read them, the outputs four steps
// after the ones that wrote them. The first and the last frames are converted one by one as their steps read
// or write them: a step that read four frames just stored would wait for the store, and the chunk's first
// steps start every section's chain. Every input frame is converted before any output frame at or after it
// is written, and every output frame once, the left channel first.
QUILLMERE_AVX2_INLINE void RunConvertingSteps(Pipeline<true>& pipeline, int n) {
  if (n >= kBandSkew + 4) {
    pipeline.WidenFour(kBandSkew, 0);
    pipeline.WidenFour(kBandSkew, 1);
  }
  pipeline.Step<0, 0, true>(0);
  pipeline.Step<0, 1, true>(1);
  pipeline.Step<0, 2, true>(2);
  pipeline.Step<0, 3, true>(3);
  pipeline.Step<0, 4, true>(4);
  pipeline.Step<0, 5, true>(5);
  int i = kBandSkew;
  // Frames i to i + 3 are widened on entry.
  for (; i + 4 <= n; i += 4) {
    const bool widenNext = i + 8 <= n;
    pipeline.Step<0, kBandSkew, false>(i);
    if (widenNext) pipeline.WidenFour(i + 4, 0);
    pipeline.Step<0, kBandSkew, false>(i + 1);
    if (widenNext) pipeline.WidenFour(i + 4, 1);
    pipeline.Step<0, kBandSkew, false>(i + 2);
    if (i >= kBandSkew + 4) pipeline.NarrowFour(i - kBandSkew - 4, 0);
    pipeline.Step<0, kBandSkew, false>(i + 3);
    if (i >= kBandSkew + 4) pipeline.NarrowFour(i - kBandSkew - 4, 1);
  }
  // The last frames, fewer than four: only output frames before i - 6 are written so far, so their input
  // frames still hold what the host gave. The outputs from here on are narrowed as they are written: a load of
  // four of them just written would wait for the writes to reach the cache.
  const int loopEnd = i;
  for (; i < n; ++i) pipeline.Step<0, kBandSkew, true, true>(i);
  pipeline.Step<1, 6, false, true>(n);
  pipeline.Step<2, 6, false, true>(n + 1);
  pipeline.Step<3, 6, false, true>(n + 2);
  pipeline.Step<4, 6, false, true>(n + 3);
  pipeline.Step<5, 6, false, true>(n + 4);
  pipeline.Step<6, 6, false, true>(n + 5);
  // The four output frames of the loop's last group, by now in the cache.
  if (loopEnd > kBandSkew) {
    pipeline.NarrowFour(loopEnd - kBandSkew - 4, 0);
    pipeline.NarrowFour(loopEnd - kBandSkew - 4, 1);
  }
}

template <bool kNarrow>
QUILLMERE_AVX2 double RunPipeline(const FilterJob& job) {
  Pipeline<kNarrow> pipeline(job);
  const int n = job.frames;
  if (n < kBandSkew) {
    for (int i = 0; i < n + kBandSkew; ++i) pipeline.ShortChunkStep(i);
    return pipeline.Finish();
  }
  if constexpr (kNarrow) {
    RunConvertingSteps(pipeline, n);
  } else {
    // Step i runs section k on frame i - k.
    pipeline.template Step<0, 0>(0);
    pipeline.template Step<0, 1>(1);
    pipeline.template Step<0, 2>(2);
    pipeline.template Step<0, 3>(3);
    pipeline.template Step<0, 4>(4);
    pipeline.template Step<0, 5>(5);
    for (int i = kBandSkew; i < n; ++i) pipeline.template Step<0, kBandSkew>(i);
    pipeline.template Step<1, 6>(n);
    pipeline.template Step<2, 6>(n + 1);
    pipeline.template Step<3, 6>(n + 2);
    pipeline.template Step<4, 6>(n + 3);
    pipeline.template Step<5, 6>(n + 4);
    pipeline.template Step<6, 6>(n + 5);
  }
  return pipeline.Finish();
}

QUILLMERE_AVX2 void DivideSamples(double* samples, int count, double divisor) {
  const __m256d d = _mm256_set1_pd(divisor);
  int i = 0;
  for (; i + 4 <= count; i += 4)
    _mm256_storeu_pd(samples + i, _mm256_div_pd(_mm256_loadu_pd(samples + i), d));
  for (; i < count; ++i) samples[i] = samples[i] / divisor;
}

// The 256-bit narrowing reads 256 bits but writes 128, after which the compiler leaves out clearing the upper
// register halves; the function clears them itself so that the SSE code running next is not slowed.
QUILLMERE_AVX2 void DivideAndNarrowSamples(double* samples, float* narrowed, int count, double divisor) {
  const __m256d d = _mm256_set1_pd(divisor);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256d q = _mm256_div_pd(_mm256_loadu_pd(samples + i), d);
    _mm256_storeu_pd(samples + i, q);
    _mm_storeu_ps(narrowed + i, _mm256_cvtpd_ps(q));
  }
  for (; i < count; ++i) {
    samples[i] = samples[i] / divisor;
    narrowed[i] = static_cast<float>(samples[i]);
  }
  _mm256_zeroupper();
}

}  // namespace

bool Avx2FilterKernel::Supported() { return ProcessorHasAvx2(); }

double Avx2FilterKernel::Run(const FilterJob& job) { return RunPipeline<false>(job); }

double Avx2FilterKernel::Run32(const FilterJob& job) { return RunPipeline<true>(job); }

void Avx2FilterKernel::Divide(double* samples, int count, double divisor) {
  DivideSamples(samples, count, divisor);
}

void Avx2FilterKernel::DivideAndNarrow(double* samples, float* narrowed, int count, double divisor) {
  DivideAndNarrowSamples(samples, narrowed, count, divisor);
}

#else

bool Avx2FilterKernel::Supported() { return false; }

double Avx2FilterKernel::Run(const FilterJob&) { return 0.0; }

double Avx2FilterKernel::Run32(const FilterJob&) { return 0.0; }

void Avx2FilterKernel::Divide(double*, int, double) {}

void Avx2FilterKernel::DivideAndNarrow(double*, float*, int, double) {}

#endif
