// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostCallback.h"

#include <cstring>

#ifndef QUILLMERE_RENDER_VERSION_NUMBER
#define QUILLMERE_RENDER_VERSION_NUMBER 100
#endif

namespace {

HostCallback* sCurrent = nullptr;

}  // namespace

HostCallback::HostCallback() : mPrevious(sCurrent) { sCurrent = this; }

HostCallback::~HostCallback() {
  if (sCurrent == this) sCurrent = mPrevious;
}

VstIntPtr VSTCALLBACK HostCallback::Dispatch(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr,
                                             float) {
  if (sCurrent != nullptr) return sCurrent->Answer(opcode, ptr);
  return HostCallback::Answer(opcode, ptr, 44100.0, 512);
}

VstIntPtr HostCallback::Answer(VstInt32 opcode, void* ptr) const {
  return Answer(opcode, ptr, mSampleRate, mBlockSize);
}

VstIntPtr HostCallback::Answer(VstInt32 opcode, void* ptr, double sampleRate, int blockSize) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetProductString:
      if (ptr == nullptr) return 0;
      std::strcpy(static_cast<char*>(ptr), kProductString);  // fits the 64-byte product buffer
      return 1;
    case audioMasterGetVendorVersion:
      return QUILLMERE_RENDER_VERSION_NUMBER;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(sampleRate);
    case audioMasterGetBlockSize:
      return blockSize;
    case audioMasterGetCurrentProcessLevel:
      return kVstProcessLevelOffline;
    default:
      return 0;
  }
}
