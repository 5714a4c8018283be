// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include "dsp/DenormalGuard.h"
#include "effect/EffectEngine.h"
#include "effect/FilterKernel.h"

namespace {

constexpr FilterKernel::EKind kKinds[] = {FilterKernel::EKind::kPortable, FilterKernel::EKind::kSse2,
                                          FilterKernel::EKind::kAvx2};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A job's inputs, sections and states, owned, so that every kernel can start from the same copy.
struct JobData {
  std::vector<double> in[2], out[2];
  SectionCoefficients sections[FilterJob::kStages];
  double s1[FilterJob::kStages][2], s2[FilterJob::kStages][2];
  double lowGains[2], highGains[2], highGain;

  FilterJob Job() {
    FilterJob job;
    for (int c = 0; c < 2; ++c) {
      job.inputs[c] = in[c].data();
      job.outputs[c] = out[c].data();
      job.lowGains[c] = lowGains[c];
      job.highGains[c] = highGains[c];
    }
    job.frames = static_cast<int>(in[0].size());
    for (int k = 0; k < FilterJob::kStages; ++k) {
      job.coefficients[k] = &sections[k];
      job.s1[k] = s1[k];
      job.s2[k] = s2[k];
    }
    job.highGain = highGain;
    return job;
  }
};

JobData RandomJob(std::mt19937& gen, int frames) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  JobData d;
  for (int c = 0; c < 2; ++c) {
    d.in[c].resize(static_cast<size_t>(frames));
    d.out[c].assign(static_cast<size_t>(frames), 0.0);
    for (double& x : d.in[c]) x = 2.0 * unit(gen);
    d.lowGains[c] = unit(gen);
    d.highGains[c] = unit(gen);
  }
  for (int k = 0; k < FilterJob::kStages; ++k) {
    d.sections[k] = k < FilterJob::kLowStage ? EffectEngine::kPreFilterSections[k]
                                             : SectionCoefficients{unit(gen), unit(gen), unit(gen),
                                                                   unit(gen) * 0.5, unit(gen) * 0.4};
    for (int c = 0; c < 2; ++c) {
      d.s1[k][c] = unit(gen);
      d.s2[k][c] = unit(gen);
    }
  }
  d.highGain = 1.0 + unit(gen);
  return d;
}

void ExpectSameResults(const JobData& a, const JobData& b, double peakA, double peakB) {
  EXPECT_TRUE(SameBits(peakA, peakB)) << peakA << " vs " << peakB;
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < a.out[c].size(); ++i) {
      const double x = a.out[c][i], y = b.out[c][i];
      ASSERT_TRUE(SameBits(x, y) || (std::isnan(x) && std::isnan(y))) << "channel " << c << " frame " << i;
    }
    for (int k = 0; k < FilterJob::kStages; ++k) {
      EXPECT_TRUE(SameBits(a.s1[k][c], b.s1[k][c]) || (std::isnan(a.s1[k][c]) && std::isnan(b.s1[k][c])));
      EXPECT_TRUE(SameBits(a.s2[k][c], b.s2[k][c]) || (std::isnan(a.s2[k][c]) && std::isnan(b.s2[k][c])));
    }
  }
}

}  // namespace

TEST(FilterKernel, EveryKernelGivesThePortableKernelsBits) {
  std::mt19937 gen(17);
  for (int frames : {1, 2, 5, 6, 7, 8, 63, 64, 4096}) {
    for (bool damaged : {false, true}) {
      SCOPED_TRACE(::testing::Message() << frames << " frames" << (damaged ? ", with NaN and infinity" : ""));
      JobData reference = RandomJob(gen, frames);
      if (damaged) {
        reference.in[0][static_cast<size_t>(frames / 2)] = std::numeric_limits<double>::quiet_NaN();
        reference.in[1][static_cast<size_t>(frames - 1)] = -std::numeric_limits<double>::infinity();
      }
      const JobData start = reference;
      DenormalGuard guard;
      const double referencePeak = FilterKernel::Run(FilterKernel::EKind::kPortable, reference.Job());
      for (FilterKernel::EKind kind : kKinds) {
        if (!FilterKernel::Supported(kind)) continue;
        JobData d = start;
        // Otherwise the portable kernel would stand in and be compared with itself.
        ASSERT_EQ(FilterKernel::KernelFor(kind, d.Job()), kind);
        const double peak = FilterKernel::Run(kind, d.Job());
        ExpectSameResults(reference, d, referencePeak, peak);
      }
    }
  }
}

