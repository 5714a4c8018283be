// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugEntry.h"
#include "IPlug/IPlugFactory.h"
#include "effect/PluginDescription.h"

namespace {

LV2_Handle Instantiate(const LV2_Descriptor* /*descriptor*/, double sampleRate, const char* /*bundlePath*/,
                       const LV2_Feature* const* features) {
  Lv2InstanceInfo info;
  info.mSampleRate = sampleRate;
  info.mFeatures = features;
  return CreateInstance([&info] { return MakePlug(info); }, [](IPlugLV2& made) { return made.Open(); });
}

const void* ExtensionData(const char* /*uri*/) { return nullptr; }

const LV2_Descriptor kDescriptor = {
    kPluginLv2Uri, Instantiate,          IPlugLV2::ConnectPort, IPlugLV2::Activate,
    IPlugLV2::Run, IPlugLV2::Deactivate, IPlugLV2::Cleanup,     ExtensionData,
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
