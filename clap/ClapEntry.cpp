// SPDX-License-Identifier: GPL-3.0-or-later
// The module's one export, clap_entry, and the plug-in factory behind it: one plug-in, described by
// effect/PluginDescription.h.
#include <cstring>

#include "IPlug/IPlugEntry.h"
#include "IPlug/IPlugFactory.h"
#include "clap/entry.h"
#include "clap/plugin-factory.h"
#include "effect/PluginDescription.h"

namespace {

// The headers declare the feature list without const; hosts only read it.
const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION_INIT,
    kPluginClapId,
    kPluginName,
    DescribedVendorName(),
    kPluginUrl,
    "",  // manual_url
    "",  // support_url
    kPluginVersionText,
    "",  // description
    const_cast<const char**>(kPluginClapFeatures),
};

uint32_t CLAP_ABI PluginCount(const clap_plugin_factory_t* /*factory*/) { return 1; }

const clap_plugin_descriptor_t* CLAP_ABI PluginDescriptor(const clap_plugin_factory_t* /*factory*/,
                                                          uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}

const clap_plugin_t* CLAP_ABI CreatePlugin(const clap_plugin_factory_t* /*factory*/, const clap_host_t* host,
                                           const char* pluginId) {
  if (!pluginId || std::strcmp(pluginId, kPluginClapId) != 0) return nullptr;
  if (host && !clap_version_is_compatible(host->clap_version)) return nullptr;
  IPlugClap* plug = CreateInstance([host] { return MakePlug(host); });
  if (!plug) return nullptr;
  plug->SetDescriptor(&kDescriptor);
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
