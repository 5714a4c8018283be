// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "effect/EffectEngine.h"
#include "vst/IPlugVST.h"

// The plug-in: five parameters, stereo in and out, no presets, and the engine bound to reset, parameter
// change and block processing.
class ZvAudioPlugin : public IPlugVST {
 public:
  enum EParams { kSplitHz = 0, kLowQDb, kHighQDb, kLowAngle, kHighAngle, kNumParams };

  explicit ZvAudioPlugin(audioMasterCallback hostCallback);
  ~ZvAudioPlugin() override;

  void ResetProcessing() override;
  void ParamChanged(int paramIndex) override;
  // Runs inside the instance lock that the audio callbacks hold for the whole block.
  void ProcessDoubleBlock(double** inputs, double** outputs, int nFrames) override;

  const EffectEngine& Engine() const { return *mEngine; }

 private:
  std::unique_ptr<EffectEngine> mEngine;
};
