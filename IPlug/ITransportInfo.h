// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The host's transport state; fields the host does not report keep what the caller put there.
struct ITransportInfo {
  double mBeatsPerMinute = 0.0;
  double mSamplePosition = 0.0;
  double mQuarterNotePosition = 0.0;
  double mBarStartPosition = 0.0;
  double mLoopStart = 0.0;
  double mLoopEnd = 0.0;
  int32_t mTimeSigTop = 0;
  int32_t mTimeSigBottom = 0;
  bool mIsPlaying = false;
  bool mIsLooping = false;
};
