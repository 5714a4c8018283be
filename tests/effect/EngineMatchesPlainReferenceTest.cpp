// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "EnginePair.h"
#include "PlainReferenceEngine.h"
#include "dsp/DenormalGuard.h"
#include "effect/EffectEngine.h"

namespace {

uint64_t Bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

bool SameSample(double a, double b) { return (std::isnan(a) && std::isnan(b)) || Bits(a) == Bits(b); }

// Drives both engines through the same blocks, parameter changes and resets.
class Comparison : public EnginePair {
 public:
  using EnginePair::EnginePair;

  // Feeds `left`/`right` in blocks of random size up to maxBlock and compares every output sample.
  void Run(const std::vector<double>& left, const std::vector<double>& right, int maxBlock) {
    std::uniform_int_distribution<int> blockSize(1, maxBlock);
    std::vector<double> engineL(left), engineR(right), refL(left.size()), refR(right.size());
    size_t start = 0;
    while (start < left.size()) {
      const int n = static_cast<int>(std::min<size_t>(blockSize(mGen), left.size() - start));
      double* io[2] = {engineL.data() + start, engineR.data() + start};
      mEngine.ProcessStereoBlock(io, io, n);
      const double* in[2] = {left.data() + start, right.data() + start};
      double* out[2] = {refL.data() + start, refR.data() + start};
      {
        DenormalGuard guard;
        mReference.ProcessStereoBlock(in, out, n);
      }
      start += n;
    }
    for (size_t i = 0; i < left.size(); ++i) {
      ASSERT_TRUE(SameSample(engineL[i], refL[i])) << "left " << i << ": " << engineL[i] << " vs " << refL[i];
      ASSERT_TRUE(SameSample(engineR[i], refR[i]))
          << "right " << i << ": " << engineR[i] << " vs " << refR[i];
    }
  }
};

std::vector<double> Noise(std::mt19937& gen, size_t n, double amplitude) {
  std::uniform_real_distribution<double> dist(-amplitude, amplitude);
  std::vector<double> v(n);
  for (double& x : v) x = dist(gen);
  return v;
}

}  // namespace

class EngineMatchesPlainReference : public ::testing::TestWithParam<FilterKernel::EKind> {
 protected:
  void SetUp() override {
    if (!FilterKernel::Supported(GetParam())) GTEST_SKIP() << "this processor cannot run the kernel";
  }
};

TEST_P(EngineMatchesPlainReference, BitForBitOnNoiseWithChangingParametersAndSilentTails) {
  Comparison cmp(2024, GetParam());
  const std::vector<double> silence(150000, 0.0);
  const double rates[] = {44100.0, 48000.0, 32000.0, 96000.0};
  for (int round = 0; round < 4; ++round) {
    cmp.Reset(rates[round]);
    if (round > 0) cmp.RandomParameters();
    for (double amplitude : {0.05, 3.0}) {
      const std::vector<double> l = Noise(cmp.Gen(), 60000, amplitude),
                                r = Noise(cmp.Gen(), 60000, amplitude);
      cmp.Run(l, r, round % 2 ? 10000 : 700);
      if (HasFatalFailure()) return;
    }
    cmp.Run(silence, silence, 5000);
    if (HasFatalFailure()) return;
    cmp.RandomParameters();
  }
}

TEST_P(EngineMatchesPlainReference, BitForBitBeforeAnyResetAndAroundNonFiniteSamples) {
  Comparison cmp(99, GetParam());
  std::vector<double> l = Noise(cmp.Gen(), 30000, 1.0), r = Noise(cmp.Gen(), 30000, 1.0);
  cmp.Run(l, r, 5000);
  cmp.SetParameter(0, 20000.0);
  l[5000] = std::nan("");
  r[17000] = INFINITY;
  l[17001] = -INFINITY;
  cmp.Run(l, r, 4096);
  cmp.Reset(32000.0);
  cmp.Run(l, r, 9000);
}

// Chunks shorter than, as long as and just longer than the sections' skew, and blocks cut at every size.
TEST_P(EngineMatchesPlainReference, BitForBitInChunksOfEveryShortLength) {
  Comparison cmp(7, GetParam());
  cmp.Reset(44100.0);
  for (int maxBlock : {1, 2, 6, 7, 13}) {
    const std::vector<double> l = Noise(cmp.Gen(), 3000, 1.2), r = Noise(cmp.Gen(), 3000, 1.2);
    cmp.Run(l, r, maxBlock);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, EngineMatchesPlainReference,
                         ::testing::Values(FilterKernel::EKind::kPortable, FilterKernel::EKind::kSse2,
                                           FilterKernel::EKind::kAvx2),
                         KernelTestName);
