// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "vst/VstInterface.h"

// One request the plug-in sent to the host, with copies of the MIDI events it carried.
struct HostRequest {
  AEffect* mEffect;
  VstInt32 mOpcode;
  VstInt32 mIndex;
  VstIntPtr mValue;
  float mOpt;
  VstInt32 mNumEvents;
  std::vector<VstMidiEvent> mMidiEvents;
};

// The host side of the conversation: a callback that records every request and answers the product string
// and vendor version it is given.
class RecordingHost {
 public:
  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);
  static void Answer(const std::string& product, VstIntPtr vendorVersion);
  static std::vector<HostRequest> Requests(const AEffect* effect);
  static int Count(const AEffect* effect, VstInt32 opcode);

 private:
  static std::mutex sMutex;
  static std::vector<HostRequest> sRequests;
  static std::string sProduct;
  static VstIntPtr sVendorVersion;
};

// The built plug-in library, loaded once per process.
class PluginLibrary {
 public:
  static VstPluginMainProc Entry(const char* name);
};

// One instance made through an entry point, closed with effClose unless the test closed it.
class PluginInstance {
 public:
  explicit PluginInstance(const char* entry = "VSTPluginMain");
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect* operator->() const { return mEffect; }
  AEffect* Get() const { return mEffect; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  std::string Text(VstInt32 opcode, VstInt32 index = 0);
  // effOpen, sample rate, block size and resume, as a host starts an effect.
  void Start(float sampleRate = 44100.0f, int blockSize = 1024);
  void Close();

 private:
  AEffect* mEffect;
};

// A deterministic stereo test signal: two tones and noise, different per channel.
std::vector<std::vector<double>> TestSignal(int nFrames, unsigned seed = 1);

// Runs the signal through processReplacing (float) or processDoubleReplacing in blocks of blockSize frames.
std::vector<std::vector<float>> ProcessFloat(AEffect* effect, const std::vector<std::vector<double>>& input,
                                             int blockSize);
std::vector<std::vector<double>> ProcessDouble(AEffect* effect, const std::vector<std::vector<double>>& input,
                                               int blockSize);
