// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "DemoSignal.h"
#include "ProgressPrinter.h"

namespace {

std::vector<double> ReadAll(DemoSignal& demo) {
  std::vector<double> all;
  std::vector<double> block(2 * 1000);
  while (const int frames = demo.Read(block.data(), 1000))
    all.insert(all.end(), block.begin(), block.begin() + 2 * frames);
  return all;
}

TEST(DemoSignal, IsTenSecondsOfStereoAt44100HzBelowFullScale) {
  DemoSignal demo;
  const std::vector<double> samples = ReadAll(demo);
  EXPECT_EQ(demo.Channels(), 2);
  EXPECT_EQ(demo.SampleRate(), 44100.0);
  EXPECT_EQ(samples.size(), 2u * 441000u);
  double peak = 0;
  for (double s : samples) {
    ASSERT_TRUE(std::isfinite(s));
    peak = std::max(peak, std::fabs(s));
  }
  EXPECT_GT(peak, 0.3);
  EXPECT_LT(peak, 0.9);
  EXPECT_EQ(samples.front(), 0.0);  // faded in and out, no clicks
  EXPECT_EQ(samples.back(), 0.0);
}

TEST(DemoSignal, IsTheSameOnEveryRunAndDiffersBetweenChannels) {
  DemoSignal first, second;
  const std::vector<double> a = ReadAll(first), b = ReadAll(second);
  EXPECT_EQ(a, b);
  int differing = 0;
  for (size_t i = 0; i < a.size(); i += 2) differing += a[i] != a[i + 1];
  EXPECT_GT(differing, 400000);
}

TEST(DemoSignal, SweepRisesInFrequencyOverTime) {
  DemoSignal demo;
  const std::vector<double> samples = ReadAll(demo);
  // Zero crossings of the left channel per second, early and late.
  auto crossings = [&](int second) {
    int count = 0;
    for (int i = second * 44100 + 1; i < (second + 1) * 44100; ++i)
      count += (samples[2 * i] >= 0) != (samples[2 * i - 2] >= 0);
    return count;
  };
  EXPECT_LT(crossings(1), crossings(8));
}

TEST(ProgressPrinter, FormatsPeaksInDecibelsRelativeToFullScale) {
  const std::vector<std::pair<double, std::string>> cases = {{1.0, "0.00 dBFS"},
                                                             {0.5, "-6.02 dBFS"},
                                                             {0.0, "-inf dBFS"},
                                                             {0.99999, "0.00 dBFS"},
                                                             {2.0, "6.02 dBFS"}};
  for (const auto& [linear, text] : cases) EXPECT_EQ(ProgressPrinter::FormatPeak(linear), text);
}

TEST(ProgressPrinter, SummaryNamesFramesDurationRatePeaksAndSpeed) {
  RenderSummary summary;
  summary.mOutputPath = "out.wav";
  summary.mFrames = 88200;
  summary.mSampleRate = 44100;
  summary.mInputPeak = 0.5;
  summary.mOutputPeak = 1.0;
  summary.mSeconds = 0.01;
  EXPECT_EQ(ProgressPrinter::FormatSummary(summary),
            "out.wav: 88200 frames, 2.00 s at 44100 Hz; peak -6.02 dBFS in, 0.00 dBFS out; double precision, "
            "0.01 s, 200x realtime");
}

}  // namespace
