// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/SameBits.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace test_support {

namespace {

std::string Show(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g (%a)", value, value);
  return text;
}

}  // namespace

template <class Sample>
std::string BitDifference(const Stereo<Sample>& actual, const Stereo<Sample>& expected) {
  for (int c = 0; c < 2; ++c) {
    if (actual[c].size() != expected[c].size()) {
      return "channel " + std::to_string(c) + ": " + std::to_string(actual[c].size()) + " frames against " +
             std::to_string(expected[c].size());
    }
  }
  for (size_t i = 0; i < actual[0].size(); ++i) {
    for (int c = 0; c < 2; ++c) {
      const Sample x = actual[c][i], y = expected[c][i];
      if (std::memcmp(&x, &y, sizeof x) != 0) {
        return "frame " + std::to_string(i) + " of " + std::to_string(actual[0].size()) + ", channel " +
               std::to_string(c) + ": " + Show(x) + " against " + Show(y);
      }
    }
  }
  return "";
}

template <class Sample>
double Loudest(const Stereo<Sample>& render) {
  double loudest = 0.0;
  for (const auto& channel : render)
    for (Sample x : channel) loudest = std::fmax(loudest, std::fabs(static_cast<double>(x)));
  return loudest;
}

template <class Sample>
bool AllFinite(const Stereo<Sample>& render) {
  for (const auto& channel : render)
    for (Sample x : channel)
      if (!std::isfinite(x)) return false;
  return true;
}

template std::string BitDifference(const Stereo<float>&, const Stereo<float>&);
template std::string BitDifference(const Stereo<double>&, const Stereo<double>&);
template double Loudest(const Stereo<float>&);
template double Loudest(const Stereo<double>&);
template bool AllFinite(const Stereo<float>&);
template bool AllFinite(const Stereo<double>&);

}  // namespace test_support
