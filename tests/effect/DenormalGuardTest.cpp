// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "IPlug/IDenormalGuard.h"
#include "effect/EffectEngine.h"

#if QUILLMERE_HAS_MXCSR

namespace {
constexpr unsigned kFlushBits = IDenormalGuard::kFlushToZero | IDenormalGuard::kDenormalsAreZero;
}

TEST(IDenormalGuard, FlushesDenormalsInsideAndRestoresCallerStateAfter) {
  const unsigned saved = _mm_getcsr();
  for (unsigned caller : {0x1F80u, 0x1F80u | kFlushBits, 0x1F80u | IDenormalGuard::kFlushToZero, 0x1FA0u,
                          0x1FBFu | kFlushBits}) {
    _mm_setcsr(caller);
    {
      IDenormalGuard guard;
      EXPECT_EQ(_mm_getcsr() & kFlushBits, kFlushBits);
      volatile double tiny = 1e-310;
      volatile double half = tiny * 0.5;
      EXPECT_EQ(half, 0.0);
    }
    EXPECT_EQ(_mm_getcsr() & IDenormalGuard::kControlBits, caller & IDenormalGuard::kControlBits);
  }
  _mm_setcsr(saved);
}

TEST(IDenormalGuard, ProcessingRestoresCallerState) {
  const unsigned saved = _mm_getcsr();
  EffectEngine engine;
  engine.Reset(44100.0);
  double left[600], right[600];
  for (int i = 0; i < 600; ++i) left[i] = right[i] = (i % 7) * 0.1 - 0.3;
  const double* in[2] = {left, right};
  double* out[2] = {left, right};
  for (unsigned caller : {0x1F80u, 0x1F80u | kFlushBits, 0x1F80u | 0x3Fu, 0x1F80u | kFlushBits | 0x3Fu}) {
    _mm_setcsr(caller);
    engine.ProcessStereoBlock(in, out, 600);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after & IDenormalGuard::kControlBits, caller & IDenormalGuard::kControlBits);
  }
}

#endif
