// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A growable memory block: the store under every list, typed array, text and state chunk.
// The used size changes freely within the capacity; outside it the block is reallocated with room to spare
// (whole 4096-byte pages less 96 bytes when the granularity is 4096 or more).
class IHeapBuffer {
 public:
  explicit IHeapBuffer(int granularity = 4096);
  ~IHeapBuffer();
  IHeapBuffer(const IHeapBuffer&) = delete;
  IHeapBuffer& operator=(const IHeapBuffer&) = delete;

  // Sets the used size to n bytes (negative n counts as 0). Bytes gained are not initialised. allowShrink
  // lets a smaller size release memory. Returns false when memory ran out or n is too large to manage; the
  // old block and size then stay as they were.
  bool Resize(int n, bool allowShrink = true);

  void* Data() const { return mSize > 0 ? mData : nullptr; }  // none while the used size is 0
  int Size() const { return mSize; }
  int Capacity() const { return mCapacity; }
  int Granularity() const { return mGranularity; }

 private:
  void* mData = nullptr;
  int mGranularity;
  int mCapacity = 0;
  int mSize = 0;
};
