// SPDX-License-Identifier: GPL-3.0-or-later
// A small stereo gain effect for testing the renderer as its host. One source
// builds several libraries; TEST_PLUGIN_VARIANT selects a fault to show.
// Parameter 0 "Gain": -24 to 24 dB. Parameter 1 "Polarity": "Normal" or "Inverted".
// With QUILLMERE_TEST_PLUGIN_LOG set, every host call is appended to that file.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vst/VstInterface.h"

#define TEST_VARIANT_GOOD 0
#define TEST_VARIANT_MAIN_ONLY 1
#define TEST_VARIANT_BAD_MAGIC 2
#define TEST_VARIANT_NO_INSTANCE 3
#define TEST_VARIANT_NO_ENTRY 4
#define TEST_VARIANT_MONO 5
#define TEST_VARIANT_FLOAT_ONLY 6
#define TEST_VARIANT_NAN 7

#ifndef TEST_PLUGIN_VARIANT
#define TEST_PLUGIN_VARIANT TEST_VARIANT_GOOD
#endif

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char kChunkMagic[4] = {'Q', 'T', 'G', 'S'};
constexpr int kChunkSize = 12;  // magic, then the two normalised values as floats

struct TestGain {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  float values[2] = {0.5f, 0.0f};  // normalised
  unsigned char chunk[kChunkSize] = {};
  FILE* log = nullptr;
};

TestGain* Self(AEffect* effect) { return static_cast<TestGain*>(effect->object); }

