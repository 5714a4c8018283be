// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Counts heap allocations made anywhere in the process (the executable replaces the C allocator, so calls
// from a dlopened plug-in are counted too).
struct AllocationSnapshot {
  int64_t allocations;  // calls of malloc, calloc, realloc and the aligned forms
  int64_t liveBytes;    // usable bytes currently held
};

AllocationSnapshot CurrentAllocations();

// While recording, the usable size of every allocation that is still held is kept (up to kMaxRecorded
// blocks), so a report can show where an instance's memory goes.
constexpr int kMaxRecorded = 1024;
void StartRecording();
// Stops recording; fills sizes with the blocks allocated since StartRecording and not freed since, and
// returns their number.
int StopRecording(int64_t* sizes, int capacity);
