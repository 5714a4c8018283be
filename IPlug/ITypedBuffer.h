// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <climits>

#include "IPlug/IHeapBuffer.h"

// An array of one trivially copyable element type on an IHeapBuffer (granularity 4096).
template <class T>
class ITypedBuffer {
 public:
  ITypedBuffer() : mBuffer(4096) {}

  // Sets the element count (negative counts as 0); new elements are not initialised.
  // Returns false, keeping the old contents, when memory ran out.
  bool Resize(int count, bool allowShrink = true) {
    if (count < 0) count = 0;
    if (count > INT_MAX / static_cast<int>(sizeof(T))) return false;
    return mBuffer.Resize(count * static_cast<int>(sizeof(T)), allowShrink);
  }
  T* Get() const { return static_cast<T*>(mBuffer.Data()); }
  int Count() const { return mBuffer.Size() / static_cast<int>(sizeof(T)); }

 private:
  IHeapBuffer mBuffer;
};
