// SPDX-License-Identifier: GPL-3.0-or-later
// effString2Parameter with any text on any parameter index of the plug-in; the first byte picks the index.
#include <cstring>
#include <string>

#include "effect/ParameterTable.h"
#include "effect/ZvAudioPlugin.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int index = static_cast<int>(data[0] % (kNumParams + 3)) - 1;         // -1 .. kNumParams + 1
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);  // cut at the first zero byte
  fuzz::HostedPlugin hosted((new ZvAudioPlugin(&Vst2HostCallback::Callback))->Descriptor());
  Vst2Instance& e = hosted;
  e.Start(44100.0, 64);
  const VstIntPtr answer = e.Dispatch(effString2Parameter, index, 0, const_cast<char*>(text.c_str()));
  FUZZ_CHECK(answer == (index >= 0 && index < e.ParameterCount() ? 1 : 0));
  fuzz::CheckParameters(e);
  for (int p = 0; p < e.ParameterCount(); ++p) {
    unsigned char display[32 + 16];
    std::memset(display, 0xA5, sizeof display);
    e.Dispatch(effGetParamDisplay, p, 0, display);
    for (size_t i = 32; i < sizeof display; ++i) FUZZ_CHECK(display[i] == 0xA5);
    FUZZ_CHECK(std::memchr(display, 0, 32) != nullptr);
  }
  fuzz::CheckProcessing(e);
  e.Dispatch(effClose);
  return 0;
}
