// SPDX-License-Identifier: GPL-3.0-or-later
// A VST 2 plug-in library opened with dlopen, and its entry point.
#pragma once

#include <string>

#include "vst/VstInterface.h"

class PluginLibrary {
 public:
  // Throws RenderError when the library cannot be loaded or exports no entry point.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const std::string& Path() const { return mPath; }
  // VSTPluginMain, or the older name main.
  VstPluginMainProc EntryPoint() const { return mEntry; }

 private:
  std::string mPath;
  void* mHandle = nullptr;
  VstPluginMainProc mEntry = nullptr;
};
