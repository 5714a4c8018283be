// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst2HostCallback.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// The host of the instance an entry point is making on this thread.
thread_local Vst2HostCallback* tMaking = nullptr;

// Copies text into a host text buffer of 64 bytes, the size the texts hosts answer are given.
VstIntPtr AnswerText(void* ptr, const std::string& text) {
  if (ptr == nullptr || text.empty()) return 0;
  const size_t length = std::min<size_t>(text.size(), kVstMaxProductStrLen - 1);
  std::memcpy(ptr, text.data(), length);
  static_cast<char*>(ptr)[length] = '\0';
  return 1;
}

}  // namespace

// The attached effects. Never destroyed, and built in static storage: a plug-in may still ask while the
// process ends, and hosting allocates nothing.
struct Vst2HostCallback::Registry {
  IPlugMutex mMutex;
  Attachment* mFirst = nullptr;
};

Vst2HostCallback::Registry& Vst2HostCallback::TheRegistry() {
  alignas(Registry) static unsigned char storage[sizeof(Registry)];
  static Registry* const registry = new (storage) Registry;
  return *registry;
}

Vst2HostCallback::Vst2HostCallback(Vst2HostAnswers answers, bool keepRequests)
    : mAnswers(std::move(answers)), mKeepRequests(keepRequests) {
  for (std::atomic<long>& count : mCounts) count.store(0);
  mTime.sampleRate = mAnswers.mSampleRate > 0.0 ? mAnswers.mSampleRate : 44100.0;
  mTime.tempo = 120.0;
  mTime.timeSigNumerator = 4;
  mTime.timeSigDenominator = 4;
  mTime.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
}

VstIntPtr VSTCALLBACK Vst2HostCallback::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                 VstIntPtr value, void* ptr, float opt) {
  Vst2HostCallback* host = nullptr;
  {
    Registry& registry = TheRegistry();
    IPlugMutexLock lock(&registry.mMutex);
    for (const Attachment* link = registry.mFirst; link != nullptr; link = link->mNext) {
      if (link->mEffect == effect) {
        host = link->mHost;
        break;
      }
    }
  }
  if (host == nullptr) host = tMaking;
  if (host == nullptr) {
    static Vst2HostCallback* const fallback = new Vst2HostCallback(Vst2HostAnswers{}, false);
    host = fallback;
  }
  return host->Receive(effect, opcode, index, value, ptr, opt);
}

void Vst2HostCallback::Attach(Attachment& link) {
  Registry& registry = TheRegistry();
  IPlugMutexLock lock(&registry.mMutex);
  link.mNext = registry.mFirst;
  registry.mFirst = &link;
}

void Vst2HostCallback::Detach(Attachment& link) {
  Registry& registry = TheRegistry();
  IPlugMutexLock lock(&registry.mMutex);
  for (Attachment** at = &registry.mFirst; *at != nullptr; at = &(*at)->mNext) {
    if (*at == &link) {
      *at = link.mNext;
      break;
    }
  }
  link.mNext = nullptr;
}

Vst2HostCallback::Making::Making(Vst2HostCallback* host) : mPrevious(tMaking) { tMaking = host; }

Vst2HostCallback::Making::~Making() { tMaking = mPrevious; }

VstIntPtr Vst2HostCallback::Receive(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                    void* ptr, float opt) {
  if (opcode >= 0 && opcode < kCountedOpcodes) mCounts[opcode].fetch_add(1);
  if (!mKeepRequests) return Answer(effect, opcode, index, value, ptr, opt);
  Vst2Request request{effect, opcode, index, value, opt, {}};
  if (opcode == audioMasterProcessEvents && ptr != nullptr) {
    const VstEvents* events = static_cast<const VstEvents*>(ptr);
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
      VstMidiEvent copy{};
      // Every event is at least as large as a MIDI event.
      if (events->events[i] != nullptr) std::memcpy(&copy, events->events[i], sizeof copy);
      request.mMidiEvents.push_back(copy);
    }
  }
  {
    IPlugMutexLock lock(&mMutex);
    mRequests.push_back(std::move(request));
  }
  return Answer(effect, opcode, index, value, ptr, opt);
}

VstIntPtr Vst2HostCallback::Answer(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetTime:
      return mAnswers.mTransport ? reinterpret_cast<VstIntPtr>(&mTime) : 0;
    case audioMasterProcessEvents:
      return 1;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(mAnswers.mSampleRate);
    case audioMasterGetBlockSize:
      return mAnswers.mBlockSize;
    case audioMasterGetCurrentProcessLevel:
      return mAnswers.mProcessLevel;
    case audioMasterGetVendorString:
      return AnswerText(ptr, mAnswers.mVendor);
    case audioMasterGetProductString:
      return AnswerText(ptr, mAnswers.mProduct);
    case audioMasterGetVendorVersion:
      return mAnswers.mVendorVersion;
    default:
      return 0;
  }
}

long Vst2HostCallback::Count(VstInt32 opcode) const {
  return opcode >= 0 && opcode < kCountedOpcodes ? mCounts[opcode].load() : 0;
}

std::vector<Vst2Request> Vst2HostCallback::Requests(const AEffect* effect) const {
  IPlugMutexLock lock(&mMutex);
  if (effect == nullptr) return mRequests;
  std::vector<Vst2Request> found;
  for (const Vst2Request& request : mRequests)
    if (request.mEffect == effect) found.push_back(request);
  return found;
}
