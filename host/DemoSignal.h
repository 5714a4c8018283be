// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in demo input: pink noise mixed with a slow logarithmic sine sweep,
// stereo at 44100 Hz, the same samples on every run.
#pragma once

#include <cstdint>

#include "SignalSource.h"

class DemoSignal : public SignalSource {
 public:
  static constexpr double kSampleRate = 44100.0;
  static constexpr double kSeconds = 10.0;

  DemoSignal();

  int Channels() const override { return 2; }
  double SampleRate() const override { return kSampleRate; }
  int64_t Frames() const override { return mFrames; }
  int Read(double* interleaved, int frames) override;

 private:
  struct PinkState {
    double b[7] = {};
  };

  double NextWhite();  // uniform in [-1, 1)
  double NextPink(PinkState& state);

  int64_t mFrames;
  int64_t mPosition = 0;
  uint64_t mRandom = 0x9E3779B97F4A7C15ull;
  PinkState mPink[2];
};
