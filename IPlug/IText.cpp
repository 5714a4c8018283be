// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IText.h"

#include <climits>
#include <cstdint>
#include <cstring>

bool IText::Set(const char* text, int maxLength) {
  if (!text) text = "";
  const size_t length = maxLength > 0 ? strnlen(text, static_cast<size_t>(maxLength)) : std::strlen(text);
  if (length >= static_cast<size_t>(INT_MAX)) return false;
  const int n = static_cast<int>(length);

  char* old = static_cast<char*>(mBuffer.Data());
  const uintptr_t offset = reinterpret_cast<uintptr_t>(text) - reinterpret_cast<uintptr_t>(old);
  if (old && offset < static_cast<uintptr_t>(mBuffer.Size())) {
    // The text lies in our own storage: move it to the front first, then shorten without reallocating.
    std::memmove(old, text, length);
    mBuffer.Resize(n + 1, false);
    old[n] = '\0';
    return true;
  }
  if (!mBuffer.Resize(n + 1)) return false;
  char* data = static_cast<char*>(mBuffer.Data());
  std::memcpy(data, text, length);
  data[n] = '\0';
  return true;
}

const char* IText::Get() const {
  const char* data = static_cast<const char*>(mBuffer.Data());
  return data ? data : "";
}

int IText::Length() const { return mBuffer.Size() > 0 ? mBuffer.Size() - 1 : 0; }
