// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestPlug.h"

namespace {

void SetValues(IPlugBase& plug, const std::vector<double>& values) {
  for (int i = 0; i < plug.ParamCount(); ++i) plug.Param(i)->SetClamped(values[i]);
}

std::vector<double> StoredValues(const IStateChunk& state) {
  std::vector<double> values;
  double value = 0.0;
  for (int pos = 0; (pos = state.ReadDouble(&value, pos)) >= 0;) values.push_back(value);
  return values;
}

// Appends one bank-body record.
void AppendRecord(IStateChunk& body, const char* name, bool set, const std::vector<double>& values = {}) {
  body.AppendText(name);
  body.AppendFlag(set);
  for (double value : values) body.AppendDouble(value);
}

TEST(IPlugPresets, WithoutPresetsEveryRequestFindsNone) {
  TestPlug plug;
  SetValues(plug, {500.0, 1.0, 2.0, 3.0, 4.0});
  EXPECT_EQ(plug.PresetCount(), 0);
  EXPECT_EQ(plug.CurrentPresetIndex(), 0);
  for (int index : {-1, 0, 1}) {
    EXPECT_STREQ(plug.PresetName(index), "");
    EXPECT_FALSE(plug.SelectPreset(index));
  }
  EXPECT_EQ(plug.FirstUnsetPreset(), nullptr);
  plug.ModifyCurrentPreset();
  plug.ModifyCurrentPreset("Lead");
  plug.FillDefaultPresets();
  IStateChunk bank;
  WriteChunkHeader(bank);
  EXPECT_TRUE(plug.SerializePresets(&bank));
  EXPECT_EQ(bank.Size(), 8);
  EXPECT_EQ(plug.UnserializePresets(&bank, 8), 8);
  EXPECT_EQ(ValuesOf(plug), (std::vector<double>{500.0, 1.0, 2.0, 3.0, 4.0}));
  EXPECT_TRUE(plug.mChanged.empty());
  EXPECT_EQ(plug.mPresetHooks, 0);
}

TEST(IPlugPresets, DefaultFillNamesEveryPresetEmptyWithTheCurrentState) {
  TestPlug plug("2-2", 3);
  SetValues(plug, {250.0, 1.0, 2.0, 3.0, 4.0});
  plug.FillDefaultPresets();
  EXPECT_EQ(plug.FirstUnsetPreset(), nullptr);
  IStateChunk bank;
  ASSERT_TRUE(plug.SerializePresets(&bank));
  // Each record: 4-byte length, "Empty", flag 1, five doubles.
  ASSERT_EQ(bank.Size(), 3 * (4 + 5 + 1 + 40));
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(plug.PresetName(i), "Empty");
    IStateChunk state;
    ASSERT_EQ(state.AppendBytes(bank.Data() + i * 50 + 10, 40), 40);
    EXPECT_EQ(StoredValues(state), ValuesOf(plug));
  }
  EXPECT_EQ(plug.mPresetHooks, 0);
}

TEST(IPlugPresets, FillUnsetPresetsTouchesOnlyUpToCountUnsetPresets) {
  TestPlug plug("2-2", 3);
  plug.FillUnsetPresets("Pad", 1);
  plug.FillUnsetPresets(nullptr, 1);
  EXPECT_STREQ(plug.PresetName(0), "Pad");
  EXPECT_STREQ(plug.PresetName(1), "Empty");
  EXPECT_STREQ(plug.PresetName(2), "empty");
  plug.FillUnsetPresets("Keys", 5);
  EXPECT_STREQ(plug.PresetName(0), "Pad");
  EXPECT_STREQ(plug.PresetName(2), "Keys");
}

