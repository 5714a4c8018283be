// SPDX-License-Identifier: GPL-3.0-or-later
#include "PluginInstance.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "RenderError.h"

namespace {

// Plug-ins copy their texts without bounds, often beyond the published 8 or 64
// characters, so every text buffer handed over is far larger than that.
constexpr size_t kTextBufferSize = 512;
constexpr int kMaxChannels = 256;

std::string Hex(VstInt32 value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

PluginInstance::PluginInstance(const PluginLibrary& library) : mPath(library.Path()) {
  mEffect = library.EntryPoint()(&HostCallback::Dispatch);
  if (mEffect == nullptr) throw RenderError("plug-in " + mPath + " made no effect instance");
  const std::string bad = "plug-in " + mPath + " returned a bad effect descriptor: ";
  if (mEffect->magic != kEffectMagic) {
    const VstInt32 magic = mEffect->magic;
    mEffect = nullptr;  // nothing in it can be trusted, not even the dispatcher
    throw RenderError(bad + "magic " + Hex(magic) + " instead of " + Hex(kEffectMagic));
  }
  if (mEffect->dispatcher == nullptr) {
    mEffect = nullptr;
    throw RenderError(bad + "no dispatcher");
  }
  std::string fault;
  if (mEffect->processReplacing == nullptr) {
    fault = "no processReplacing";
  } else if (mEffect->setParameter == nullptr || mEffect->getParameter == nullptr) {
    fault = "no parameter callbacks";
  } else if (mEffect->numParams < 0 || mEffect->numInputs < 0 || mEffect->numOutputs < 0) {
    fault = "negative parameter or channel count";
  }
  if (!fault.empty()) {
    Dispatch(effClose);
    mEffect = nullptr;
    throw RenderError(bad + fault);
  }
}

PluginInstance::~PluginInstance() {
  if (mEffect == nullptr) return;
  if (mResumed) Dispatch(effMainsChanged, 0, 0);
  Dispatch(effClose);
}

VstIntPtr PluginInstance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void PluginInstance::Open(double sampleRate, int blockSize) {
  mHost.SetSampleRate(sampleRate);
  mHost.SetBlockSize(blockSize);
  Dispatch(effOpen);
  mOpened = true;
  // Channel counts are read after effOpen, where an effect may still settle them.
  const int inputs = mEffect->numInputs;
  const int outputs = mEffect->numOutputs;
  if (inputs > kMaxChannels || outputs > kMaxChannels)
    throw RenderError("plug-in " + mPath + " returned a bad effect descriptor: " + std::to_string(inputs) +
                      " inputs and " + std::to_string(outputs) + " outputs");
  if (inputs < 2 || outputs < 2)
    throw RenderError("plug-in " + mPath + " is not a stereo effect: it has " + std::to_string(inputs) +
                      (inputs == 1 ? " input and " : " inputs and ") + std::to_string(outputs) +
                      (outputs == 1 ? " output" : " outputs"));
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
}

void PluginInstance::Resume() {
  Dispatch(effMainsChanged, 0, 1);
  mResumed = true;
}

void PluginInstance::Suspend() {
  Dispatch(effMainsChanged, 0, 0);
  mResumed = false;
}

bool PluginInstance::CanProcessDouble() const {
  return mEffect->processDoubleReplacing != nullptr && (mEffect->flags & effFlagsCanDoubleReplacing) != 0;
}

void PluginInstance::ProcessFloat(float** inputs, float** outputs, int frames) {
  mEffect->processReplacing(mEffect, inputs, outputs, frames);
}

void PluginInstance::ProcessDouble(double** inputs, double** outputs, int frames) {
  mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
}

std::string PluginInstance::Text(VstInt32 opcode, int index) {
  char text[kTextBufferSize] = {};
  Dispatch(opcode, index, 0, text);
  text[kTextBufferSize - 1] = '\0';
  return text;
}

std::string PluginInstance::ParamName(int index) { return Text(effGetParamName, index); }
std::string PluginInstance::ParamDisplay(int index) { return Text(effGetParamDisplay, index); }
std::string PluginInstance::ParamLabel(int index) { return Text(effGetParamLabel, index); }

float PluginInstance::ParamNormalized(int index) { return mEffect->getParameter(mEffect, index); }

void PluginInstance::SetParamNormalized(int index, float value) {
  mEffect->setParameter(mEffect, index, value);
}

bool PluginInstance::SetParamText(int index, const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.resize(std::max(buffer.size() + 1, kTextBufferSize), '\0');
  return Dispatch(effString2Parameter, index, 0, buffer.data()) != 0;
}

int PluginInstance::FindParam(const std::string& name) {
  int caseless = -1;
  for (int i = 0; i < ParamCount(); ++i) {
    const std::string candidate = ParamName(i);
    if (candidate == name) return i;
    if (caseless < 0 && strcasecmp(candidate.c_str(), name.c_str()) == 0) caseless = i;
  }
  return caseless;
}

std::vector<uint8_t> PluginInstance::SaveProgramState() {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, 1, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool PluginInstance::LoadProgramState(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> copy = data;  // the effect receives a pointer to non-const bytes
  return Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(copy.size()), copy.data()) != 0;
}
