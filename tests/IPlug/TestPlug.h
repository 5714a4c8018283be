// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "IPlug/IPlugBase.h"

// A plug-in object that supplies the host operations and records what the base object does through them.
class TestPlug : public IPlugBase {
 public:
  static constexpr int kVersion = 0x100;
  static constexpr int kUniqueId = 0x4B717A72;
  static constexpr int kVendorId = 0x5A5156;
  // The five parameters' defaults, in index order.
  static inline const std::vector<double> kDefaults = {1000.0, 0.0, 0.0, 0.0, 0.0};

  explicit TestPlug(const char* channelIO = "2-2", int nPresets = 0, int nParams = 5, int version = kVersion)
      : IPlugBase(nParams, channelIO, nPresets, "Quillmere", "Quillmere", "", version, kUniqueId, kVendorId,
                  0, false, false, false, kApiVst2) {
    // Five parameters with distinct ranges: a frequency, two gains in dB and two angles.
    static const struct {
      const char* name;
      double def, min, max;
    } kTable[] = {{"Freqz Split", 1000.0, 100.0, 20000.0},
                  {"LowFreqzQ", 0.0, -40.0, 12.0},
                  {"HighFreqzQ", 0.0, -40.0, 12.0},
                  {"LR to LowFreqz", 0.0, -10.0, 10.0},
                  {"LR to HighFreqz", 0.0, -10.0, 10.0}};
    for (int i = 0; i < ParamCount(); ++i) {
      const auto& row = kTable[i % 5];
      Param(i)->DefineContinuous(row.name, row.def, row.min, row.max, 0.01, "", 1.0);
    }
  }

  void ParamChanged(int paramIndex) override {
    IPlugBase::ParamChanged(paramIndex);
    mChanged.push_back(paramIndex);
    mEvents.push_back("changed " + std::to_string(paramIndex));
    if (mOnChanged) mOnChanged(paramIndex);
  }

  void ProcessDoubleBlock(double** inputs, double** outputs, int nFrames) override {
    mProcessFrames.push_back(nFrames);
    mSeenInputs.assign(inputs, inputs + InChannelCount());
    mSeenOutputs.assign(outputs, outputs + OutChannelCount());
    if (mProcess) {
      mProcess(inputs, outputs, nFrames);
    } else {
      IPlugBase::ProcessDoubleBlock(inputs, outputs, nFrames);
    }
  }

  void PresetChangedHook() override { ++mPresetHooks; }

  void HostBeginEdit(int) override {}
  void HostAutomate(int paramIndex, double normalizedValue) override {
    mEvents.push_back("automate " + std::to_string(paramIndex) + " " + std::to_string(normalizedValue));
  }
  void HostEndEdit(int) override {}
  void HostUpdateDisplay() override {}
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int* numerator, int* denominator) override { *numerator = *denominator = 4; }
  void HostTransport(ITransportInfo*) override {}
  void ResizeEditor(int, int) override {}
  bool SendMidiMessage(const IMidiMessage* message) override {
    mSentMidi.push_back(message);
    return true;
  }

  std::vector<int> mChanged;
  std::vector<std::string> mEvents;
  std::vector<int> mProcessFrames;
  std::vector<double*> mSeenInputs;
  std::vector<double*> mSeenOutputs;
  std::function<void(double**, double**, int)> mProcess;
  std::function<void(int)> mOnChanged;
  std::vector<const IMidiMessage*> mSentMidi;
  int mPresetHooks = 0;
};

// Every parameter's value, in index order.
inline std::vector<double> ValuesOf(const IPlugBase& plug) {
  std::vector<double> values;
  for (int i = 0; i < plug.ParamCount(); ++i) values.push_back(plug.Param(i)->Value());
  return values;
}
