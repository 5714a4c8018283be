// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The effect's five parameters, defined once: the effect class, the engine, every format binding, the tests
// and the benchmarks read this table.

// Parameter indices, as hosts and the engine number them.
enum EParams : int { kSplitHz = 0, kLowQDb, kHighQDb, kLowAngle, kHighAngle, kNumParams };

struct ParameterDefinition {
  EParams mIndex;
  const char* mName;
  const char* mUnitLabel;  // what the plug-in shows beside the value
  double mMin;             // in the parameter's own unit: Hz, dB or radians
  double mMax;
  double mDefault;
  double mStep;
  double mShape;  // 0 exponential, 1 linear
};

// The Q values are in dB but show no unit; the angles are in radians, shown as "angular".
inline constexpr ParameterDefinition kParameterTable[] = {
    {kSplitHz, "Freqz Split", "Hz", 100.0, 20000.0, 1000.0, 0.001, 0.0},
    {kLowQDb, "LowFreqzQ", "", -40.0, 12.0, 0.0, 0.001, 1.0},
    {kHighQDb, "HighFreqzQ", "", -40.0, 12.0, 0.0, 0.001, 1.0},
    {kLowAngle, "LR to LowFreqz", "angular", -10.0, 10.0, 0.0, 0.001, 1.0},
    {kHighAngle, "LR to HighFreqz", "angular", -10.0, 10.0, 0.0, 0.001, 1.0},
};

static_assert(sizeof kParameterTable / sizeof kParameterTable[0] == kNumParams,
              "one table row for every parameter index");

constexpr bool RowsInIndexOrder() {
  for (int i = 0; i < kNumParams; ++i) {
    if (kParameterTable[i].mIndex != i) return false;
  }
  return true;
}
static_assert(RowsInIndexOrder(), "table rows are in index order");
