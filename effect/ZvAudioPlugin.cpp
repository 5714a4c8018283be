// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/ZvAudioPlugin.h"

namespace {

constexpr int kNumPresets = 0;
// Packed as 0xMMMMmmpp from the project version.
constexpr int kVendorVersion =
    (QUILLMERE_VERSION_MAJOR << 16) | (QUILLMERE_VERSION_MINOR << 8) | QUILLMERE_VERSION_PATCH;
constexpr int kUniqueId = 0x4B717A72;      // 'Kqzr'
constexpr int kManufacturerId = 0x5A5156;  // 'ZQV'
constexpr int kLatency = 0;

}  // namespace

ZvAudioPlugin::ZvAudioPlugin(const IPlugInstanceInfo& info)
    : IPlugBinding(info, kNumParams, "2-2", kNumPresets, "Quillmere", "Quillmere", "", kVendorVersion,
                   kUniqueId, kManufacturerId, kLatency, false, false, false, 0),
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
