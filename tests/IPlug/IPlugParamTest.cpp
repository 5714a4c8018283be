// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "IPlug/IPlugParam.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Display(const IPlugParam& param, double value, bool normalized = false, bool useValueTexts = true,
                    size_t size = 64) {
  char out[64] = "untouched";
  param.FormatDisplay(value, normalized, out, useValueTexts, size);
  return out;
}

TEST(IPlugParam, BlankParameterHoldsItsInitialValues) {
  IPlugParam param;
  EXPECT_EQ(param.Kind(), kKindNone);
  EXPECT_EQ(param.Value(), 0.0);
  EXPECT_EQ(param.Min(), 0.0);
  EXPECT_EQ(param.Max(), 1.0);
  EXPECT_EQ(param.Step(), 1.0);
  EXPECT_EQ(param.Shape(), 1.0);
  EXPECT_STREQ(param.Name(), "");
  EXPECT_STREQ(param.UnitLabel(), "");
  EXPECT_EQ(param.ValueTextCount(), 0);
}

TEST(IPlugParam, DefineContinuousStoresTheDefinition) {
  IPlugParam param;
  EXPECT_EQ(param.DefineContinuous("Freqz Split", 20.0, 0.0, 10.0, 0.5, "Hz", 0.0), &param);
  EXPECT_EQ(param.Kind(), kKindDouble);
  EXPECT_STREQ(param.Name(), "Freqz Split");
  EXPECT_STREQ(param.UnitLabel(), "Hz");
  EXPECT_EQ(param.Value(), 20.0);  // not forced into the range
  EXPECT_EQ(param.DefaultValue(), 20.0);
  EXPECT_EQ(param.Min(), 0.0);
  EXPECT_EQ(param.Max(), 10.0);
  EXPECT_EQ(param.Step(), 0.5);
  EXPECT_EQ(param.Shape(), 0.0);
}

TEST(IPlugParam, DefineContinuousRaisesMaxToMinPlusStep) {
  const struct {
    double min, max, step, expected;
  } cases[] = {{0, 0, 1, 1}, {5, 2, 0.5, 5.5}, {0, 1, 1, 1}, {0, 1.5, 1, 1.5}};
  for (const auto& c : cases) {
    IPlugParam param;
    param.DefineContinuous("p", 0, c.min, c.max, c.step, "", 1);
    EXPECT_EQ(param.Max(), c.expected);
  }
}

TEST(IPlugParam, DefineContinuousKeepsAKindSetBefore) {
  IPlugParam param;
  param.SetKind(kKindInt);
  param.DefineContinuous("p", 0, 0, 10, 1, "", 1);
  EXPECT_EQ(param.Kind(), kKindInt);
}

TEST(IPlugParam, DecimalsFollowTheStep) {
  const struct {
    double step;
    int decimals;
  } cases[] = {{1, 0}, {0.5, 1}, {0.25, 2}, {0.001, 3}, {0.0000001, 6}, {2, 0}, {0.1, 1}};
  for (const auto& c : cases) {
    IPlugParam param;
    param.DefineContinuous("p", 0, 0, 1, c.step, "", 1);
    EXPECT_EQ(param.Decimals(), c.decimals) << c.step;
  }
}

TEST(IPlugParam, NamesAreCutTo31Characters) {
  const std::string longText(40, 'n');
  IPlugParam param;
  param.DefineContinuous(longText.c_str(), 0, 0, 1, 1, longText.c_str(), 1);
  EXPECT_EQ(std::string(param.Name()), longText.substr(0, 31));
  EXPECT_EQ(std::string(param.UnitLabel()), longText.substr(0, 31));
  param.AddValueText(3, longText.c_str());
  EXPECT_EQ(std::string(param.ValueTextFor(3)), longText.substr(0, 31));
}

