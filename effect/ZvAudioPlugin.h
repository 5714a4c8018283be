// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "IPlug/IPlugFactory.h"
#include "effect/EffectEngine.h"
#include "effect/ParameterTable.h"

// The plug-in: what effect/PluginDescription.h describes (stereo in and out, no presets), the five parameters
// of the table, and the engine bound to reset, parameter change and block processing. Compiled once per
// format, against that format's binding class.
class ZvAudioPlugin : public IPlugBinding {
 public:
  explicit ZvAudioPlugin(const IPlugInstanceInfo& info);
  ~ZvAudioPlugin() override;

  void ResetProcessing() override;
  void ParamChanged(int paramIndex) override;
  // Runs inside the instance lock that the audio callbacks hold for the whole block.
  void ProcessDoubleBlock(double** inputs, double** outputs, int nFrames) override;
  // The engine's 32-bit entry, which converts inside its own passes.
  bool ProcessFloatBlockDirect(float** inputs, float** outputs, double** inputCopies, double** outputCopies,
                               int nFrames) override;

  const EffectEngine& Engine() const { return *mEngine; }

 private:
  std::unique_ptr<EffectEngine> mEngine;
};
