// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IHeapBuffer.h"

// A terminated text on an IHeapBuffer of granularity 128.
class IText {
 public:
  IText() : mBuffer(128) {}

  // Copies text, at most maxLength characters of it when maxLength > 0. A null text sets "".
  // Returns false, keeping the old text, when memory ran out.
  bool Set(const char* text, int maxLength = 0);
  const char* Get() const;  // "" while never set
  int Length() const;

 private:
  IHeapBuffer mBuffer;
};
