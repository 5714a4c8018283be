// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/EffectEngine.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "dsp/DenormalGuard.h"
#include "effect/PeakLimiter.h"

static_assert(PreFilter::kSections == PreFilterForm::kSections &&
                  PreFilterForm::Fits(EffectEngine::kPreFilterSections),
              "the vector kernels would never run the engine's pre-filter");

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPlacementOffset = 0.9599310885968813;  // 55 degrees in radians
// A band's jitter count runs from 0 up to its last value; the chunk that finds it there redraws the jitter
// and sets the count back to 0. So the low band draws every 21 chunks and the high band every 51.
constexpr int kLowJitterLastCount = 20;
constexpr int kHighJitterLastCount = 50;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool IsFinitePair(const double* s1, const double* s2, int channel) {
  return std::isfinite(s1[channel]) && std::isfinite(s2[channel]);
}

// A band whose design or gains come out non-finite (a Q that underflows to 0, an infinite angle) is silenced
// instead: as Q tends to 0, every coefficient of either design tends to 0 anyway.
void SilenceIfNotFinite(SectionCoefficients& c) {
  if (std::isfinite(c.b0) && std::isfinite(c.b1) && std::isfinite(c.b2) && std::isfinite(c.a1) &&
      std::isfinite(c.a2)) {
    return;
  }
  c = SectionCoefficients{0.0, 0.0, 0.0, 0.0, 0.0};
}

double ZeroIfNotFinite(double gain) { return std::isfinite(gain) ? gain : 0.0; }

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Whether [a, a + n) and [b, b + n) share memory.
bool Overlap(const double* a, const double* b, int n) {
  const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  const uintptr_t bytes = static_cast<uintptr_t>(n) * sizeof(double);
  return x < y + bytes && y < x + bytes;
}

// Divides every output sample of the chunk by the peak, each memory location once, also when a host hands
// overlapping output buffers.
void DivideOutputs(FilterKernel::EKind kernel, double* left, double* right, int n, double peak) {
  if (!Overlap(left, right, n)) {
    FilterKernel::Divide(kernel, left, n, peak);
    FilterKernel::Divide(kernel, right, n, peak);
    return;
  }
  double* first = left < right ? left : right;
  double* last = left < right ? right : left;
  FilterKernel::Divide(kernel, first, static_cast<int>(last - first) + n, peak);
}

// Whether the kernels may convert as they go on these 32-bit buffers and still give what converting the whole
// block before and after would.
bool ConvertsInKernels(const float* const* inputs, const float* const* outputs, int nFrames) {
  const uintptr_t bytes = static_cast<uintptr_t>(nFrames) * sizeof(float);
  // Whether b begins inside a's block but not at its start: b - a is 1 to bytes - 1 (else it wraps past them).
  auto beginsInside = [bytes](const float* a, const float* b) {
    return reinterpret_cast<uintptr_t>(b) - reinterpret_cast<uintptr_t>(a) - 1 < bytes - 1;
  };
  // The kernels write output frame i after reading input frame i and before reading the later ones, and the
  // two channels' outputs of a frame left first: an output that begins at or before every input it overlaps
  // overwrites only input samples already read, and the right output ends up on top where the outputs are one
  // buffer, as when they are narrowed one after the other. Outputs that overlap without being one buffer, or an
  // output that begins inside an input, need the whole-block conversion.
  const bool refused = beginsInside(outputs[0], outputs[1]) | beginsInside(outputs[1], outputs[0]) |
                       beginsInside(inputs[0], outputs[0]) | beginsInside(inputs[1], outputs[0]) |
                       beginsInside(inputs[0], outputs[1]) | beginsInside(inputs[1], outputs[1]);
  return !refused;
}

}  // namespace

EffectEngine::EffectEngine()
    : mCoefficientsStale(false),
      mSampleRate(44100.0),
      mSplitHz(kParameterTable[kSplitHz].mDefault),
      mLowQDb(kParameterTable[kLowQDb].mDefault),
      mHighQDb(kParameterTable[kHighQDb].mDefault),
      mLowAngle(kParameterTable[kLowAngle].mDefault),
      mHighAngle(kParameterTable[kHighAngle].mDefault),
      mPreFilter(),
      mLowPass(),
      mHighPass(),
      mLowJitter(0.0),
      mLowJitterCount(0),
      mHighJitter(0.0),
      mHighJitterCount(0),
      mKernel(FilterKernel::Fastest()),
      // NaN inputs give gains of 0, so these stand for "not yet computed" and agree with any NaN input.
      mHighGainDb(kNaN),
      mHighGain(0.0),
      mLowTheta(kNaN),
      mLowGains{0.0, 0.0},
      mHighTheta(kNaN),
      mHighGains{0.0, 0.0} {
  mRandom.Seed(5489);
}

