// SPDX-License-Identifier: GPL-3.0-or-later
#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "PluginModule.h"

PluginModule::~PluginModule() { Close(); }

HostStatus PluginModule::Open(const std::string& path) {
  Close();
  mError.clear();
  // dlopen searches the library path for a name without a slash; a file was meant.
  const bool bare = path.find('/') == std::string::npos;
  dlerror();
  mHandle = dlopen(bare ? ("./" + path).c_str() : path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (mHandle != nullptr) return HostStatus::kOk;
  const char* why = dlerror();
  mError = why != nullptr ? why : "unknown reason";
  // A missing file or a folder is said plainly.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    mError = std::strerror(errno);
  else if (S_ISDIR(st.st_mode))
    mError = "it is a folder";
  return HostStatus::kCannotLoad;
}

void PluginModule::Close() {
  if (mHandle != nullptr && !mKeep) dlclose(mHandle);
  mHandle = nullptr;
}

void* PluginModule::Symbol(const char* name) const {
  return mHandle != nullptr ? dlsym(mHandle, name) : nullptr;
}
