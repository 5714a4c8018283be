// A stand-in stereo plug-in with the same outer skin as the real one (entry points, load hook, lock, five
// parameters, a 48-byte program chunk): lets the cross-build and wine machinery run before the real sources
// do.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "vst/VstInterface.h"

#if defined(_WIN32)
#include <windows.h>
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#include <mutex>
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

#if defined(_WIN32)
HINSTANCE gModule = nullptr;

class StubLock {
 public:
  StubLock() { InitializeCriticalSection(&mSection); }
  ~StubLock() { DeleteCriticalSection(&mSection); }
  void lock() { EnterCriticalSection(&mSection); }
  void unlock() { LeaveCriticalSection(&mSection); }

 private:
  CRITICAL_SECTION mSection;
};
#else
using StubLock = std::recursive_mutex;
#endif

class Guard {
 public:
  explicit Guard(StubLock& lock) : mLock(lock) { mLock.lock(); }
  ~Guard() { mLock.unlock(); }

 private:
  StubLock& mLock;
};

constexpr int kParams = 5;
constexpr int kChunkSize = 8 + 8 * kParams;

struct Stub {
  AEffect descriptor{};
  audioMasterCallback host = nullptr;
  StubLock lock;
  double params[kParams] = {0.5, 0.5, 0.5, 0.5, 0.5};
  unsigned char chunk[kChunkSize] = {};
  unsigned char bank[8] = {'S', 't', 'u', 'b', 1, 0, 0, 0};

  double Gain() const { return 0.25 + params[0] * std::cos(params[1]); }
};

Stub* From(AEffect* effect) { return static_cast<Stub*>(effect->object); }

VstIntPtr VSTCALLBACK Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float) {
  Stub* stub = From(effect);
  if (!stub) return 0;
  stub->lock.lock();
  VstIntPtr answer = 0;
  switch (opcode) {
    case effClose:
      stub->lock.unlock();
      delete stub;
      return 0;
    case effGetChunk:
      if (ptr) {
        if (index == 0) {
          *static_cast<void**>(ptr) = stub->bank;
          answer = sizeof stub->bank;
        } else {
          std::memcpy(stub->chunk, "Stub\0\0\0\0", 8);
          std::memcpy(stub->chunk + 8, stub->params, sizeof stub->params);
          *static_cast<void**>(ptr) = stub->chunk;
          answer = kChunkSize;
        }
      }
      break;
    case effSetChunk:
      if (ptr && index != 0 && value == kChunkSize) {
        std::memcpy(stub->params, static_cast<unsigned char*>(ptr) + 8, sizeof stub->params);
        answer = 1;
      }
      break;
    case effString2Parameter:
      if (index >= 0 && index < kParams) {
        if (ptr) {
          double v = std::strtod(static_cast<char*>(ptr), nullptr);
          stub->params[index] = v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
        }
        answer = 1;
      }
      break;
    case effGetEffectName:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "Stub");
      answer = ptr != nullptr;
      break;
    case effGetVstVersion:
      answer = 2400;
      break;
    default:
      break;
  }
  stub->lock.unlock();
  return answer;
}

template <typename Sample>
void Render(AEffect* effect, Sample** in, Sample** out, VstInt32 frames) {
  Stub* stub = From(effect);
  Guard guard(stub->lock);
  const double gain = stub->Gain();
  for (int c = 0; c < 2; ++c)
    for (VstInt32 i = 0; i < frames; ++i) out[c][i] = static_cast<Sample>(in[c][i] * gain);
}

void VSTCALLBACK Accumulate(AEffect* effect, float** in, float** out, VstInt32 frames) {
  Stub* stub = From(effect);
  Guard guard(stub->lock);
  const double gain = stub->Gain();
  for (int c = 0; c < 2; ++c)
    for (VstInt32 i = 0; i < frames; ++i) out[c][i] += static_cast<float>(in[c][i] * gain);
}

void VSTCALLBACK ProcessFloat(AEffect* e, float** in, float** out, VstInt32 n) { Render(e, in, out, n); }
void VSTCALLBACK ProcessDouble(AEffect* e, double** in, double** out, VstInt32 n) { Render(e, in, out, n); }

void VSTCALLBACK SetParameter(AEffect* effect, VstInt32 index, float value) {
  Stub* stub = From(effect);
  Guard guard(stub->lock);
  if (index >= 0 && index < kParams) stub->params[index] = value;
}

float VSTCALLBACK GetParameter(AEffect* effect, VstInt32 index) {
  Stub* stub = From(effect);
  Guard guard(stub->lock);
  return index >= 0 && index < kParams ? static_cast<float>(stub->params[index]) : 0.0f;
}

StubLock& CreationLock() {
  static StubLock lock;
  return lock;
}

}  // namespace

STUB_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
  Guard guard(CreationLock());
  Stub* stub = new (std::nothrow) Stub;
  if (!stub) return nullptr;
  stub->host = host;
  AEffect& d = stub->descriptor;
  d.magic = kEffectMagic;
  d.dispatcher = Dispatch;
  d.process = Accumulate;
  d.setParameter = SetParameter;
  d.getParameter = GetParameter;
  d.numPrograms = 1;
  d.numParams = kParams;
  d.numInputs = 2;
  d.numOutputs = 2;
  d.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  d.ioRatio = 1.0f;
  d.object = stub;
  d.uniqueID = 0x53747562;
  d.version = 1;
  d.processReplacing = ProcessFloat;
  d.processDoubleReplacing = ProcessDouble;
  return &d;
}

// Exported as "main" for hosts that look for that name; the callback arrives as a 32-bit int.
STUB_EXPORT AEffect* StubMain(VstInt32 host) __asm__("main");
AEffect* StubMain(VstInt32 host) {
  return VSTPluginMain(reinterpret_cast<audioMasterCallback>(static_cast<VstIntPtr>(host)));
}

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD, LPVOID) {
  gModule = module;
  return TRUE;
}
#endif
