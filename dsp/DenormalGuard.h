// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#define QUILLMERE_HAS_MXCSR 1
#else
#define QUILLMERE_HAS_MXCSR 0
#endif

// Sets flush-to-zero and denormals-are-zero for its lifetime and then restores the caller's
// floating-point control and status word. Does nothing on targets without MXCSR.
class DenormalGuard {
 public:
#if QUILLMERE_HAS_MXCSR
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  static constexpr unsigned kControlBits = 0xFFC0;  // everything but the six exception flags

  // Writing the register stalls the processor, so it is written only when its value has to change.
  DenormalGuard() : mSaved(_mm_getcsr()) {
    const unsigned flushing = mSaved | kFlushToZero | kDenormalsAreZero;
    if (flushing != mSaved) _mm_setcsr(flushing);
  }
  // Does nothing at all when not active: for callers that already run under a guard of their own.
  explicit DenormalGuard(bool active) : mSaved(kInactive) {
    if (!active) return;
    mSaved = _mm_getcsr();
    const unsigned flushing = mSaved | kFlushToZero | kDenormalsAreZero;
    if (flushing != mSaved) _mm_setcsr(flushing);
  }
  // Only the control bits are compared: the exception flags that arithmetic raises on the way are status, not
  // the caller's settings, and leaving them saves a register write per block.
  ~DenormalGuard() {
    if (mSaved != kInactive && (_mm_getcsr() & kControlBits) != (mSaved & kControlBits)) _mm_setcsr(mSaved);
  }

 private:
  static constexpr unsigned kInactive = 0xFFFFFFFFu;  // no register value: its upper 16 bits are reserved, 0
  unsigned mSaved;
#else
  DenormalGuard() {}
  explicit DenormalGuard(bool) {}
  ~DenormalGuard() {}
#endif

 public:
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;
};
