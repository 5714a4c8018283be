// SPDX-License-Identifier: GPL-3.0-or-later
// One effect instance made by a plug-in library's entry point, driven only
// through its AEffect descriptor the way a VST 2 host drives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HostCallback.h"
#include "PluginLibrary.h"
#include "vst/VstInterface.h"

class PluginInstance {
 public:
  // Calls the entry point and checks the descriptor; throws RenderError for a
  // missing or malformed one.
  explicit PluginInstance(const PluginLibrary& library);
  // Suspends if resumed and closes the instance.
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  // effOpen, then effSetSampleRate and effSetBlockSize. Throws RenderError when
  // the effect is not a stereo effect.
  void Open(double sampleRate, int blockSize);
  void Resume();   // effMainsChanged 1
  void Suspend();  // effMainsChanged 0

  int Inputs() const { return mEffect->numInputs; }
  int Outputs() const { return mEffect->numOutputs; }
  bool CanProcessDouble() const;
  void ProcessFloat(float** inputs, float** outputs, int frames);
  void ProcessDouble(double** inputs, double** outputs, int frames);

  int ParamCount() const { return mEffect->numParams; }
  std::string ParamName(int index);
  std::string ParamDisplay(int index);
  std::string ParamLabel(int index);
  float ParamNormalized(int index);
  void SetParamNormalized(int index, float value);
  // Sends the text through effString2Parameter; false when the effect rejects it.
  bool SetParamText(int index, const std::string& text);
  // The index of the parameter called `name` (exact, else ignoring case), or -1.
  int FindParam(const std::string& name);

  // The program chunk (effGetChunk / effSetChunk with index 1).
  std::vector<uint8_t> SaveProgramState();
  bool LoadProgramState(const std::vector<uint8_t>& data);

 private:
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  std::string Text(VstInt32 opcode, int index);

  std::string mPath;
  HostCallback mHost;
  AEffect* mEffect = nullptr;
  bool mOpened = false;
  bool mResumed = false;
};
