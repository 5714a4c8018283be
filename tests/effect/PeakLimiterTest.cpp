// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "effect/PeakLimiter.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}

TEST(PeakLimiter, ScalesOnlyChunksLouderThanThreshold) {
  struct Case {
    std::vector<double> in;
    std::vector<double> out;
  };
  const Case cases[] = {
      {{0.5, -0.9999, 0.25}, {0.5, -0.9999, 0.25}},
      {{0.5, -2.0, 1.0}, {0.25, -1.0, 0.5}},
      {{2.0, 0.5}, {1.0, 0.25}},
      {{1.0, -0.3}, {1.0, -0.3}},
      {{0.0, 0.0}, {0.0, 0.0}},
  };
  for (const Case& c : cases) {
    std::vector<double> samples = c.in;
    LimitPeak(samples.data(), static_cast<int>(samples.size()));
    EXPECT_EQ(samples, c.out);
  }
}

TEST(PeakLimiter, LoudestSampleBecomesExactlyOne) {
  std::vector<double> samples = {0.3, -1.7320508075688772, 1.2};
  LimitPeak(samples.data(), 3);
  EXPECT_EQ(samples[1], -1.0);
}

TEST(PeakLimiter, NaNSamplesAreSkippedInThePeakSearch) {
  std::vector<double> samples = {kNaN, 4.0, -1.0};
  EXPECT_EQ(FindPeak(samples.data(), 3), 4.0);
  LimitPeak(samples.data(), 3);
  EXPECT_TRUE(std::isnan(samples[0]));
  EXPECT_EQ(samples[1], 1.0);
  EXPECT_EQ(samples[2], -0.25);

  std::vector<double> allNaN = {kNaN, kNaN};
  LimitPeak(allNaN.data(), 2);
  EXPECT_TRUE(std::isnan(allNaN[0]) && std::isnan(allNaN[1]));
}
