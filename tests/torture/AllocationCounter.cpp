// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/torture/AllocationCounter.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TORTURE_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define TORTURE_SANITIZER_ALLOCATOR 1
#endif
#endif

namespace {

// Thread-local storage of the executable itself is static, so reading it never allocates.
thread_local bool tArmed = false;
thread_local long tCount = 0;

inline void CountOne() {
  if (tArmed) ++tCount;
}

}  // namespace

namespace torture {

void ArmAllocationCounting() {
  tCount = 0;
  tArmed = true;
}

long DisarmAllocationCounting() {
  tArmed = false;
  return tCount;
}

}  // namespace torture

#if defined(TORTURE_SANITIZER_ALLOCATOR)

// The sanitizer owns malloc and operator new; its allocation hook sees every allocation.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {

void OnMalloc(const volatile void*, size_t) { CountOne(); }
void OnFree(const volatile void*) {}

const int gHooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);

}  // namespace

#else

// The C library's own allocator entries, under the names it exports beside malloc.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

// Definitions in the executable interpose on every library's calls, the dlopened plug-in's included.
void* malloc(size_t size) {
  CountOne();
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  CountOne();
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  CountOne();
  return __libc_realloc(block, size);
}

void* memalign(size_t alignment, size_t size) {
  CountOne();
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  CountOne();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
  CountOne();
  void* block = __libc_memalign(alignment, size);
  if (!block) return 12;  // ENOMEM
  *out = block;
  return 0;
}
}

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
