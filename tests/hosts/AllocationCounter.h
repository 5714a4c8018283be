// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Counts heap allocations (malloc and its relatives, and therefore operator new) made by any code in the
// process, the dlopened plug-in included: the executable that holds AllocationCounter.cpp replaces the C
// allocator (or, in a sanitizer build, hooks the sanitizer's). Two views: the allocations one thread makes
// while it is armed, and the whole process's allocations with the bytes it holds.

void ArmAllocationCounting();
// Stops counting and answers the number of allocations on this thread since arming.
long DisarmAllocationCounting();

// RAII form: arms when made; Stop() (or the end of its scope) disarms, and Stop() answers the count.
class AllocationCount {
 public:
  AllocationCount() { ArmAllocationCounting(); }
  ~AllocationCount() { Stop(); }
  long Stop() {
    if (mArmed) mCount = DisarmAllocationCounting();
    mArmed = false;
    return mCount;
  }

 private:
  bool mArmed = true;
  long mCount = 0;
};

struct AllocationSnapshot {
  int64_t allocations;  // calls of malloc, calloc, realloc and the aligned forms that returned a block
  int64_t liveBytes;    // usable bytes currently held
};

AllocationSnapshot CurrentAllocations();

// While recording, the usable size of every allocation that is still held is kept (up to kMaxRecorded
// blocks), so a report can show where an instance's memory goes. Recording is for one thread while nothing
// else allocates.
constexpr int kMaxRecorded = 1024;
void StartRecording();
// Stops recording; fills sizes with the blocks allocated since StartRecording and not freed since, and
// returns their number.
int StopRecording(int64_t* sizes, int capacity);
