// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "IPlug/HostIdentification.h"

namespace {

TEST(HostIdentification, KeyWordsAreFoundCaseBlindInFixedOrder) {
  const struct {
    const char* text;
    EHostId id;
  } cases[] = {
      {"REAPER", kAppReaper},
      {"Nuendo and CUBASE", kAppCubase},  // earlier key word wins
      {"Nuendo", kAppNuendo},
      {"Cakewalk", kAppSonar},
      {"olive", kAppLive},  // key words match inside words
      {"Logic Live", kAppLive},
      {"Logic ProTools", kAppLogic},
      {"Pro Tools", kAppUnknown},
      {"ProTools", kAppProTools},
      {"PreSonus Studio One", kAppStudioOne},
      {"VST3PluginTestHost", kAppVST3TestHost},
      {"Digital Ardour", kAppDigitalPerformer},
      {"Ardour Standalone", kAppArdour},
      {"Unheard Of", kAppUnknown},
      {"", kAppUnknown},
      {nullptr, kAppUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindHostId(c.text), c.id) << (c.text ? c.text : "(none)");
  }
}

TEST(HostIdentification, OnlyTheFirst255CharactersAreSearched) {
  std::string text(250, 'x');
  EXPECT_EQ(FindHostId((text + "ardour").c_str()), kAppUnknown);
  EXPECT_EQ(FindHostId((text + "live").c_str()), kAppLive);
}

TEST(HostIdentification, ToLowerCopyLowersAndTerminatesWithinTheDestination) {
  char dest[8];
  ToLowerCopy(dest, "AbC-9Z", sizeof dest);
  EXPECT_STREQ(dest, "abc-9z");
  ToLowerCopy(dest, "ABCDEFGHIJ", sizeof dest);
  EXPECT_STREQ(dest, "abcdefg");
  ToLowerCopy(dest, "", sizeof dest);
  EXPECT_STREQ(dest, "");
}

TEST(HostIdentification, PackedVersionsSplitAndReadAsDecimal) {
  const struct {
    int32_t packed;
    int major, minor, patch, decimal;
  } cases[] = {
      {0x00010203, 1, 2, 3, 10203},
      {0x100, 0, 1, 0, 100},
      {0x00003B53, 0, 59, 83, 5983},
      {0, 0, 0, 0, 0},
      {static_cast<int32_t>(0xFFFF0000u), 65535, 0, 0, 655350000},
  };
  for (const auto& c : cases) {
    int major = -1, minor = -1, patch = -1;
    SplitVersion(c.packed, &major, &minor, &patch);
    EXPECT_EQ(major, c.major) << c.packed;
    EXPECT_EQ(minor, c.minor) << c.packed;
    EXPECT_EQ(patch, c.patch) << c.packed;
    EXPECT_EQ(VersionAsDecimal(c.packed), c.decimal) << c.packed;
  }
}

}  // namespace
