// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/ZvAudioPlugin.h"

#include "effect/PluginDescription.h"

// The instance keeps its names whole, so what an entry reads from the description is what the instance
// reports.
static_assert(sizeof kPluginName <= kPlugNameSize && sizeof kPluginProductName <= kPlugNameSize &&
                  sizeof kPluginVendorName <= kPlugNameSize,
              "the plug-in's names fit the instance's name fields");

ZvAudioPlugin::ZvAudioPlugin(const IPlugInstanceInfo& info)
    : IPlugBinding(info, kNumParams, kPluginChannelIO, kPluginPresetCount, kPluginName, kPluginProductName,
                   kPluginVendorName, kPluginPackedVersion, kPluginVst2UniqueId, kPluginManufacturerId,
                   kPluginLatencyFrames, kPluginTakesMidi, kPluginDeclaresChunks, kPluginIsInstrument, 0),
      mEngine(new EffectEngine()) {
  // The framework runs every block under its own flush guard.
  mEngine->SetCallerFlushes(true);
  for (const ParameterDefinition& d : kParameterTable) {
    Param(d.mIndex)->DefineContinuous(d.mName, d.mDefault, d.mMin, d.mMax, d.mStep, d.mUnitLabel, d.mShape);
  }
}

ZvAudioPlugin::~ZvAudioPlugin() = default;

void ZvAudioPlugin::ResetProcessing() {
  IPlugMutexLock lock(this);
  mEngine->Reset(SampleRate());
}

void ZvAudioPlugin::ParamChanged(int paramIndex) {
  IPlugMutexLock lock(this);
  mEngine->SetParameter(paramIndex, Param(paramIndex)->Value());
}

void ZvAudioPlugin::ProcessDoubleBlock(double** inputs, double** outputs, int nFrames) {
  mEngine->ProcessStereoBlock(inputs, outputs, nFrames);
}

bool ZvAudioPlugin::ProcessFloatBlockDirect(float** inputs, float** outputs, double** inputCopies,
                                            double** outputCopies, int nFrames) {
  mEngine->ProcessStereoBlock(inputs, outputs, inputCopies, outputCopies, nFrames);
  return true;
}

IPlugBinding* MakePlug(const IPlugInstanceInfo& info) { return new ZvAudioPlugin(info); }
