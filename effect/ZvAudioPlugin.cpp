// SPDX-License-Identifier: GPL-3.0-or-later
#include "effect/ZvAudioPlugin.h"

namespace {

constexpr int kNumPresets = 0;
constexpr int kVendorVersion = 0x00000100;  // 0.1.0
constexpr int kUniqueId = 0x4B717A72;       // 'Kqzr'
constexpr int kManufacturerId = 0x5A5156;   // 'ZQV'
constexpr int kLatency = 0;

struct ParamDefinition {
  const char* mName;
  const char* mUnitLabel;
  double mMin;
  double mMax;
  double mDefault;
  double mStep;
  double mShape;  // 0 exponential, 1 linear
};

// Units as the engine takes them: Hz, dB, dB, radians, radians.
constexpr ParamDefinition kParamDefinitions[ZvAudioPlugin::kNumParams] = {
    {"Freqz Split", "Hz", 100.0, 20000.0, 1000.0, 0.001, 0.0},
    {"LowFreqzQ", "", -40.0, 12.0, 0.0, 0.001, 1.0},
    {"HighFreqzQ", "", -40.0, 12.0, 0.0, 0.001, 1.0},
    {"LR to LowFreqz", "angular", -10.0, 10.0, 0.0, 0.001, 1.0},
    {"LR to HighFreqz", "angular", -10.0, 10.0, 0.0, 0.001, 1.0},
};

}  // namespace

ZvAudioPlugin::ZvAudioPlugin(audioMasterCallback hostCallback)
    : IPlugVST(hostCallback, kNumParams, "2-2", kNumPresets, "Quillmere", "Quillmere", "", kVendorVersion,
               kUniqueId, kManufacturerId, kLatency, false, false, false, 0),
      mEngine(new EffectEngine()) {
  for (int i = 0; i < kNumParams; ++i) {
    const ParamDefinition& d = kParamDefinitions[i];
    Param(i)->DefineContinuous(d.mName, d.mDefault, d.mMin, d.mMax, d.mStep, d.mUnitLabel, d.mShape);
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

IPlugVST* MakePlug(audioMasterCallback hostCallback) { return new ZvAudioPlugin(hostCallback); }
