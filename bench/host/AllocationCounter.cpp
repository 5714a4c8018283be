// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/host/AllocationCounter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<int64_t> gAllocations{0};
std::atomic<int64_t> gLiveBytes{0};

// Recording is used from one thread while nothing else allocates.
bool gRecording = false;
void* gRecordedBlocks[kMaxRecorded];
int64_t gRecordedSizes[kMaxRecorded];
int gRecordedCount = 0;

void* Counted(void* block) {
  if (block) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    const int64_t size = static_cast<int64_t>(malloc_usable_size(block));
    gLiveBytes.fetch_add(size, std::memory_order_relaxed);
    if (gRecording && gRecordedCount < kMaxRecorded) {
      gRecordedBlocks[gRecordedCount] = block;
      gRecordedSizes[gRecordedCount++] = size;
    }
  }
  return block;
}

void Uncount(void* block) {
  if (!block) return;
  gLiveBytes.fetch_sub(static_cast<int64_t>(malloc_usable_size(block)), std::memory_order_relaxed);
  if (!gRecording) return;
  for (int i = 0; i < gRecordedCount; ++i) {
    if (gRecordedBlocks[i] == block) {
      gRecordedBlocks[i] = gRecordedBlocks[--gRecordedCount];
      gRecordedSizes[i] = gRecordedSizes[gRecordedCount];
      return;
    }
  }
}

}  // namespace

AllocationSnapshot CurrentAllocations() { return {gAllocations.load(), gLiveBytes.load()}; }

void StartRecording() {
  gRecordedCount = 0;
  gRecording = true;
}

int StopRecording(int64_t* sizes, int capacity) {
  gRecording = false;
  const int n = gRecordedCount < capacity ? gRecordedCount : capacity;
  for (int i = 0; i < n; ++i) sizes[i] = gRecordedSizes[i];
  return n;
}

extern "C" {

void* malloc(size_t size) { return Counted(__libc_malloc(size)); }

void* calloc(size_t count, size_t size) { return Counted(__libc_calloc(count, size)); }

void* realloc(void* block, size_t size) {
  Uncount(block);
  return Counted(__libc_realloc(block, size));
}

void free(void* block) {
  Uncount(block);
  __libc_free(block);
}

void* memalign(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }

void* aligned_alloc(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }

int posix_memalign(void** result, size_t alignment, size_t size) {
  void* block = Counted(__libc_memalign(alignment, size));
  if (!block) return ENOMEM;
  *result = block;
  return 0;
}

}  // extern "C"
