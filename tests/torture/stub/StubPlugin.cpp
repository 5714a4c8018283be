// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal stereo effect (half gain) with the same outline as the real plug-in, for checking the torture
// host itself: QUILLMERE_PLUGIN=<path of this library> quillmere_torture.
#include <cstring>
#include <mutex>

#include "vst/VstInterface.h"

namespace {

struct StubPlugin {
  AEffect effect{};
  std::recursive_mutex lock;
  float params[5] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
  unsigned char chunk[48] = {};
};

StubPlugin* Of(AEffect* e) { return static_cast<StubPlugin*>(e->object); }

void CopyText(void* ptr, const char* text, size_t size) {
  if (!ptr) return;
  std::strncpy(static_cast<char*>(ptr), text, size - 1);
  static_cast<char*>(ptr)[size - 1] = 0;
}

VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float) {
  StubPlugin* p = Of(e);
  std::unique_lock<std::recursive_mutex> hold(p->lock);
  switch (opcode) {
    case effClose:
      hold.unlock();
      delete p;
      return 0;
    case effGetParamName:
    case effGetParamLabel:
    case effGetParamDisplay:
      if (index >= 0 && index < 5) CopyText(ptr, "Stub", 32);
      return 0;
    case effGetEffectName:
      CopyText(ptr, "Stub", 32);
      return ptr != nullptr;
    case effGetChunk:
      if (!ptr) return 0;
      std::memcpy(p->chunk + 8, p->params, sizeof p->params);
      *static_cast<void**>(ptr) = p->chunk;
      return 48;
    case effSetChunk:
      if (!ptr || value < 48) return 0;
      std::memcpy(p->params, static_cast<unsigned char*>(ptr) + 8, sizeof p->params);
      for (float& v : p->params) v = v >= 0.0f && v <= 1.0f ? v : 0.5f;
      return 1;
    case effGetSpeakerArrangement:
      return 1;
    default:
      return 0;
  }
}

template <class Sample, bool kAdd>
void Process(AEffect* e, Sample** in, Sample** out, VstInt32 frames) {
  std::lock_guard<std::recursive_mutex> hold(Of(e)->lock);
  for (int c = 0; c < 2 && frames > 0; ++c)
    for (int i = 0; i < frames; ++i) {
      const Sample y = in[c][i] * Sample(0.5);
      out[c][i] = kAdd ? out[c][i] + y : y;
    }
}

void SetParameter(AEffect* e, VstInt32 index, float value) {
  std::lock_guard<std::recursive_mutex> hold(Of(e)->lock);
  if (index >= 0 && index < 5) Of(e)->params[index] = value >= 0.0f && value <= 1.0f ? value : 1.0f;
}

float GetParameter(AEffect* e, VstInt32 index) {
  std::lock_guard<std::recursive_mutex> hold(Of(e)->lock);
  return index >= 0 && index < 5 ? Of(e)->params[index] : 0.0f;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
  StubPlugin* p = new StubPlugin;
  AEffect& e = p->effect;
  e.magic = kEffectMagic;
  e.dispatcher = Dispatch;
  e.process = Process<float, true>;
  e.processReplacing = Process<float, false>;
  e.processDoubleReplacing = Process<double, false>;
  e.setParameter = SetParameter;
  e.getParameter = GetParameter;
  e.numPrograms = 1;
  e.numParams = 5;
  e.numInputs = 2;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  e.object = p;
  e.ioRatio = 1.0f;
  std::memcpy(p->chunk, "tffp\0\0\1\0", 8);
  return &e;
}
