#pragma once

#include <cstdint>

// Counts heap allocations made anywhere in the process (the executable replaces the C allocator, so calls
// from a dlopened plug-in are counted too).
struct AllocationSnapshot {
  int64_t allocations;  // calls of malloc, calloc, realloc and the aligned forms
  int64_t liveBytes;    // usable bytes currently held
};

AllocationSnapshot CurrentAllocations();
