// SPDX-License-Identifier: GPL-3.0-or-later
// The progress bar on standard error and the one-line summary at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

struct RenderSummary {
  std::string mOutputPath;
  int64_t mFrames = 0;
  double mSampleRate = 0;  // Hz
  double mInputPeak = 0;   // linear, 1 = full scale
  double mOutputPeak = 0;  // linear
  double mSeconds = 0;     // wall-clock time of the render
  bool mDoublePrecision = true;
};

class ProgressPrinter {
 public:
  // Files no longer than this many seconds render too fast to need a bar.
  static constexpr double kMinSecondsForBar = 5.0;

  // The bar shows only when wanted, standard error is a terminal and the audio is long enough.
  ProgressPrinter(int64_t totalFrames, double sampleRate, bool wanted = true);
  void Update(int64_t framesDone);
  // Removes the bar from the terminal.
  void Finish();

  // "[####....]" for a fraction from 0 to 1.
  static std::string Bar(double fraction);
  static std::string FormatSummary(const RenderSummary& summary);
  static std::string FormatPeak(double linear);  // "-6.02 dBFS", "-inf dBFS"

 private:
  void Draw(int64_t framesDone);

  int64_t mTotal;
  bool mEnabled;
  bool mDrawn = false;
  int mLastPermille = -1;
  std::chrono::steady_clock::time_point mLastDraw;
};
