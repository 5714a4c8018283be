// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "vst/VstInterface.h"

// A plug-in library opened with dlopen, and its entry points. The library stays loaded until the object dies.
class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool IsLoaded() const { return mHandle != nullptr && mEntry != nullptr; }
  const std::string& Error() const { return mError; }
  VstPluginMainProc Entry() const { return mEntry; }
  VstPluginMainProc MainAlias() const { return mMainAlias; }  // the "main" export, or none

 private:
  void* mHandle = nullptr;
  VstPluginMainProc mEntry = nullptr;
  VstPluginMainProc mMainAlias = nullptr;
  std::string mError;
};

// The library under test: QUILLMERE_PLUGIN from the environment when set, else the path built in.
std::string PluginPathUnderTest();
// One library for the whole test program, loaded on first use.
PluginLibrary& LibraryUnderTest();
