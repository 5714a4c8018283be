// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "effect/FilterKernel.h"
#include "effect/ParameterTable.h"
#include "effect/RandomSource.h"

// A designed second-order section with its transposed-direct-form-II state per channel (0 left, 1 right).
struct BandFilter {
  SectionCoefficients mCoefficients;
  alignas(16) double mS1[2];
  alignas(16) double mS2[2];
};

// State of the six fixed pre-filter sections, per section and channel.
struct PreFilter {
  static constexpr int kSections = 6;
  alignas(16) double mS1[kSections][2];
  alignas(16) double mS2[kSections][2];
};

// Stereo processing: fixed band-pass pre-filter, split into a low and a high band, placement of each
// band by an angle with a slowly redrawn random part, and a per-chunk peak limiter.
class EffectEngine {
 public:
  static constexpr int kMaxChunkFrames = 4096;
  // The fixed band-pass pre-filter, in PreFilterForm so that the vector kernels can run it.
  static constexpr SectionCoefficients kPreFilterSections[PreFilter::kSections] = {
      {0.4361, 0.8721, 0.4361, 0.983, 0.3614},
      {1, 2, 1, 1.6981, 0.8327},
      {1, -2, 1, -1.9476, 0.949},
      {1, 2, 1, 1.879, 0.9621},
      {1, -2, 1, -1.9906, 0.9909},
      {1, -2, 1, -1.9979, 0.9981},
  };

  EffectEngine();

  // index is an EParams value; value is in the parameter's own unit (Hz, dB, radians). Applied from the next
  // chunk; other indices are ignored.
  void SetParameter(int index, double value);
  void Reset(double sampleRate);
  // inputs[c] and outputs[c] hold nFrames samples; an output may be the same memory as its input.
  void ProcessStereoBlock(const double* const* inputs, double* const* outputs, int nFrames);
  // The same processing for 32-bit buffers, every output sample exactly the narrowing of what
  // ProcessStereoBlock gives on the widened inputs, with the 64-bit values left where a processing frame
  // keeps them: the widened inputs in inputCopies and the 64-bit outputs, limited, in outputCopies. The
  // copies hold nFrames samples each and share no memory with each other or with the 32-bit buffers. The
  // 32-bit buffers may share memory in any way: every input sample is read before an output sample overwrites
  // it.
  void ProcessStereoBlock(const float* const* inputs, float* const* outputs, double* const* inputCopies,
                          double* const* outputCopies, int nFrames);

  // Whether every ProcessStereoBlock call comes with flush-to-zero and denormals-are-zero already set, as a
  // processing frame sets them around each block: the engine then leaves the control register alone. False
  // by default, and the engine sets and restores them itself.
  void SetCallerFlushes(bool flushes) { mCallerFlushes = flushes; }

  // The filter kernel in use: the fastest this processor runs, unless another was selected.
  FilterKernel::EKind Kernel() const { return mKernel; }
  // For tests and measurements; false, with nothing changed, when the processor cannot run the kernel.
  bool SelectKernel(FilterKernel::EKind kind);

  double SampleRate() const { return mSampleRate; }
  double SplitHz() const { return mSplitHz; }
  bool CoefficientsStale() const { return mCoefficientsStale; }
  double LowJitter() const { return mLowJitter; }
  double HighJitter() const { return mHighJitter; }
  int LowJitterCount() const { return mLowJitterCount; }
  int HighJitterCount() const { return mHighJitterCount; }
  const BandFilter& LowPass() const { return mLowPass; }
  const BandFilter& HighPass() const { return mHighPass; }
  const PreFilter& PreFilterState() const { return mPreFilter; }

 private:
  void DesignBandFilters();
  void ProcessChunk(const double* inL, const double* inR, double* outL, double* outR, int nFrames);
  // Fills the job's sections, states, gains and frame count for the next chunk, designing first when needed.
  void PrepareChunk(FilterJob& job, int nFrames);
  // After the kernel ran the chunk: draws the jitter and clears non-finite states.
  void FinishChunk();
  void UpdateChunkGains();
  void UpdateJitter();
  void ClearNonFiniteStates();

  bool mCoefficientsStale;
  bool mCallerFlushes = false;
  double mSampleRate;  // Hz
  double mSplitHz;
  double mLowQDb;
  double mHighQDb;
  double mLowAngle;  // radians
  double mHighAngle;
  PreFilter mPreFilter;
  BandFilter mLowPass;
  BandFilter mHighPass;
  double mLowJitter;  // whole radians, -15 to 15
  int mLowJitterCount;
  double mHighJitter;  // whole radians, -25 to 25
  int mHighJitterCount;
  RandomSource mRandom;
  FilterKernel::EKind mKernel;

  // Per-chunk gains, recomputed only when the value they are computed from changes (compared bit for bit).
  double mHighGainDb;  // the mHighQDb that mHighGain was computed from
  double mHighGain;
  double mLowTheta;  // the angle that mLowGains were computed from, radians
  double mLowGains[2];
  double mHighTheta;
  double mHighGains[2];
};
