// SPDX-License-Identifier: GPL-3.0-or-later
#include "PluginLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "RenderError.h"

PluginLibrary::PluginLibrary(const std::string& path) : mPath(path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    throw RenderError("cannot load plug-in " + path + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw RenderError("cannot load plug-in " + path + ": it is a folder");

  // dlopen searches the library path for a name without a slash; a path was meant.
  const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  mHandle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (mHandle == nullptr) {
    const char* why = dlerror();
    throw RenderError("cannot load plug-in " + path + ": " + (why != nullptr ? why : "unknown reason"));
  }
  void* entry = dlsym(mHandle, "VSTPluginMain");
  if (entry == nullptr) entry = dlsym(mHandle, "main");
  if (entry == nullptr) {
    dlclose(mHandle);
    mHandle = nullptr;
    throw RenderError("plug-in " + path + " exports no VSTPluginMain or main entry point");
  }
  mEntry = reinterpret_cast<VstPluginMainProc>(entry);
}

PluginLibrary::~PluginLibrary() {
  if (mHandle != nullptr) dlclose(mHandle);
}
