// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "TestPlug.h"

namespace {

// A plug-in as the binding leaves it: every channel connected, scratch buffers for blockSize frames.
void Prepare(TestPlug& plug, int blockSize) {
  plug.SetInputsConnected(0, plug.InChannelCount(), true);
  plug.SetOutputsConnected(0, plug.OutChannelCount(), true);
  plug.ApplyBlockSize(blockSize);
}

template <class Sample>
std::vector<Sample> Ramp(int n, double start) {
  std::vector<Sample> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<Sample>(start + 0.001 * i);
  return v;
}

TEST(ProcessingFrame, BasePassThroughCopiesInputsAndZeroesExtraOutputs) {
  TestPlug plug("2-3");
  std::vector<double> in0 = Ramp<double>(8, 1.0), in1 = Ramp<double>(8, 2.0);
  std::vector<double> out0(8, 9.0), out1(8, 9.0), out2(8, 9.0);
  double* inputs[] = {in0.data(), in1.data()};
  double* outputs[] = {out0.data(), out1.data(), out2.data()};
  plug.IPlugBase::ProcessDoubleBlock(inputs, outputs, 8);
  EXPECT_EQ(out0, in0);
  EXPECT_EQ(out1, in1);
  EXPECT_EQ(out2, std::vector<double>(8, 0.0));

  std::vector<float> f0 = Ramp<float>(8, 1.0), f1 = Ramp<float>(8, 2.0);
  std::vector<float> g0(8, 9.0f), g1(8, 9.0f), g2(8, 9.0f);
  float* fin[] = {f0.data(), f1.data()};
  float* fout[] = {g0.data(), g1.data(), g2.data()};
  plug.ProcessFloatBlock(fin, fout, 8);
  EXPECT_EQ(g0, f0);
  EXPECT_EQ(g1, f1);
  EXPECT_EQ(g2, std::vector<float>(8, 0.0f));
}

TEST(ProcessingFrame, BlockSizeSizesAndClearsScratchAndIgnoresSizesBelowOne) {
  TestPlug plug;
  plug.SetInputsConnected(1, 1, true);
  plug.ApplyBlockSize(16);
  EXPECT_EQ(plug.BlockSize(), 16);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(plug.InputConnection(i)->mScratch.Count(), 16);
    ASSERT_EQ(plug.OutputConnection(i)->mScratch.Count(), 16);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(plug.InputConnection(i)->mScratch.Get()[s], 0.0);
    EXPECT_EQ(*plug.OutputConnection(i)->mSlot, plug.OutputConnection(i)->mScratch.Get());
  }
  EXPECT_EQ(*plug.InputConnection(0)->mSlot, plug.InputConnection(0)->mScratch.Get());
  EXPECT_EQ(*plug.InputConnection(1)->mSlot, nullptr);  // connected: left for the next binding

  // The same size, 0 and negative sizes leave the buffers and their contents alone.
  plug.InputConnection(0)->mScratch.Get()[3] = 0.5;
  for (int frames : {16, 0, -1, -4096}) {
    plug.ApplyBlockSize(frames);
    EXPECT_EQ(plug.BlockSize(), 16) << frames;
    EXPECT_EQ(plug.InputConnection(0)->mScratch.Count(), 16) << frames;
    EXPECT_EQ(plug.InputConnection(0)->mScratch.Get()[3], 0.5) << frames;
  }

  plug.ApplyBlockSize(5000);
  EXPECT_EQ(plug.BlockSize(), 5000);
  EXPECT_EQ(plug.InputConnection(0)->mScratch.Count(), 5000);
  EXPECT_EQ(plug.InputConnection(0)->mScratch.Get()[3], 0.0);
  EXPECT_EQ(*plug.InputConnection(0)->mSlot, plug.InputConnection(0)->mScratch.Get());
}

