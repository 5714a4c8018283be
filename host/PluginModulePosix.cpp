// SPDX-License-Identifier: GPL-3.0-or-later
#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "PluginModule.h"

PluginModule::~PluginModule() { Close(); }

HostStatus PluginModule::Open(const std::string& path) {
  Close();
  mPath = path;
  mError.clear();
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    mError = std::strerror(errno);
    return HostStatus::kCannotLoad;
  }
  if (S_ISDIR(st.st_mode)) {
    mError = "it is a folder";
    return HostStatus::kCannotLoad;
  }
  // dlopen searches the library path for a name without a slash; a file was meant.
  const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  mHandle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (mHandle == nullptr) {
    const char* why = dlerror();
    mError = why != nullptr ? why : "unknown reason";
    return HostStatus::kCannotLoad;
  }
  return HostStatus::kOk;
}

void PluginModule::Close() {
  if (mHandle != nullptr && !mKeep) dlclose(mHandle);
  mHandle = nullptr;
}

void* PluginModule::Symbol(const char* name) const {
  return mHandle != nullptr ? dlsym(mHandle, name) : nullptr;
}
