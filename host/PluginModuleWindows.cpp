// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "PluginModule.h"

namespace {

// The system's text for an error code, without the line break it ends with.
std::string SystemMessage(DWORD code) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

}  // namespace

PluginModule::~PluginModule() { Close(); }

HostStatus PluginModule::Open(const std::string& path) {
  Close();
  mError.clear();
  // LoadLibrary searches the system folders for a name without a folder; a file was meant.
  const bool bare = path.find_first_of("/\\:") == std::string::npos;
  mHandle = reinterpret_cast<void*>(LoadLibraryA((bare ? ".\\" + path : path).c_str()));
  if (mHandle != nullptr) return HostStatus::kOk;
  mError = SystemMessage(GetLastError());
  // A missing file or a folder is said plainly.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    mError = SystemMessage(GetLastError());
  else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    mError = "it is a folder";
  return HostStatus::kCannotLoad;
}

void PluginModule::Close() {
  if (mHandle != nullptr && !mKeep) FreeLibrary(static_cast<HMODULE>(mHandle));
  mHandle = nullptr;
}

void* PluginModule::Symbol(const char* name) const {
  return mHandle != nullptr ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name))
                            : nullptr;
}
