// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugEntry.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "vst3/Vst3Factory.h"

// The factory, with one reference for the caller.
SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
  Vst3Factory& factory = Vst3Factory::Instance();
  factory.addRef();
  return &factory;
}

// The module needs no set-up when a host loads it and leaves nothing behind when it unloads; hosts call
// these around every other call.
#if defined(_WIN32)
IPLUG_EXPORT bool InitDll() { return true; }
IPLUG_EXPORT bool ExitDll() { return true; }
#else
IPLUG_EXPORT bool ModuleEntry(void* /*sharedLibraryHandle*/) { return true; }
IPLUG_EXPORT bool ModuleExit() { return true; }
#endif
