// SPDX-License-Identifier: GPL-3.0-or-later
// effSetChunk with any bytes, of the kind the first byte picks, on an object with three presets.
#include <cstring>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ThreePresetPlug.h"

namespace {

std::vector<uint8_t> SaveBank(Vst2Instance& e) {
  void* saved = nullptr;
  const VstIntPtr size = e.Dispatch(effGetChunk, 0, 0, &saved);
  FUZZ_CHECK(size >= 8 && saved != nullptr);
  return std::vector<uint8_t>(static_cast<uint8_t*>(saved), static_cast<uint8_t*>(saved) + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const VstInt32 kind = data[0] & 1;
  const int program = (data[0] >> 1) % 4;  // 3 is out of range
  std::vector<uint8_t> bytes(data + 1, data + size);
  fuzz::HostedPlugin hosted((new ThreePresetPlug(&Vst2HostCallback::Callback))->Descriptor());
  Vst2Instance& e = hosted;
  e.Start(44100.0, 64);
  e.Dispatch(effSetProgram, 0, program);
  const VstIntPtr answer = e.Dispatch(effSetChunk, kind, static_cast<VstIntPtr>(bytes.size()),
                                      bytes.empty() ? nullptr : bytes.data());
  FUZZ_CHECK(answer == 0 || answer == 1);
  fuzz::CheckParameters(e);

  // Program names come back terminated inside the 24 bytes promised.
  for (int index = -1; index <= 3; ++index) {
    unsigned char name[24 + 16];
    std::memset(name, 0xA5, sizeof name);
    e.Dispatch(effGetProgramNameIndexed, index, 0, name);
    for (size_t i = 24; i < sizeof name; ++i) FUZZ_CHECK(name[i] == 0xA5);
    FUZZ_CHECK(std::memchr(name, 0, 24) != nullptr || name[0] == 0xA5);
  }

  // A bank that was saved loads again and, from then on, saves the same bytes.
  const std::vector<uint8_t> first = SaveBank(e);
  FUZZ_CHECK(e.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(first.size()),
                        const_cast<uint8_t*>(first.data())) == 1);
  const std::vector<uint8_t> second = SaveBank(e);
  FUZZ_CHECK(e.Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(second.size()),
                        const_cast<uint8_t*>(second.data())) == 1);
  FUZZ_CHECK(SaveBank(e) == second);
  e.Dispatch(effClose);
  return 0;
}
