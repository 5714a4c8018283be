// SPDX-License-Identifier: GPL-3.0-or-later
// The one test signal every plug-in test feeds: built from plain arithmetic only (no sine or cosine calls),
// so every platform and compiler makes the same bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace test_support {

// Two channels of samples, left then right.
template <class Sample>
using Stereo = std::array<std::vector<Sample>, 2>;

// Three tones and noise, different per channel, under a slow swell, with peaks near full scale; for 3000
// frames in every 20000 it is twice as loud, so the limiter works too. The samples are rounded to float, so
// the 32-bit and 64-bit paths get the same input. seed picks the noise.
Stereo<double> TestSignal(size_t frames, uint32_t seed = 1);

// The signal in another sample type.
template <class Sample>
Stereo<Sample> Converted(const Stereo<double>& signal) {
  return {std::vector<Sample>(signal[0].begin(), signal[0].end()),
          std::vector<Sample>(signal[1].begin(), signal[1].end())};
}

}  // namespace test_support
