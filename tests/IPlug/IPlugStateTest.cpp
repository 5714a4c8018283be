// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "IPlug/IPlugStateBytes.h"
#include "TestPlug.h"

namespace {

void SaveProgram(TestPlug& plug, IStateChunk* chunk) { ASSERT_TRUE(SaveStateChunk(&plug, chunk, false)); }

int LoadProgram(TestPlug& plug, const IStateChunk& chunk) { return LoadStateChunk(&plug, chunk, false); }

TEST(IPlugState, ProgramStateIsTheHeaderAndEveryValueAsADouble) {
  TestPlug plug;
  const std::vector<double> values = {440.0, -12.5, 6.0, 1.25, -9.75};
  for (int i = 0; i < 5; ++i) plug.Param(i)->SetClamped(values[i]);
  IStateChunk chunk;
  SaveProgram(plug, &chunk);
  ASSERT_EQ(chunk.Size(), 48);
  const uint8_t header[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(std::memcmp(chunk.Data(), header, 8), 0);
  for (int i = 0; i < 5; ++i) {
    double value = 0.0;
    EXPECT_EQ(chunk.ReadDouble(&value, 8 + 8 * i), 16 + 8 * i);
    EXPECT_EQ(value, values[i]);
  }
}

TEST(IPlugState, ParamsWithoutParametersWriteNothing) {
  TestPlug plug("2-2", 0, 0);
  IStateChunk chunk;
  EXPECT_TRUE(plug.SerializeParams(&chunk));
  EXPECT_EQ(chunk.Size(), 0);
  EXPECT_EQ(plug.UnserializeParams(&chunk, 0), 0);
}

TEST(IPlugState, LoadsApplyWhatCanBeReadAndAnnounceEveryParameter) {
  const struct {
    const char* name;
    bool header;
    std::vector<double> stored;
    int extraBytes;
    int expectedPos;
    std::vector<double> expected;
  } cases[] = {
      {"whole, clamped", true, {500.0, -50.0, 12.0, 3.0, 20.0}, 0, 48, {500.0, -40.0, 12.0, 3.0, 10.0}},
      {"short", true, {500.0, 5.0, 6.0}, 0, -1, {500.0, 5.0, 6.0, 0.0, 0.0}},
      {"short by a byte", true, {500.0, 5.0, 6.0, 1.0}, 7, -1, {500.0, 5.0, 6.0, 1.0, 0.0}},
      {"headerless", false, {200.0, 1.0, 2.0, 3.0, 4.0}, 0, 40, {200.0, 1.0, 2.0, 3.0, 4.0}},
      {"extra bytes", true, {300.0, 1.0, 2.0, 3.0, 4.0, 99.0}, 5, 48, {300.0, 1.0, 2.0, 3.0, 4.0}},
      {"empty", false, {}, 0, -1, TestPlug::kDefaults},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IStateChunk chunk;
    if (c.header) WriteChunkHeader(chunk);
    for (double value : c.stored) chunk.AppendDouble(value);
    for (int i = 0; i < c.extraBytes; ++i) chunk.AppendFlag(true);

    TestPlug plug;
    std::vector<double> atFirstAnnouncement;
    plug.mOnChanged = [&](int index) {
      if (index == 0) atFirstAnnouncement = ValuesOf(plug);
    };
    EXPECT_EQ(LoadProgram(plug, chunk), c.expectedPos);
    EXPECT_EQ(ValuesOf(plug), c.expected);
    EXPECT_EQ(plug.mChanged, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(atFirstAnnouncement, c.expected);
  }
}

TEST(IPlugState, SavedProgramLoadsBackIntoAnotherInstance) {
  TestPlug source, target;
  for (int i = 0; i < 5; ++i) source.Param(i)->SetClamped(1.5 * i + 100.0 * (i == 0));
  IStateChunk chunk;
  SaveProgram(source, &chunk);
  EXPECT_EQ(LoadProgram(target, chunk), 48);
  EXPECT_EQ(ValuesOf(target), ValuesOf(source));
}

TEST(IPlugState, StateOperationsNestUnderTheCallersLock) {
  TestPlug plug;
  IPlugMutexLock lock(&plug);
  IStateChunk chunk;
  EXPECT_TRUE(plug.SaveState(&chunk));
  EXPECT_EQ(plug.LoadState(&chunk, 0), 40);
}

}  // namespace

TEST(IPlugState, WholeLoadsApplyAllValuesOrNone) {
  const std::vector<double> values = {440.0, -12.5, 6.0, 1.25, -9.75};
  TestPlug source;
  for (int i = 0; i < 5; ++i) source.Param(i)->SetClamped(values[i]);
  IStateChunk saved;
  SaveProgram(source, &saved);
  const struct {
    const char* name;
    int offset;  // where the bytes start in the saved chunk
    int size;
    bool loads;
  } cases[] = {{"whole chunk", 0, 48, true},     {"without header", 8, 40, true},
               {"one byte short", 0, 47, false}, {"header only", 0, 8, false},
               {"empty", 0, 0, false},           {"three values", 0, 32, false}};
  for (const auto& c : cases) {
    TestPlug plug;
    IStateChunk bytes, backup;
    bytes.AppendBytes(saved.Data() + c.offset, c.size);
    const bool loaded = LoadProgramStateWhole(&plug, bytes, &backup);
    EXPECT_EQ(loaded, c.loads) << c.name;
    EXPECT_EQ(ValuesOf(plug), c.loads ? values : TestPlug::kDefaults) << c.name;
  }
}
