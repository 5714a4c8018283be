// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestPlug.h"

namespace {

// A change list as a binding reads one from its host: the offsets in the host's order; applying change k of
// list l logs "l.k".
struct TestList {
  std::vector<int64_t> mOffsets;
  int mList = 0;
  size_t mNext = 0;
  std::string* mLog = nullptr;

  int64_t Offset() const { return mOffsets[mNext]; }
  void Apply() { *mLog += " " + std::to_string(mList) + "." + std::to_string(mNext); }
  bool Advance() { return ++mNext < mOffsets.size(); }
};

// Runs a block of nFrames frames through ProcessHostBlockAtChanges; each processing call logs "first+count",
// where first is the block frame its inputs begin at.
std::string Split(int blockSize, uint32_t nFrames, const std::vector<std::vector<int64_t>>& offsets) {
  TestPlug plug;
  plug.SetInputsConnected(0, 2, true);
  plug.SetOutputsConnected(0, 2, true);
  plug.ApplyBlockSize(blockSize);
  std::string log;
  plug.mProcess = [&log](double** inputs, double**, int n) {
    log += " " + std::to_string(static_cast<int>(inputs[0][0])) + "+" + std::to_string(n);
  };
  std::vector<double> ramp(nFrames), right(nFrames), out0(nFrames), out1(nFrames);
  for (uint32_t s = 0; s < nFrames; ++s) ramp[s] = s;
  double* inputs[2] = {ramp.data(), right.data()};
  double* outputs[2] = {out0.data(), out1.data()};
  std::vector<TestList> lists;
  for (size_t l = 0; l < offsets.size(); ++l) {
    if (!offsets[l].empty()) lists.push_back({offsets[l], static_cast<int>(l), 0, &log});
  }
  plug.ProcessHostBlockAtChanges(nFrames > 0 ? inputs : nullptr, nFrames > 0 ? outputs : nullptr, nFrames,
                                 lists.data(), static_cast<int>(lists.size()));
  return log.empty() ? log : log.substr(1);
}

TEST(HostBlockChanges, PiecesEndWhereParametersChange) {
  const struct {
    const char* name;
    int blockSize;
    uint32_t frames;
    std::vector<std::vector<int64_t>> offsets;
    const char* expected;
  } cases[] = {
      {"no changes", 64, 16, {}, "0+16"},
      {"at the start", 64, 16, {{0}}, "0.0 0+16"},
      {"mid-block", 64, 16, {{5}}, "0+5 0.0 5+11"},
      {"at the end", 64, 16, {{16}}, "0+16 0.0"},
      {"past the end, at the end", 64, 16, {{1000}}, "0+16 0.0"},
      {"negative, at once", 64, 16, {{-3}}, "0.0 0+16"},
      {"two at one frame make no piece between them", 64, 16, {{5, 5}}, "0+5 0.0 0.1 5+11"},
      {"out of order, where the last one took effect", 64, 16, {{9, 4, 12}}, "0+9 0.0 0.1 9+3 0.2 12+4"},
      {"lists merged in frame order", 64, 16, {{8}, {3, 8}}, "0+3 1.0 3+5 0.0 1.1 8+8"},
      {"equal frames: the first list first", 64, 16, {{6}, {6}, {2}}, "0+2 2.0 2+4 0.0 1.0 6+10"},
      {"a change past the end waits for the others", 64, 16, {{99}, {10}}, "0+10 1.0 10+6 0.0"},
      {"pieces longer than the block size", 4, 14, {{10}}, "0+4 4+4 8+2 0.0 10+4"},
      {"no frames: the changes still apply", 64, 0, {{0}, {7}}, "0.0 1.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Split(c.blockSize, c.frames, c.offsets), c.expected) << c.name;
}

// The pieces reach the effect as the whole block would: each output sample is its input sample's own result.
TEST(HostBlockChanges, PiecesWriteTheHostsBuffersAtTheirOffsets) {
  TestPlug plug;
  plug.SetInputsConnected(0, 2, true);
  plug.SetOutputsConnected(0, 2, true);
  plug.ApplyBlockSize(8);
  plug.mProcess = [](double** inputs, double** outputs, int n) {
    for (int c = 0; c < 2; ++c) {
      for (int s = 0; s < n; ++s) outputs[c][s] = 2.0 * inputs[c][s] + c;
    }
  };
  std::vector<float> in0(20), in1(20), out0(20, -1.0f), out1(20, -1.0f);
  for (int s = 0; s < 20; ++s) {
    in0[s] = static_cast<float>(s);
    in1[s] = static_cast<float>(100 + s);
  }
  float* inputs[2] = {in0.data(), in1.data()};
  float* outputs[2] = {out0.data(), out1.data()};
  std::string log;
  TestList list{{3, 3, 11}, 0, 0, &log};
  plug.ProcessHostBlockAtChanges(inputs, outputs, 20, &list, 1);
  EXPECT_EQ(log, " 0.0 0.1 0.2");
  EXPECT_EQ(plug.mProcessFrames, (std::vector<int>{3, 8, 8, 1}));
  for (int s = 0; s < 20; ++s) {
    EXPECT_EQ(out0[s], 2.0f * s) << s;
    EXPECT_EQ(out1[s], 2.0f * (100 + s) + 1) << s;
  }
}

}  // namespace
