// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lv2/Vst2Reference.h"

#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"

// Members are destroyed in reverse order: the instance before its host and its module.
struct Vst2Reference::Loaded {
  PluginModule mModule;
  Vst2HostCallback mHost{{}, false};
  Vst2Instance mInstance;
};

Vst2Reference::Vst2Reference() = default;
Vst2Reference::~Vst2Reference() = default;

bool Vst2Reference::Start(const std::string& path, double sampleRate, int blockSize) {
  mLoaded = std::make_unique<Loaded>();
  if (mLoaded->mModule.Open(path) != HostStatus::kOk ||
      mLoaded->mInstance.Create(FindVst2Entry(mLoaded->mModule), mLoaded->mHost) != HostStatus::kOk) {
    mLoaded.reset();
    return false;
  }
  mLoaded->mInstance.Start(sampleRate, blockSize);
  return true;
}

void Vst2Reference::ProcessFloat(float** inputs, float** outputs, int frames) {
  mLoaded->mInstance.ProcessFloat(inputs, outputs, frames);
}

bool Vst2Reference::SetParameterText(int index, const std::string& text) {
  return mLoaded->mInstance.SetParameterText(index, text) != 0;
}

void Vst2Reference::Resume() { mLoaded->mInstance.Resume(); }
void Vst2Reference::Suspend() { mLoaded->mInstance.Suspend(); }