TEST(IPlugParam, ValuesOnALinearRange) {
  const struct {
    const char* what;
    bool clamped;  // SetClamped, else SetFromNormalized
    double input;
    double stored;
  } cases[] = {
      {"normalized above 1 hits max", false, 1.5, 10},
      {"normalized below 0 is not limited", false, -0.5, -5},
      {"normalized midway", false, 0.25, 2.5},
      {"clamped below min", true, -5, 0},
      {"clamped above max", true, 20, 10},
      {"clamped inside, no snapping", true, 3.3, 3.3},
      {"clamped NaN leaves the value", true, kNaN, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IPlugParam param;
    param.DefineContinuous("p", 7, 0, 10, 1, "", 1);
    if (c.clamped) {
      param.SetClamped(c.input);
    } else {
      param.SetFromNormalized(c.input);
    }
    EXPECT_EQ(param.Value(), c.stored);
  }
}

TEST(IPlugParam, SetFromNormalizedSnapsToTheStepForNonDoubleKinds) {
  IPlugParam snapped, plain;
  snapped.SetKind(kKindInt);
  snapped.DefineContinuous("p", 0, 0, 10, 1, "", 1);
  plain.DefineContinuous("p", 0, 0, 10, 1, "", 1);
  snapped.SetFromNormalized(0.33);
  plain.SetFromNormalized(0.33);
  EXPECT_EQ(snapped.Value(), 3.0);
  EXPECT_DOUBLE_EQ(plain.Value(), 3.3);
  snapped.SetFromNormalized(0.35);
  EXPECT_EQ(snapped.Value(), 4.0);
}

TEST(IPlugParam, NormalizedOfClampsWithoutStoring) {
  IPlugParam param;
  param.DefineContinuous("p", 4, 0, 10, 1, "", 1);
  EXPECT_EQ(param.NormalizedOf(20), 1.0);
  EXPECT_EQ(param.NormalizedOf(-3), 0.0);
  EXPECT_EQ(param.NormalizedOf(2.5), 0.25);
  EXPECT_EQ(param.Normalized(), 0.4);
  EXPECT_EQ(param.Value(), 4.0);
}

TEST(CurveFunctions, MapBetweenPlainAndNormalizedValues) {
  const struct {
    const char* what;
    double plain, min, max, shape, normalized;
  } cases[] = {
      {"linear", 2.5, 0, 10, 1, 0.25},
      {"linear, negative range", -10, -40, 12, 1, 30.0 / 52.0},
      {"exponential midway", 100 * std::sqrt(200.0), 100, 20000, 0, 0.5},
      {"exponential at min", 100, 100, 20000, 0, 0.0},
      {"exponential at max", 20000, 100, 20000, 0, 1.0},
      {"power curve", 2.5, 0, 10, 2, 0.5},
      {"power curve, cube", 1.25, 0, 10, 3, 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_NEAR(NormalizeValue(c.plain, c.min, c.max, c.shape), c.normalized, 1e-12);
    EXPECT_NEAR(DenormalizeValue(c.normalized, c.min, c.max, c.shape), c.plain, 1e-9);
  }
  EXPECT_NEAR(DenormalizeValue(0.5, 100, 20000, 0), 1414.2135623730951, 1e-9);
  EXPECT_NEAR(NormalizeValue(DenormalizeValue(0.5, 100, 20000, 0), 100, 20000, 0), 0.5, 1e-15);
}

TEST(IPlugParam, FormatDisplayWritesNumbers) {
  const struct {
    const char* what;
    double step, min, max, value;
    bool normalized;
    const char* text;
  } cases[] = {
      {"three decimals", 0.001, 0, 2000, 1000, false, "1000.000"},
      {"whole steps truncate toward zero", 1, -10, 10, -2.9, false, "-2"},
      {"whole steps, positive", 1, -10, 10, 2.9, false, "2"},
      {"negative zero keeps its sign", 0.001, -1, 1, -0.0004, false, "-0.000"},
      {"rounds to the nearest decimal", 0.01, 0, 1, 0.126, false, "0.13"},
      {"normalized input is not clamped", 1, 0, 10, 1.2, true, "12"},
      {"normalized input on an exponential range", 0.001, 100, 20000, 0.5, true, "1414.214"},
      {"NaN as a whole number", 1, 0, 10, kNaN, false, "0"},
      {"huge value saturates", 1, 0, 10, 1e12, false, "2147483647"},
      {"huge negative value saturates", 1, 0, 10, -1e12, false, "-2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IPlugParam param;
    param.DefineContinuous("p", 0, c.min, c.max, c.step, "", c.min > 0 && c.max / c.min > 100 ? 0 : 1);
    EXPECT_EQ(Display(param, c.value, c.normalized), c.text);
  }
}

// The display text is the "C" locale's "%.*f", whatever locale the process has: compared here, in the "C"
// locale, with the C library's own formatting for every number of decimals and awkward values.
TEST(IPlugParam, FormatDisplayMatchesTheCLibrarysFixedPointText) {
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {0.0,    -0.0,    0.0005,  -0.0005, 0.00049999, 1414.2135623730951, 2.5e-7,
                           1e300,  -1e300,  1e22,    123456789.987654321, inf, -inf, kNaN,
                           0.125,  0.375,   2.675,   -1.0005, 4.35,    1.7976931348623157e308};
  const double steps[] = {0.5, 0.25, 0.001, 0.0001, 0.00001, 0.0000001};
  for (double step : steps) {
    IPlugParam param;
    param.DefineContinuous("p", 0, -10, 10, step, "", 1);
    for (double value : values) {
      char expected[400];
      std::snprintf(expected, sizeof expected, "%.*f", param.Decimals(), value);
      char out[400];
      param.FormatDisplay(value, false, out, true, sizeof out);
      EXPECT_STREQ(out, expected) << "decimals " << param.Decimals() << ", value " << value;
    }
  }
}

TEST(IPlugParam, FormatDisplayStaysWithinTheOutput) {
  IPlugParam param;
  param.DefineContinuous("p", 0, 0, 2000, 0.001, "", 1);
  EXPECT_EQ(Display(param, 1000, false, true, 4), "100");
  EXPECT_EQ(Display(param, 1000, false, true, 1), "");
  EXPECT_EQ(Display(param, 1000, false, true, 0), "untouched");
}

TEST(IPlugParam, ValueTextsStandForValueAndUnit) {
  IPlugParam param;
  param.DefineContinuous("p", 1.7, -5, 5, 1, "dB", 1);
  ASSERT_TRUE(param.AddValueText(1, "On"));
  ASSERT_TRUE(param.AddValueText(0, "Off"));
  ASSERT_TRUE(param.AddValueText(1, "Again"));
  EXPECT_EQ(param.ValueTextCount(), 3);
  EXPECT_STREQ(param.ValueTextFor(1), "On");
  EXPECT_STREQ(param.ValueTextFor(2), "");
  EXPECT_EQ(Display(param, 1.7), "On");
  EXPECT_EQ(Display(param, -0.5), "Off");
  EXPECT_EQ(Display(param, 1.7, false, false), "1");
  EXPECT_EQ(Display(param, 3), "3");
  EXPECT_STREQ(param.DisplayLabel(), "");
  param.SetClamped(3);
  EXPECT_STREQ(param.DisplayLabel(), "dB");
}

TEST(IPlugParam, LookUpValueTextMatchesExactly) {
  IPlugParam param;
  param.AddValueText(4, "Low");
  param.AddValueText(9, "High");
  param.AddValueText(5, "Low");
  int value = -1;
  EXPECT_TRUE(param.LookUpValueText("Low", &value));
  EXPECT_EQ(value, 4);
  EXPECT_TRUE(param.LookUpValueText("High", &value));
  EXPECT_EQ(value, 9);
  value = -1;
  EXPECT_FALSE(param.LookUpValueText("low", &value));
  EXPECT_FALSE(param.LookUpValueText("Lo", &value));
  EXPECT_FALSE(param.LookUpValueText("", &value));
  EXPECT_EQ(value, -1);
}

TEST(IPlugParam, WithoutValueTextsTheUnitLabelShows) {
  IPlugParam param;
  param.DefineContinuous("p", 0, 0, 1, 1, "angular", 1);
  EXPECT_STREQ(param.DisplayLabel(), "angular");
  EXPECT_STREQ(param.ValueTextFor(0), "");
}

}  // namespace
