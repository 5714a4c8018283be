// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IHeapBuffer.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int64_t kPage = 4096;
constexpr int64_t kPageSlack = 96;  // room left in each allocation's last page for the allocator's own use
constexpr int64_t kMaxHeadroom = 0x400000;

// The capacity for a block of n > 0 bytes, or -1 when a sum on the way exceeds a signed 32-bit count.
int64_t CapacityFor(int64_t n, int64_t granularity) {
  int64_t headroom = n / 2 > granularity ? n / 2 : granularity;
  if (granularity < kPage) return n + headroom > INT_MAX ? -1 : n + headroom;
  headroom -= headroom % kPage;
  if (headroom < kPage) headroom = kPage;
  if (headroom > kMaxHeadroom) headroom = kMaxHeadroom;
  const int64_t total = n + headroom + kPageSlack;
  return total > INT_MAX ? -1 : total - total % kPage - kPageSlack;
}

}  // namespace

IHeapBuffer::IHeapBuffer(int granularity) : mGranularity(granularity) {}

IHeapBuffer::~IHeapBuffer() { std::free(mData); }

bool IHeapBuffer::Resize(int n, bool allowShrink) {
  if (n < 0) n = 0;
  if (n == mSize) return true;

  int threshold = 0;
  if (allowShrink && n < mSize) {
    const int64_t reduced = static_cast<int64_t>(mCapacity) - 4 * static_cast<int64_t>(mGranularity);
    int64_t t = reduced < mCapacity / 2 ? reduced : mCapacity / 2;
    if (t < 1) t = 1;
    threshold = static_cast<int>(t);
  }
  if (threshold <= n && n <= mCapacity) {
    mSize = n;
    return true;
  }

  if (n < 1) {
    std::free(mData);
    mData = nullptr;
    mCapacity = 0;
    mSize = 0;
    return true;
  }
  const int64_t capacity = CapacityFor(n, mGranularity);
  if (capacity < 0) return false;
  // realloc keeps the first min(n, old size) bytes (and more); on failure the old block stays valid.
  void* data = std::realloc(mData, static_cast<size_t>(capacity));
  if (!data) return false;
  mData = data;
  mCapacity = static_cast<int>(capacity);
  mSize = n;
  return true;
}
