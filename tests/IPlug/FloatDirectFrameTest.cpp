// SPDX-License-Identifier: GPL-3.0-or-later
// The 32-bit host path with the effect's direct 32-bit processing against the same frame without it, and
// against narrowing the 64-bit host path: byte for byte, over random block sizes, buffer layouts,
// connections, parameter changes and block sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "TestPlug.h"
#include "dsp/DenormalGuard.h"
#include "effect/EffectEngine.h"

namespace {

// The effect's engine behind the test plug-in, with or without the direct 32-bit hook.
class EnginePlug : public TestPlug {
 public:
  explicit EnginePlug(bool direct) : mDirect(direct) {}

  void ProcessDoubleBlock(double** inputs, double** outputs, int nFrames) override {
    mEngine.ProcessStereoBlock(inputs, outputs, nFrames);
  }
  bool ProcessFloatBlockDirect(float** inputs, float** outputs, double** inputCopies, double** outputCopies,
                               int nFrames) override {
    if (!mDirect) return false;
    ++mDirectBlocks;
    mEngine.ProcessStereoBlock(inputs, outputs, inputCopies, outputCopies, nFrames);
    return true;
  }

  EffectEngine mEngine;
  int mDirectBlocks = 0;

 private:
  bool mDirect;
};

void Prepare(IPlugBase& plug, int blockSize) {
  plug.SetInputsConnected(0, 2, true);
  plug.SetOutputsConnected(0, 2, true);
  plug.ApplyBlockSize(blockSize);
}

// Offsets of the two inputs and two outputs in one arena, in samples.
struct Layout {
  int in[2], out[2];
};

Layout RandomLayout(std::mt19937& gen, int n) {
  std::uniform_int_distribution<int> kind(0, 7), shift(1, 9);
  const int s = shift(gen), b = 16;
  switch (kind(gen)) {
    case 0:
      return {{b, b + n + 3}, {b + 2 * n + 7, b + 3 * n + 11}};
    case 1:  // in place
      return {{b, b + n}, {b, b + n}};
    case 2:  // crossed
      return {{b, b + n}, {b + n, b}};
    case 3:  // one output buffer
      return {{b, b + n}, {b + 2 * n, b + 2 * n}};
    case 4:  // outputs just before their inputs
      return {{b, b + n + 20}, {b - s, b + n + 20 - s}};
    case 5:  // outputs just after their inputs
      return {{b, b + n + 20}, {b + s, b + n + 20 + s}};
    case 6:  // outputs overlapping each other
      return {{b, b + n + 20}, {b + 2 * n + 40, b + 2 * n + 40 + s}};
    default:  // one buffer for everything
      return {{b, b}, {b, b}};
  }
}

bool SameBytes(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

bool SameScratch(const ITypedBuffer<double>& a, const ITypedBuffer<double>& b) {
  return a.Count() == b.Count() && std::memcmp(a.Get(), b.Get(), sizeof(double) * a.Count()) == 0;
}

}  // namespace

// Every sequence of host calls leaves the same bytes in the host's buffers and in the frame's scratch buffers
// with the direct 32-bit processing as without it: in place and other shared buffers, blocks longer than the
// block size, accumulating blocks, channels disconnected and connected again mid-stream, new block sizes.
TEST(FloatDirectFrame, HostBlocksEqualThoseOfTheFrameWithoutTheDirectHook) {
  std::mt19937 gen(4242);
  EnginePlug direct(true), plain(false);
  EnginePlug* plugs[2] = {&direct, &plain};
  int blockSize = 64;
  for (EnginePlug* plug : plugs) {
    Prepare(*plug, blockSize);
    plug->mEngine.Reset(44100.0);
  }
  std::uniform_int_distribution<int> event(0, 99);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_real_distribution<float> loud(-3.0f, 3.0f), junk(-1.0f, 1.0f);
  bool inConnected[2] = {true, true}, outConnected[2] = {true, true};
  for (int block = 0; block < 3000; ++block) {
    SCOPED_TRACE(block);
    const int e = event(gen);
    const bool allConnected = inConnected[0] && inConnected[1] && outConnected[0] && outConnected[1];
    if (e < 3 || (e < 15 && !allConnected)) {
      // A channel disconnected, or one connected again.
      int channel = e % 2;
      bool input = unit(gen) < 0.5;
      if (!allConnected && e >= 3) {
        input = !(inConnected[0] && inConnected[1]);
        channel = input ? (inConnected[0] ? 1 : 0) : (outConnected[0] ? 1 : 0);
      }
      bool& state = input ? inConnected[channel] : outConnected[channel];
      state = !state;
      for (EnginePlug* plug : plugs) {
        if (input) {
          plug->SetInputsConnected(channel, 1, state);
        } else {
          plug->SetOutputsConnected(channel, 1, state);
        }
      }
    } else if (e < 17) {
      blockSize = std::uniform_int_distribution<int>(1, 700)(gen);
      for (EnginePlug* plug : plugs) plug->ApplyBlockSize(blockSize);
    } else if (e < 22) {
      const int index = std::uniform_int_distribution<int>(0, 4)(gen);
      const double value = unit(gen) * (index == 0 ? 19000.0 : 20.0) + (index == 0 ? 100.0 : -10.0);
      for (EnginePlug* plug : plugs) plug->mEngine.SetParameter(index, value);
    }
    // Now and then longer than the block size, so processed in pieces.
    const int n = std::uniform_int_distribution<int>(1, event(gen) < 15 ? blockSize * 2 + 3 : blockSize)(gen);
    const Layout layout = RandomLayout(gen, n);
    const bool accumulate = event(gen) < 10;
    const double amplitude = event(gen) < 30 ? 3.0 : 0.2;
    const int size = std::max({layout.in[0], layout.in[1], layout.out[0], layout.out[1]}) + n + 16;
    std::vector<float> arena(static_cast<size_t>(size));
    for (float& x : arena) x = junk(gen);
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < n; ++i) arena[layout.in[c] + i] = static_cast<float>(loud(gen) * amplitude / 3.0);
    }
    std::vector<float> arenas[2] = {arena, arena};
    for (int p = 0; p < 2; ++p) {
      float* inputs[2];
      float* outputs[2];
      int nIn = 0, nOut = 0;
      for (int c = 0; c < 2; ++c) {
        if (inConnected[c]) inputs[nIn++] = arenas[p].data() + layout.in[c];
        if (outConnected[c]) outputs[nOut++] = arenas[p].data() + layout.out[c];
      }
      if (accumulate) {
        plugs[p]->ProcessHostBlockAccumulating(inputs, outputs, n);
      } else {
        plugs[p]->ProcessHostBlock(inputs, outputs, n);
      }
    }
    ASSERT_TRUE(SameBytes(arenas[0], arenas[1])) << n << " frames";
    for (int c = 0; c < 2; ++c) {
      ASSERT_TRUE(SameScratch(direct.InputConnection(c)->mScratch, plain.InputConnection(c)->mScratch)) << c;
      ASSERT_TRUE(SameScratch(direct.OutputConnection(c)->mScratch, plain.OutputConnection(c)->mScratch))
          << c;
      EXPECT_EQ(*direct.InputConnection(c)->mSlot == direct.InputConnection(c)->mScratch.Get(),
                *plain.InputConnection(c)->mSlot == plain.InputConnection(c)->mScratch.Get());
      EXPECT_EQ(*direct.OutputConnection(c)->mSlot == direct.OutputConnection(c)->mScratch.Get(),
                *plain.OutputConnection(c)->mSlot == plain.OutputConnection(c)->mScratch.Get());
    }
  }
  // The direct processing ran for most blocks.
  EXPECT_GT(direct.mDirectBlocks, 1000);
  EXPECT_EQ(plain.mDirectBlocks, 0);
}

