// SPDX-License-Identifier: GPL-3.0-or-later
// The preset table holds what every format can carry: names a VST 2 host keeps whole and every file system
// and LV2 URI takes, values inside the parameters' ranges that reach the plug-in unchanged as 32-bit floats
// and as normalised 32-bit floats.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "effect/PresetValues.h"

namespace {

TEST(PresetTable, NamesAreShortPlainAndDistinctInAnyCase) {
  EXPECT_GE(kNumPresets, 6);
  EXPECT_LE(kNumPresets, 10);
  std::set<std::string> folded;
  for (const PresetDefinition& preset : kPresetTable) {
    const std::string name = preset.mName;
    EXPECT_GE(name.size(), 1u);
    EXPECT_LE(name.size(), static_cast<size_t>(kPresetNameMaxLength)) << name;
    // Also a file name and, in lower case with hyphens for spaces, part of a URI.
    for (char c : name)
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '-')
          << name << ": '" << c << "'";
    EXPECT_TRUE(name.front() != ' ' && name.back() != ' ' && name.find("  ") == std::string::npos) << name;
    std::string lower;
    for (char c : name)
      lower += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(folded.insert(lower).second) << name << " is another preset's name";
    EXPECT_EQ(FindPreset(preset.mName), &preset);
  }
  EXPECT_EQ(FindPreset("no such preset"), nullptr);
}

TEST(PresetTable, ValuesAreInRangeAndExactInEveryFormat) {
  for (const PresetDefinition& preset : kPresetTable) {
    for (int i = 0; i < kNumParams; ++i) {
      const ParameterDefinition& param = kParameterTable[i];
      EXPECT_GE(preset.mValues[i], param.mMin) << preset.mName << ": " << param.mName;
      EXPECT_LE(preset.mValues[i], param.mMax) << preset.mName << ": " << param.mName;
      EXPECT_TRUE(PresetValueExact(preset, i))
          << preset.mName << ": " << param.mName << " = " << preset.mValues[i];
    }
  }
}

TEST(PresetTable, NoTwoPresetsHoldTheSameValues) {
  for (int a = 0; a < kNumPresets; ++a) {
    for (int b = a + 1; b < kNumPresets; ++b) {
      EXPECT_NE(std::memcmp(kPresetTable[a].mValues, kPresetTable[b].mValues, sizeof kPresetTable[a].mValues),
                0)
          << kPresetTable[a].mName << " and " << kPresetTable[b].mName;
    }
  }
}

}  // namespace
