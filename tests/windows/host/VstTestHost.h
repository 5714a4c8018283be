// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "vst/VstInterface.h"

// One plug-in instance driven the way a host drives it: made by the entry point, then spoken to only through
// its descriptor. The destructor closes the instance.
class VstTestHost {
 public:
  explicit VstTestHost(VstPluginMainProc entry);
  ~VstTestHost();
  VstTestHost(const VstTestHost&) = delete;
  VstTestHost& operator=(const VstTestHost&) = delete;

  // Null when the entry point made no instance.
  AEffect* Effect() const { return mEffect; }
  // What makes the descriptor unusable for a stereo effect, or "" when nothing does.
  std::string DescriptorProblem() const;

  // effOpen, the sample rate (Hz), the block size (frames), then resume.
  void Start(float sampleRate, VstInt32 blockSize);
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  void SetParameter(VstInt32 index, float normalized);
  float GetParameter(VstInt32 index);
  // effString2Parameter; the answer is the plug-in's.
  VstIntPtr SetParameterText(VstInt32 index, const char* text);
  // A text the plug-in writes for opcode and index, given a zeroed 256-byte buffer.
  std::string Text(VstInt32 opcode, VstInt32 index);
  // The bank (index 0) or program chunk, copied out of the plug-in's memory; empty when it answers 0.
  std::vector<unsigned char> GetChunk(bool bank);
  VstIntPtr SetChunk(bool bank, const std::vector<unsigned char>& bytes);
  void Process(float** inputs, float** outputs, VstInt32 frames);
  void Process(double** inputs, double** outputs, VstInt32 frames);

  // Answers the plug-in's requests: version, product, vendor; 0 to everything else.
  static VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt);

 private:
  AEffect* mEffect;
};
