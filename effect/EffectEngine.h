#pragma once

#include "effect/RandomSource.h"

// One second-order section's coefficients; a0 is 1.
struct SectionCoefficients {
  double b0, b1, b2, a1, a2;
};

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
  static constexpr int kParameterCount = 5;
  static const SectionCoefficients kPreFilterSections[PreFilter::kSections];

  EffectEngine();

  // Values in the parameter's own unit (Hz, dB, radians); applied from the next chunk.
  void SetParameter(int index, double value);
  void Reset(double sampleRate);
  // inputs[c] and outputs[c] hold nFrames samples; an output may be the same memory as its input.
  void ProcessStereoBlock(const double* const* inputs, double* const* outputs, int nFrames);

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
  void FilterChunk(const double* inL, const double* inR, int nFrames, const double* lowGains,
                   const double* highGains, double highGain);
  void UpdateJitter();
  void ClearNonFiniteStates();

  bool mCoefficientsStale;
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

  // One chunk's output before limiting, left and right interleaved.
  alignas(16) double mWork[2 * kMaxChunkFrames];
};