TEST(FilterKernel, PortableKernelStandsInForOtherPreFilterShapes) {
  std::mt19937 gen(5);
  JobData reference = RandomJob(gen, 500);
  reference.sections[2].b1 = 3.0;
  const JobData start = reference;
  EXPECT_FALSE(FilterKernel::HasFixedPreFilterShape(reference.Job()));
  const double referencePeak = FilterKernel::Run(FilterKernel::EKind::kPortable, reference.Job());
  for (FilterKernel::EKind kind : kKinds) {
    JobData d = start;
    EXPECT_EQ(FilterKernel::KernelFor(kind, d.Job()), FilterKernel::EKind::kPortable);
    const double peak = FilterKernel::Run(kind, d.Job());
    ExpectSameResults(reference, d, referencePeak, peak);
  }
}

// Every coefficient that the form fixes is changed once; only the first section and the feedback coefficients
// are free.
TEST(FilterKernel, EnginePreFilterHasTheFormTheVectorKernelsNeedAndNothingElseHasIt) {
  using Table = SectionCoefficients[PreFilterForm::kSections];
  const auto& engineTable = EffectEngine::kPreFilterSections;
  EXPECT_TRUE(PreFilterForm::Fits(engineTable));
  JobData engineJob{};
  for (int k = 0; k < PreFilterForm::kSections; ++k) engineJob.sections[k] = engineTable[k];
  EXPECT_TRUE(FilterKernel::HasFixedPreFilterShape(engineJob.Job()));

  const struct {
    double SectionCoefficients::*field;
    const char* name;
  } fields[] = {{&SectionCoefficients::b0, "b0"},
                {&SectionCoefficients::b1, "b1"},
                {&SectionCoefficients::b2, "b2"},
                {&SectionCoefficients::a1, "a1"},
                {&SectionCoefficients::a2, "a2"}};
  for (int k = 0; k < PreFilterForm::kSections; ++k) {
    for (const auto& f : fields) {
      SCOPED_TRACE(::testing::Message() << "section " << k + 1 << " " << f.name);
      Table table;
      std::copy(std::begin(engineTable), std::end(engineTable), std::begin(table));
      table[k].*f.field = -(table[k].*f.field) * 1.5 + 0.25;
      const bool free = k == 0 || f.field == &SectionCoefficients::a1 || f.field == &SectionCoefficients::a2;
      EXPECT_EQ(PreFilterForm::Fits(table), free);
      JobData job = engineJob;
      job.sections[k] = table[k];
      EXPECT_EQ(FilterKernel::HasFixedPreFilterShape(job.Job()), free);
    }
  }
}

// The engine's chunks run through the AVX2 kernel wherever the processor has it.
TEST(FilterKernel, EngineRunsTheAvx2KernelOnProcessorsWithAvx2) {
  if (!FilterKernel::Supported(FilterKernel::EKind::kAvx2)) GTEST_SKIP() << "this processor has no AVX2";
  EffectEngine engine;
  EXPECT_EQ(engine.Kernel(), FilterKernel::EKind::kAvx2);
  JobData engineJob{};
  for (int k = 0; k < PreFilterForm::kSections; ++k)
    engineJob.sections[k] = EffectEngine::kPreFilterSections[k];
  EXPECT_EQ(FilterKernel::KernelFor(engine.Kernel(), engineJob.Job()), FilterKernel::EKind::kAvx2);
}

TEST(FilterKernel, EngineStartsWithTheFastestKernelAndRefusesUnsupportedOnes) {
  EffectEngine engine;
  EXPECT_EQ(engine.Kernel(), FilterKernel::Fastest());
  EXPECT_TRUE(FilterKernel::Supported(FilterKernel::Fastest()));
  for (FilterKernel::EKind kind : kKinds) {
    const FilterKernel::EKind before = engine.Kernel();
    EXPECT_EQ(engine.SelectKernel(kind), FilterKernel::Supported(kind));
    EXPECT_EQ(engine.Kernel(), FilterKernel::Supported(kind) ? kind : before);
  }
#if defined(__x86_64__) || defined(_M_X64)
  EXPECT_TRUE(FilterKernel::Supported(FilterKernel::EKind::kSse2));
#endif
}

TEST(FilterKernel, EveryKernelDividesToTheSameBits) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> dist(-5.0, 5.0);
  for (int count : {0, 1, 3, 4, 7, 64, 4099}) {
    std::vector<double> samples(static_cast<size_t>(count));
    for (double& x : samples) x = dist(gen);
    if (count > 2) samples[2] = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> expected = samples;
    for (double& x : expected) x = x / 3.7;
    for (FilterKernel::EKind kind : kKinds) {
      if (!FilterKernel::Supported(kind)) continue;
      std::vector<double> divided = samples;
      FilterKernel::Divide(kind, divided.data(), count, 3.7);
      for (int i = 0; i < count; ++i) {
        const double a = divided[static_cast<size_t>(i)], b = expected[static_cast<size_t>(i)];
        ASSERT_TRUE(SameBits(a, b) || (std::isnan(a) && std::isnan(b))) << count << " samples, at " << i;
      }
    }
  }
}
