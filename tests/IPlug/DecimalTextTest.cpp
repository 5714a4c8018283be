// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "IPlug/DecimalText.h"

namespace {

// Same bits as the C library's conversion (the tests run in the "C" locale); NaNs compare by sign only.
void ExpectSameAsStrtod(const std::string& text) {
  const double expected = std::strtod(text.c_str(), nullptr);
  const double read = ReadDecimalText(text.c_str());
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(read)) << '"' << text << '"';
    EXPECT_EQ(std::signbit(read), std::signbit(expected)) << '"' << text << '"';
  } else {
    EXPECT_EQ(std::memcmp(&read, &expected, sizeof(double)), 0)
        << '"' << text << "\" " << read << " " << expected;
  }
}

TEST(DecimalText, ReadsTheLeadingNumber) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {{"250", 250.0},
                        {"5", 5.0},
                        {"abc", 0.0},
                        {"", 0.0},
                        {" \t-1.5e3x", -1500.0},
                        {"+.5", 0.5},
                        {"5.", 5.0},
                        {"1e", 1.0},
                        {"1e+", 1.0},
                        {"+-5", 0.0},
                        {"0x1p3", 8.0},
                        {"0x", 0.0},
                        {"0xg", 0.0},
                        {"1,5", 1.0},
                        {"1e400", HUGE_VAL},
                        {"-1e400", -HUGE_VAL},
                        {"1e-400", 0.0},
                        {"INFINITY", HUGE_VAL},
                        {"-inf", -HUGE_VAL}};
  for (const Case& c : cases) EXPECT_EQ(ReadDecimalText(c.text), c.value) << c.text;
  EXPECT_TRUE(std::isnan(ReadDecimalText("nan(7)")));
}

TEST(DecimalText, MatchesTheCLibraryOnEdgesAndRandomTexts) {
  const char* edges[] = {"0x1p-1080",
                         "0x1p2000",
                         "0x.8",
                         "0xp3",
                         "-nan",
                         "infinit",
                         "0.000000000001e320",
                         "100000e-330",
                         "2.4703282292062327e-324",
                         "2.4703282292062328e-324",
                         "1.7976931348623158e308",
                         "1.7976931348623159e308",
                         "0x1.fffffffffffff8p1023",
                         "123456789012345678901234567890e-20",
                         "0.1000000000000000055511151231257827021181583404541015625"};
  for (const char* text : edges) ExpectSameAsStrtod(text);

  std::mt19937 random(12345);
  const char alphabet[] = " \t+-..0123456789eEpPxXaAfFinINtyY()_";
  const char digits[] = "0123456789.e-+";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const bool numeric = i % 2 == 0;
    const int length = static_cast<int>(random() % (numeric ? 28 : 12));
    for (int k = 0; k < length; ++k) {
      text += numeric ? digits[random() % (sizeof(digits) - 1)] : alphabet[random() % (sizeof(alphabet) - 1)];
    }
    ExpectSameAsStrtod(text);
  }
}

}  // namespace