bool EffectEngine::SelectKernel(FilterKernel::EKind kind) {
  if (!FilterKernel::Supported(kind)) return false;
  mKernel = kind;
  return true;
}

void EffectEngine::SetParameter(int index, double value) {
  switch (index) {
    case kSplitHz:
      mSplitHz = value;
      break;
    case kLowQDb:
      mLowQDb = value;
      break;
    case kHighQDb:
      mHighQDb = value;
      break;
    case kLowAngle:
      mLowAngle = value;
      break;
    case kHighAngle:
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
  SilenceIfNotFinite(lp);

  const double highQ = std::pow(10.0, mHighQDb / 20.0);
  const double highAlpha = s / (highQ * 2.0);
  const double highK = 1.0 / (highAlpha + 1.0);
  SectionCoefficients& hp = mHighPass.mCoefficients;
  hp.b0 = (c + 1.0) * highK * 0.5;
  hp.b2 = hp.b0;
  hp.b1 = (c + 1.0) * highK * -1.0;
  hp.a1 = c * -2.0 * highK;
  hp.a2 = (1.0 - highAlpha) * highK;
  SilenceIfNotFinite(hp);
}

void EffectEngine::ProcessStereoBlock(const double* const* inputs, double* const* outputs, int nFrames) {
  if (nFrames <= 0) return;
  // Decaying filter tails would otherwise run into denormal numbers, which are slow on x86.
  DenormalGuard denormalGuard(!mCallerFlushes);
  for (int start = 0; start < nFrames; start += kMaxChunkFrames) {
    const int remaining = nFrames - start;
    const int n = remaining < kMaxChunkFrames ? remaining : kMaxChunkFrames;
    ProcessChunk(inputs[0] + start, inputs[1] + start, outputs[0] + start, outputs[1] + start, n);
  }
}

void EffectEngine::ProcessStereoBlock(const float* const* inputs, float* const* outputs,
                                      double* const* inputCopies, double* const* outputCopies, int nFrames) {
  if (nFrames <= 0) return;
  // Decaying filter tails would otherwise run into denormal numbers, which are slow on x86. The widening and
  // narrowing run under it too, as in a processing frame that converts around ProcessStereoBlock.
  DenormalGuard denormalGuard(!mCallerFlushes);
  if (!ConvertsInKernels(inputs, outputs, nFrames)) {
    // Every input is read before any output is written, and the outputs in channel order.
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < nFrames; ++i) inputCopies[c][i] = static_cast<double>(inputs[c][i]);
    }
    ProcessStereoBlock(inputCopies, outputCopies, nFrames);
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < nFrames; ++i) outputs[c][i] = static_cast<float>(outputCopies[c][i]);
    }
    return;
  }
  for (int start = 0; start < nFrames; start += kMaxChunkFrames) {
    const int remaining = nFrames - start;
    const int n = remaining < kMaxChunkFrames ? remaining : kMaxChunkFrames;
    FilterJob job;
    PrepareChunk(job, n);
    for (int c = 0; c < 2; ++c) {
      job.narrowInputs[c] = inputs[c] + start;
      job.inputCopies[c] = inputCopies[c] + start;
      job.inputs[c] = inputCopies[c] + start;
      job.outputs[c] = outputCopies[c] + start;
      job.narrowOutputs[c] = outputs[c] + start;
    }
    const double peak = FilterKernel::Run32(mKernel, job);
    // Each output sample is narrowed again from its quotient, the left channel first as the kernel wrote it.
    if (peak > kPeakLimitThreshold) {
      for (int c = 0; c < 2; ++c)
        FilterKernel::DivideAndNarrow(mKernel, job.outputs[c], job.narrowOutputs[c], n, peak);
    }
    FinishChunk();
  }
}

