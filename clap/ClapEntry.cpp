// SPDX-License-Identifier: GPL-3.0-or-later
// The module's one export, clap_entry, and the plug-in factory behind it: one plug-in,
// org.quillmere.quillmere.
#include <cstdio>
#include <cstring>

#include "IPlug/IPlugFactory.h"
#include "IPlug/IPlugMutex.h"
#include "clap/entry.h"
#include "clap/plugin-factory.h"

namespace {

// The plug-in's id: hosts store it in their sessions, so it never changes.
constexpr char kPluginId[] = "org.quillmere.quillmere";
const char* kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_STEREO, nullptr};

// Serialises instance creation and the descriptor's filling; built on the first call and kept until the
// process ends.
IPlugMutex& CreationLock() {
  static IPlugMutex lock;
  return lock;
}

struct DescriptorStore {
  char name[kPlugNameSize] = {};
  char vendor[kPlugNameSize] = {};
  clap_plugin_descriptor_t descriptor = {};
  bool filled = false;
};

// The names come from the plug-in object; a plug-in without a vendor name shows its product name there.
// Held by the caller: the creation lock.
const clap_plugin_descriptor_t* FillDescriptor(DescriptorStore& store) {
  if (store.filled) return &store.descriptor;
  IPlugBinding* probe = MakePlug(nullptr);
  if (!probe) return nullptr;
  std::snprintf(store.name, sizeof store.name, "%s", probe->EffectName());
  const char* vendor = probe->VendorName()[0] != '\0' ? probe->VendorName() : probe->ProductTitle();
  std::snprintf(store.vendor, sizeof store.vendor, "%s", vendor);
  delete probe;
  clap_plugin_descriptor_t& d = store.descriptor;
  d.clap_version = CLAP_VERSION;
  d.id = kPluginId;
  d.name = store.name;
  d.vendor = store.vendor;
  d.url = "";
  d.manual_url = "";
  d.support_url = "";
  d.version = QUILLMERE_VERSION;
  d.description = "";
  d.features = kFeatures;
  store.filled = true;
  return &d;
}

const clap_plugin_descriptor_t* Descriptor() {
  IPlugMutexLock lock(&CreationLock());
  static DescriptorStore store;
  try {
    return FillDescriptor(store);
  } catch (...) {
    return nullptr;
  }
}

uint32_t CLAP_ABI PluginCount(const clap_plugin_factory_t* /*factory*/) { return 1; }

const clap_plugin_descriptor_t* CLAP_ABI PluginDescriptor(const clap_plugin_factory_t* /*factory*/,
                                                          uint32_t index) {
  return index == 0 ? Descriptor() : nullptr;
}

const clap_plugin_t* CLAP_ABI CreatePlugin(const clap_plugin_factory_t* /*factory*/, const clap_host_t* host,
                                           const char* pluginId) {
  if (!pluginId || std::strcmp(pluginId, kPluginId) != 0) return nullptr;
  if (host && !clap_version_is_compatible(host->clap_version)) return nullptr;
  const clap_plugin_descriptor_t* descriptor = Descriptor();
  if (!descriptor) return nullptr;
  IPlugMutexLock lock(&CreationLock());
  IPlugBinding* plug = nullptr;
  try {
    plug = MakePlug(host);
    if (!plug) return nullptr;
    plug->FillDefaultPresets();
  } catch (...) {
    delete plug;
    return nullptr;
  }
  plug->SetDescriptor(descriptor);
  return plug->ClapPlugin();
}

const clap_plugin_factory_t kFactory = {PluginCount, PluginDescriptor, CreatePlugin};

bool CLAP_ABI EntryInit(const char* /*pluginPath*/) { return true; }

void CLAP_ABI EntryDeinit() {}

const void* CLAP_ABI Factory(const char* factoryId) {
  if (!factoryId || std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) != 0) return nullptr;
  return &kFactory;
}

}  // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, EntryInit, EntryDeinit,
                                                               Factory};
