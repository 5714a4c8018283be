// SPDX-License-Identifier: GPL-3.0-or-later
// A plug-in module (a shared library or DLL) opened by path, whatever plug-in format it holds: symbols are
// looked up by name and the caller knows what they are. PluginModulePosix.cpp and PluginModuleWindows.cpp are
// the two implementations.
#pragma once

#include <string>

#include "HostStatus.h"

class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();  // closes the module
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Opens the file at path (a name without a folder is a file in the current folder, not a library to search
  // for); kCannotLoad with the reason in Error() when that fails. Closes a module opened before.
  HostStatus Open(const std::string& path);
  // Unloads the module, unless Keep() was called: nothing made from it may be used afterwards.
  void Close();
  // Closing or destroying this object leaves the module loaded until the process ends, as hosts do for
  // libraries that keep process-wide state.
  void Keep() { mKeep = true; }

  bool IsOpen() const { return mHandle != nullptr; }
  // Why the last Open failed: the system's message, or what is wrong with the path.
  const std::string& Error() const { return mError; }
  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;

 private:
  void* mHandle = nullptr;
  bool mKeep = false;
  std::string mError;
};
