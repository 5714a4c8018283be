// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/HostText.h"

#include <cstring>

void CopyToHost(char* dest, const char* text, size_t capacity) {
  if (!dest || capacity == 0) return;
  const size_t length = text ? strnlen(text, capacity - 1) : 0;
  if (length > 0) std::memcpy(dest, text, length);
  dest[length] = '\0';
}
