// SPDX-License-Identifier: GPL-3.0-or-later
// An LV2 host whose features, options and calls the input decides: the sample rate, a URI map or none, option
// records of any key, type, size and value, then control values of any bits, ports left unconnected, runs of
// any length, activate and deactivate. Finite input must give finite output throughout.
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <vector>

#include "effect/ZvAudioPlugin.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr uint32_t kLongest = 20000;

// The URIs the plug-in may ask for get fixed numbers; anything else gets 0 (a map that knows nothing).
const char* const kKnownUris[] = {LV2_BUF_SIZE__maxBlockLength,
                                  LV2_BUF_SIZE__minBlockLength,
                                  LV2_BUF_SIZE__nominalBlockLength,
                                  LV2_ATOM__Int,
                                  LV2_ATOM__Long,
                                  LV2_ATOM__Float};

LV2_URID MapUri(LV2_URID_Map_Handle, const char* uri) {
  for (uint32_t i = 0; i < sizeof kKnownUris / sizeof kKnownUris[0]; ++i) {
    if (std::strcmp(uri, kKnownUris[i]) == 0) return i + 1;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<float> buffers[4];
  if (buffers[0].empty()) {
    for (auto& b : buffers) b.resize(kLongest);
  }
  const double rates[] = {44100.0, 8000.0, 1234.5678, 384000.0, 0.0, std::nan(""), 1.0, 1e300};
  const uint32_t frameCounts[] = {0, 1, 63, 64, 1000, 4097, 8193, kLongest};

  fuzz::Reader in(data, size);
  const uint8_t setup = in.Byte();

  // Up to four option records with any key, context, type and size; their values point into this storage.
  LV2_URID_Map map{nullptr, MapUri};
  LV2_Options_Option options[5] = {};
  uint8_t values[4][8] = {};
  const int nOptions = (setup >> 3) % 5;
  for (int i = 0; i < nOptions; ++i) {
    const uint8_t shape = in.Byte();
    for (uint8_t& b : values[i]) b = in.Byte();
    options[i].context = static_cast<LV2_Options_Context>(shape % 4 == 3 ? 1 : 0);
    options[i].key = (shape >> 2) % 4;             // 1 is maxBlockLength, 0 would end the list early
    options[i].type = ((shape >> 4) % 4) + 3;      // 4 Int, 5 Long, 6 Float, 3 something else
    options[i].size = (shape >> 6) % 2 ? 8u : 4u;  // Int with 8 bytes is read whole, Long with 4 is refused
    options[i].value = values[i];
  }
  const LV2_Feature mapFeature{LV2_URID__map, &map};
  const LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
  const LV2_Feature* features[3] = {};
  int nFeatures = 0;
  if (setup & 1) features[nFeatures++] = &mapFeature;
  if (setup & 2) features[nFeatures++] = &optionsFeature;

  Lv2InstanceInfo info;
  info.mSampleRate = rates[(setup >> 5) % 8];
  info.mFeatures = (setup & 4) ? nullptr : features;
  IPlugLV2* plug = MakePlug(info);
  if (!plug->Open()) {
    FUZZ_CHECK(!(info.mSampleRate > 0.0));
    delete plug;
    return 0;
  }
  FUZZ_CHECK(plug->HostMaxBlockFrames() >= 0 && plug->HostMaxBlockFrames() <= IPlugLV2::kMaxBlockFrames);

  float controls[kNumParams];
  for (int i = 0; i < kNumParams; ++i) {
    controls[i] = static_cast<float>(plug->Param(i)->DefaultValue());
    IPlugLV2::ConnectPort(plug, kPortFirstControl + static_cast<uint32_t>(i), &controls[i]);
  }
  for (uint32_t p = 0; p < kPortFirstControl; ++p) IPlugLV2::ConnectPort(plug, p, buffers[p].data());
  IPlugLV2::Activate(plug);

  int steps = 0;
  while (in.More() && steps++ < 48) {
    const uint8_t action = in.Byte();
    switch (action % 6) {
      case 0:
      case 1:
        controls[(action >> 3) % kNumParams] = in.Raw<float>();
        break;
      case 2: {
        // A port left unconnected, connected again, or a port index beyond the last.
        const uint32_t port = (action >> 3) % (kNumLv2Ports + 2);
        void* target = nullptr;
        if (action & 4)
          target = port < kPortFirstControl ? static_cast<void*>(buffers[port].data())
                                            : static_cast<void*>(&controls[(port - 4) % kNumParams]);
        IPlugLV2::ConnectPort(plug, port, target);
        break;
      }
      case 3:
        if (action & 8) {
          IPlugLV2::Deactivate(plug);
        } else {
          IPlugLV2::Activate(plug);
        }
        break;
      default: {
        const uint32_t frames = frameCounts[(action >> 3) % 8];
        const float level = in.Byte() / 255.0f;
        for (int c = 0; c < 2; ++c)
          for (uint32_t i = 0; i < frames; ++i) buffers[c][i] = level * std::sin(0.01f * (i + 1) * (c + 1));
        IPlugLV2::Run(plug, frames);
        for (int c = 2; c < 4; ++c)
          for (uint32_t i = 0; i < frames; ++i) FUZZ_CHECK(std::isfinite(buffers[c][i]));
        break;
      }
    }
  }
  for (int i = 0; i < kNumParams; ++i) {
    const IPlugParam* param = plug->Param(i);
    FUZZ_CHECK(param->Value() >= param->Min() && param->Value() <= param->Max());
  }
  IPlugLV2::Cleanup(plug);
  return 0;
}
