// SPDX-License-Identifier: GPL-3.0-or-later
#include "VstTestHost.h"

#include <cstring>

VstTestHost::VstTestHost(VstPluginMainProc entry) : mEffect(entry ? entry(HostCallback) : nullptr) {}

VstTestHost::~VstTestHost() {
  if (mEffect) Dispatch(effClose);
}

std::string VstTestHost::DescriptorProblem() const {
  if (!mEffect) return "the entry point made no instance";
  if (mEffect->magic != kEffectMagic) return "the descriptor's magic is wrong";
  if (!mEffect->dispatcher || !mEffect->processReplacing || !mEffect->processDoubleReplacing ||
      !mEffect->setParameter || !mEffect->getParameter)
    return "the descriptor lacks a callback";
  if (mEffect->numInputs != 2 || mEffect->numOutputs != 2) return "the plug-in is not stereo in and out";
  if (mEffect->numParams < 5) return "the plug-in has fewer than five parameters";
  return "";
}

void VstTestHost::Start(float sampleRate, VstInt32 blockSize) {
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
}

VstIntPtr VstTestHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  VstIntPtr answer = mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
  if (opcode == effClose) mEffect = nullptr;
  return answer;
}

void VstTestHost::SetParameter(VstInt32 index, float normalized) {
  mEffect->setParameter(mEffect, index, normalized);
}

float VstTestHost::GetParameter(VstInt32 index) { return mEffect->getParameter(mEffect, index); }

VstIntPtr VstTestHost::SetParameterText(VstInt32 index, const char* text) {
  return Dispatch(effString2Parameter, index, 0, const_cast<char*>(text));
}

std::string VstTestHost::Text(VstInt32 opcode, VstInt32 index) {
  char buffer[256] = {};
  Dispatch(opcode, index, 0, buffer);
  buffer[sizeof buffer - 1] = 0;
  return buffer;
}

std::vector<unsigned char> VstTestHost::GetChunk(bool bank) {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || !data) return {};
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

VstIntPtr VstTestHost::SetChunk(bool bank, const std::vector<unsigned char>& bytes) {
  std::vector<unsigned char> copy(bytes);  // the host's own buffer, as a host would pass it
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(copy.size()), copy.data());
}

void VstTestHost::Process(float** inputs, float** outputs, VstInt32 frames) {
  mEffect->processReplacing(mEffect, inputs, outputs, frames);
}

void VstTestHost::Process(double** inputs, double** outputs, VstInt32 frames) {
  mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
}

VstIntPtr VSTCALLBACK VstTestHost::HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr,
                                                float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetVendorString:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "Quillmere");
      return 1;
    case audioMasterGetProductString:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "QuillmereCheck");
      return 1;
    case audioMasterGetVendorVersion:
      return 0x10000;
    default:
      return 0;
  }
}
