// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "vst/VstInterface.h"

// A VST 2 plug-in loaded the way hosts load it: dlopen, the exported entry point, the descriptor.
class BenchPlugin {
 public:
  BenchPlugin() = default;
  ~BenchPlugin();
  BenchPlugin(const BenchPlugin&) = delete;
  BenchPlugin& operator=(const BenchPlugin&) = delete;

  // Loads the library and creates an instance; false with a message in Error() when it fails.
  bool Load(const std::string& path);
  // effOpen, sample rate, block size, resume.
  void Start(double sampleRate, int blockSize);
  void SetNormalized(int index, float value);
  void ProcessFloat(float** inputs, float** outputs, int frames);
  void ProcessDouble(double** inputs, double** outputs, int frames);
  bool HasDouble() const;
  void Close();

  AEffect* Effect() const { return mEffect; }
  const std::string& Error() const { return mError; }

 private:
  void* mLibrary = nullptr;
  AEffect* mEffect = nullptr;
  std::string mError;
};
