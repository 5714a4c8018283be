// SPDX-License-Identifier: GPL-3.0-or-later
// IPlugParam::FormatDisplay with any double, on parameters of every curve and step, into buffers of any size.
#include <cstring>

#include "IPlug/IPlugParam.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

struct Definition {
  const char* name;
  double def, min, max, step;
  const char* label;
  double shape;
};

const Definition kDefinitions[] = {
    {"Freqz Split", 1000.0, 100.0, 20000.0, 0.001, "Hz", 0.0},
    {"LowFreqzQ", 0.0, -40.0, 12.0, 0.001, "", 1.0},
    {"LR to LowFreqz", 0.0, -10.0, 10.0, 0.001, "angular", 1.0},
    {"Coarse", 0.0, 0.0, 10.0, 1.0, "", 1.0},
    {"Fine", 0.5, 0.0, 1.0, 0.0000001, "", 0.5},
    {"Power", 2.0, 1.0, 1e300, 0.25, "x", 3.0},
    {"Negative", -5.0, -1e300, -1.0, 0.5, "", 2.0},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 + sizeof(double)) return 0;
  const Definition& d = kDefinitions[data[0] % (sizeof kDefinitions / sizeof kDefinitions[0])];
  const bool normalized = data[1] & 1;
  const bool useValueTexts = data[1] & 2;
  const bool withTexts = data[1] & 4;
  const size_t outSize = data[2] % 48;
  double value;
  std::memcpy(&value, data + 3, sizeof value);

  IPlugParam param;
  param.DefineContinuous(d.name, d.def, d.min, d.max, d.step, d.label, d.shape);
  if (withTexts) {
    param.AddValueText(0, "zero");
    param.AddValueText(1, "a value text of exactly thirty-one ch");
  }
  unsigned char out[48 + 16];
  std::memset(out, 0xA5, sizeof out);
  param.FormatDisplay(value, normalized, reinterpret_cast<char*>(out), useValueTexts, outSize);
  for (size_t i = outSize; i < sizeof out; ++i) FUZZ_CHECK(out[i] == 0xA5);
  if (outSize > 0) FUZZ_CHECK(std::memchr(out, 0, outSize) != nullptr);
  return 0;
}
