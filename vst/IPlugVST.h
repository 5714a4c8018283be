// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IPlugBase.h"
#include "vst/VstInterface.h"

// Host buffers receive at most these many bytes, terminator included.
constexpr int kParamTextCopySize = 32;  // parameter name, unit label and display text
constexpr int kEffectNameCopySize = 32;
constexpr int kVendorTextCopySize = 64;  // vendor and product strings
constexpr int kProgramNameCopySize = 24;
constexpr int kPinLabelCopySize = 64;

// IPlugInstanceInfo (IPlug/IPlugFactory.h): what an entry hands MakePlug for a new VST 2 instance, the host's
// callback, through which the instance reaches its host.
using IPlugInstanceInfo = audioMasterCallback;

// Speaker arrangement type for a channel count: empty, mono, stereo or user defined.
VstInt32 ArrangementTypeFor(int nChannels);

// The VST 2.4 binding of a plug-in instance: fills the AEffect descriptor the host drives, answers the
// dispatcher and the audio and parameter callbacks, and carries the plug-in's requests to the host.
class IPlugVST : public IPlugBase {
 public:
  // The last argument is ignored.
  IPlugVST(IPlugInstanceInfo hostCallback, int nParams, const char* channelIOStr, int nPresets,
           const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
           int uniqueId, int vendorId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
           int reserved);
  ~IPlugVST() override;

  // Lives as long as the object; its object field points back here.
  AEffect* Descriptor() { return &mDescriptor; }
  int HostExtensionFlags() const { return mHostExtensionFlags; }
  bool HostPrepared() const { return mHostPrepared; }

  void HostBeginEdit(int paramIndex) override;
  void HostAutomate(int paramIndex, double normalizedValue) override;
  void HostEndEdit(int paramIndex) override;
  void HostUpdateDisplay() override;
  bool IsOfflineRender() override;
  int HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int* numerator, int* denominator) override;
  void HostTransport(ITransportInfo* info) override;
  EHostId HostId() override;
  void ResizeEditor(int width, int height) override;
  void PrepareForHost() override;
  void AttachEditor(IPlugEditor* editor) override;
  void ChangeLatency(int samples) override;
  bool SendMidiMessage(const IMidiMessage* message) override;
  bool SendSysExMessage(const ISysExMessage* message) override;

  // The descriptor's entries. Each takes the instance lock for its whole duration.
  static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                             VstIntPtr value, void* ptr, float opt);
  // The audio entries (process, processReplacing, processDoubleReplacing): Process, after the request for
  // MIDI.
  template <class Sample, void (IPlugBase::*Process)(Sample**, Sample**, int)>
  static void VSTCALLBACK VSTProcess(AEffect* effect, Sample** inputs, Sample** outputs, VstInt32 nFrames);
  static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 index);
  static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value);

 private:
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr GetChunk(bool bank, void** data);
  VstIntPtr SetChunk(bool bank, const void* data, int size);
  VstIntPtr ProcessEvents(const VstEvents* events);
  VstIntPtr TextToParameter(int index, const char* text);
  VstIntPtr PinProperties(bool input, int index, VstPinProperties* pin);
  void ConnectArrangement(bool input, const VstSpeakerArrangement* arrangement);
  VstIntPtr CanDo(const char* question);
  VstIntPtr VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt);
  bool ParamInRange(int index) const { return index >= 0 && index < ParamCount(); }

  // Every request goes out with the descriptor's address; 0 when there is no callback.
  VstIntPtr SendHostRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  // The host's time information when it has any of the filter's bits (any record for filter 0), else none.
  const VstTimeInfo* QueryTimeInfo(VstInt32 filter);
  // One event in a one-entry VstEvents; true when the host answers 1.
  bool SendEventToHost(VstEvent* event);
  // Every audio block asks the host for MIDI when the plug-in takes MIDI.
  void RequestMidiIfWanted() {
    if (WantsMidi()) SendHostRequest(audioMasterWantMidi, 0, 0, nullptr, 0.0f);
  }

  audioMasterCallback mHostCallbackFn;
  VstSpeakerArrangement mInputArrangement;
  VstSpeakerArrangement mOutputArrangement;
  bool mHostPrepared = false;
  int32_t mHostExtensionFlags = 0;  // bit 0 and bit 1: the host asked about its two extensions
  IStateChunk mProgramChunk;        // what effGetChunk last handed out or effSetChunk last received
  IStateChunk mBankChunk;
  AEffect mDescriptor;
};

// IPlugBinding (IPlug/IPlugFactory.h): the class the effect class derives from when it is built as a VST 2
// plug-in.
using IPlugBinding = IPlugVST;
