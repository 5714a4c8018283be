#include "effect/EffectEngine.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "effect/DenormalGuard.h"
#include "effect/PeakLimiter.h"

#ifndef QUILLMERE_ENGINE_SSE2
#if defined(__SSE2__) || defined(_M_X64)
#define QUILLMERE_ENGINE_SSE2 1
#else
#define QUILLMERE_ENGINE_SSE2 0
#endif
#endif
#if QUILLMERE_ENGINE_SSE2
#include <emmintrin.h>
#endif

const SectionCoefficients EffectEngine::kPreFilterSections[PreFilter::kSections] = {
    {0.4361, 0.8721, 0.4361, 0.983, 0.3614},
    {1, 2, 1, 1.6981, 0.8327},
    {1, -2, 1, -1.9476, 0.949},
    {1, 2, 1, 1.879, 0.9621},
    {1, -2, 1, -1.9906, 0.9909},
    {1, -2, 1, -1.9979, 0.9981},
};

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPlacementOffset = 0.9599310885968813;  // 55 degrees in radians
constexpr int kLowJitterPeriod = 20;
constexpr int kHighJitterPeriod = 50;

bool IsFinitePair(const double* s1, const double* s2, int channel) {
  return std::isfinite(s1[channel]) && std::isfinite(s2[channel]);
}

}  // namespace

EffectEngine::EffectEngine()
    : mCoefficientsStale(false),
      mSampleRate(44100.0),
      mSplitHz(1000.0),
      mLowQDb(0.0),
      mHighQDb(0.0),
      mLowAngle(0.0),
      mHighAngle(0.0),
      mPreFilter(),
      mLowPass(),
      mHighPass(),
      mLowJitter(0.0),
      mLowJitterCount(0),
      mHighJitter(0.0),
      mHighJitterCount(0),
      mWork() {
  mRandom.Seed(5489);
}

void EffectEngine::SetParameter(int index, double value) {
  switch (index) {
    case 0:
      mSplitHz = value;
      break;
    case 1:
      mLowQDb = value;
      break;
    case 2:
      mHighQDb = value;
      break;
    case 3:
      mLowAngle = value;
      break;
    case 4:
      mHighAngle = value;
      break;
    default:
      return;
  }
  mCoefficientsStale = true;
}

void EffectEngine::Reset(double sampleRate) {
  mSampleRate = sampleRate;
  std::memset(&mPreFilter, 0, sizeof mPreFilter);
  for (int c = 0; c < 2; ++c) {
    mLowPass.mS1[c] = mLowPass.mS2[c] = 0.0;
    mHighPass.mS1[c] = mHighPass.mS2[c] = 0.0;
  }
  DesignBandFilters();
}

void EffectEngine::DesignBandFilters() {
  // A split at or above half the rate would put the poles outside the unit circle.
  const double limit = 0.49 * mSampleRate;
  const double splitHz = mSplitHz < limit ? mSplitHz : limit;
  const double w0 = splitHz * kTwoPi / mSampleRate;
  const double c = std::cos(w0);
  const double s = std::sin(w0);

  const double lowQ = std::pow(10.0, mLowQDb / 20.0);
  const double lowAlpha = s / (lowQ * 2.0);
  const double lowK = 1.0 / (lowAlpha + 1.0);
  SectionCoefficients& lp = mLowPass.mCoefficients;
  lp.b1 = (1.0 - c) * lowK;
  lp.b0 = lp.b1 * 0.5;
  lp.b2 = lp.b0;
  lp.a1 = c * -2.0 * lowK;
  lp.a2 = (1.0 - lowAlpha) * lowK;

  const double highQ = std::pow(10.0, mHighQDb / 20.0);
  const double highAlpha = s / (highQ * 2.0);
  const double highK = 1.0 / (highAlpha + 1.0);
  SectionCoefficients& hp = mHighPass.mCoefficients;
  hp.b0 = (c + 1.0) * highK * 0.5;
  hp.b2 = hp.b0;
  hp.b1 = (c + 1.0) * highK * -1.0;
  hp.a1 = c * -2.0 * highK;
  hp.a2 = (1.0 - highAlpha) * highK;
}

void EffectEngine::ProcessStereoBlock(const double* const* inputs, double* const* outputs, int nFrames) {
  if (nFrames <= 0) return;
  // Decaying filter tails would otherwise run into denormal numbers, which are slow on x86.
  DenormalGuard denormalGuard;
  for (int start = 0; start < nFrames; start += kMaxChunkFrames) {
    const int remaining = nFrames - start;
    const int n = remaining < kMaxChunkFrames ? remaining : kMaxChunkFrames;
    ProcessChunk(inputs[0] + start, inputs[1] + start, outputs[0] + start, outputs[1] + start, n);
  }
}

