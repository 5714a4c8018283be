// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

// A host that answers nothing.
inline VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

inline VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

inline void Start(AEffect* e) {
  Dispatch(e, effOpen);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 0, 64);
  Dispatch(e, effMainsChanged, 0, 1);
}

// Every normalised parameter value lies in 0..1.
inline void CheckParameters(AEffect* e) {
  for (int p = 0; p < e->numParams; ++p) {
    const float v = e->getParameter(e, p);
    FUZZ_CHECK(v >= 0.0f && v <= 1.0f);
  }
}

// One block of a quiet signal through the double callback comes out finite and without subnormals.
inline void CheckProcessing(AEffect* e) {
  double left[64], right[64];
  for (int i = 0; i < 64; ++i) left[i] = right[i] = 0.25 * std::sin(0.1 * i);
  double* in[2] = {left, right};
  double* out[2] = {left, right};
  e->processDoubleReplacing(e, in, out, 64);
  for (int i = 0; i < 64; ++i) {
    FUZZ_CHECK(std::isfinite(left[i]) && std::fpclassify(left[i]) != FP_SUBNORMAL);
    FUZZ_CHECK(std::isfinite(right[i]) && std::fpclassify(right[i]) != FP_SUBNORMAL);
  }
}

}  // namespace fuzz
