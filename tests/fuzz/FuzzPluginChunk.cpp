// SPDX-License-Identifier: GPL-3.0-or-later
// effSetChunk with any bytes, of the kind the first byte picks, on the plug-in itself.
#include <vector>

#include "effect/ZvAudioPlugin.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const VstInt32 kind = data[0] & 1;  // 0 bank, 1 program
  std::vector<uint8_t> bytes(data + 1, data + size);
  fuzz::HostedPlugin hosted((new ZvAudioPlugin(&Vst2HostCallback::Callback))->Descriptor());
  Vst2Instance& e = hosted;
  e.Start(44100.0, 64);
  const VstIntPtr answer = e.Dispatch(effSetChunk, kind, static_cast<VstIntPtr>(bytes.size()),
                                      bytes.empty() ? nullptr : bytes.data());
  FUZZ_CHECK(answer == 0 || answer == 1);
  if (bytes.size() < 40) FUZZ_CHECK(kind == 0 || answer == 0);
  fuzz::CheckParameters(e);
  fuzz::CheckProcessing(e);

  // From the first load on, the state bytes reproduce themselves.
  void* saved = nullptr;
  const VstIntPtr savedSize = e.Dispatch(effGetChunk, 1, 0, &saved);
  FUZZ_CHECK(savedSize == 8 + 8 * e.ParameterCount() && saved != nullptr);
  const std::vector<uint8_t> first(static_cast<uint8_t*>(saved), static_cast<uint8_t*>(saved) + savedSize);
  FUZZ_CHECK(e.Dispatch(effSetChunk, 1, savedSize, const_cast<uint8_t*>(first.data())) == 1);
  const VstIntPtr againSize = e.Dispatch(effGetChunk, 1, 0, &saved);
  FUZZ_CHECK(againSize == savedSize);
  FUZZ_CHECK(std::vector<uint8_t>(static_cast<uint8_t*>(saved), static_cast<uint8_t*>(saved) + againSize) ==
             first);
  e.Dispatch(effClose);
  return 0;
}
