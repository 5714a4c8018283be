// SPDX-License-Identifier: GPL-3.0-or-later
// One VST 2 effect instance, driven only through its AEffect descriptor the way a host drives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HostStatus.h"
#include "PluginModule.h"
#include "Vst2HostCallback.h"
#include "vst/VstInterface.h"

// The chunk kinds, as the index of effGetChunk and effSetChunk.
enum class Vst2Chunk : VstInt32 { kBank = 0, kProgram = 1 };

// The names a VST 2 module exports its entry point under.
enum class Vst2EntryName { kVstPluginMain, kMain, kEither /* VSTPluginMain, else main */ };

// The entry point module exports under that name, or null.
VstPluginMainProc FindVst2Entry(const PluginModule& module, Vst2EntryName name = Vst2EntryName::kEither);

class Vst2Instance {
 public:
  // Text buffers handed to the plug-in, in bytes: plug-ins copy their texts without bounds, often beyond the
  // published 8 or 64 characters.
  static constexpr size_t kTextBufferSize = 512;

  Vst2Instance() = default;
  ~Vst2Instance() { Close(); }
  Vst2Instance(const Vst2Instance&) = delete;
  Vst2Instance& operator=(const Vst2Instance&) = delete;

  // Calls the entry point with Vst2HostCallback::Callback; the instance's requests, from then on and while
  // the entry point runs, go to host, which must outlive the instance. kNoEntryPoint for a null entry,
  // kNoInstance, or kBadDescriptor (see Adopt); Error() tells more.
  HostStatus Create(VstPluginMainProc entry, Vst2HostCallback& host);
  // Takes over an instance made elsewhere, for example by a plug-in class built into the program. A
  // descriptor with a foreign magic number or without a dispatcher is kBadDescriptor and left untouched:
  // nothing in it can be trusted.
  HostStatus Adopt(AEffect* effect, Vst2HostCallback& host);

  bool IsValid() const { return mEffect != nullptr; }
  AEffect* Effect() const { return mEffect; }
  const std::string& Error() const { return mError; }
  // What else keeps a host from driving the instance ("no processReplacing", "no parameter callbacks",
  // "negative parameter or channel count"), or "".
  std::string DescriptorFault() const;

  // The dispatcher. effMainsChanged is followed (IsResumed); after effClose the instance is gone.
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // The start sequence hosts use: effOpen, effSetSampleRate (Hz), effSetBlockSize (frames), resume.
  void Start(double sampleRate, int blockSize);
  void Open() { Dispatch(effOpen); }
  void SetSampleRate(double rate) { Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate)); }
  void SetBlockSize(int frames) { Dispatch(effSetBlockSize, 0, frames); }
  void Resume() { Dispatch(effMainsChanged, 0, 1); }
  void Suspend() { Dispatch(effMainsChanged, 0, 0); }
  bool IsResumed() const { return mResumed; }
  // Suspends a resumed instance, then effClose. Nothing when there is no instance.
  void Close();

  int Inputs() const { return mEffect->numInputs; }
  int Outputs() const { return mEffect->numOutputs; }
  bool CanProcessDouble() const;
  void ProcessFloat(float** inputs, float** outputs, int frames);         // processReplacing
  void ProcessDouble(double** inputs, double** outputs, int frames);      // processDoubleReplacing
  void ProcessAccumulating(float** inputs, float** outputs, int frames);  // process: adds to the outputs

  int ParameterCount() const { return mEffect->numParams; }
  float GetParameter(int index) { return mEffect->getParameter(mEffect, index); }
  void SetParameter(int index, float normalized) { mEffect->setParameter(mEffect, index, normalized); }
  std::string ParameterName(int index) { return Text(effGetParamName, index); }
  std::string ParameterLabel(int index) { return Text(effGetParamLabel, index); }
  std::string ParameterDisplay(int index) { return Text(effGetParamDisplay, index); }
  // effString2Parameter with a copy of text; the plug-in's answer (0: it took nothing).
  VstIntPtr SetParameterText(int index, const std::string& text);
  // The index of the parameter called name (exactly, else ignoring the case of ASCII letters), or -1.
  int FindParameter(const std::string& name);
  // The text the plug-in writes for a text request into a zeroed buffer of kTextBufferSize bytes.
  std::string Text(VstInt32 opcode, VstInt32 index = 0);

  // A copy of the chunk; empty when the plug-in gives none.
  std::vector<uint8_t> GetChunk(Vst2Chunk kind);
  // Hands the plug-in a copy of bytes, as a host passes its own buffer; the plug-in's answer (1: loaded).
  VstIntPtr SetChunk(Vst2Chunk kind, const std::vector<uint8_t>& bytes);

 private:
  AEffect* mEffect = nullptr;
  Vst2HostCallback::Attachment mAttachment;
  bool mResumed = false;
  std::string mError;
};