TEST(IPlugPresets, SelectingASetPresetLoadsItsState) {
  TestPlug plug("2-2", 3);
  plug.FillDefaultPresets();
  SetValues(plug, {700.0, -3.0, 4.0, 5.0, -6.0});
  plug.ModifyCurrentPreset();
  SetValues(plug, {800.0, 0.0, 0.0, 0.0, 0.0});
  plug.mChanged.clear();

  EXPECT_TRUE(plug.SelectPreset(1));
  EXPECT_EQ(plug.CurrentPresetIndex(), 1);
  EXPECT_EQ(ValuesOf(plug), TestPlug::kDefaults);
  EXPECT_EQ(plug.mChanged, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(plug.mPresetHooks, 1);

  EXPECT_TRUE(plug.SelectPreset(0));
  EXPECT_EQ(ValuesOf(plug), (std::vector<double>{700.0, -3.0, 4.0, 5.0, -6.0}));
  EXPECT_EQ(plug.mPresetHooks, 2);

  for (int index : {-1, 3}) {
    EXPECT_FALSE(plug.SelectPreset(index));
    EXPECT_EQ(plug.CurrentPresetIndex(), 0);
    EXPECT_EQ(plug.mPresetHooks, 2);
  }
}

TEST(IPlugPresets, SelectingAnUnsetPresetCapturesUnderTheNextUserName) {
  TestPlug plug("2-2", 4);
  const std::vector<double> values = {640.0, 1.0, 2.0, 3.0, 4.0};
  SetValues(plug, values);
  EXPECT_TRUE(plug.SelectPreset(0));
  EXPECT_TRUE(plug.SelectPreset(1));
  EXPECT_STREQ(plug.PresetName(0), "user preset 1");
  EXPECT_STREQ(plug.PresetName(1), "user preset 2");
  EXPECT_TRUE(plug.SelectPreset(2));
  EXPECT_STREQ(plug.PresetName(2), "user preset 3");
  EXPECT_EQ(plug.CurrentPresetIndex(), 2);
  EXPECT_EQ(ValuesOf(plug), values);
  EXPECT_TRUE(plug.mChanged.empty());
  EXPECT_EQ(plug.mPresetHooks, 3);

  // Any name holding the words counts, wherever they stand.
  plug.ModifyCurrentPreset("my user preset x");
  char name[kPresetNameSize];
  plug.NextUserPresetName(name, sizeof name);
  EXPECT_STREQ(name, "user preset 4");
  plug.ModifyCurrentPreset("User Preset");
  plug.NextUserPresetName(name, sizeof name);
  EXPECT_STREQ(name, "user preset 3");
}

TEST(IPlugPresets, ModifyCurrentPresetRecapturesAndRenamesOnlyWithANonEmptyName) {
  TestPlug plug("2-2", 2);
  plug.FillDefaultPresets();
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {{nullptr, "Empty"}, {"", "Empty"}, {"Lead", "Lead"}, {"", "Lead"}};
  for (const auto& c : cases) {
    plug.ModifyCurrentPreset(c.name);
    EXPECT_STREQ(plug.PresetName(0), c.expected);
  }
  const std::string longName(300, 'n');
  plug.ModifyCurrentPreset(longName.c_str());
  EXPECT_EQ(std::string(plug.PresetName(0)), longName.substr(0, 255));

  // The state is replaced, not appended to: the bank record still holds five values.
  SetValues(plug, {900.0, 1.0, 1.0, 1.0, 1.0});
  plug.ModifyCurrentPreset();
  IStateChunk bank;
  ASSERT_TRUE(plug.SerializePresets(&bank));
  EXPECT_EQ(bank.Size(), (4 + 255 + 1 + 40) + (4 + 5 + 1 + 40));
  SetValues(plug, TestPlug::kDefaults);
  ASSERT_TRUE(plug.SelectPreset(1));
  ASSERT_TRUE(plug.SelectPreset(0));
  EXPECT_EQ(ValuesOf(plug), (std::vector<double>{900.0, 1.0, 1.0, 1.0, 1.0}));
}

std::vector<uint8_t> BytesOf(const IStateChunk& chunk) {
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

// An unset preset can hold an older state: ModifyCurrentPreset stores into an unset current preset, and a
// bank body can mark a set preset unset. Capturing into it must replace that state, not append to it.
TEST(IPlugPresets, FillingAnUnsetPresetReplacesWhatItHeld) {
  TestPlug plug("2-2", 1);
  const std::vector<double> older = {111.0, 1.0, 1.0, 1.0, 1.0}, newer = {222.0, 2.0, 2.0, 2.0, 2.0};
  SetValues(plug, older);
  plug.ModifyCurrentPreset();
  ASSERT_NE(plug.FirstUnsetPreset(), nullptr);
  SetValues(plug, newer);
  plug.FillUnsetPresets("Filled", 1);
  EXPECT_EQ(plug.FirstUnsetPreset(), nullptr);
  SetValues(plug, TestPlug::kDefaults);
  ASSERT_TRUE(plug.SelectPreset(0));
  EXPECT_EQ(ValuesOf(plug), newer);
  IStateChunk bank, expected;
  ASSERT_TRUE(plug.SerializePresets(&bank));
  AppendRecord(expected, "Filled", true, newer);
  EXPECT_EQ(BytesOf(bank), BytesOf(expected));
}

TEST(IPlugPresets, SelectingAPresetMarkedUnsetReplacesWhatItHeld) {
  TestPlug plug("2-2", 2);
  plug.FillDefaultPresets();
  const std::vector<double> older = {111.0, 1.0, 1.0, 1.0, 1.0}, newer = {222.0, 2.0, 2.0, 2.0, 2.0};
  IStateChunk body;
  AppendRecord(body, "first", true, TestPlug::kDefaults);
  AppendRecord(body, "second", true, older);
  ASSERT_EQ(plug.UnserializePresets(&body, 0), body.Size());
  IStateChunk unsetBody;
  AppendRecord(unsetBody, "first", true, TestPlug::kDefaults);
  AppendRecord(unsetBody, "second", false);
  ASSERT_EQ(plug.UnserializePresets(&unsetBody, 0), unsetBody.Size());

  SetValues(plug, newer);
  ASSERT_TRUE(plug.SelectPreset(1));
  EXPECT_STREQ(plug.PresetName(1), "user preset 1");
  ASSERT_TRUE(plug.SelectPreset(0));
  ASSERT_TRUE(plug.SelectPreset(1));
  EXPECT_EQ(ValuesOf(plug), newer);
  IStateChunk bank, expected;
  ASSERT_TRUE(plug.SerializePresets(&bank));
  AppendRecord(expected, "first", true, TestPlug::kDefaults);
  AppendRecord(expected, "user preset 1", true, newer);
  EXPECT_EQ(BytesOf(bank), BytesOf(expected));
}

TEST(IPlugPresets, BankBodyRoundTripsAndReselectsTheCurrentPreset) {
  TestPlug source("2-2", 3);
  const std::vector<std::vector<double>> values = {
      {300.0, -1.0, 1.0, 0.5, -0.5}, {5000.0, -20.0, 10.0, 9.0, -9.0}, {100.0, -40.0, 12.0, -10.0, 10.0}};
  const char* names[] = {"Warm", "Wide", "Edge"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(source.SelectPreset(i));
    SetValues(source, values[i]);
    source.ModifyCurrentPreset(names[i]);
  }
  IStateChunk bank;
  WriteChunkHeader(bank);
  ASSERT_TRUE(source.SerializePresets(&bank));

  TestPlug target("2-2", 3);
  target.FillDefaultPresets();
  int pos = 0;
  ASSERT_EQ(ReadChunkHeader(bank, pos), kStateChunkVersion);
  EXPECT_EQ(target.UnserializePresets(&bank, pos), bank.Size());
  EXPECT_EQ(target.CurrentPresetIndex(), 0);
  EXPECT_EQ(ValuesOf(target), values[0]);
  EXPECT_EQ(target.mPresetHooks, 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(target.PresetName(i), names[i]);
    ASSERT_TRUE(target.SelectPreset(i));
    EXPECT_EQ(ValuesOf(target), values[i]);
  }
  IStateChunk again;
  WriteChunkHeader(again);
  ASSERT_TRUE(target.SerializePresets(&again));
  EXPECT_EQ(BytesOf(again), BytesOf(bank));
}

TEST(IPlugPresets, BankValuesAreKeptAsClamped) {
  TestPlug plug("2-2", 1);
  IStateChunk body;
  AppendRecord(body, "Loud", true, {99999.0, 50.0, -50.0, 0.0, 0.0});
  EXPECT_EQ(plug.UnserializePresets(&body, 0), body.Size());
  const std::vector<double> clamped = {20000.0, 12.0, -40.0, 0.0, 0.0};
  EXPECT_EQ(ValuesOf(plug), clamped);
  IStateChunk bank;
  ASSERT_TRUE(plug.SerializePresets(&bank));
  IStateChunk state;
  ASSERT_EQ(state.AppendBytes(bank.Data() + 4 + 4 + 1, 40), 40);
  EXPECT_EQ(StoredValues(state), clamped);
}

TEST(IPlugPresets, TruncatedBankBodyKeepsWhatWasReadAndFails) {
  TestPlug source("2-2", 3);
  source.FillDefaultPresets();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(source.SelectPreset(i));
    SetValues(source, {1000.0 + i, 1.0 * i, 0.0, 0.0, 0.0});
    source.ModifyCurrentPreset(("P" + std::to_string(i)).c_str());
  }
  IStateChunk body;
  ASSERT_TRUE(source.SerializePresets(&body));
  const int recordSize = 4 + 2 + 1 + 40;
  ASSERT_EQ(body.Size(), 3 * recordSize);

  const struct {
    const char* name;
    int keep;
    std::vector<std::string> names;
  } cases[] = {
      {"inside the third state", 2 * recordSize + 7 + 20, {"P0", "P1", "P2"}},
      {"inside the second name length", recordSize + 2, {"P0", "Empty", "Empty"}},
      {"before the second flag", recordSize + 6, {"P0", "P1", "Empty"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestPlug target("2-2", 3);
    target.FillDefaultPresets();
    IStateChunk cut;
    cut.AppendBytes(body.Data(), c.keep);
    EXPECT_LT(target.UnserializePresets(&cut, 0), 0);
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(target.PresetName(i), c.names[i].c_str());
    // The current preset 0 is selected again, so the parameters hold its state.
    EXPECT_EQ(ValuesOf(target), (std::vector<double>{1000.0, 0.0, 0.0, 0.0, 0.0}));
    EXPECT_TRUE(target.SelectPreset(2));
    EXPECT_EQ(ValuesOf(target), TestPlug::kDefaults);
  }
}

TEST(IPlugPresets, EmptyNameInABankBodyInheritsThePreviousName) {
  TestPlug plug("2-2", 3);
  plug.FillDefaultPresets();
  IStateChunk body;
  AppendRecord(body, "", true, {400.0, 0.0, 0.0, 0.0, 0.0});
  AppendRecord(body, "Bass", false);
  AppendRecord(body, "", false);
  EXPECT_EQ(plug.UnserializePresets(&body, 0), body.Size());
  EXPECT_STREQ(plug.PresetName(0), "");
  EXPECT_STREQ(plug.PresetName(1), "Bass");
  EXPECT_STREQ(plug.PresetName(2), "Bass");
  EXPECT_EQ(ValuesOf(plug), (std::vector<double>{400.0, 0.0, 0.0, 0.0, 0.0}));
  // Presets read as unset are captured afresh when selected.
  EXPECT_TRUE(plug.SelectPreset(2));
  EXPECT_STREQ(plug.PresetName(2), "user preset 1");
}

}  // namespace
