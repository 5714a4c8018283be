// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's 32-bit entry against the plain model run on the widened inputs and narrowed after, bit for
// bit, for every kernel and for 32-bit buffers laid out in every way a host may hand them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "EnginePair.h"
#include "PlainReferenceEngine.h"
#include "dsp/DenormalGuard.h"
#include "effect/EffectEngine.h"

namespace {

bool SameBits(const void* a, const void* b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

// Where a block's four 32-bit buffers lie in one shared arena, in samples from its start.
struct Layout {
  const char* name;
  int inL, inR, outL, outR;
};

// Separate buffers, in place, crossed, one output buffer for both, outputs shifted before and after their
// inputs, and outputs overlapping each other or both inputs; some of these the kernels cannot run and the
// engine converts around the 64-bit processing instead.
Layout RandomLayout(std::mt19937& gen, int n) {
  std::uniform_int_distribution<int> kind(0, 11), shift(1, 9);
  const int s = shift(gen);
  const int base = 16;
  switch (kind(gen)) {
    case 0:
      return {"separate", base, base + n + 3, base + 2 * n + 7, base + 3 * n + 11};
    case 1:
      return {"in place", base, base + n, base, base + n};
    case 2:
      return {"crossed", base, base + n, base + n, base};
    case 3:
      return {"one output buffer", base, base + n, base + 2 * n, base + 2 * n};
    case 4:
      return {"outputs before their inputs", base, base + n + 20, base - s, base + n + 20 - s};
    case 5:
      return {"outputs after their inputs", base, base + n + 20, base + s, base + n + 20 + s};
    case 6:
      return {"outputs overlapping each other", base, base + n + 20, base + 2 * n + 40,
              base + 2 * n + 40 + s};
    case 7:
      return {"one input buffer", base, base, base + n + 5, base + 2 * n + 9};
    case 8:
      return {"one buffer for all", base, base, base, base};
    case 9:
      return {"outputs on the other input, before it", base, base + n + 20, base + n + 20 - s, base - s};
    case 10:
      return {"left output before both inputs", base + s, base + 2 * s, base, base + 3 * n + 30};
    default:
      return {"right output after the left input", base, base + 2 * n + 20, base + 3 * n + 40, base + s};
  }
}

// The 32-bit entry of one engine against the plain model: the arena after the call must hold what widening
// every input, processing in 64 bits and narrowing the left and then the right output into it gives.
class Comparison32 : public EnginePair {
 public:
  using EnginePair::EnginePair;

  // Feeds left/right in blocks of random size up to maxBlock, each in a random layout.
  void Run(const std::vector<float>& left, const std::vector<float>& right, int maxBlock,
           bool randomLayouts) {
    std::uniform_int_distribution<int> blockSize(1, maxBlock);
    size_t start = 0;
    while (start < left.size()) {
      const int n = static_cast<int>(std::min<size_t>(blockSize(mGen), left.size() - start));
      const Layout layout =
          randomLayouts ? RandomLayout(mGen, n) : Layout{"separate", 16, 16 + n, 16 + 2 * n, 16 + 3 * n};
      Block(left.data() + start, right.data() + start, n, layout);
      if (::testing::Test::HasFatalFailure()) return;
      start += static_cast<size_t>(n);
    }
  }

 private:
  void Block(const float* left, const float* right, int n, const Layout& layout) {
    const int size = std::max({layout.inL, layout.inR, layout.outL, layout.outR}) + n + 16;
    std::vector<float> arena(static_cast<size_t>(size));
    std::uniform_real_distribution<float> junk(-2.0f, 2.0f);
    for (float& x : arena) x = junk(mGen);
    std::copy(left, left + n, arena.begin() + layout.inL);
    std::copy(right, right + n, arena.begin() + layout.inR);
    std::vector<float> expected = arena;

    // The plain model: every input widened first, then processed, then each output narrowed in turn.
    std::vector<double> wideIn[2], wideOut[2];
    const int in[2] = {layout.inL, layout.inR}, out[2] = {layout.outL, layout.outR};
    {
      DenormalGuard guard;
      for (int c = 0; c < 2; ++c) {
        wideIn[c].resize(static_cast<size_t>(n));
        wideOut[c].resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) wideIn[c][i] = static_cast<double>(expected[in[c] + i]);
      }
      const double* ins[2] = {wideIn[0].data(), wideIn[1].data()};
      double* outs[2] = {wideOut[0].data(), wideOut[1].data()};
      mReference.ProcessStereoBlock(ins, outs, n);
      for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < n; ++i) expected[out[c] + i] = static_cast<float>(wideOut[c][i]);
      }
    }

    std::vector<double> inCopy[2], outCopy[2];
    for (int c = 0; c < 2; ++c) {
      inCopy[c].assign(static_cast<size_t>(n), 7.0);
      outCopy[c].assign(static_cast<size_t>(n), 7.0);
    }
    const float* ins[2] = {arena.data() + layout.inL, arena.data() + layout.inR};
    float* outs[2] = {arena.data() + layout.outL, arena.data() + layout.outR};
    double* inCopies[2] = {inCopy[0].data(), inCopy[1].data()};
    double* outCopies[2] = {outCopy[0].data(), outCopy[1].data()};
    mEngine.ProcessStereoBlock(ins, outs, inCopies, outCopies, n);

