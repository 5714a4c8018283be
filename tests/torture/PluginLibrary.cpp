// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/torture/PluginLibrary.h"

#include <dlfcn.h>

#include <cstdlib>

#ifndef QUILLMERE_PLUGIN_PATH
#define QUILLMERE_PLUGIN_PATH ""
#endif

PluginLibrary::PluginLibrary(const std::string& path) {
  mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mHandle) {
    const char* why = dlerror();
    mError = why ? why : "dlopen failed";
    return;
  }
  void* entry = dlsym(mHandle, "VSTPluginMain");
  void* alias = dlsym(mHandle, "main");
  // Some libraries export only the alias; either is an entry.
  mEntry = reinterpret_cast<VstPluginMainProc>(entry ? entry : alias);
  mMainAlias = reinterpret_cast<VstPluginMainProc>(alias);
  if (!mEntry) mError = "no entry point exported";
}

PluginLibrary::~PluginLibrary() {
  if (mHandle) dlclose(mHandle);
}

std::string PluginPathUnderTest() {
  const char* fromEnvironment = std::getenv("QUILLMERE_PLUGIN");
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  return QUILLMERE_PLUGIN_PATH;
}

PluginLibrary& LibraryUnderTest() {
  // Never unloaded: instances made by one test must not outlive their code.
  static PluginLibrary* library = new PluginLibrary(PluginPathUnderTest());
  return *library;
}