void Log(TestGain* self, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Log(TestGain* self, const char* format, ...) {
  if (self->log == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(self->log, format, args);
  va_end(args);
  std::fputc('\n', self->log);
  std::fflush(self->log);
}

double GainDb(const TestGain* self) { return -24.0 + 48.0 * self->values[0]; }

double Factor(const TestGain* self) {
  const double gain = std::pow(10.0, GainDb(self) / 20.0);
  return self->values[1] >= 0.5f ? -gain : gain;
}

VstIntPtr Ask(TestGain* self, VstInt32 opcode, void* ptr = nullptr) {
  return self->host(&self->effect, opcode, 0, 0, ptr, 0.0f);
}

VstIntPtr VSTCALLBACK Dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
  TestGain* self = Self(effect);
  switch (opcode) {
    case effOpen: {
      char product[256] = {};
      Ask(self, audioMasterGetProductString, product);
      Log(self, "open host-version=%ld product=%s vendor-version=%ld level=%ld",
          static_cast<long>(Ask(self, audioMasterVersion)), product,
          static_cast<long>(Ask(self, audioMasterGetVendorVersion)),
          static_cast<long>(Ask(self, audioMasterGetCurrentProcessLevel)));
      return 0;
    }
    case effClose:
      Log(self, "close");
      if (self->log != nullptr) std::fclose(self->log);
      delete self;
      return 0;
    case effSetSampleRate:
      Log(self, "rate %g", opt);
      return 0;
    case effSetBlockSize:
      Log(self, "block %ld", static_cast<long>(value));
      return 0;
    case effMainsChanged:
      Log(self, "mains %ld host-rate=%ld host-block=%ld", static_cast<long>(value),
          static_cast<long>(Ask(self, audioMasterGetSampleRate)),
          static_cast<long>(Ask(self, audioMasterGetBlockSize)));
      return 0;
    case effGetParamName:
      if (index == 0) std::strcpy(static_cast<char*>(ptr), "Gain");
      if (index == 1) std::strcpy(static_cast<char*>(ptr), "Polarity");
      return 0;
    case effGetParamLabel:
      std::strcpy(static_cast<char*>(ptr), index == 0 ? "dB" : "");
      return 0;
    case effGetParamDisplay:
      if (index == 0) std::snprintf(static_cast<char*>(ptr), 64, "%.2f", GainDb(self));
      if (index == 1) std::strcpy(static_cast<char*>(ptr), self->values[1] >= 0.5f ? "Inverted" : "Normal");
      return 0;
    case effString2Parameter: {
      if (ptr == nullptr || index < 0 || index > 1) return 0;
      const char* text = static_cast<const char*>(ptr);
      Log(self, "text %d %s", index, text);
      if (index == 1) {
        if (std::strcmp(text, "Normal") == 0)
          self->values[1] = 0.0f;
        else if (std::strcmp(text, "Inverted") == 0)
          self->values[1] = 1.0f;
        else
          return 0;
        return 1;
      }
      char* end = nullptr;
      const double db = std::strtod(text, &end);
      if (end == text) return 0;
      const double clamped = db < -24.0 ? -24.0 : (db > 24.0 ? 24.0 : db);
      self->values[0] = static_cast<float>((clamped + 24.0) / 48.0);
      return 1;
    }
    case effGetChunk:
      Log(self, "get-chunk %d", index);
      std::memcpy(self->chunk, kChunkMagic, 4);
      std::memcpy(self->chunk + 4, self->values, 8);
      *static_cast<void**>(ptr) = self->chunk;
      return kChunkSize;
    case effSetChunk:
      Log(self, "set-chunk %d %ld", index, static_cast<long>(value));
      if (value != kChunkSize || std::memcmp(ptr, kChunkMagic, 4) != 0) return 0;
      std::memcpy(self->values, static_cast<const char*>(ptr) + 4, 8);
      return 1;
    default:
      return 0;
  }
}

template <typename T>
void Process(AEffect* effect, T** inputs, T** outputs, VstInt32 frames, const char* precision) {
  TestGain* self = Self(effect);
  Log(self, "process %s %d", precision, frames);
  const T factor = static_cast<T>(Factor(self));
  for (int c = 0; c < 2; ++c)
    for (VstInt32 i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * factor;
#if TEST_PLUGIN_VARIANT == TEST_VARIANT_NAN
  if (frames > 0) outputs[1][frames - 1] = static_cast<T>(NAN);
#endif
}

void VSTCALLBACK ProcessFloat(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  Process(effect, inputs, outputs, frames, "float");
}

[[maybe_unused]] void VSTCALLBACK ProcessDouble(AEffect* effect, double** inputs, double** outputs,
                                                VstInt32 frames) {
  Process(effect, inputs, outputs, frames, "double");
}

void VSTCALLBACK SetParameter(AEffect* effect, VstInt32 index, float value) {
  if (index >= 0 && index < 2) Self(effect)->values[index] = value;
}

float VSTCALLBACK GetParameter(AEffect* effect, VstInt32 index) {
  return index >= 0 && index < 2 ? Self(effect)->values[index] : 0.0f;
}

[[maybe_unused]] AEffect* Create(audioMasterCallback host) {
  TestGain* self = new TestGain;
  self->host = host;
  if (const char* path = std::getenv("QUILLMERE_TEST_PLUGIN_LOG")) self->log = std::fopen(path, "a");
  AEffect& e = self->effect;
  e.magic = TEST_PLUGIN_VARIANT == TEST_VARIANT_BAD_MAGIC ? 0x12345678 : kEffectMagic;
  e.dispatcher = Dispatcher;
  e.setParameter = SetParameter;
  e.getParameter = GetParameter;
  e.numPrograms = 1;
  e.numParams = 2;
  e.numInputs = TEST_PLUGIN_VARIANT == TEST_VARIANT_MONO ? 1 : 2;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsProgramChunks;
  e.ioRatio = 1.0f;
  e.object = self;
  e.uniqueID = 0x54477421;
  e.version = 1;
  e.processReplacing = ProcessFloat;
#if TEST_PLUGIN_VARIANT != TEST_VARIANT_FLOAT_ONLY
  e.flags |= effFlagsCanDoubleReplacing;
  e.processDoubleReplacing = ProcessDouble;
#endif
#if TEST_PLUGIN_VARIANT == TEST_VARIANT_BAD_MAGIC
  // No host closes an instance with a foreign magic: it goes when the library is unloaded.
  static struct Unclosed {
    TestGain* instance = nullptr;
    ~Unclosed() { delete instance; }
  } unclosed;
  delete unclosed.instance;
  unclosed.instance = self;
#endif
#if TEST_PLUGIN_VARIANT == TEST_VARIANT_NO_INSTANCE
  if (self->log != nullptr) std::fclose(self->log);
  delete self;
  return nullptr;
#else
  Log(self, "created");
  return &e;
#endif
}

}  // namespace

#if TEST_PLUGIN_VARIANT == TEST_VARIANT_NO_ENTRY
// Exports nothing a host looks for.
TEST_EXPORT int TestGainNothingHere() { return 0; }
#elif TEST_PLUGIN_VARIANT == TEST_VARIANT_MAIN_ONLY
TEST_EXPORT AEffect* main_entry(audioMasterCallback host) __asm__("main");
TEST_EXPORT AEffect* main_entry(audioMasterCallback host) { return Create(host); }
#else
TEST_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return Create(host); }
#endif
