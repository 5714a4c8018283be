// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "effect/RandomSource.h"

TEST(RandomSource, FirstWordsAfterSeedMatchTheReferenceSequence) {
  RandomSource random;
  random.Seed(5489);
  const uint32_t expected[] = {3499211612u, 581869302u, 3890346734u, 3586334585u};
  for (uint32_t word : expected) EXPECT_EQ(random.NextWord(), word);
}

TEST(RandomSource, WordsFollowTheStandardGeneratorAcrossRegenerations) {
  for (uint32_t seed : {5489u, 0u, 1u, 0xFFFFFFFFu}) {
    RandomSource random;
    random.Seed(seed);
    std::mt19937 standard(seed);
    for (int i = 0; i < 2000; ++i)
      ASSERT_EQ(random.NextWord(), standard()) << "seed " << seed << " word " << i;
  }
}

TEST(RandomSource, FirstOpenUnitNumbersMatchTheReferenceValues) {
  RandomSource random;
  random.Seed(5489);
  EXPECT_EQ(random.NextOpenUnit(), 0.8147236863931789);
  EXPECT_EQ(random.NextOpenUnit(), 0.9057919370756192);
  EXPECT_EQ(random.NextOpenUnit(), 0.12698681629350606);
}

TEST(RandomSource, OpenUnitNumbersStayStrictlyBetweenZeroAndOne) {
  RandomSource random;
  random.Seed(5489);
  for (int i = 0; i < 100000; ++i) {
    const double r = random.NextOpenUnit();
    ASSERT_GT(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

TEST(RandomSource, ZeroDrawFromValidStateIsDiscardedWithoutReseeding) {
  // Two zero words at positions 10 and 11 temper to 0 and so form a draw of exactly 0.
  std::vector<uint32_t> words(RandomSource::kStateWords, 0x12345678u);
  words[10] = words[11] = 0;
  RandomSource random;
  random.LoadState(words.data(), 10);

  RandomSource expected;
  expected.LoadState(words.data(), 12);
  const double next = expected.NextOpenUnit();
  ASSERT_NE(next, 0.0);
  EXPECT_EQ(random.NextOpenUnit(), next);
  EXPECT_EQ(random.NextWord(), expected.NextWord());
}

TEST(RandomSource, ZeroDrawFromAllZeroStateReseeds) {
  const std::vector<uint32_t> zeros(RandomSource::kStateWords, 0);
  for (uint32_t position : {1u, 300u, 624u}) {
    RandomSource random;
    random.LoadState(zeros.data(), position);
    EXPECT_EQ(random.NextOpenUnit(), 0.8147236863931789) << "position " << position;
    EXPECT_EQ(random.NextOpenUnit(), 0.9057919370756192);
  }
}