TEST(ProcessingFrame, DoubleBindingHandsTheHostsOwnBuffersInOrder) {
  TestPlug plug;
  Prepare(plug, 64);
  std::vector<double> in0 = Ramp<double>(64, 0.1), in1 = Ramp<double>(64, 0.2);
  std::vector<double> out0(64), out1(64);
  double* inputs[] = {in0.data(), in1.data()};
  double* outputs[] = {out0.data(), out1.data()};
  plug.ProcessHostBlock(inputs, outputs, 64);
  EXPECT_EQ(plug.mProcessFrames, std::vector<int>{64});
  EXPECT_EQ(plug.mSeenInputs, (std::vector<double*>{in0.data(), in1.data()}));
  EXPECT_EQ(plug.mSeenOutputs, (std::vector<double*>{out0.data(), out1.data()}));
  EXPECT_EQ(out0, in0);
  EXPECT_EQ(out1, in1);
}

TEST(ProcessingFrame, FloatBindingWidensExactlyAndNarrowsToNearest) {
  TestPlug plug;
  Prepare(plug, 32);
  std::vector<float> in0 = Ramp<float>(32, 0.1), in1 = Ramp<float>(32, -0.3);
  std::vector<float> out0(32, 7.0f), out1(32, 7.0f);
  float* inputs[] = {in0.data(), in1.data()};
  float* outputs[] = {out0.data(), out1.data()};
  std::vector<double> seen;
  plug.mProcess = [&](double** ins, double** outs, int n) {
    seen.assign(ins[0], ins[0] + n);
    for (int s = 0; s < n; ++s) {
      outs[0][s] = 1.0 / 3.0 + s;
      outs[1][s] = -1e-10;
    }
  };
  plug.ProcessHostBlock(inputs, outputs, 32);
  for (int s = 0; s < 32; ++s) {
    EXPECT_EQ(seen[s], static_cast<double>(in0[s]));
    EXPECT_EQ(out0[s], static_cast<float>(1.0 / 3.0 + s));
    EXPECT_EQ(out1[s], -1e-10f);
  }
  EXPECT_EQ(plug.mSeenOutputs[0], plug.OutputConnection(0)->mScratch.Get());
}

TEST(ProcessingFrame, AccumulatingAddsInFloatArithmetic) {
  TestPlug plug;
  Prepare(plug, 16);
  std::vector<float> in(16, 0.25f), out0(16, 0.5f), out1(16, 0.5f);
  float* inputs[] = {in.data(), in.data()};
  float* outputs[] = {out0.data(), out1.data()};
  plug.ProcessHostBlockAccumulating(inputs, outputs, 16);
  EXPECT_EQ(out0, std::vector<float>(16, 0.75f));
  EXPECT_EQ(out1, std::vector<float>(16, 0.75f));

  // The sum is rounded as a float sum: 1 + 2^-24 in float arithmetic is 1.
  plug.mProcess = [](double**, double** outs, int n) {
    for (int s = 0; s < n; ++s) outs[0][s] = outs[1][s] = 1.0 / (1 << 24);
  };
  std::vector<float> one0(16, 1.0f), one1(16, 1.0f);
  float* ones[] = {one0.data(), one1.data()};
  plug.ProcessHostBlockAccumulating(inputs, ones, 16);
  EXPECT_EQ(one0, std::vector<float>(16, 1.0f));
}

TEST(ProcessingFrame, UnconnectedChannelsTakeNoHostEntryAndTouchNoHostBuffer) {
  for (bool floats : {true, false}) {
    SCOPED_TRACE(floats ? "float" : "double");
    TestPlug plug;
    Prepare(plug, 8);
    plug.SetInputsConnected(0, 1, false);
    plug.SetOutputsConnected(0, 1, false);
    std::vector<double> seen1;
    plug.mProcess = [&](double** ins, double** outs, int n) {
      seen1.assign(ins[0], ins[0] + n);
      for (int s = 0; s < n; ++s) {
        outs[0][s] = 11.0;  // unconnected
        outs[1][s] = ins[1][s] * 2.0;
      }
    };
    // The host arrays hold one entry each, for the connected channel 1.
    std::vector<float> fin(8, 0.5f), fout(8, 3.0f);
    std::vector<double> din(8, 0.5), dout(8, 3.0);
    if (floats) {
      float* inputs[] = {fin.data()};
      float* outputs[] = {fout.data()};
      plug.ProcessHostBlock(inputs, outputs, 8);
      EXPECT_EQ(fout, std::vector<float>(8, 1.0f));
    } else {
      double* inputs[] = {din.data()};
      double* outputs[] = {dout.data()};
      plug.ProcessHostBlock(inputs, outputs, 8);
      EXPECT_EQ(dout, std::vector<double>(8, 1.0));
    }
    // Channel 0 reads its cleared scratch; what it writes stays in its scratch.
    EXPECT_EQ(seen1, std::vector<double>(8, 0.0));
    EXPECT_EQ(plug.mSeenInputs[0], plug.InputConnection(0)->mScratch.Get());
    EXPECT_EQ(plug.mSeenOutputs[0], plug.OutputConnection(0)->mScratch.Get());
    EXPECT_EQ(plug.OutputConnection(0)->mScratch.Get()[7], 11.0);
  }
}

