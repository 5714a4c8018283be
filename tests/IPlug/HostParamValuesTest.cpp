// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "IPlug/HostParamValues.h"
#include "TestPlug.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kAngle = 3;  // range -10 ... 10, linear, starts at 0

enum class EKind { kNormalized, kHostNormalized, kPlain };

bool Apply(EKind kind, IPlugBase* plug, int index, double value) {
  switch (kind) {
    case EKind::kNormalized:
      return ApplyNormalizedValue(plug, index, value);
    case EKind::kHostNormalized:
      return ApplyHostNormalizedValue(plug, index, value);
    case EKind::kPlain:
      return ApplyPlainValue(plug, index, value);
  }
  return false;
}

// What each kind of host value stores, and that ParamChanged follows exactly the values taken.
TEST(HostParamValues, EachKindOfValueHasItsRule) {
  const double fromFloat03 = -10.0 + static_cast<double>(0.3f) * 20.0;
  const struct {
    const char* name;
    EKind kind;
    double sent;
    bool taken;
    double stored;
  } cases[] = {
      {"normalised: middle", EKind::kNormalized, 0.5, true, 0.0},
      {"normalised: not rounded to float", EKind::kNormalized, 0.3, true, -10.0 + 0.3 * 20.0},
      {"normalised: above 1 stops at the upper bound", EKind::kNormalized, 1.5, true, 10.0},
      {"normalised: below 0 is not held", EKind::kNormalized, -0.5, true, -20.0},
      {"normalised: NaN gives the upper bound", EKind::kNormalized, kNaN, true, 10.0},
      {"normalised: infinity", EKind::kNormalized, kInf, true, 10.0},
      {"host normalised: rounded to float", EKind::kHostNormalized, 0.3, true, fromFloat03},
      {"host normalised: above 1 held", EKind::kHostNormalized, 1.5, true, 10.0},
      {"host normalised: below 0 held", EKind::kHostNormalized, -0.5, true, -10.0},
      {"host normalised: +inf", EKind::kHostNormalized, kInf, true, 10.0},
      {"host normalised: -inf", EKind::kHostNormalized, -kInf, true, -10.0},
      {"host normalised: NaN is no value", EKind::kHostNormalized, kNaN, false, 2.5},
      {"plain: inside", EKind::kPlain, -7.25, true, -7.25},
      {"plain: above the range", EKind::kPlain, 12.0, true, 10.0},
      {"plain: below the range", EKind::kPlain, -1e300, true, -10.0},
      {"plain: +inf", EKind::kPlain, kInf, true, 10.0},
      {"plain: -inf", EKind::kPlain, -kInf, true, -10.0},
      {"plain: negative zero kept", EKind::kPlain, -0.0, true, -0.0},
      {"plain: NaN is no value", EKind::kPlain, kNaN, false, 2.5},
  };
  for (const auto& c : cases) {
    TestPlug plug;
    plug.Param(kAngle)->SetClamped(2.5);
    EXPECT_EQ(Apply(c.kind, &plug, kAngle, c.sent), c.taken) << c.name;
    EXPECT_EQ(plug.Param(kAngle)->Value(), c.stored) << c.name;
    EXPECT_EQ(std::signbit(plug.Param(kAngle)->Value()), std::signbit(c.stored)) << c.name;
    EXPECT_EQ(plug.mChanged, c.taken ? std::vector<int>{kAngle} : std::vector<int>{}) << c.name;
    // Indices outside the list take nothing.
    for (int index : {-1, plug.ParamCount(), 1 << 30}) {
      EXPECT_FALSE(Apply(c.kind, &plug, index, c.sent)) << c.name << " at " << index;
    }
    EXPECT_EQ(plug.mChanged.size(), c.taken ? 1u : 0u) << c.name;
  }
}

TEST(HostParamValues, NormalisedValuesGivenOutAreFloats) {
  EXPECT_EQ(WriteHostNormalized(0.3), static_cast<double>(0.3f));
  EXPECT_EQ(WriteHostNormalized(kNaN), 0.0);
  EXPECT_EQ(WriteHostNormalized(1.0), 1.0);
  double normalized = -1.0;
  EXPECT_FALSE(ReadHostNormalized(kNaN, &normalized));
  EXPECT_EQ(normalized, -1.0);
}

TEST(HostParamValues, TextsAreReadAsTheTextEntryReadsThem) {
  const struct {
    const char* text;
    bool applied;   // ApplyTextValue's answer
    double stored;  // the value afterwards (starting from 2.5)
    bool converts;  // PlainValueOfText's answer
  } cases[] = {
      {"7.5", true, 7.5, true},      {"  -3e0 dB", true, -3.0, true}, {"25", true, 10.0, true},
      {"-1e999", true, -10.0, true}, {"inf", true, 10.0, true},       {"abc", true, 0.0, true},
      {"", true, 0.0, true},         {"nan", true, 2.5, false},
  };
  for (const auto& c : cases) {
    TestPlug plug;
    plug.Param(kAngle)->SetClamped(2.5);
    double converted = -99.0;
    EXPECT_EQ(PlainValueOfText(*plug.Param(kAngle), c.text, &converted), c.converts) << c.text;
    EXPECT_EQ(converted, c.converts ? c.stored : -99.0) << c.text;
    EXPECT_EQ(plug.Param(kAngle)->Value(), 2.5) << "converting stores nothing: " << c.text;
    EXPECT_EQ(ApplyTextValue(&plug, kAngle, c.text), c.applied) << c.text;
    EXPECT_EQ(plug.Param(kAngle)->Value(), c.stored) << c.text;
    EXPECT_EQ(plug.mChanged, std::vector<int>{kAngle}) << c.text;
  }

  // With value texts only an exact match counts.
  TestPlug plug;
  IPlugParam* param = plug.Param(kAngle);
  ASSERT_TRUE(param->AddValueText(-4, "Left"));
  double value = 0.0;
  EXPECT_TRUE(PlainValueOfText(*param, "Left", &value));
  EXPECT_EQ(value, -4.0);
  EXPECT_FALSE(PlainValueOfText(*param, "left", &value));
  EXPECT_FALSE(ApplyTextValue(&plug, kAngle, "7"));
  EXPECT_TRUE(plug.mChanged.empty());
  EXPECT_TRUE(ApplyTextValue(&plug, kAngle, "Left"));
  EXPECT_EQ(param->Value(), -4.0);
  EXPECT_FALSE(ApplyTextValue(&plug, kAngle, nullptr));
  EXPECT_FALSE(ApplyTextValue(&plug, 5, "1"));
}

}  // namespace
