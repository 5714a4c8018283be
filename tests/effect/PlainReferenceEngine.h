// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "effect/ParameterTable.h"
#include "effect/RandomSource.h"

// A deliberately plain model of the effect: each channel runs through one section after another over
// the whole chunk, every coefficient multiplied out. Used to check the engine bit for bit and as the
// benchmark's baseline. Unlike the engine it sets no floating-point mode of its own.
class PlainReferenceEngine {
 public:
  PlainReferenceEngine();

  void SetParameter(int index, double value);
  void Reset(double sampleRate);
  void ProcessStereoBlock(const double* const* inputs, double* const* outputs, int nFrames);

 private:
  struct Section {
    double b0, b1, b2, a1, a2;
    double s1[2], s2[2];
  };

  void Design();
  void RunSection(Section& section, int channel, const double* in, double* out, int n);
  void ProcessChunk(const double* const* inputs, double* const* outputs, int offset, int n);

  bool mStale = false;
  double mRate = 44100.0;
  double mParams[kNumParams] = {kParameterTable[kSplitHz].mDefault, kParameterTable[kLowQDb].mDefault,
                                kParameterTable[kHighQDb].mDefault, kParameterTable[kLowAngle].mDefault,
                                kParameterTable[kHighAngle].mDefault};
  Section mPre[6];
  Section mLow;
  Section mHigh;
  double mLowJitter = 0.0;
  double mHighJitter = 0.0;
  int mLowCount = 0;
  int mHighCount = 0;
  RandomSource mRandom;
  std::vector<double> mPreOut[2], mLowOut[2], mHighOut[2], mOut[2], mScratch;
};
