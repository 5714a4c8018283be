// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IStateChunk.h"

// Room for 255 characters and the terminator.
constexpr int kPresetNameSize = 256;

// One preset: a name and, once set, a captured state.
struct IPlugPreset {
  IPlugPreset();

  bool mIsSet = false;
  char mName[kPresetNameSize];
  IStateChunk mState;
};
