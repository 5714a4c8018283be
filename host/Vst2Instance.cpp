// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst2Instance.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Hex(VstInt32 value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

VstPluginMainProc FindVst2Entry(const PluginModule& module, Vst2EntryName name) {
  void* entry = nullptr;
  if (name != Vst2EntryName::kMain) entry = module.Symbol("VSTPluginMain");
  if (entry == nullptr && name != Vst2EntryName::kVstPluginMain) entry = module.Symbol("main");
  return reinterpret_cast<VstPluginMainProc>(entry);
}

HostStatus Vst2Instance::Create(VstPluginMainProc entry, Vst2HostCallback& host) {
  Close();
  if (entry == nullptr) {
    mError = "no entry point";
    return HostStatus::kNoEntryPoint;
  }
  AEffect* effect = nullptr;
  {
    Vst2HostCallback::Making making(&host);
    effect = entry(&Vst2HostCallback::Callback);
  }
  return Adopt(effect, host);
}

HostStatus Vst2Instance::Adopt(AEffect* effect, Vst2HostCallback& host) {
  Close();
  mError.clear();
  if (effect == nullptr) {
    mError = "no instance";
    return HostStatus::kNoInstance;
  }
  if (effect->magic != kEffectMagic) {
    mError = "magic " + Hex(effect->magic) + " instead of " + Hex(kEffectMagic);
    return HostStatus::kBadDescriptor;
  }
  if (effect->dispatcher == nullptr) {
    mError = "no dispatcher";
    return HostStatus::kBadDescriptor;
  }
  mEffect = effect;
  mResumed = false;
  mAttachment.mEffect = effect;
  mAttachment.mHost = &host;
  Vst2HostCallback::Attach(mAttachment);
  return HostStatus::kOk;
}

std::string Vst2Instance::DescriptorFault() const {
  if (mEffect->processReplacing == nullptr) return "no processReplacing";
  if (mEffect->setParameter == nullptr || mEffect->getParameter == nullptr) return "no parameter callbacks";
  if (mEffect->numParams < 0 || mEffect->numInputs < 0 || mEffect->numOutputs < 0)
    return "negative parameter or channel count";
  return "";
}

VstIntPtr Vst2Instance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  AEffect* effect = mEffect;
  const VstIntPtr answer = effect->dispatcher(effect, opcode, index, value, ptr, opt);
  if (opcode == effMainsChanged) mResumed = value != 0;
  if (opcode == effClose) {
    Vst2HostCallback::Detach(mAttachment);
    mEffect = nullptr;
    mResumed = false;
  }
  return answer;
}

void Vst2Instance::Start(double sampleRate, int blockSize) {
  Open();
  SetSampleRate(sampleRate);
  SetBlockSize(blockSize);
  Resume();
}

void Vst2Instance::Close() {
  if (mEffect == nullptr) return;
  if (mResumed) Suspend();
  Dispatch(effClose);
}

bool Vst2Instance::CanProcessDouble() const {
  return mEffect->processDoubleReplacing != nullptr && (mEffect->flags & effFlagsCanDoubleReplacing) != 0;
}

void Vst2Instance::ProcessFloat(float** inputs, float** outputs, int frames) {
  mEffect->processReplacing(mEffect, inputs, outputs, frames);
}

void Vst2Instance::ProcessDouble(double** inputs, double** outputs, int frames) {
  mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
}

void Vst2Instance::ProcessAccumulating(float** inputs, float** outputs, int frames) {
  mEffect->process(mEffect, inputs, outputs, frames);
}

VstIntPtr Vst2Instance::SetParameterText(int index, const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.resize(std::max(buffer.size() + 1, kTextBufferSize), '\0');
  return Dispatch(effString2Parameter, index, 0, buffer.data());
}

int Vst2Instance::FindParameter(const std::string& name) {
  int caseless = -1;
  for (int i = 0; i < ParameterCount(); ++i) {
    const std::string candidate = ParameterName(i);
    if (candidate == name) return i;
    if (caseless < 0 && SameIgnoringAsciiCase(candidate, name)) caseless = i;
  }
  return caseless;
}

std::string Vst2Instance::Text(VstInt32 opcode, VstInt32 index) {
  char text[kTextBufferSize] = {};
  Dispatch(opcode, index, 0, text);
  text[kTextBufferSize - 1] = '\0';
  return text;
}

std::vector<uint8_t> Vst2Instance::GetChunk(Vst2Chunk kind) {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, static_cast<VstInt32>(kind), 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr Vst2Instance::SetChunk(Vst2Chunk kind, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> copy(bytes);  // the plug-in is handed writable bytes
  return Dispatch(effSetChunk, static_cast<VstInt32>(kind), static_cast<VstIntPtr>(copy.size()), copy.data());
}