TEST(ProcessingFrame, UnconnectedInputKeepsTheLastBlockWidenedIntoIt) {
  TestPlug plug;
  Prepare(plug, 4);
  std::vector<float> in0 = {1, 2, 3, 4}, in1 = {5, 6, 7, 8}, out0(4), out1(4);
  float* inputs[] = {in0.data(), in1.data()};
  float* outputs[] = {out0.data(), out1.data()};
  plug.ProcessHostBlock(inputs, outputs, 4);
  plug.SetInputsConnected(1, 1, false);
  plug.ProcessHostBlock(inputs, outputs, 4);
  EXPECT_EQ(out1, (std::vector<float>{5, 6, 7, 8}));
  plug.ApplyBlockSize(8);
  plug.ProcessHostBlock(inputs, outputs, 4);
  EXPECT_EQ(out1, (std::vector<float>{0, 0, 0, 0}));
}

TEST(ProcessingFrame, ZeroFramesProcessNothingThroughTheHostEntry) {
  TestPlug plug;
  Prepare(plug, 8);
  std::vector<float> in(8, 0.5f), out(8, 3.0f);
  float* inputs[] = {in.data(), in.data()};
  float* outputs[] = {out.data(), out.data()};
  for (int frames : {0, -1, -1024}) {
    plug.ProcessHostBlock(inputs, outputs, frames);
    plug.ProcessHostBlockAccumulating(inputs, outputs, frames);
    double* none[] = {nullptr, nullptr};
    plug.ProcessHostBlock(none, none, frames);
  }
  EXPECT_TRUE(plug.mProcessFrames.empty());
  EXPECT_EQ(out, std::vector<float>(8, 3.0f));

  // The processing call itself hands 0 frames on and touches no sample.
  plug.BindInputBuffers(0, 2, inputs, 0);
  plug.BindOutputBuffers(0, 2, outputs);
  plug.ProcessBlock<float>(0);
  plug.ProcessBlockAccumulating(0);
  EXPECT_EQ(plug.mProcessFrames, (std::vector<int>{0, 0}));
  EXPECT_EQ(out, std::vector<float>(8, 3.0f));
}

TEST(ProcessingFrame, LongHostBlocksRunInPiecesOfAtMostTheBlockSize) {
  constexpr int kBlock = 1024, kFrames = 2500;
  const std::vector<int> pieces = {1024, 1024, 452};
  {
    TestPlug plug;
    Prepare(plug, kBlock);
    std::vector<float> in0 = Ramp<float>(kFrames, 0.0), in1 = Ramp<float>(kFrames, 1.0);
    std::vector<float> out0(kFrames, 0.5f), out1(kFrames, 0.5f);
    float* inputs[] = {in0.data(), in1.data()};
    float* outputs[] = {out0.data(), out1.data()};
    plug.ProcessHostBlock(inputs, outputs, kFrames);
    EXPECT_EQ(plug.mProcessFrames, pieces);
    EXPECT_EQ(out0, in0);
    EXPECT_EQ(out1, in1);
    plug.ProcessHostBlockAccumulating(inputs, outputs, kFrames);
    for (int s = 0; s < kFrames; ++s) ASSERT_EQ(out1[s], in1[s] + in1[s]) << s;
  }
  {
    TestPlug plug;
    Prepare(plug, kBlock);
    plug.SetInputsConnected(0, 1, false);
    std::vector<double> in1 = Ramp<double>(kFrames, 1.0), out0(kFrames), out1(kFrames);
    double* inputs[] = {in1.data()};
    double* outputs[] = {out0.data(), out1.data()};
    std::vector<double*> seenIn1, seenOut0;
    plug.mProcess = [&](double** ins, double** outs, int n) {
      seenIn1.push_back(ins[1]);
      seenOut0.push_back(outs[0]);
      plug.IPlugBase::ProcessDoubleBlock(ins, outs, n);
    };
    plug.ProcessHostBlock(inputs, outputs, kFrames);
    EXPECT_EQ(plug.mProcessFrames, pieces);
    EXPECT_EQ(seenIn1, (std::vector<double*>{in1.data(), in1.data() + 1024, in1.data() + 2048}));
    EXPECT_EQ(seenOut0, (std::vector<double*>{out0.data(), out0.data() + 1024, out0.data() + 2048}));
    EXPECT_EQ(out1, in1);
    EXPECT_EQ(out0, std::vector<double>(kFrames, 0.0));
  }
}

