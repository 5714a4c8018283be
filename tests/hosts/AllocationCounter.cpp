// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/hosts/AllocationCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUILLMERE_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define QUILLMERE_SANITIZER_ALLOCATOR 1
#endif
#endif

namespace {

// Thread-local storage of the executable itself is static, so reading it never allocates.
thread_local bool tArmed = false;
thread_local long tCount = 0;

std::atomic<int64_t> gAllocations{0};
std::atomic<int64_t> gLiveBytes{0};

// Recording is used from one thread while nothing else allocates.
bool gRecording = false;
const void* gRecordedBlocks[kMaxRecorded];
int64_t gRecordedSizes[kMaxRecorded];
int gRecordedCount = 0;

// Every allocation call counts for the armed thread, also one that fails.
inline void CountCall() {
  if (tArmed) ++tCount;
}

// A block handed out, with its usable size.
void CountBlock(const void* block, size_t usable) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  const int64_t size = static_cast<int64_t>(usable);
  gLiveBytes.fetch_add(size, std::memory_order_relaxed);
  if (gRecording && gRecordedCount < kMaxRecorded) {
    gRecordedBlocks[gRecordedCount] = block;
    gRecordedSizes[gRecordedCount++] = size;
  }
}

// A block given back, with its usable size.
void UncountBlock(const void* block, size_t usable) {
  gLiveBytes.fetch_sub(static_cast<int64_t>(usable), std::memory_order_relaxed);
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

void ArmAllocationCounting() {
  tCount = 0;
  tArmed = true;
}

long DisarmAllocationCounting() {
  tArmed = false;
  return tCount;
}

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

#if defined(QUILLMERE_SANITIZER_ALLOCATOR)

// The sanitizer owns malloc and operator new; its hooks see every allocation and every release.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));
extern "C" int __sanitizer_get_ownership(const volatile void* block);
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* block);

namespace {

void OnMalloc(const volatile void* block, size_t size) {
  CountCall();
  CountBlock(const_cast<const void*>(block), size);
}

// Called before the block is released, so the size of a block still held can be asked; a block freed twice
// is left for the sanitizer to report.
void OnFree(const volatile void* block) {
  if (!__sanitizer_get_ownership(block)) return;
  UncountBlock(const_cast<const void*>(block), __sanitizer_get_allocated_size(block));
}

const int gHooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);

}  // namespace

#else

// The C library's own allocator entries, under the names it exports beside malloc.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

void* Counted(void* block) {
  if (block) CountBlock(block, malloc_usable_size(block));
  return block;
}

void Uncount(void* block) {
  if (block) UncountBlock(block, malloc_usable_size(block));
}

}  // namespace

// Definitions in the executable interpose on every library's calls, the dlopened plug-in's included.
extern "C" {

void* malloc(size_t size) {
  CountCall();
  return Counted(__libc_malloc(size));
}

void* calloc(size_t count, size_t size) {
  CountCall();
  return Counted(__libc_calloc(count, size));
}

void* realloc(void* block, size_t size) {
  CountCall();
  Uncount(block);
  return Counted(__libc_realloc(block, size));
}

void free(void* block) {
  Uncount(block);
  __libc_free(block);
}

void* memalign(size_t alignment, size_t size) {
  CountCall();
  return Counted(__libc_memalign(alignment, size));
}

void* aligned_alloc(size_t alignment, size_t size) {
  CountCall();
  return Counted(__libc_memalign(alignment, size));
}

int posix_memalign(void** out, size_t alignment, size_t size) {
  CountCall();
  void* block = Counted(__libc_memalign(alignment, size));
  if (!block) return 12;  // ENOMEM
  *out = block;
  return 0;
}

}  // extern "C"

namespace {

void* NewBlock(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) throw std::bad_alloc();
  return block;
}

void* NewAligned(size_t size, std::align_val_t alignment) {
  void* block = nullptr;
  if (posix_memalign(&block, static_cast<size_t>(alignment), size ? size : 1) != 0) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(size_t size) { return NewBlock(size); }
void* operator new[](size_t size) { return NewBlock(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new(size_t size, std::align_val_t alignment) { return NewAligned(size, alignment); }
void* operator new[](size_t size, std::align_val_t alignment) { return NewAligned(size, alignment); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { std::free(block); }

#endif
