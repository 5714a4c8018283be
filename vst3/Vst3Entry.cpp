// SPDX-License-Identifier: GPL-3.0-or-later
#include "pluginterfaces/base/ipluginbase.h"
#include "vst3/Vst3Factory.h"

#if defined(_WIN32)
#define QUILLMERE_EXPORT extern "C" __declspec(dllexport)
#else
#define QUILLMERE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The factory, with one reference for the caller.
SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
  Vst3Factory& factory = Vst3Factory::Instance();
  factory.addRef();
  return &factory;
}

// The module needs no set-up when a host loads it and leaves nothing behind when it unloads; hosts call
// these around every other call.
#if defined(_WIN32)
QUILLMERE_EXPORT bool InitDll() { return true; }
QUILLMERE_EXPORT bool ExitDll() { return true; }
#else
QUILLMERE_EXPORT bool ModuleEntry(void* /*sharedLibraryHandle*/) { return true; }
QUILLMERE_EXPORT bool ModuleExit() { return true; }
#endif
