// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lv2/Vst2Reference.h"

#include "PluginInstance.h"
#include "PluginLibrary.h"
#include "RenderError.h"

struct Vst2Reference::Loaded {
  PluginLibrary mLibrary;
  PluginInstance mInstance;
  explicit Loaded(const std::string& path) : mLibrary(path), mInstance(mLibrary) {}
};

Vst2Reference::Vst2Reference() = default;
Vst2Reference::~Vst2Reference() = default;

bool Vst2Reference::Start(const std::string& path, double sampleRate, int blockSize) {
  try {
    mLoaded = std::make_unique<Loaded>(path);
    mLoaded->mInstance.Open(sampleRate, blockSize);
    mLoaded->mInstance.Resume();
  } catch (const RenderError&) {
    mLoaded.reset();
    return false;
  }
  return true;
}

void Vst2Reference::ProcessFloat(float** inputs, float** outputs, int frames) {
  mLoaded->mInstance.ProcessFloat(inputs, outputs, frames);
}

bool Vst2Reference::SetParameterText(int index, const std::string& text) {
  return mLoaded->mInstance.SetParamText(index, text);
}

void Vst2Reference::Resume() { mLoaded->mInstance.Resume(); }
void Vst2Reference::Suspend() { mLoaded->mInstance.Suspend(); }
