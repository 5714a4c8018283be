// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/torture/TortureHost.h"

namespace torture {
namespace {

TEST(Lifecycle, DescriptorDescribesAStereoEffectWithAllCallbacks) {
  ASSERT_TRUE(ModuleUnderTest().IsOpen()) << ModuleUnderTest().Error();
  Instance plug;
  ASSERT_TRUE(plug.IsValid());
  const AEffect* e = plug.Effect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_NE(e->dispatcher, nullptr);
  EXPECT_NE(e->process, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
  EXPECT_NE(e->getParameter, nullptr);
  EXPECT_NE(e->setParameter, nullptr);
  EXPECT_EQ(e->flags & (effFlagsCanReplacing | effFlagsCanDoubleReplacing),
            effFlagsCanReplacing | effFlagsCanDoubleReplacing);
  EXPECT_GE(e->numPrograms, 1);
  EXPECT_GT(e->numParams, 0);
}

// Hundred instances live at once in four fates: never opened, opened only, opened and resumed, and resumed,
// suspended and resumed again. They process in turns and close in an order unrelated to their creation.
TEST(Lifecycle, HundredInterleavedInstancesOpenProcessAndCloseInAnyOrder) {
  constexpr int kCount = 100;
  std::vector<Instance*> plugs;
  std::set<const void*> objects;
  for (int i = 0; i < kCount; ++i) {
    plugs.push_back(new Instance());
    ASSERT_TRUE(plugs.back()->IsValid()) << "instance " << i;
    objects.insert(plugs.back()->Effect()->object);
    const int fate = i % 4;
    if (fate >= 1) plugs[i]->Open();
    if (fate >= 2) {
      plugs[i]->SetSampleRate(i % 3 == 0 ? 48000.0f : 44100.0f);
      plugs[i]->SetBlockSize(128 + i);
      plugs[i]->Resume();
    }
    if (fate == 3) {
      plugs[i]->Suspend();
      plugs[i]->Resume();
    }
  }
  EXPECT_EQ(objects.size(), static_cast<size_t>(kCount));

  StereoBuffers<float> io(256);
  Noise noise(7);
  for (int round = 0; round < 4; ++round) {
    for (int i = kCount - 1; i >= 0; --i) {
      if (i % 4 < 2) continue;
      for (int c = 0; c < 2; ++c)
        for (float& x : io.in[c]) x = static_cast<float>(0.5 * noise.Signed());
      plugs[i]->ProcessFloat(io.inPtr, io.outPtr, 128 + i);
      ASSERT_EQ(FirstBadSample(io.outPtr, 128 + i), -1) << "instance " << i << " round " << round;
    }
  }
  // Odd ones first, then even ones from the end.
  for (int i = 1; i < kCount; i += 2) delete plugs[i];
  for (int i = kCount - 2; i >= 0; i -= 2) delete plugs[i];
}

TEST(Lifecycle, ClosingAResumedInstanceMidStreamIsClean) {
  for (int blocks : {0, 1, 7}) {
    Instance plug;
    ASSERT_TRUE(plug.IsValid());
    plug.Start(44100.0f, 512);
    StereoBuffers<double> io(512);
    for (int b = 0; b < blocks; ++b) plug.ProcessDouble(io.inPtr, io.outPtr, 512);
    plug.Dispatch(effClose);  // still resumed
  }
}

TEST(Lifecycle, MainAliasMakesAWorkingInstance) {
  VstPluginMainProc alias = FindVst2Entry(ModuleUnderTest(), Vst2EntryName::kMain);
  if (!alias) GTEST_SKIP() << "the library exports no main";
  Instance plug(alias);
  ASSERT_TRUE(plug.IsValid());
  EXPECT_EQ(plug.Effect()->magic, kEffectMagic);
  plug.Start(44100.0f, 64);
  StereoBuffers<float> io(64);
  plug.ProcessFloat(io.inPtr, io.outPtr, 64);
  EXPECT_EQ(FirstBadSample(io.outPtr, 64), -1);
}

TEST(Lifecycle, NoRequestReachesTheHostFromTheAudioCallbacks) {
  const long before = Host().RequestsDuringAudio();
  Instance plug;
  plug.Start(44100.0f, 256);
  StereoBuffers<float> f(256);
  StereoBuffers<double> d(256);
  for (int b = 0; b < 8; ++b) {
    plug.ProcessFloat(f.inPtr, f.outPtr, 256);
    plug.ProcessDouble(d.inPtr, d.outPtr, 256);
    plug.ProcessAccumulating(f.inPtr, f.outPtr, 256);
  }
  EXPECT_EQ(Host().RequestsDuringAudio(), before);
}

}  // namespace
}  // namespace torture
