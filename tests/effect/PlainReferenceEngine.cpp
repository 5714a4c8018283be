// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlainReferenceEngine.h"

#include <cmath>
#include <initializer_list>

PlainReferenceEngine::PlainReferenceEngine() {
  const double table[6][5] = {
      {0.4361, 0.8721, 0.4361, 0.983, 0.3614},
      {1, 2, 1, 1.6981, 0.8327},
      {1, -2, 1, -1.9476, 0.949},
      {1, 2, 1, 1.879, 0.9621},
      {1, -2, 1, -1.9906, 0.9909},
      {1, -2, 1, -1.9979, 0.9981},
  };
  for (int k = 0; k < 6; ++k) {
    mPre[k] = Section{table[k][0], table[k][1], table[k][2], table[k][3], table[k][4], {0, 0}, {0, 0}};
  }
  mLow = Section{0, 0, 0, 0, 0, {0, 0}, {0, 0}};
  mHigh = mLow;
  mRandom.Seed(5489);
  for (int c = 0; c < 2; ++c) {
    mPreOut[c].resize(4096);
    mLowOut[c].resize(4096);
    mHighOut[c].resize(4096);
    mOut[c].resize(4096);
  }
  mScratch.resize(4096);
}

void PlainReferenceEngine::SetParameter(int index, double value) {
  if (index < 0 || index >= kNumParams) return;
  mParams[index] = value;
  mStale = true;
}

void PlainReferenceEngine::Reset(double sampleRate) {
  mRate = sampleRate;
  for (Section* s : {&mPre[0], &mPre[1], &mPre[2], &mPre[3], &mPre[4], &mPre[5], &mLow, &mHigh}) {
    s->s1[0] = s->s1[1] = s->s2[0] = s->s2[1] = 0.0;
  }
  Design();
}

void PlainReferenceEngine::Design() {
  double split = mParams[kSplitHz];
  if (split > 0.49 * mRate) split = 0.49 * mRate;
  double w0 = split * 6.283185307179586 / mRate;
  double c = cos(w0);
  double q = pow(10.0, mParams[kLowQDb] / 20.0);
  double alpha = sin(w0) / (q * 2.0);
  double k = 1.0 / (alpha + 1.0);
  mLow.b1 = (1.0 - c) * k;
  mLow.b0 = mLow.b1 * 0.5;
  mLow.b2 = mLow.b1 * 0.5;
  mLow.a1 = c * (-2.0) * k;
  mLow.a2 = (1.0 - alpha) * k;
  q = pow(10.0, mParams[kHighQDb] / 20.0);
  alpha = sin(w0) / (q * 2.0);
  k = 1.0 / (alpha + 1.0);
  mHigh.b0 = (c + 1.0) * k * 0.5;
  mHigh.b2 = (c + 1.0) * k * 0.5;
  mHigh.b1 = (c + 1.0) * k * (-1.0);
  mHigh.a1 = c * (-2.0) * k;
  mHigh.a2 = (1.0 - alpha) * k;
}

void PlainReferenceEngine::RunSection(Section& f, int ch, const double* in, double* out, int n) {
  for (int i = 0; i < n; ++i) {
    double x = in[i];
    double y = f.b0 * x + f.s1[ch];
    f.s1[ch] = f.b1 * x + f.s2[ch] - f.a1 * y;
    f.s2[ch] = f.b2 * x - f.a2 * y;
    out[i] = y;
  }
}

void PlainReferenceEngine::ProcessStereoBlock(const double* const* inputs, double* const* outputs,
                                              int nFrames) {
  for (int offset = 0; offset < nFrames; offset += 4096) {
    int n = nFrames - offset;
    if (n > 4096) n = 4096;
    ProcessChunk(inputs, outputs, offset, n);
  }
}

void PlainReferenceEngine::ProcessChunk(const double* const* inputs, double* const* outputs, int offset,
                                        int n) {
  if (mStale) {
    mStale = false;
    Design();
  }
  double gain = pow(10.0, mParams[kHighQDb] / 20.0);
  double thetaLow = mParams[kLowAngle] + mLowJitter + 0.9599310885968813;
  double thetaHigh = mParams[kHighAngle] + mHighJitter + 0.9599310885968813;
  double lowGain[2] = {cos(thetaLow), sin(thetaLow)};
  double highGain[2] = {cos(thetaHigh), sin(thetaHigh)};

  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < n; ++i) mScratch[i] = inputs[ch][offset + i];
    RunSection(mPre[0], ch, mScratch.data(), mPreOut[ch].data(), n);
    for (int k = 1; k < 6; ++k) RunSection(mPre[k], ch, mPreOut[ch].data(), mPreOut[ch].data(), n);
    RunSection(mLow, ch, mPreOut[ch].data(), mLowOut[ch].data(), n);
    RunSection(mHigh, ch, mPreOut[ch].data(), mHighOut[ch].data(), n);
    for (int i = 0; i < n; ++i) {
      double high = mHighOut[ch][i] * gain;
      mOut[ch][i] = lowGain[ch] * mLowOut[ch][i] + highGain[ch] * high;
    }
  }

  if (mLowCount == 20) {
    mLowCount = 0;
    mLowJitter = floor(mRandom.NextOpenUnit() * 31.0) - 15.0;
  } else {
    mLowCount++;
  }
  if (mHighCount == 50) {
    mHighCount = 0;
    mHighJitter = floor(mRandom.NextOpenUnit() * 51.0) - 25.0;
  } else {
    mHighCount++;
  }

  double peak = 0.0;
  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < n; ++i) {
      double a = fabs(mOut[ch][i]);
      if (!std::isnan(a) && a > peak) peak = a;
    }
  }
  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < n; ++i) outputs[ch][offset + i] = peak > 0.9999 ? mOut[ch][i] / peak : mOut[ch][i];
  }

  for (Section* s : {&mPre[0], &mPre[1], &mPre[2], &mPre[3], &mPre[4], &mPre[5], &mLow, &mHigh}) {
    for (int ch = 0; ch < 2; ++ch) {
      if (!std::isfinite(s->s1[ch]) || !std::isfinite(s->s2[ch])) s->s1[ch] = s->s2[ch] = 0.0;
    }
  }
}
