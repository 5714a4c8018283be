// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <random>

#include "PlainReferenceEngine.h"
#include "effect/EffectEngine.h"
#include "effect/ParameterTable.h"

// The kernel's name in the names of tests run once per kernel.
inline const char* KernelTestName(const ::testing::TestParamInfo<FilterKernel::EKind>& info) {
  switch (info.param) {
    case FilterKernel::EKind::kPortable:
      return "Portable";
    case FilterKernel::EKind::kSse2:
      return "Sse2";
    case FilterKernel::EKind::kAvx2:
      return "Avx2";
  }
  return "Unknown";
}

// The engine and the plain model side by side, driven through the same resets and parameter changes, with the
// random generator a comparison draws its inputs from.
class EnginePair {
 public:
  EnginePair(unsigned seed, FilterKernel::EKind kernel) : mGen(seed) { mEngine.SelectKernel(kernel); }

  void Reset(double rate) {
    mEngine.Reset(rate);
    mReference.Reset(rate);
  }
  void SetParameter(int index, double value) {
    mEngine.SetParameter(index, value);
    mReference.SetParameter(index, value);
  }
  // Every parameter to a value drawn evenly from its range, in index order.
  void RandomParameters() {
    for (const ParameterDefinition& d : kParameterTable) {
      SetParameter(d.mIndex, std::uniform_real_distribution<double>(d.mMin, d.mMax)(mGen));
    }
  }
  std::mt19937& Gen() { return mGen; }

 protected:
  std::mt19937 mGen;
  EffectEngine mEngine;
  PlainReferenceEngine mReference;
};
