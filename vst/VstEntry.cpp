// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugFactory.h"
#include "IPlug/IPlugMutex.h"

#if defined(_WIN32)
#include <windows.h>
#define QUILLMERE_EXPORT extern "C" __declspec(dllexport)
#else
#define QUILLMERE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// Serialises instance creation; built on the first call and kept until the process ends.
IPlugMutex& CreationLock() {
  static IPlugMutex lock;
  return lock;
}

}  // namespace

QUILLMERE_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
  IPlugMutexLock lock(&CreationLock());
  IPlugVST* plug = nullptr;
  try {
    plug = MakePlug(hostCallback);
    if (!plug) return nullptr;
    plug->FillDefaultPresets();
  } catch (...) {
    delete plug;
    return nullptr;
  }
  AEffect* descriptor = plug->Descriptor();
  if (descriptor->numPrograms < 1) descriptor->numPrograms = 1;
  return descriptor;
}

// The second entry, for hosts that look for "main". It carries the callback at full pointer width. The
// assembler name keeps the compiler from treating it as a program's main function.
QUILLMERE_EXPORT AEffect* VSTCALLBACK VSTPluginMainAlias(audioMasterCallback hostCallback) __asm__("main");

AEffect* VSTCALLBACK VSTPluginMainAlias(audioMasterCallback hostCallback) {
  return VSTPluginMain(hostCallback);
}

#if defined(_WIN32)
namespace {
// The module handle is kept for an editor window, which this plug-in never opens.
HINSTANCE gModuleHandle = nullptr;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  gModuleHandle = instance;
  return TRUE;
}
#endif