void EffectEngine::ProcessChunk(const double* inL, const double* inR, double* outL, double* outR,
                                int nFrames) {
  if (mCoefficientsStale) {
    mCoefficientsStale = false;
    DesignBandFilters();
  }
  const double highGain = std::pow(10.0, mHighQDb / 20.0);
  const double thetaLow = mLowAngle + mLowJitter + kPlacementOffset;
  const double thetaHigh = mHighAngle + mHighJitter + kPlacementOffset;
  // Per channel: left takes the cosine, right the sine.
  alignas(16) const double lowGains[2] = {std::cos(thetaLow), std::sin(thetaLow)};
  alignas(16) const double highGains[2] = {std::cos(thetaHigh), std::sin(thetaHigh)};

  FilterChunk(inL, inR, nFrames, lowGains, highGains, highGain);
  UpdateJitter();

  LimitPeak(mWork, 2 * nFrames);
  // The whole chunk's input has been read; only now are the outputs written.
  for (int i = 0; i < nFrames; ++i) {
    outL[i] = mWork[2 * i];
    outR[i] = mWork[2 * i + 1];
  }
  // A NaN or infinity that reached a filter would otherwise stay in its state until the next reset.
  ClearNonFiniteStates();
}

void EffectEngine::UpdateJitter() {
  if (mLowJitterCount == kLowJitterPeriod) {
    mLowJitterCount = 0;
    mLowJitter = std::floor(mRandom.NextOpenUnit() * 31.0) - 15.0;
  } else {
    ++mLowJitterCount;
  }
  if (mHighJitterCount == kHighJitterPeriod) {
    mHighJitterCount = 0;
    mHighJitter = std::floor(mRandom.NextOpenUnit() * 51.0) - 25.0;
  } else {
    ++mHighJitterCount;
  }
}

void EffectEngine::ClearNonFiniteStates() {
  for (int c = 0; c < 2; ++c) {
    for (int k = 0; k < PreFilter::kSections; ++k) {
      if (!IsFinitePair(mPreFilter.mS1[k], mPreFilter.mS2[k], c)) {
        mPreFilter.mS1[k][c] = mPreFilter.mS2[k][c] = 0.0;
      }
    }
    for (BandFilter* f : {&mLowPass, &mHighPass}) {
      if (!IsFinitePair(f->mS1, f->mS2, c)) f->mS1[c] = f->mS2[c] = 0.0;
    }
  }
}

#if QUILLMERE_ENGINE_SSE2

namespace {

// One general section on both channels at once (lane 0 left, lane 1 right).
struct Section2 {
  __m128d b0, b1, b2, a1, a2;
};

inline Section2 Broadcast(const SectionCoefficients& c) {
  return {_mm_set1_pd(c.b0), _mm_set1_pd(c.b1), _mm_set1_pd(c.b2), _mm_set1_pd(c.a1), _mm_set1_pd(c.a2)};
}

inline __m128d RunSection(const Section2& c, __m128d x, __m128d& s1, __m128d& s2) {
  const __m128d y = _mm_add_pd(_mm_mul_pd(c.b0, x), s1);
  s1 = _mm_sub_pd(_mm_add_pd(_mm_mul_pd(c.b1, x), s2), _mm_mul_pd(c.a1, y));
  s2 = _mm_sub_pd(_mm_mul_pd(c.b2, x), _mm_mul_pd(c.a2, y));
  return y;
}

// Sections with b0 = b2 = 1 and b1 = 2: multiplying by 1 and 2 is exact, so x and x + x give the same bits.
inline __m128d RunSectionPlusTwo(__m128d a1, __m128d a2, __m128d x, __m128d& s1, __m128d& s2) {
  const __m128d y = _mm_add_pd(x, s1);
  s1 = _mm_sub_pd(_mm_add_pd(_mm_add_pd(x, x), s2), _mm_mul_pd(a1, y));
  s2 = _mm_sub_pd(x, _mm_mul_pd(a2, y));
  return y;
}

// Sections with b0 = b2 = 1 and b1 = -2: (-2 x) + s2 is exactly s2 - (x + x).
inline __m128d RunSectionMinusTwo(__m128d a1, __m128d a2, __m128d x, __m128d& s1, __m128d& s2) {
  const __m128d y = _mm_add_pd(x, s1);
  s1 = _mm_sub_pd(_mm_sub_pd(s2, _mm_add_pd(x, x)), _mm_mul_pd(a1, y));
  s2 = _mm_sub_pd(x, _mm_mul_pd(a2, y));
  return y;
}

}  // namespace

