// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/torture/PluginLibrary.h"
#include "vst/VstInterface.h"

// The host side of the torture tests: a host callback that answers what a plain host answers and counts every
// request, and one plug-in instance driven only through its descriptor.
namespace torture {

constexpr int kRecordedOpcodes = 64;

struct HostRecord {
  std::atomic<long> requests[kRecordedOpcodes];
  std::atomic<long> requestsDuringAudio;  // requests made from inside an audio callback
};
HostRecord& Record();

// Figures reported at the end of each test program.
struct Figures {
  std::atomic<long> instancesCreated{0};
  std::atomic<long> instancesOpened{0};
  std::atomic<long> blocksProcessed{0};
  std::atomic<long> framesProcessed{0};
  std::atomic<long> chunksLoaded{0};
  std::atomic<long> opcodesSent{0};
};
Figures& Totals();

VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                   void* ptr, float opt);

class Instance {
 public:
  // Creates an instance through the library's entry point; Valid() tells whether one came back.
  Instance();
  explicit Instance(VstPluginMainProc entry);
  ~Instance();  // closes the instance unless Close() ran
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool Valid() const { return mEffect != nullptr; }
  AEffect* Effect() const { return mEffect; }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  void Open();
  void SetSampleRate(float rate) { Dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
  void SetBlockSize(int frames) { Dispatch(effSetBlockSize, 0, frames); }
  void Resume() { Dispatch(effMainsChanged, 0, 1); }
  void Suspend() { Dispatch(effMainsChanged, 0, 0); }
  // effOpen, sample rate, block size and resume, as a host starts a plug-in.
  void Start(float rate, int blockSize);
  void Close();

  void ProcessFloat(float** inputs, float** outputs, int frames);
  void ProcessDouble(double** inputs, double** outputs, int frames);
  void ProcessAccumulating(float** inputs, float** outputs, int frames);
  float GetParameter(int index) { return mEffect->getParameter(mEffect, index); }
  void SetParameter(int index, float value) { mEffect->setParameter(mEffect, index, value); }

  // The state chunk of one kind as the plug-in hands it out (empty when it answers 0).
  std::vector<uint8_t> SaveChunk(bool program);
  VstIntPtr LoadChunk(bool program, const void* bytes, VstIntPtr size);

 private:
  void Counted(int frames);
  AEffect* mEffect = nullptr;
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
