// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "tests/hosts/AllocationCounter.h"
#include "tests/torture/TortureHost.h"

namespace torture {
namespace {

TEST(Allocation, CountingSeesAllocationsOfTheTestAndOfThePlugin) {
  {
    AllocationCount count;
    void* (*volatile allocate)(size_t) = std::malloc;
    void* block = allocate(24);
    std::free(block);
    void* (*volatile make)(size_t) = ::operator new;
    void* object = make(16);
    ::operator delete(object);
    EXPECT_GE(count.Stop(), 2);
  }
  AllocationCount count;
  Instance plug;  // the plug-in builds its object inside the library
  const long made = count.Stop();
  ASSERT_TRUE(plug.IsValid());
  EXPECT_GT(made, 0) << "allocations made inside the plug-in library are not seen";
}

// The process's totals follow the blocks held, and recording lists the blocks still held when it stops.
TEST(Allocation, TotalsFollowHeldBlocksAndRecordingListsThoseStillHeld) {
  void* (*volatile allocate)(size_t) = std::malloc;
  std::vector<int64_t> sizes(kMaxRecorded);
  const AllocationSnapshot before = CurrentAllocations();
  StartRecording();
  void* kept = allocate(1000);
  void* dropped = allocate(3000);
  std::free(dropped);
  const int recorded = StopRecording(sizes.data(), kMaxRecorded);
  const AllocationSnapshot held = CurrentAllocations();
  std::free(kept);
  const AllocationSnapshot after = CurrentAllocations();
  EXPECT_EQ(held.allocations - before.allocations, 2);
  EXPECT_GE(held.liveBytes - before.liveBytes, 1000);
  EXPECT_LT(held.liveBytes - before.liveBytes, 3000);
  EXPECT_EQ(after.liveBytes, before.liveBytes);
  ASSERT_EQ(recorded, 1);
  EXPECT_EQ(sizes[0], held.liveBytes - before.liveBytes);
}

// After the first block of each callback, no callback allocates, whatever the frame counts and samples.
TEST(Allocation, AudioCallbacksAllocateNothingAfterTheFirstBlock) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int blockSize : {64, 512, 4096, 5000}) {
    SCOPED_TRACE(::testing::Message() << "block size " << blockSize);
    Instance plug;
    plug.Start(44100.0f, blockSize);
    const int longest = 3 * blockSize + 7;
    StereoBuffers<float> f(longest);
    StereoBuffers<double> d(longest);
    Noise noise(12);
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < longest; ++i) {
        d.in[c][i] = 0.6 * noise.Signed();
        f.in[c][i] = static_cast<float>(d.in[c][i]);
      }
    d.in[0][longest / 2] = nan;
    plug.ProcessFloat(f.inPtr, f.outPtr, blockSize);
    plug.ProcessAccumulating(f.inPtr, f.outPtr, blockSize);
    plug.ProcessDouble(d.inPtr, d.outPtr, blockSize);

    std::vector<int> frames;
    for (int i = 0; i < 60; ++i) frames.push_back(i % 10 == 0 ? 0 : 1 + noise.Below(longest));
    frames.push_back(longest);
    AllocationCount count;
    for (int n : frames) {
      plug.ProcessFloat(f.inPtr, f.outPtr, n);
      plug.ProcessAccumulating(f.inPtr, f.outPtr, n);
      plug.ProcessDouble(d.inPtr, d.outPtr, n);
      plug.ProcessFloat(f.inPtr, f.inPtr, n);
      plug.ProcessDouble(d.inPtr, d.inPtr, n);
    }
    EXPECT_EQ(count.Stop(), 0);
  }
}

TEST(Allocation, ParameterCallbacksNeverAllocate) {
  Instance plug;
  const int params = plug.Effect()->numParams;
  AllocationCount count;
  for (float value : {0.0f, 1.0f, 0.5f, -3.0f, 7.0f, std::numeric_limits<float>::quiet_NaN()}) {
    for (int p = -2; p <= params + 1; ++p) {
      plug.SetParameter(p, value);
      volatile float read = plug.GetParameter(p);
      (void)read;
    }
  }
  EXPECT_EQ(count.Stop(), 0);
  plug.Start(44100.0f, 256);
  AllocationCount opened;
  for (int p = 0; p < params; ++p) {
    plug.SetParameter(p, 0.25f);
    volatile float read = plug.GetParameter(p);
    (void)read;
  }
  EXPECT_EQ(opened.Stop(), 0);
}

}  // namespace
}  // namespace torture