void EffectEngine::PrepareChunk(FilterJob& job, int nFrames) {
  if (mCoefficientsStale) {
    mCoefficientsStale = false;
    DesignBandFilters();
  }
  UpdateChunkGains();

  job.frames = nFrames;
  for (int k = 0; k < PreFilter::kSections; ++k) {
    job.coefficients[k] = &kPreFilterSections[k];
    job.s1[k] = mPreFilter.mS1[k];
    job.s2[k] = mPreFilter.mS2[k];
  }
  job.coefficients[FilterJob::kLowStage] = &mLowPass.mCoefficients;
  job.s1[FilterJob::kLowStage] = mLowPass.mS1;
  job.s2[FilterJob::kLowStage] = mLowPass.mS2;
  job.coefficients[FilterJob::kHighStage] = &mHighPass.mCoefficients;
  job.s1[FilterJob::kHighStage] = mHighPass.mS1;
  job.s2[FilterJob::kHighStage] = mHighPass.mS2;
  // Per channel: left takes the cosine, right the sine.
  job.lowGains[0] = mLowGains[0];
  job.lowGains[1] = mLowGains[1];
  job.highGains[0] = mHighGains[0];
  job.highGains[1] = mHighGains[1];
  job.highGain = mHighGain;
}

void EffectEngine::FinishChunk() {
  UpdateJitter();
  // A NaN or infinity that reached a filter would otherwise stay in its state until the next reset.
  ClearNonFiniteStates();
}

void EffectEngine::ProcessChunk(const double* inL, const double* inR, double* outL, double* outR,
                                int nFrames) {
  FilterJob job;
  PrepareChunk(job, nFrames);
  job.inputs[0] = inL;
  job.inputs[1] = inR;
  job.outputs[0] = outL;
  job.outputs[1] = outR;
  // Output frame i is written only after input frame i was read, so an output may be its own input.
  const double peak = FilterKernel::Run(mKernel, job);
  if (peak > kPeakLimitThreshold) DivideOutputs(mKernel, outL, outR, nFrames, peak);
  FinishChunk();
}

void EffectEngine::UpdateChunkGains() {
  if (!SameBits(mHighQDb, mHighGainDb)) {
    mHighGainDb = mHighQDb;
    mHighGain = ZeroIfNotFinite(std::pow(10.0, mHighQDb / 20.0));
  }
  const double thetaLow = mLowAngle + mLowJitter + kPlacementOffset;
  if (!SameBits(thetaLow, mLowTheta)) {
    mLowTheta = thetaLow;
    mLowGains[0] = ZeroIfNotFinite(std::cos(thetaLow));
    mLowGains[1] = ZeroIfNotFinite(std::sin(thetaLow));
  }
  const double thetaHigh = mHighAngle + mHighJitter + kPlacementOffset;
  if (!SameBits(thetaHigh, mHighTheta)) {
    mHighTheta = thetaHigh;
    mHighGains[0] = ZeroIfNotFinite(std::cos(thetaHigh));
    mHighGains[1] = ZeroIfNotFinite(std::sin(thetaHigh));
  }
}

void EffectEngine::UpdateJitter() {
  if (mLowJitterCount == kLowJitterLastCount) {
    mLowJitterCount = 0;
    mLowJitter = std::floor(mRandom.NextOpenUnit() * 31.0) - 15.0;
  } else {
    ++mLowJitterCount;
  }
  if (mHighJitterCount == kHighJitterLastCount) {
    mHighJitterCount = 0;
    mHighJitter = std::floor(mRandom.NextOpenUnit() * 51.0) - 25.0;
  } else {
    ++mHighJitterCount;
  }
}

void EffectEngine::ClearNonFiniteStates() {
  // x * 0 is 0 for every finite x and NaN otherwise, so one sum tells whether any state needs clearing.
  double probe = 0.0;
  for (int k = 0; k < PreFilter::kSections; ++k) {
    probe +=
        (mPreFilter.mS1[k][0] + mPreFilter.mS1[k][1] + mPreFilter.mS2[k][0] + mPreFilter.mS2[k][1]) * 0.0;
  }
  for (const BandFilter* f : {&mLowPass, &mHighPass})
    probe += (f->mS1[0] + f->mS1[1] + f->mS2[0] + f->mS2[1]) * 0.0;
  if (probe == 0.0) return;
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