void EffectEngine::FilterChunk(const double* inL, const double* inR, int nFrames, const double* lowGains,
                               const double* highGains, double highGain) {
  const SectionCoefficients* pre = kPreFilterSections;
  const Section2 pre0 = Broadcast(pre[0]);
  const __m128d a1_1 = _mm_set1_pd(pre[1].a1), a2_1 = _mm_set1_pd(pre[1].a2);
  const __m128d a1_2 = _mm_set1_pd(pre[2].a1), a2_2 = _mm_set1_pd(pre[2].a2);
  const __m128d a1_3 = _mm_set1_pd(pre[3].a1), a2_3 = _mm_set1_pd(pre[3].a2);
  const __m128d a1_4 = _mm_set1_pd(pre[4].a1), a2_4 = _mm_set1_pd(pre[4].a2);
  const __m128d a1_5 = _mm_set1_pd(pre[5].a1), a2_5 = _mm_set1_pd(pre[5].a2);
  const Section2 low = Broadcast(mLowPass.mCoefficients);
  const Section2 high = Broadcast(mHighPass.mCoefficients);
  const __m128d lowGain = _mm_loadu_pd(lowGains);
  const __m128d highPlace = _mm_loadu_pd(highGains);
  const __m128d highAmp = _mm_set1_pd(highGain);

  __m128d p1[6], p2[6];
  for (int k = 0; k < 6; ++k) {
    p1[k] = _mm_loadu_pd(mPreFilter.mS1[k]);
    p2[k] = _mm_loadu_pd(mPreFilter.mS2[k]);
  }
  __m128d l1 = _mm_loadu_pd(mLowPass.mS1), l2 = _mm_loadu_pd(mLowPass.mS2);
  __m128d h1 = _mm_loadu_pd(mHighPass.mS1), h2 = _mm_loadu_pd(mHighPass.mS2);

  double* work = mWork;
  for (int i = 0; i < nFrames; ++i) {
    __m128d x = _mm_loadh_pd(_mm_load_sd(inL + i), inR + i);
    x = RunSection(pre0, x, p1[0], p2[0]);
    x = RunSectionPlusTwo(a1_1, a2_1, x, p1[1], p2[1]);
    x = RunSectionMinusTwo(a1_2, a2_2, x, p1[2], p2[2]);
    x = RunSectionPlusTwo(a1_3, a2_3, x, p1[3], p2[3]);
    x = RunSectionMinusTwo(a1_4, a2_4, x, p1[4], p2[4]);
    x = RunSectionMinusTwo(a1_5, a2_5, x, p1[5], p2[5]);
    const __m128d lo = RunSection(low, x, l1, l2);
    const __m128d hi = _mm_mul_pd(RunSection(high, x, h1, h2), highAmp);
    _mm_storeu_pd(work + 2 * i, _mm_add_pd(_mm_mul_pd(lowGain, lo), _mm_mul_pd(highPlace, hi)));
  }

  for (int k = 0; k < 6; ++k) {
    _mm_storeu_pd(mPreFilter.mS1[k], p1[k]);
    _mm_storeu_pd(mPreFilter.mS2[k], p2[k]);
  }
  _mm_storeu_pd(mLowPass.mS1, l1);
  _mm_storeu_pd(mLowPass.mS2, l2);
  _mm_storeu_pd(mHighPass.mS1, h1);
  _mm_storeu_pd(mHighPass.mS2, h2);
}

#else

namespace {

inline double RunSection(const SectionCoefficients& c, double x, double& s1, double& s2) {
  const double y = c.b0 * x + s1;
  s1 = c.b1 * x + s2 - c.a1 * y;
  s2 = c.b2 * x - c.a2 * y;
  return y;
}

}  // namespace

void EffectEngine::FilterChunk(const double* inL, const double* inR, int nFrames, const double* lowGains,
                               const double* highGains, double highGain) {
  const double* in[2] = {inL, inR};
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < nFrames; ++i) {
      double x = in[c][i];
      for (int k = 0; k < PreFilter::kSections; ++k) {
        x = RunSection(kPreFilterSections[k], x, mPreFilter.mS1[k][c], mPreFilter.mS2[k][c]);
      }
      const double lo = RunSection(mLowPass.mCoefficients, x, mLowPass.mS1[c], mLowPass.mS2[c]);
      const double hi = RunSection(mHighPass.mCoefficients, x, mHighPass.mS1[c], mHighPass.mS2[c]) * highGain;
      mWork[2 * i + c] = lowGains[c] * lo + highGains[c] * hi;
    }
  }
}

#endif
