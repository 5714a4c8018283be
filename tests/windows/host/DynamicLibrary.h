// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// A plug-in library opened by path, with its exported functions looked up by name. The only place where the
// check host differs between Windows (LoadLibrary) and other systems (dlopen).
class DynamicLibrary {
 public:
  explicit DynamicLibrary(const std::string& path);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool IsLoaded() const { return mHandle != nullptr; }
  // Null when the library has no such export.
  void* Export(const char* name) const;
  const std::string& Error() const { return mError; }

 private:
  void* mHandle = nullptr;
  std::string mError;
};