TEST(ProcessingFrame, NothingIsProcessedBeforeABlockSizeIsSet) {
  TestPlug plug;
  plug.SetInputsConnected(0, 2, true);
  plug.SetOutputsConnected(0, 2, true);
  std::vector<float> buffer(4, 3.0f);
  float* buffers[] = {buffer.data(), buffer.data()};
  plug.ProcessHostBlock(buffers, buffers, 4);
  EXPECT_TRUE(plug.mProcessFrames.empty());
}

TEST(ProcessingFrame, ConnectionRangesAreCutAtTheChannelCount) {
  const struct {
    int first, count;
    std::vector<bool> connected;
  } cases[] = {
      {0, 4, {false, false, false, false}}, {1, 10, {true, false, false, false}},
      {4, 1, {true, true, true, true}},     {-1, 2, {false, true, true, true}},
      {2, 0, {true, true, true, true}},     {3, -2, {true, true, true, true}},
  };
  for (const auto& c : cases) {
    TestPlug plug("4-4");
    plug.SetInputsConnected(0, 4, true);
    plug.SetOutputsConnected(0, 4, true);
    plug.SetInputsConnected(c.first, c.count, false);
    plug.SetOutputsConnected(c.first, c.count, false);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(plug.InputConnection(i)->mIsConnected, c.connected[i])
          << c.first << " " << c.count << " " << i;
      EXPECT_EQ(plug.OutputConnection(i)->mIsConnected, c.connected[i])
          << c.first << " " << c.count << " " << i;
    }
  }
}

TEST(ProcessingFrame, LimitExtraChannelsLeavesTwoByTwoAloneAndTrimsWiderInputs) {
  TestPlug stereo;
  stereo.SetInputsConnected(0, 1, true);
  stereo.LimitExtraChannels();
  EXPECT_TRUE(stereo.InputConnection(0)->mIsConnected);
  EXPECT_FALSE(stereo.InputConnection(1)->mIsConnected);
  EXPECT_FALSE(stereo.OutputConnection(0)->mIsConnected);

  TestPlug wide("4-4");
  wide.SetInputsConnected(0, 4, true);
  wide.LimitExtraChannels();
  const bool inputs[] = {true, true, false, false}, outputs[] = {false, false, true, true};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(wide.InputConnection(i)->mIsConnected, inputs[i]) << i;
    EXPECT_EQ(wide.OutputConnection(i)->mIsConnected, outputs[i]) << i;
  }
}

