// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/ITypedBuffer.h"

// A list of pointers. An owning list deletes its elements when it is destroyed.
template <class T>
class IPtrList {
 public:
  explicit IPtrList(bool ownsElements = false) : mOwnsElements(ownsElements) {}
  ~IPtrList() { Empty(mOwnsElements); }
  IPtrList(const IPtrList&) = delete;
  IPtrList& operator=(const IPtrList&) = delete;

  // Appends at the end; false when memory ran out (the element is then not in the list).
  bool Add(T* element) {
    const int n = Count();
    if (!mPointers.Resize(n + 1)) return false;
    mPointers.Get()[n] = element;
    return true;
  }
  T* Get(int index) const { return index >= 0 && index < Count() ? mPointers.Get()[index] : nullptr; }
  int Count() const { return mPointers.Count(); }
  void Empty(bool deleteElements) {
    if (deleteElements) {
      for (int i = 0; i < Count(); ++i) delete mPointers.Get()[i];
    }
    mPointers.Resize(0);
  }

 private:
  ITypedBuffer<T*> mPointers;
  bool mOwnsElements;
};
