// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
#include "tests/support/Vst2Reference.h"
#include "vst/VstInterface.h"

// A broken promise is a finding: report it and abort, which the fuzzer records as a crash.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Reads the input front to back; past its end every read gives 0.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
  bool More() const { return mPos < mSize; }
  uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
  // The next sizeof(T) bytes, as they lie, taken as a T.
  template <class T>
  T Raw() {
    uint8_t bytes[sizeof(T)];
    for (uint8_t& b : bytes) b = Byte();
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }

 private:
  const uint8_t* mData;
  size_t mSize;
  size_t mPos = 0;
};

// Whether the first frames samples of both channels (pointers or vectors) are finite.
template <class Channels, class Count>
bool Finite(const Channels& channels, Count frames) {
  for (int c = 0; c < 2; ++c)
    for (size_t i = 0; i < static_cast<size_t>(frames); ++i)
      if (!std::isfinite(channels[c][i])) return false;
  return true;
}

// Stereo input and output in both sample sizes, each frames long, with the channel pointers a plug-in takes;
// a target keeps one for all its runs.
struct StereoBuffers {
  explicit StereoBuffers(size_t frames) {
    for (int c = 0; c < 2; ++c) {
      floatIn[c].resize(frames);
      floatOut[c].resize(frames);
      doubleIn[c].resize(frames);
      doubleOut[c].resize(frames);
      fin[c] = floatIn[c].data();
      fout[c] = floatOut[c].data();
      din[c] = doubleIn[c].data();
      dout[c] = doubleOut[c].data();
    }
  }
  // The first frames of both inputs: a sine of the given level, a different one a channel, the float input
  // the double one rounded.
  void FillInputs(int frames, double level) {
    for (int c = 0; c < 2; ++c)
      for (size_t i = 0; i < static_cast<size_t>(frames); ++i) {
        doubleIn[c][i] = level * std::sin(0.01 * static_cast<double>(i + 1) * (c + 1));
        floatIn[c][i] = static_cast<float>(doubleIn[c][i]);
      }
  }
  std::vector<float> floatIn[2], floatOut[2];
  std::vector<double> doubleIn[2], doubleOut[2];
  float* fin[2];
  float* fout[2];
  double* din[2];
  double* dout[2];
};

// A plug-in object built into the fuzz target (made with Vst2HostCallback::Callback), hosted as the tests
// host the VST 2 plug-in, by a host that answers nothing but the version and keeps no requests, as a target
// runs millions of times. Closed, if the target has not closed it, when this goes.
class HostedPlugin : public test_support::Vst2Reference {
 public:
  explicit HostedPlugin(AEffect* effect) : Vst2Reference(effect, Quiet()) { FUZZ_CHECK(Ok()); }

 private:
  static test_support::Vst2ReferenceOptions Quiet() {
    test_support::Vst2ReferenceOptions options;
    options.keepRequests = false;
    return options;
  }
};

// Every normalised parameter value lies in 0..1.
inline void CheckParameters(Vst2Instance& plug) {
  for (int p = 0; p < plug.ParameterCount(); ++p) {
    const float v = plug.GetParameter(p);
    FUZZ_CHECK(v >= 0.0f && v <= 1.0f);
  }
}

// One block of a quiet signal through the double callback comes out finite and without subnormals.
inline void CheckProcessing(Vst2Instance& plug) {
  double left[64], right[64];
  for (int i = 0; i < 64; ++i) left[i] = right[i] = 0.25 * std::sin(0.1 * i);
  double* in[2] = {left, right};
  double* out[2] = {left, right};
  plug.ProcessDouble(in, out, 64);
  for (int i = 0; i < 64; ++i) {
    FUZZ_CHECK(std::isfinite(left[i]) && std::fpclassify(left[i]) != FP_SUBNORMAL);
    FUZZ_CHECK(std::isfinite(right[i]) && std::fpclassify(right[i]) != FP_SUBNORMAL);
  }
}

}  // namespace fuzz
