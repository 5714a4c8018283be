// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugFactory.h"
#include "IPlug/IPlugMutex.h"

namespace {

// Serialises instance creation; built on the first call and kept until the process ends.
IPlugMutex& CreationLock() {
  static IPlugMutex lock;
  return lock;
}

LV2_Handle Instantiate(const LV2_Descriptor* /*descriptor*/, double sampleRate, const char* /*bundlePath*/,
                       const LV2_Feature* const* features) {
  IPlugMutexLock lock(&CreationLock());
  IPlugLV2* plug = nullptr;
  try {
    Lv2InstanceInfo info;
    info.mSampleRate = sampleRate;
    info.mFeatures = features;
    plug = MakePlug(info);
    if (!plug || !plug->Open()) {
      delete plug;
      return nullptr;
    }
  } catch (...) {
    delete plug;
    return nullptr;
  }
  return plug;
}

const void* ExtensionData(const char* /*uri*/) { return nullptr; }

const LV2_Descriptor kDescriptor = {
    kLv2PluginUri, Instantiate,          IPlugLV2::ConnectPort, IPlugLV2::Activate,
    IPlugLV2::Run, IPlugLV2::Deactivate, IPlugLV2::Cleanup,     ExtensionData,
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
