// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestSignal.h"

namespace test_support {

namespace {

// A unit phasor turned by a fixed angle per frame: (cos, sin) of 2 pi f / 44100 written out as numbers.
struct Rotor {
  double c, s, x = 1.0, y = 0.0;
  void Step() {
    const double nx = c * x - s * y;
    y = s * x + c * y;
    x = nx;
  }
};

}  // namespace

Stereo<double> TestSignal(size_t frames, uint32_t seed) {
  Rotor low{0.9995087954669746, 0.03133955622145082};  // 220 Hz
  Rotor mid{0.9988848356101576, 0.04721318870896634};  // 331.5 Hz
  Rotor high{0.8090169943749475, 0.5877852522924731};  // 4410 Hz
  uint32_t noise = 0x2545F491u ^ (seed * 0x9E3779B9u);
  Stereo<double> signal{std::vector<double>(frames), std::vector<double>(frames)};
  for (size_t i = 0; i < frames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double white = static_cast<double>(static_cast<int32_t>(noise)) / 2147483648.0;
    const double swell =
        (0.5 + 0.5 * static_cast<double>(i % 16384) / 16384.0) * (i % 20000 < 3000 ? 2.0 : 1.0);
    signal[0][i] = static_cast<float>(swell * (0.45 * low.y + 0.2 * high.x) + 0.25 * white);
    signal[1][i] = static_cast<float>(swell * (0.4 * mid.y + 0.2 * high.y) - 0.3 * white);
    low.Step();
    mid.Step();
    high.Step();
  }
  return signal;
}

}  // namespace test_support
