// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
#include "vst/VstInterface.h"

// The host side of the torture tests: one host for every instance, answering what a plain host answers, and
// instances of the library under test driven only through their descriptors.
namespace torture {

// The library under test: QUILLMERE_PLUGIN from the environment when set, else the path built in.
std::string PluginPathUnderTest();
// One module for the whole test program, opened on first use and never unloaded: instances made by one test
// must not outlive their code.
const PluginModule& ModuleUnderTest();

// Counts, besides what every host records, the requests made from inside an audio callback.
class TortureHost : public Vst2HostCallback {
 public:
  TortureHost();
  long RequestsDuringAudio() const { return mDuringAudio.load(); }

 protected:
  VstIntPtr Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                   float opt) override;

 private:
  std::atomic<long> mDuringAudio{0};
};
TortureHost& Host();

// Figures reported at the end of each test program.
struct Figures {
  std::atomic<long> instancesCreated{0};
  std::atomic<long> instancesOpened{0};
  std::atomic<long> blocksProcessed{0};
  std::atomic<long> framesProcessed{0};
  std::atomic<long> chunksLoaded{0};
};
Figures& Totals();

inline Vst2Chunk ChunkKind(bool program) { return program ? Vst2Chunk::kProgram : Vst2Chunk::kBank; }

// An instance of the library under test whose opening, audio callbacks and chunk loads count in the figures;
// the audio callbacks are marked, so requests from inside them show.
class Instance : public Vst2Instance {
 public:
  // Through VSTPluginMain, else main; IsValid() tells whether an instance came back.
  Instance();
  explicit Instance(VstPluginMainProc entry);

  void Open();
  void Start(float rate, int blockSize);
  void ProcessFloat(float** inputs, float** outputs, int frames);
  void ProcessDouble(double** inputs, double** outputs, int frames);
  void ProcessAccumulating(float** inputs, float** outputs, int frames);
  // effSetChunk with exactly these bytes and this size, whatever they are.
  VstIntPtr LoadChunk(bool program, const void* bytes, VstIntPtr size);

 private:
  void Counted(int frames);
};

// Stereo host buffers of one sample type, with the pointer arrays a host passes.
template <class Sample>
struct StereoBuffers {
  explicit StereoBuffers(int frames)
      : in(2, std::vector<Sample>(frames)), out(2, std::vector<Sample>(frames)) {
    Repoint(false);
  }
  // Points the output array at the inputs (in-place processing) or at the separate outputs.
  void Repoint(bool inPlace) {
    for (int c = 0; c < 2; ++c) {
      inPtr[c] = in[c].data();
      outPtr[c] = inPlace ? in[c].data() : out[c].data();
    }
  }
  std::vector<std::vector<Sample>> in;
  std::vector<std::vector<Sample>> out;
  Sample* inPtr[2];
  Sample* outPtr[2];
};

// A small deterministic generator for test signals and random sizes.
class Noise {
 public:
  explicit Noise(uint64_t seed) : mState(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    mState ^= mState << 13;
    mState ^= mState >> 7;
    mState ^= mState << 17;
    return mState;
  }
  double Uniform() { return (Next() >> 11) * (1.0 / 9007199254740992.0); }  // 0 <= x < 1
  double Signed() { return 2.0 * Uniform() - 1.0; }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t mState;
};

// NaN, infinity and subnormal numbers are what no output may hold for finite input.
template <class Sample>
bool IsBadSample(Sample x) {
  return !std::isfinite(x) || std::fpclassify(x) == FP_SUBNORMAL;
}

// Index of the first bad sample in either channel's first frames, or -1.
template <class Sample>
long FirstBadSample(Sample* const* channels, int frames) {
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < frames; ++i)
      if (IsBadSample(channels[c][i])) return static_cast<long>(c) * frames + i;
  return -1;
}

}  // namespace torture
