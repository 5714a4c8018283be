// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "IPlug/IPlugStateBytes.h"
#include "TestPlug.h"

namespace {

const std::vector<double> kValues = {440.0, -12.5, 6.0, 1.25, -9.75};

std::vector<uint8_t> SavedBytes() {
  TestPlug source;
  for (int i = 0; i < 5; ++i) source.Param(i)->SetClamped(kValues[i]);
  IStateChunk chunk;
  EXPECT_TRUE(SaveStateChunk(&source, &chunk, false));
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

// A host stream: gives step bytes a read (all it is asked for when 0); when failAt is reached it answers
// failure; with overstate it claims to have given more than it was asked for.
struct HostStream {
  std::vector<uint8_t> bytes;
  size_t step = 0;
  size_t failAt = SIZE_MAX;
  bool overstate = false;
  size_t at = 0;

  int64_t operator()(uint8_t* buffer, int size) {
    if (at >= failAt) return -1;
    size_t n = std::min(bytes.size() - at, step ? std::min(step, static_cast<size_t>(size)) : size);
    n = std::min(n, failAt - at);
    if (n > 0) std::memcpy(buffer, bytes.data() + at, n);
    at += n;
    return overstate && n > 0 ? static_cast<int64_t>(size) + 1 : static_cast<int64_t>(n);
  }
};

TEST(IPlugStateStream, LoadsAWholeStreamOrNothing) {
  const std::vector<uint8_t> saved = SavedBytes();
  std::vector<uint8_t> longer = saved;
  longer.resize(3000, 0xAB);
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t step;
    size_t failAt;
    bool overstate;
    int cap;
    bool loads;
  } cases[] = {
      {"whole at once", saved, 0, SIZE_MAX, false, 1 << 16, true},
      {"a byte a read", saved, 1, SIZE_MAX, false, 1 << 16, true},
      {"seven bytes a read", saved, 7, SIZE_MAX, false, 1 << 16, true},
      {"longer than a read, extra bytes ignored", longer, 0, SIZE_MAX, false, 1 << 16, true},
      {"exactly the cap", saved, 5, SIZE_MAX, false, 48, true},
      {"one byte over the cap", saved, 5, SIZE_MAX, false, 47, false},
      {"far over the cap", longer, 0, SIZE_MAX, false, 2048, false},
      {"fails before anything", saved, 3, 0, false, 1 << 16, false},
      {"fails after the values", saved, 3, 48, false, 1 << 16, false},
      {"fails halfway", saved, 0, 20, false, 1 << 16, false},
      {"claims more than it was asked for", saved, 8, SIZE_MAX, true, 1 << 16, false},
      {"empty", {}, 0, SIZE_MAX, false, 1 << 16, false},
      {"short", std::vector<uint8_t>(saved.begin(), saved.end() - 1), 4, SIZE_MAX, false, 1 << 16, false},
  };
  for (const auto& c : cases) {
    TestPlug plug;
    IPlugStateStream state(c.cap);
    HostStream stream{c.bytes, c.step, c.failAt, c.overstate};
    EXPECT_EQ(state.Load(&plug, stream), c.loads) << c.name;
    EXPECT_EQ(ValuesOf(plug), c.loads ? kValues : TestPlug::kDefaults) << c.name;
  }
}

TEST(IPlugStateStream, WritesTheProgramChunkWholeOrFails) {
  const std::vector<uint8_t> saved = SavedBytes();
  TestPlug plug;
  for (int i = 0; i < 5; ++i) plug.Param(i)->SetClamped(kValues[i]);
  IPlugStateStream state(1 << 16);
  for (int step : {1, 7, 47, 48, 1000}) {
    std::vector<uint8_t> written;
    EXPECT_TRUE(state.Save(&plug, [&written, step](const uint8_t* bytes, int n) {
      const int taken = std::min(n, step);
      written.insert(written.end(), bytes, bytes + taken);
      return static_cast<int64_t>(taken);
    })) << step;
    EXPECT_EQ(written, saved) << step;
  }
  for (int64_t answer : {int64_t{0}, int64_t{-1}}) {
    EXPECT_FALSE(state.Save(&plug, [answer](const uint8_t*, int) { return answer; })) << answer;
  }
  EXPECT_FALSE(state.Save(&plug, [](const uint8_t*, int n) { return static_cast<int64_t>(n) + 1; }));
}

// A stream read but not loaded leaves the plug-in alone; what was read then loads, and another chunk loads
// whole through the same working storage.
TEST(IPlugStateStream, ReadingAndLoadingAreSeparateSteps) {
  TestPlug plug;
  IPlugStateStream state(1 << 16);
  ASSERT_TRUE(state.ReadStream(HostStream{SavedBytes(), 5}));
  EXPECT_EQ(ValuesOf(plug), TestPlug::kDefaults);
  EXPECT_TRUE(state.LoadRead(&plug));
  EXPECT_EQ(ValuesOf(plug), kValues);
  IStateChunk defaults;
  TestPlug fresh;
  ASSERT_TRUE(SaveStateChunk(&fresh, &defaults, false));
  EXPECT_TRUE(state.LoadWhole(&plug, defaults));
  EXPECT_EQ(ValuesOf(plug), TestPlug::kDefaults);
  // A failed read leaves nothing to load.
  EXPECT_FALSE(state.ReadStream(HostStream{SavedBytes(), 5, 10}));
  EXPECT_FALSE(state.LoadRead(&plug));
  EXPECT_EQ(ValuesOf(plug), TestPlug::kDefaults);
}

}  // namespace
