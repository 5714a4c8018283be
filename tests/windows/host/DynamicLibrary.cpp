// SPDX-License-Identifier: GPL-3.0-or-later
#include "DynamicLibrary.h"

#if defined(_WIN32)
#include <windows.h>

DynamicLibrary::DynamicLibrary(const std::string& path) {
  mHandle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
  if (!mHandle) mError = "LoadLibrary failed with error " + std::to_string(GetLastError());
}

DynamicLibrary::~DynamicLibrary() {
  if (mHandle) FreeLibrary(static_cast<HMODULE>(mHandle));
}

void* DynamicLibrary::Export(const char* name) const {
  return mHandle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name)) : nullptr;
}

#else
#include <dlfcn.h>

DynamicLibrary::DynamicLibrary(const std::string& path) {
  mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mHandle) mError = dlerror();
}

DynamicLibrary::~DynamicLibrary() {
  if (mHandle) dlclose(mHandle);
}

void* DynamicLibrary::Export(const char* name) const { return mHandle ? dlsym(mHandle, name) : nullptr; }

#endif
