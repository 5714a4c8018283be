// SPDX-License-Identifier: GPL-3.0-or-later
// The host side of the plug-in's requests (the audioMasterCallback).
#pragma once

#include "vst/VstInterface.h"

class HostCallback {
 public:
  static constexpr const char* kProductString = "quillmere-render";

  HostCallback();
  ~HostCallback();
  HostCallback(const HostCallback&) = delete;
  HostCallback& operator=(const HostCallback&) = delete;

  // The callback to hand to the entry point. The renderer hosts one effect at a
  // time, so requests go to the most recently made HostCallback.
  static VstIntPtr VSTCALLBACK Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);

  void SetSampleRate(double rate) { mSampleRate = rate; }
  void SetBlockSize(int frames) { mBlockSize = frames; }

 private:
  VstIntPtr Answer(VstInt32 opcode, void* ptr) const;
  static VstIntPtr Answer(VstInt32 opcode, void* ptr, double sampleRate, int blockSize);

  HostCallback* mPrevious;
  double mSampleRate = 44100.0;  // Hz
  int mBlockSize = 512;          // frames
};
