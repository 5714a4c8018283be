// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugEntry.h"
#include "IPlug/IPlugFactory.h"

#if defined(_WIN32)
#include <windows.h>
#endif

IPLUG_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
  IPlugVST* plug = CreateInstance([&] { return MakePlug(hostCallback); },
                                  [](IPlugVST& made) {
                                    // A plug-in without presets shows the host one program.
                                    AEffect* descriptor = made.Descriptor();
                                    if (descriptor->numPrograms < 1) descriptor->numPrograms = 1;
                                    return true;
                                  });
  return plug ? plug->Descriptor() : nullptr;
}

// The second entry, for hosts that look for "main". It carries the callback at full pointer width. The
// assembler name keeps the compiler from treating it as a program's main function.
IPLUG_EXPORT AEffect* VSTCALLBACK VSTPluginMainAlias(audioMasterCallback hostCallback) __asm__("main");

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
