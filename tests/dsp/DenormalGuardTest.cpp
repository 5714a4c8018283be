// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "dsp/DenormalGuard.h"

#if QUILLMERE_HAS_MXCSR

namespace {

constexpr unsigned kFlushBits = DenormalGuard::kFlushToZero | DenormalGuard::kDenormalsAreZero;

TEST(DenormalGuard, FlushesDenormalsInsideAndRestoresCallerStateAfter) {
  const unsigned saved = _mm_getcsr();
  for (unsigned caller : {0x1F80u, 0x1F80u | kFlushBits, 0x1F80u | DenormalGuard::kFlushToZero, 0x1FA0u,
                          0x1FBFu | kFlushBits, 0x9F80u | 0x6000u}) {
    SCOPED_TRACE(caller);
    _mm_setcsr(caller);
    unsigned inside;
    double half;
    {
      DenormalGuard guard;
      inside = _mm_getcsr();
      volatile double tiny = 1e-310;
      half = tiny * 0.5;
    }
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(inside & kFlushBits, kFlushBits);
    // Only the two flushing bits change; rounding mode and exception masks stay the caller's.
    EXPECT_EQ(inside & DenormalGuard::kControlBits & ~kFlushBits,
              caller & DenormalGuard::kControlBits & ~kFlushBits);
    EXPECT_EQ(half, 0.0);
    EXPECT_EQ(after & DenormalGuard::kControlBits, caller & DenormalGuard::kControlBits);
  }
}

TEST(DenormalGuard, NestedGuardsRestoreTheOuterCallersState) {
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(0x1F80u);
  unsigned betweenGuards;
  {
    DenormalGuard outer;
    { DenormalGuard inner; }
    betweenGuards = _mm_getcsr();
  }
  const unsigned after = _mm_getcsr();
  _mm_setcsr(saved);
  EXPECT_EQ(betweenGuards & kFlushBits, kFlushBits);
  EXPECT_EQ(after & DenormalGuard::kControlBits, 0x1F80u);
}

}  // namespace

#endif
