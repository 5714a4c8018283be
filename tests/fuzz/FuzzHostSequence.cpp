// SPDX-License-Identifier: GPL-3.0-or-later
// A host's requests in an order and with numbers that the input decides: rates, block sizes, suspend and
// resume, parameter changes by value and by text, state saved and loaded, and blocks of any length through
// all three audio callbacks. Finite input must give finite output throughout.
#include <algorithm>
#include <cstring>
#include <vector>

#include "effect/ParameterTable.h"
#include "effect/ZvAudioPlugin.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr int kLongest = 5000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::StereoBuffers buffers(kLongest);
  const float rates[] = {44100.0f, 8000.0f, 1234.5678f, 384000.0f, 0.0f, -1.0f, 1.0f, 96000.0f};
  const int blockSizes[] = {512, 1, 17, 4096, 4097, 0, -5, 64};
  const int frameCounts[] = {0, 1, 32, 511, 512, 4096, 4097, kLongest};

  fuzz::Reader in(data, size);
  fuzz::HostedPlugin hosted((new ZvAudioPlugin(&Vst2HostCallback::Callback))->Descriptor());
  Vst2Instance& e = hosted;
  e.Dispatch(effOpen);
  int steps = 0;
  while (in.More() && steps++ < 48) {
    const uint8_t action = in.Byte();
    switch (action % 8) {
      case 0:
        e.Dispatch(effSetSampleRate, 0, 0, nullptr, rates[(action >> 3) % 8]);
        break;
      case 1:
        e.Dispatch(effSetBlockSize, 0, blockSizes[(action >> 3) % 8]);
        break;
      case 2:
        e.Dispatch(effMainsChanged, 0, (action >> 3) & 1);
        break;
      case 3: {
        // Values far below the range are a known separate case; keep to -10 .. 10 here.
        float value = in.Raw<float>();
        if (!(value >= -10.0f && value <= 10.0f)) value = (action & 8) ? 1.0f : 0.0f;
        e.SetParameter(static_cast<int>(action >> 3) % (kNumParams + 2) - 1, value);  // -1 .. kNumParams
        break;
      }
      case 4: {
        char text[16];
        for (char& ch : text) ch = static_cast<char>(in.Byte());
        text[15] = 0;
        e.Dispatch(effString2Parameter, static_cast<int>(action >> 3) % (kNumParams + 1), 0, text);
        break;
      }
      case 5: {
        void* saved = nullptr;
        const VstInt32 kind = (action >> 3) & 1;
        const VstIntPtr bytes = e.Dispatch(effGetChunk, kind, 0, &saved);
        if (bytes > 0 && saved) {
          std::vector<uint8_t> copy(static_cast<uint8_t*>(saved), static_cast<uint8_t*>(saved) + bytes);
          FUZZ_CHECK(e.Dispatch(effSetChunk, kind, bytes, copy.data()) == 1);
        }
        break;
      }
      default: {
        const int frames = frameCounts[(action >> 3) % 8];
        const int path = (action >> 6) % 3;
        const double level = in.Byte() / 255.0;
        buffers.FillInputs(frames, level);
        for (auto& out : buffers.floatOut) std::fill(out.begin(), out.begin() + frames, 0.0f);  // added to
        if (path == 0) {
          e.ProcessFloat(buffers.fin, buffers.fout, frames);
          FUZZ_CHECK(fuzz::Finite(buffers.fout, frames));
        } else if (path == 1) {
          e.ProcessAccumulating(buffers.fin, buffers.fout, frames);
          FUZZ_CHECK(fuzz::Finite(buffers.fout, frames));
        } else {
          e.ProcessDouble(buffers.din, buffers.dout, frames);
          FUZZ_CHECK(fuzz::Finite(buffers.dout, frames));
        }
        break;
      }
    }
  }
  fuzz::CheckParameters(e);
  e.Dispatch(effClose);
  return 0;
}