// A host block binds exactly as the general binding calls do, whether every channel is connected or not, and
// after channels are disconnected and connected again: same outputs, slots, pointers seen and 32-bit targets.
TEST(ProcessingFrame, HostBlocksBindLikeTheGeneralBindingCalls) {
  enum class EPath { kFloat, kAccumulate, kDouble };
  const struct {
    int disconnectedInput, disconnectedOutput;  // -1: none
  } steps[] = {{-1, -1}, {1, -1}, {-1, -1}, {-1, 0}, {0, 1}, {-1, -1}};
  for (EPath path : {EPath::kFloat, EPath::kAccumulate, EPath::kDouble}) {
    SCOPED_TRACE(static_cast<int>(path));
    TestPlug viaHostBlock, viaCalls;
    for (TestPlug* plug : {&viaHostBlock, &viaCalls}) {
      Prepare(*plug, 16);
      plug->mProcess = [](double** ins, double** outs, int n) {
        for (int s = 0; s < n; ++s) {
          outs[0][s] = ins[0][s] * 3.0 + ins[1][s];
          outs[1][s] = ins[1][s] / 7.0;
        }
      };
    }
    int step = 0;
    for (const auto& c : steps) {
      SCOPED_TRACE(step++);
      std::vector<float> f[2][4];
      std::vector<double> d[2][4];
      float* fPointers[2][4];
      double* dPointers[2][4];
      for (int plug = 0; plug < 2; ++plug) {
        for (int b = 0; b < 4; ++b) {
          f[plug][b] = Ramp<float>(16, 0.25 * b - 0.4);
          d[plug][b] = Ramp<double>(16, 0.25 * b - 0.4);
          fPointers[plug][b] = f[plug][b].data();
          dPointers[plug][b] = d[plug][b].data();
        }
      }
      for (TestPlug* plug : {&viaHostBlock, &viaCalls}) {
        plug->SetInputsConnected(0, 2, true);
        plug->SetOutputsConnected(0, 2, true);
        if (c.disconnectedInput >= 0) plug->SetInputsConnected(c.disconnectedInput, 1, false);
        if (c.disconnectedOutput >= 0) plug->SetOutputsConnected(c.disconnectedOutput, 1, false);
      }
      // Host arrays hold one entry per connected channel: inputs first, outputs after them.
      const int nIn = c.disconnectedInput >= 0 ? 1 : 2;
      if (path == EPath::kDouble) {
        viaHostBlock.ProcessHostBlock(dPointers[0], dPointers[0] + nIn, 16);
        viaCalls.BindInputBuffers(0, 2, dPointers[1], 16);
        viaCalls.BindOutputBuffers(0, 2, dPointers[1] + nIn);
        viaCalls.ProcessBlock<double>(16);
      } else {
        if (path == EPath::kAccumulate) {
          viaHostBlock.ProcessHostBlockAccumulating(fPointers[0], fPointers[0] + nIn, 16);
        } else {
          viaHostBlock.ProcessHostBlock(fPointers[0], fPointers[0] + nIn, 16);
        }
        viaCalls.BindInputBuffers(0, 2, fPointers[1], 16);
        viaCalls.BindOutputBuffers(0, 2, fPointers[1] + nIn);
        if (path == EPath::kAccumulate) {
          viaCalls.ProcessBlockAccumulating(16);
        } else {
          viaCalls.ProcessBlock<float>(16);
        }
      }
      for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(f[0][b], f[1][b]) << b;
        EXPECT_EQ(d[0][b], d[1][b]) << b;
      }
      auto sameRecords = [&](int i, bool input) {
        const TestPlug* plugs[] = {&viaHostBlock, &viaCalls};
        double* slots[2];
        const void* targets[2] = {nullptr, nullptr};
        for (int p = 0; p < 2; ++p) {
          if (input) {
            slots[p] = *plugs[p]->InputConnection(i)->mSlot;
          } else {
            slots[p] = *plugs[p]->OutputConnection(i)->mSlot;
            targets[p] = plugs[p]->OutputConnection(i)->mFloatTarget;
          }
        }
        // Host buffers differ between the two plug-ins by design; each plug-in's scratch is its own.
        auto place = [&](int p, const void* pointer) -> int {
          for (int b = 0; b < 4; ++b) {
            if (pointer == fPointers[p][b] || pointer == dPointers[p][b]) return b;
          }
          const IPlugBase* plug = plugs[p];
          if (pointer == plug->InputConnection(i)->mScratch.Get()) return 20;
          if (pointer == plug->OutputConnection(i)->mScratch.Get()) return 30;
          return pointer == nullptr ? 40 : 50;
        };
        EXPECT_EQ(place(0, slots[0]), place(1, slots[1])) << (input ? "input " : "output ") << i;
        if (!input && path != EPath::kDouble) {
          EXPECT_EQ(place(0, targets[0]), place(1, targets[1])) << "output " << i;
        }
      };
      for (int i = 0; i < 2; ++i) {
        sameRecords(i, true);
        sameRecords(i, false);
      }
    }
  }
}

}  // namespace
