// SPDX-License-Identifier: GPL-3.0-or-later
// The built VST 2 plug-in, loaded through the host-side library, as the reference the LV2 plug-in must match.
#pragma once

#include <memory>
#include <string>

class Vst2Reference {
 public:
  Vst2Reference();
  ~Vst2Reference();

  // Loads the module and starts an instance as hosts do: effOpen, sample rate (Hz), block size (frames),
  // resume. False when any of it fails.
  bool Start(const std::string& path, double sampleRate, int blockSize);
  void ProcessFloat(float** inputs, float** outputs, int frames);  // processReplacing
  // effString2Parameter; false when the plug-in rejects the text.
  bool SetParameterText(int index, const std::string& text);
  void Resume();
  void Suspend();

 private:
  struct Loaded;
  std::unique_ptr<Loaded> mLoaded;
};
