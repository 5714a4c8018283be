// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
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

// A plug-in object built into the fuzz target (made with Vst2HostCallback::Callback), hosted through the host
// library by a host that answers nothing but the version and keeps no requests, as a target runs millions of
// times. Closed, if the target has not closed it, when this goes.
struct HostedPlugin {
  explicit HostedPlugin(AEffect* effect) { FUZZ_CHECK(instance.Adopt(effect, host) == HostStatus::kOk); }
  ~HostedPlugin() { instance.Close(); }
  HostedPlugin(const HostedPlugin&) = delete;
  HostedPlugin& operator=(const HostedPlugin&) = delete;

  Vst2HostCallback host{Vst2HostAnswers{}, false};
  Vst2Instance instance;
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
