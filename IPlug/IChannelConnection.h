// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IText.h"
#include "IPlug/ITypedBuffer.h"

// Per-channel records of the processing frame. mSlot points at this channel's entry of the plug-in's slot array
// (which never moves after construction); the scratch buffer holds block-size samples.
struct IInputConnection {
  bool mIsConnected = false;
  double** mSlot = nullptr;
  ITypedBuffer<double> mScratch;
  IText mPinLabel;
};

struct IOutputConnection {
  bool mIsConnected = false;
  double** mSlot = nullptr;
  float* mFloatTarget = nullptr;  // the host's 32-bit buffer of the current block
  ITypedBuffer<double> mScratch;
  IText mPinLabel;
};
