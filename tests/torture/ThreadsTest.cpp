// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <set>
#include <thread>
#include <vector>

#include "tests/torture/BlockRunner.h"

namespace torture {
namespace {

// Threads wait here until all of them are ready, so their work overlaps.
class StartLine {
 public:
  explicit StartLine(int parties) : mWaiting(parties) {}
  void Arrive() {
    mWaiting.fetch_sub(1);
    while (mWaiting.load() > 0) std::this_thread::yield();
  }

 private:
  std::atomic<int> mWaiting;
};

TEST(Threads, InstancesCreatedFromSeveralThreadsAtOnceAreIndependent) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 25;
  StartLine start(kThreads);
  std::vector<std::vector<Instance*>> made(kThreads);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.Arrive();
      StereoBuffers<float> io(64);
      for (int i = 0; i < kPerThread; ++i) {
        Instance* plug = new Instance();
        if (!plug->IsValid()) {
          failures.fetch_add(1);
          delete plug;
          continue;
        }
        if (i % 3 != 0) {
          plug->Start(44100.0f + 1000.0f * t, 64);
          plug->ProcessFloat(io.inPtr, io.outPtr, 64);
          if (FirstBadSample(io.outPtr, 64) != -1) failures.fetch_add(1);
        }
        if (i % 5 == 4) {
          delete plug;  // some close at once, on the thread that made them
        } else {
          made[t].push_back(plug);
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  std::set<const void*> objects;
  size_t count = 0;
  for (auto& list : made) {
    for (Instance* plug : list) {
      objects.insert(plug->Effect()->object);
      ++count;
    }
  }
  EXPECT_EQ(objects.size(), count);
  for (auto& list : made)
    for (Instance* plug : list) delete plug;
}

// One thread processes 500 blocks of 32 frames; a second sets every parameter 500 times, to values inside and
// outside 0..1 and to NaN; a third saves and loads state and reads parameter texts meanwhile.
TEST(Threads, ParametersAndStateChangeWhileBlocksAreProcessed) {
  for (Path path : {Path::kFloat, Path::kDouble, Path::kAccumulating}) {
    SCOPED_TRACE(PathName(path));
    Instance plug;
    plug.Start(44100.0f, 32);
    const int params = plug.Effect()->numParams;
    StartLine start(3);
    std::atomic<bool> processing{true};
    std::atomic<long> badBlocks{0}, failedLoads{0}, loads{0};

    std::thread audio([&] {
      BlockRunner runner(plug, path, path == Path::kDouble, 32);
      Noise noise(1);
      std::vector<double> left(32), right(32);
      start.Arrive();
      for (int b = 0; b < 500; ++b) {
        for (int i = 0; i < 32; ++i) {
          left[i] = 0.7 * noise.Signed();
          right[i] = 0.7 * noise.Signed();
        }
        const double* in[2] = {left.data(), right.data()};
        if (runner.Process(in, nullptr, 32) != -1) badBlocks.fetch_add(1);
      }
      processing.store(false);
    });
    std::thread automation([&] {
      const float values[] = {
          0.0f, 0.3f, 1.0f, 0.77f, -0.25f, 1.25f, std::numeric_limits<float>::quiet_NaN(), 0.5f, -1.0f, 2.0f};
      start.Arrive();
      for (int round = 0; round < 500; ++round) {
        for (int p = 0; p < params; ++p) {
          plug.SetParameter(p, values[(round + p) % 10]);
          volatile float read = plug.GetParameter(p);
          (void)read;
        }
      }
    });
    std::thread state([&] {
      char text[64];
      start.Arrive();
      // At least a few rounds, however soon the audio thread is done.
      for (int round = 0; processing.load() || round < 20; ++round) {
        const bool program = loads.load() % 4 != 3;
        const std::vector<uint8_t> bytes = plug.GetChunk(ChunkKind(program));
        if (plug.LoadChunk(program, bytes.data(), static_cast<VstIntPtr>(bytes.size())) != 1)
          failedLoads.fetch_add(1);
        loads.fetch_add(1);
        for (int p = 0; p < params; ++p) {
          plug.Dispatch(effGetParamDisplay, p, 0, text);
          plug.Dispatch(effGetParamName, p, 0, text);
        }
      }
    });
    audio.join();
    automation.join();
    state.join();
    EXPECT_EQ(badBlocks.load(), 0) << "blocks with NaN, infinity or subnormal output";
    EXPECT_EQ(failedLoads.load(), 0) << "of " << loads.load() << " loads";
    EXPECT_GT(loads.load(), 0);
  }
}

// Several instances on several threads at once, each with its own host requests.
TEST(Threads, InstancesProcessOnSeparateThreadsWithoutInterference) {
  constexpr int kThreads = 3;
  std::vector<std::vector<float>> results(kThreads);
  StartLine start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Instance plug;
      plug.Start(44100.0f, 128);
      StereoBuffers<float> io(128);
      Noise noise(42);  // the same signal on every thread
      start.Arrive();
      for (int b = 0; b < 300; ++b) {
        for (int c = 0; c < 2; ++c)
          for (float& x : io.in[c]) x = static_cast<float>(0.5 * noise.Signed());
        plug.ProcessFloat(io.inPtr, io.outPtr, 128);
        results[t].insert(results[t].end(), io.out[0].begin(), io.out[0].end());
        if (b % 50 == 0) plug.GetChunk(Vst2Chunk::kProgram);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(results[t], results[0]) << "thread " << t;
}

}  // namespace
}  // namespace torture