    ASSERT_TRUE(SameBits(arena.data(), expected.data(), arena.size() * sizeof(float)))
        << layout.name << ", " << n << " frames: " << FirstDifference(arena, expected);
    for (int c = 0; c < 2; ++c) {
      ASSERT_TRUE(SameBits(inCopy[c].data(), wideIn[c].data(), static_cast<size_t>(n) * sizeof(double)))
          << layout.name << ", input copy " << c;
      ASSERT_TRUE(SameBits(outCopy[c].data(), wideOut[c].data(), static_cast<size_t>(n) * sizeof(double)))
          << layout.name << ", output copy " << c;
    }
  }

  static std::string FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
      if (!SameBits(&a[i], &b[i], sizeof(float)))
        return "sample " + std::to_string(i) + ": " + std::to_string(a[i]) + " vs " + std::to_string(b[i]);
    }
    return "none";
  }
};

std::vector<float> Noise(std::mt19937& gen, size_t n, double amplitude) {
  std::uniform_real_distribution<double> dist(-amplitude, amplitude);
  std::vector<float> v(n);
  for (float& x : v) x = static_cast<float>(dist(gen));
  return v;
}

class Engine32MatchesPlainReference : public ::testing::TestWithParam<FilterKernel::EKind> {
 protected:
  void SetUp() override {
    if (!FilterKernel::Supported(GetParam())) GTEST_SKIP() << "this processor cannot run the kernel";
  }
};

}  // namespace

TEST_P(Engine32MatchesPlainReference, BitForBitOnNoiseWithChangingParametersLimitingAndSilentTails) {
  Comparison32 cmp(2025, GetParam());
  const std::vector<float> silence(60000, 0.0f);
  const double rates[] = {44100.0, 48000.0, 32000.0, 96000.0};
  for (int round = 0; round < 4; ++round) {
    cmp.Reset(rates[round]);
    if (round > 0) cmp.RandomParameters();
    // The loud noise drives most chunks over the limiter's threshold.
    for (double amplitude : {0.05, 3.0}) {
      const std::vector<float> l = Noise(cmp.Gen(), 30000, amplitude), r = Noise(cmp.Gen(), 30000, amplitude);
      cmp.Run(l, r, round % 2 ? 10000 : 700, false);
      if (HasFatalFailure()) return;
    }
    cmp.Run(silence, silence, 5000, false);
    if (HasFatalFailure()) return;
    cmp.RandomParameters();
  }
}

TEST_P(Engine32MatchesPlainReference, BitForBitInEveryBufferLayout) {
  Comparison32 cmp(31, GetParam());
  cmp.Reset(44100.0);
  for (int maxBlock : {9, 70, 600, 9000}) {
    for (double amplitude : {0.3, 2.5}) {
      const std::vector<float> l = Noise(cmp.Gen(), 40000, amplitude), r = Noise(cmp.Gen(), 40000, amplitude);
      cmp.Run(l, r, maxBlock, true);
      if (HasFatalFailure()) return;
      cmp.RandomParameters();
    }
  }
}

// Chunks shorter than, as long as and just longer than the sections' skew and the kernels' four-frame groups.
TEST_P(Engine32MatchesPlainReference, BitForBitInBlocksOfEveryShortLength) {
  Comparison32 cmp(8, GetParam());
  cmp.Reset(44100.0);
  for (int maxBlock : {1, 2, 5, 6, 7, 9, 10, 11, 13, 17, 23}) {
    for (bool layouts : {false, true}) {
      const std::vector<float> l = Noise(cmp.Gen(), 3000, 1.2), r = Noise(cmp.Gen(), 3000, 1.2);
      cmp.Run(l, r, maxBlock, layouts);
      if (HasFatalFailure()) return;
    }
  }
}

TEST_P(Engine32MatchesPlainReference, BitForBitAroundNonFiniteAndSubnormalSamples) {
  Comparison32 cmp(77, GetParam());
  std::vector<float> l = Noise(cmp.Gen(), 30000, 1.0), r = Noise(cmp.Gen(), 30000, 1.0);
  cmp.Run(l, r, 5000, true);  // before any reset
  cmp.Reset(48000.0);
  l[5000] = std::numeric_limits<float>::quiet_NaN();
  r[17000] = std::numeric_limits<float>::infinity();
  l[17001] = -std::numeric_limits<float>::infinity();
  for (int i = 20000; i < 20100; ++i) {
    l[i] = std::numeric_limits<float>::denorm_min() * static_cast<float>(i - 20000);
    r[i] = -std::numeric_limits<float>::min() / 3.0f;
  }
  // Quiet input whose outputs narrow to subnormal floats, flushed to zero as the frame's narrowing does.
  for (int i = 25000; i < 26000; ++i) {
    l[i] *= 1e-37f;
    r[i] *= 1e-38f;
  }
  for (int maxBlock : {4096, 64, 4100}) {
    cmp.Run(l, r, maxBlock, maxBlock != 4096);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, Engine32MatchesPlainReference,
                         ::testing::Values(FilterKernel::EKind::kPortable, FilterKernel::EKind::kSse2,
                                           FilterKernel::EKind::kAvx2),
                         KernelTestName);
