// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/torture/TortureHost.h"

#include <cstdlib>

#ifndef QUILLMERE_PLUGIN_PATH
#define QUILLMERE_PLUGIN_PATH ""
#endif

namespace torture {

namespace {

thread_local bool tInAudioCallback = false;

struct AudioScope {
  AudioScope() { tInAudioCallback = true; }
  ~AudioScope() { tInAudioCallback = false; }
};

Vst2HostAnswers PlainHostAnswers() {
  Vst2HostAnswers answers;
  answers.mProduct = "Torture Host";
  answers.mVendor = "Torture Works";
  answers.mVendorVersion = 1000;
  answers.mSampleRate = 44100.0;
  answers.mBlockSize = 512;
  answers.mProcessLevel = kVstProcessLevelUser;
  answers.mTransport = true;
  return answers;
}

}  // namespace

std::string PluginPathUnderTest() {
  const char* fromEnvironment = std::getenv("QUILLMERE_PLUGIN");
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  return QUILLMERE_PLUGIN_PATH;
}

const PluginModule& ModuleUnderTest() {
  static PluginModule* module = [] {
    auto* opened = new PluginModule;
    opened->Open(PluginPathUnderTest());
    return opened;
  }();
  return *module;
}

TortureHost::TortureHost() : Vst2HostCallback(PlainHostAnswers()) {}

VstIntPtr TortureHost::Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt) {
  if (tInAudioCallback) mDuringAudio.fetch_add(1);
  return Vst2HostCallback::Answer(effect, opcode, index, value, ptr, opt);
}

TortureHost& Host() {
  static TortureHost* host = new TortureHost;  // never destroyed, like the module
  return *host;
}

Figures& Totals() {
  static Figures figures;
  return figures;
}

Instance::Instance() : Instance(FindVst2Entry(ModuleUnderTest())) {}

Instance::Instance(VstPluginMainProc entry) {
  if (Create(entry, Host()) == HostStatus::kOk) Totals().instancesCreated.fetch_add(1);
}

void Instance::Open() {
  Vst2Instance::Open();
  Totals().instancesOpened.fetch_add(1);
}

void Instance::Start(float rate, int blockSize) {
  Vst2Instance::Start(rate, blockSize);
  Totals().instancesOpened.fetch_add(1);
}

void Instance::Counted(int frames) {
  Totals().blocksProcessed.fetch_add(1);
  if (frames > 0) Totals().framesProcessed.fetch_add(frames);
}

void Instance::ProcessFloat(float** inputs, float** outputs, int frames) {
  AudioScope scope;
  Vst2Instance::ProcessFloat(inputs, outputs, frames);
  Counted(frames);
}

void Instance::ProcessDouble(double** inputs, double** outputs, int frames) {
  AudioScope scope;
  Vst2Instance::ProcessDouble(inputs, outputs, frames);
  Counted(frames);
}

void Instance::ProcessAccumulating(float** inputs, float** outputs, int frames) {
  AudioScope scope;
  Vst2Instance::ProcessAccumulating(inputs, outputs, frames);
  Counted(frames);
}

VstIntPtr Instance::LoadChunk(bool program, const void* bytes, VstIntPtr size) {
  Totals().chunksLoaded.fetch_add(1);
  return Dispatch(effSetChunk, program ? 1 : 0, size, const_cast<void*>(bytes));
}

}  // namespace torture
