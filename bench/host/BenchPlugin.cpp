// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/host/BenchPlugin.h"

#include <dlfcn.h>

namespace {

VstIntPtr VSTCALLBACK BenchHostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetProductString:
      if (ptr) {
        static const char kName[] = "quillmere-bench";
        for (unsigned i = 0; i < sizeof(kName); ++i) static_cast<char*>(ptr)[i] = kName[i];
        return 1;
      }
      return 0;
    case audioMasterGetSampleRate:
      return 44100;
    case audioMasterGetBlockSize:
      return 512;
    case audioMasterGetCurrentProcessLevel:
      return kVstProcessLevelRealtime;
    default:
      return 0;
  }
}

}  // namespace

BenchPlugin::~BenchPlugin() { Close(); }

bool BenchPlugin::Load(const std::string& path) {
  mLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mLibrary) {
    const char* why = dlerror();
    mError = why ? why : "cannot load " + path;
    return false;
  }
  auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(mLibrary, "VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<VstPluginMainProc>(dlsym(mLibrary, "main"));
  if (!entry) {
    mError = path + ": no VSTPluginMain or main";
    return false;
  }
  mEffect = entry(BenchHostCallback);
  if (!mEffect || mEffect->magic != kEffectMagic) {
    mError = path + ": no valid descriptor";
    mEffect = nullptr;
    return false;
  }
  return true;
}

void BenchPlugin::Start(double sampleRate, int blockSize) {
  mEffect->dispatcher(mEffect, effOpen, 0, 0, nullptr, 0.0f);
  mEffect->dispatcher(mEffect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  mEffect->dispatcher(mEffect, effSetBlockSize, 0, blockSize, nullptr, 0.0f);
  mEffect->dispatcher(mEffect, effMainsChanged, 0, 1, nullptr, 0.0f);
}

void BenchPlugin::SetNormalized(int index, float value) { mEffect->setParameter(mEffect, index, value); }

void BenchPlugin::ProcessFloat(float** inputs, float** outputs, int frames) {
  mEffect->processReplacing(mEffect, inputs, outputs, frames);
}

void BenchPlugin::ProcessDouble(double** inputs, double** outputs, int frames) {
  mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
}

bool BenchPlugin::HasDouble() const {
  return mEffect && (mEffect->flags & effFlagsCanDoubleReplacing) && mEffect->processDoubleReplacing;
}

void BenchPlugin::Close() {
  if (mEffect) {
    mEffect->dispatcher(mEffect, effMainsChanged, 0, 0, nullptr, 0.0f);
    mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);
    mEffect = nullptr;
  }
  // Plug-in libraries often keep process-wide state; they stay loaded until the process ends.
  mLibrary = nullptr;
}
