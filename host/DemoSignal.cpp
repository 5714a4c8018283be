// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoSignal.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSweepStart = 40.0;   // Hz
constexpr double kSweepEnd = 16000.0;  // Hz
constexpr double kSweepGain = 0.3;
constexpr double kNoiseGain = 0.05;
constexpr double kFadeSeconds = 0.05;

}  // namespace

DemoSignal::DemoSignal() : mFrames(static_cast<int64_t>(kSampleRate * kSeconds)) {}

double DemoSignal::NextWhite() {
  // xorshift64*: fixed, so the demo is identical on every machine.
  mRandom ^= mRandom >> 12;
  mRandom ^= mRandom << 25;
  mRandom ^= mRandom >> 27;
  const uint64_t bits = (mRandom * 0x2545F4914F6CDD1Dull) >> 11;
  return static_cast<double>(bits) * (2.0 / 9007199254740992.0) - 1.0;
}

double DemoSignal::NextPink(PinkState& s) {
  // A sum of first-order low-passes approximating a -3 dB per octave slope.
  const double white = NextWhite();
  s.b[0] = 0.99886 * s.b[0] + white * 0.0555179;
  s.b[1] = 0.99332 * s.b[1] + white * 0.0750759;
  s.b[2] = 0.96900 * s.b[2] + white * 0.1538520;
  s.b[3] = 0.86650 * s.b[3] + white * 0.3104856;
  s.b[4] = 0.55000 * s.b[4] + white * 0.5329522;
  s.b[5] = -0.7616 * s.b[5] - white * 0.0168980;
  const double pink = s.b[0] + s.b[1] + s.b[2] + s.b[3] + s.b[4] + s.b[5] + s.b[6] + white * 0.5362;
  s.b[6] = white * 0.115926;
  return pink;
}

int DemoSignal::Read(double* interleaved, int frames) {
  const int count = static_cast<int>(std::min<int64_t>(frames, mFrames - mPosition));
  const double duration = static_cast<double>(mFrames) / kSampleRate;
  const double ratio = kSweepEnd / kSweepStart;
  const double phaseScale = 2.0 * kPi * kSweepStart * duration / std::log(ratio);
  const double fadeFrames = kFadeSeconds * kSampleRate;
  for (int i = 0; i < count; ++i, ++mPosition) {
    const double t = static_cast<double>(mPosition) / kSampleRate;
    // Phase of a sweep whose frequency grows exponentially from start to end.
    const double sweep = std::sin(phaseScale * (std::pow(ratio, t / duration) - 1.0));
    const double fade = std::min({1.0, static_cast<double>(mPosition) / fadeFrames,
                                  static_cast<double>(mFrames - 1 - mPosition) / fadeFrames});
    for (int c = 0; c < 2; ++c)
      interleaved[2 * i + c] = fade * (kSweepGain * sweep + kNoiseGain * NextPink(mPink[c]));
  }
  return count;
}
