// SPDX-License-Identifier: GPL-3.0-or-later
// The built plug-in hosted through the host library, with a recording host of its own per instance.
#pragma once

#include <string>
#include <vector>

#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"

// One instance of the built plug-in made through one of its entry points. Its host answers the product string
// it is given and the vendor version 5983, and records every request.
class TestPlugin : public Vst2Instance {
 public:
  explicit TestPlugin(Vst2EntryName entry = Vst2EntryName::kVstPluginMain,
                      const std::string& product = "Test Host");
  ~TestPlugin() { Close(); }  // before the host goes

  AEffect* operator->() const { return Effect(); }
  const Vst2HostCallback& Host() const { return mHost; }

 private:
  Vst2HostCallback mHost;
};

// The text the plug-in writes for opcode and index into a 256-byte buffer filled with 0x7f beforehand, so a
// request that writes nothing or no terminator shows.
std::string WrittenText(Vst2Instance& plug, VstInt32 opcode, VstInt32 index = 0);

// A deterministic stereo test signal: two tones and noise, different per channel.
std::vector<std::vector<double>> TestSignal(int nFrames, unsigned seed = 1);

// Runs the signal through processReplacing (float) or processDoubleReplacing in blocks of blockSize frames.
std::vector<std::vector<float>> ProcessFloat(Vst2Instance& plug,
                                             const std::vector<std::vector<double>>& input, int blockSize);
std::vector<std::vector<double>> ProcessDouble(Vst2Instance& plug,
                                               const std::vector<std::vector<double>>& input, int blockSize);
