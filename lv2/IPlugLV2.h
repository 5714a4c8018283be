// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>

#include "IPlug/IPlugBase.h"
#include "lv2/Lv2Ports.h"

// What the LV2 binding needs from instantiate: the sample rate and the host's features.
struct Lv2InstanceInfo {
  double mSampleRate = 44100.0;                   // Hz
  const LV2_Feature* const* mFeatures = nullptr;  // null-terminated, or null; read only during construction
};

// IPlugInstanceInfo (IPlug/IPlugFactory.h): what an entry hands MakePlug for a new LV2 instance, the
// arguments of instantiate.
using IPlugInstanceInfo = Lv2InstanceInfo;

// The LV2 binding of a plug-in instance: takes the block size from the host's options, reads the control
// ports at every run and processes the audio ports in 32 bit. LV2 has no requests from plug-in to host that
// this plug-in uses, so those are empty.
class IPlugLV2 : public IPlugBase {
 public:
  // Without a usable maximum block length from the host, runs are processed in pieces of this many frames,
  // the engine's chunk length. The engine cuts every call into chunks of 4096 frames from its first frame on
  // and carries all its state from chunk to chunk, so pieces of 4096 frames (or of any multiple of it) end
  // where its chunks would end in one call with the whole run: the output is the same as that of the whole
  // run, at any run length. A piece of a length between two multiples would move the chunk boundaries.
  static constexpr int kDefaultBlockFrames = 4096;
  // The largest block size: a host maximum above it is cut to it, and longer runs go in pieces of it. A
  // multiple of the engine's chunk, so the pieces split the audio where one long call is split anyway.
  static constexpr int kMaxBlockFrames = 8192;

  // The last argument is ignored.
  IPlugLV2(IPlugInstanceInfo info, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
           int uniqueId, int vendorId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
           int reserved);
  ~IPlugLV2() override;

  // What instantiate does once the object exists, in the order a VST 2 host opens an instance: parameters to
  // the engine, sample rate, block size. False when the sample rate is not a positive finite number.
  bool Open();
  // The host's maximum block length as read from its options, cut to kMaxBlockFrames; 0 when it offered none
  // that is usable.
  int HostMaxBlockFrames() const { return mHostMaxBlockFrames; }

  void HostBeginEdit(int) override {}
  void HostAutomate(int, double) override {}
  void HostEndEdit(int) override {}
  void HostUpdateDisplay() override {}
  int HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0.0; }
  void HostTimeSignature(int* numerator, int* denominator) override;
  void HostTransport(ITransportInfo*) override {}
  void ResizeEditor(int, int) override {}
  bool SendMidiMessage(const IMidiMessage*) override { return false; }

  // The descriptor's entries (instantiate lives with the descriptor, where the effect is built). Each but
  // ConnectPort takes the instance lock for its whole duration.
  static void ConnectPort(LV2_Handle instance, uint32_t port, void* data);
  static void Activate(LV2_Handle instance);
  static void Run(LV2_Handle instance, uint32_t nFrames);
  static void Deactivate(LV2_Handle instance);
  static void Cleanup(LV2_Handle instance);

 private:
  void ReadHostOptions(const LV2_Feature* const* features);
  // Passes every control value that changed since the last run to the engine, in parameter order.
  void ApplyControlPorts();
  void ProcessRun(uint32_t nFrames);

  double mHostSampleRate;
  int mHostMaxBlockFrames = 0;
  float* mAudioPorts[kPortFirstControl] = {};
  const float* mControlPorts[kNumParams] = {};
  // Bits of the value each control port held at the last run; a NaN read is remembered but never applied.
  uint32_t mLastControlBits[kNumParams] = {};
};

// IPlugBinding (IPlug/IPlugFactory.h): the class the effect class derives from when it is built as an LV2
// plug-in.
using IPlugBinding = IPlugLV2;