// The 32-bit host path gives exactly the 64-bit host path's outputs narrowed, for blocks of every size up to
// and past the block size.
TEST(FloatDirectFrame, FloatHostPathEqualsNarrowingTheDoubleHostPath) {
  std::mt19937 gen(99);
  EnginePlug floats(true), doubles(true);
  for (EnginePlug* plug : {&floats, &doubles}) {
    Prepare(*plug, 512);
    plug->mEngine.Reset(48000.0);
  }
  std::uniform_real_distribution<float> sample(-1.5f, 1.5f);
  for (int block = 0; block < 2000; ++block) {
    SCOPED_TRACE(block);
    if (block % 200 == 199) {
      for (EnginePlug* plug : {&floats, &doubles})
        plug->mEngine.SetParameter(block % 5, block % 2 ? 3.0 : 2500.0);
    }
    const int n = std::uniform_int_distribution<int>(1, 1100)(gen);
    std::vector<float> in[2], out[2];
    std::vector<double> wideIn[2], wideOut[2];
    for (int c = 0; c < 2; ++c) {
      in[c].resize(static_cast<size_t>(n));
      for (float& x : in[c]) x = sample(gen);
      out[c].assign(static_cast<size_t>(n), 5.0f);
      wideIn[c].assign(in[c].begin(), in[c].end());
      wideOut[c].assign(static_cast<size_t>(n), 5.0);
    }
    float* fin[2] = {in[0].data(), in[1].data()};
    float* fout[2] = {out[0].data(), out[1].data()};
    double* din[2] = {wideIn[0].data(), wideIn[1].data()};
    double* dout[2] = {wideOut[0].data(), wideOut[1].data()};
    floats.ProcessHostBlock(fin, fout, n);
    doubles.ProcessHostBlock(din, dout, n);
    DenormalGuard guard;  // the frame narrows with subnormal results flushed
    for (int c = 0; c < 2; ++c) {
      std::vector<float> narrowed(wideOut[c].begin(), wideOut[c].end());
      ASSERT_TRUE(SameBytes(out[c], narrowed)) << "channel " << c << ", " << n << " frames";
    }
  }
  EXPECT_GT(floats.mDirectBlocks, 500);
}
