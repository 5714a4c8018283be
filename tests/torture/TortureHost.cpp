// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/torture/TortureHost.h"

#include <cstring>

namespace torture {

namespace {

thread_local bool tInAudioCallback = false;

struct AudioScope {
  AudioScope() { tInAudioCallback = true; }
  ~AudioScope() { tInAudioCallback = false; }
};

void CopyText(void* ptr, const char* text) {
  if (ptr) std::strcpy(static_cast<char*>(ptr), text);
}

}  // namespace

HostRecord& Record() {
  static HostRecord record;
  return record;
}

Figures& Totals() {
  static Figures figures;
  return figures;
}

VstIntPtr VSTCALLBACK HostCallback(AEffect* /*effect*/, VstInt32 opcode, VstInt32 /*index*/,
                                   VstIntPtr /*value*/, void* ptr, float /*opt*/) {
  if (opcode >= 0 && opcode < kRecordedOpcodes) Record().requests[opcode].fetch_add(1);
  if (tInAudioCallback) Record().requestsDuringAudio.fetch_add(1);
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetTime: {
      static const VstTimeInfo time = {
          0.0, 44100.0, 0.0, 0.0, 120.0, 0.0, 0.0,
          0.0, 4,       4,   0,   0,     0,   kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid};
      return reinterpret_cast<VstIntPtr>(&time);
    }
    case audioMasterGetSampleRate:
      return 44100;
    case audioMasterGetBlockSize:
      return 512;
    case audioMasterGetCurrentProcessLevel:
      return kVstProcessLevelUser;
    case audioMasterGetVendorString:  // buffers of 64 bytes
      CopyText(ptr, "Torture Works");
      return 1;
    case audioMasterGetProductString:
      CopyText(ptr, "Torture Host");
      return 1;
    case audioMasterGetVendorVersion:
      return 1000;
    default:
      return 0;
  }
}

Instance::Instance() : Instance(LibraryUnderTest().Entry()) {}

Instance::Instance(VstPluginMainProc entry) {
  if (!entry) return;
  mEffect = entry(HostCallback);
  if (mEffect) Totals().instancesCreated.fetch_add(1);
}

Instance::~Instance() { Close(); }

VstIntPtr Instance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  Totals().opcodesSent.fetch_add(1);
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void Instance::Open() {
  Dispatch(effOpen);
  Totals().instancesOpened.fetch_add(1);
}

void Instance::Start(float rate, int blockSize) {
  Open();
  SetSampleRate(rate);
  SetBlockSize(blockSize);
  Resume();
}

void Instance::Close() {
  if (!mEffect) return;
  Dispatch(effClose);
  mEffect = nullptr;
}

void Instance::Counted(int frames) {
  Totals().blocksProcessed.fetch_add(1);
  if (frames > 0) Totals().framesProcessed.fetch_add(frames);
}

void Instance::ProcessFloat(float** inputs, float** outputs, int frames) {
  AudioScope scope;
  mEffect->processReplacing(mEffect, inputs, outputs, frames);
  Counted(frames);
}

void Instance::ProcessDouble(double** inputs, double** outputs, int frames) {
  AudioScope scope;
  mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
  Counted(frames);
}

void Instance::ProcessAccumulating(float** inputs, float** outputs, int frames) {
  AudioScope scope;
  mEffect->process(mEffect, inputs, outputs, frames);
  Counted(frames);
}

std::vector<uint8_t> Instance::SaveChunk(bool program) {
  void* data = nullptr;
  VstIntPtr size = Dispatch(effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || !data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr Instance::LoadChunk(bool program, const void* bytes, VstIntPtr size) {
  Totals().chunksLoaded.fetch_add(1);
  return Dispatch(effSetChunk, program ? 1 : 0, size, const_cast<void*>(bytes));
}

}  // namespace torture
