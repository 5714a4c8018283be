// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressPrinter.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "StandardError.h"

namespace {

constexpr int kBarWidth = 40;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressPrinter::ProgressPrinter(int64_t totalFrames, double sampleRate, bool wanted)
    : mTotal(totalFrames),
      mEnabled(wanted && isatty(fileno(MessageStream())) != 0 && sampleRate > 0 &&
               static_cast<double>(totalFrames) / sampleRate > kMinSecondsForBar) {}

void ProgressPrinter::Update(int64_t framesDone) {
  if (!mEnabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (mDrawn && now - mLastDraw < kRedrawInterval) return;
  mLastDraw = now;
  Draw(framesDone);
}

void ProgressPrinter::Draw(int64_t framesDone) {
  const double fraction = mTotal > 0 ? std::clamp(static_cast<double>(framesDone) / mTotal, 0.0, 1.0) : 1.0;
  const int permille = static_cast<int>(fraction * 1000.0);
  if (permille == mLastPermille) return;
  mLastPermille = permille;
  std::fprintf(MessageStream(), "\r%s %5.1f%%", Bar(fraction).c_str(), fraction * 100.0);
  std::fflush(MessageStream());
  mDrawn = true;
}

void ProgressPrinter::Finish() {
  if (!mDrawn) return;
  std::fprintf(MessageStream(), "\r%*s\r", kBarWidth + 10, "");
  std::fflush(MessageStream());
  mDrawn = false;
}

std::string ProgressPrinter::Bar(double fraction) {
  const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kBarWidth);
  std::string bar = "[";
  for (int i = 0; i < kBarWidth; ++i) bar += i < filled ? '#' : '.';
  return bar + "]";
}

std::string ProgressPrinter::FormatPeak(double linear) {
  if (!(linear > 0.0)) return "-inf dBFS";
  double db = 20.0 * std::log10(linear);
  if (std::fabs(db) < 0.005) db = 0.0;  // no "-0.00"
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f dBFS", db);
  return text;
}

std::string ProgressPrinter::FormatSummary(const RenderSummary& s) {
  const double duration = s.mSampleRate > 0 ? static_cast<double>(s.mFrames) / s.mSampleRate : 0.0;
  const double speed = duration / std::max(s.mSeconds, 1e-6);
  char text[512];
  std::snprintf(
      text, sizeof(text),
      "%s: %lld frames, %.2f s at %.0f Hz; peak %s in, %s out; %s precision, %.2f s, %.0fx realtime",
      s.mOutputPath.c_str(), static_cast<long long>(s.mFrames), duration, s.mSampleRate,
      FormatPeak(s.mInputPeak).c_str(), FormatPeak(s.mOutputPeak).c_str(),
      s.mDoublePrecision ? "double" : "float", s.mSeconds, speed);
  return text;
}
