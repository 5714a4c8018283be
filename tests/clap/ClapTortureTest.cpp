// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP plug-in under a careless host: calls out of order, blocks of odd lengths with events of odd times
// and values, parameters and state from a second thread while blocks run, and no heap allocation in process.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "tests/clap/ClapTestSupport.h"
#include "tests/hosts/AllocationCounter.h"

namespace clap_test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t kParams = 5;

template <class Sample>
struct Buffers {
  std::vector<Sample> channels[4];
  Sample* in[2];
  Sample* out[2];
  explicit Buffers(size_t frames) {
    const Signal signal(frames, 11);
    channels[0].assign(signal.left.begin(), signal.left.end());
    channels[1].assign(signal.right.begin(), signal.right.end());
    channels[2].assign(frames, Sample(0));
    channels[3].assign(frames, Sample(0));
    for (int c = 0; c < 2; ++c) {
      in[c] = channels[c].data();
      out[c] = channels[2 + c].data();
    }
  }
  bool OutputFinite(size_t frames) const {
    for (int c = 2; c < 4; ++c)
      for (size_t i = 0; i < frames; ++i)
        if (!std::isfinite(channels[c][i])) return false;
    return true;
  }
};

// Events at odd times (past the block and out of order among them) with values at and beyond the ranges.
void AddOddEvents(ClapEventList& events, uint32_t frames) {
  const double values[] = {kInf, -kInf, kNaN, 1e300, -1e300, 4.9e-324, 0.0, 19999.0};
  for (uint32_t i = 0; i < 12; ++i) {
    const uint32_t time = i % 3 == 0 ? frames + i : (frames * (11 - i)) / 12;
    events.AddParamValue(time, i % 6, values[i % 8]);
  }
}

void ExpectValuesInRange(ClapInstance& plug) {
  for (const clap_param_info_t& info : plug.ParamInfos()) {
    const double value = plug.ParamValue(info.id);
    EXPECT_GE(value, info.min_value) << info.name;
    EXPECT_LE(value, info.max_value) << info.name;
  }
}

TEST(ClapTorture, OddBlockLengthsAndEventsKeepTheOutputFinite) {
  const uint32_t lengths[] = {1, 2, 3, 17, 127, 4095, 4097, 65537, 70000};
  ClapSubject clap;
  ASSERT_EQ(clap.Load(), "");
  ASSERT_TRUE(clap.instance.Start(44100.0, 512));
  Buffers<double> d(70000);
  Buffers<float> f(70000);
  for (uint32_t frames : lengths) {
    SCOPED_TRACE(testing::Message() << frames << " frames");
    ClapEventList events;
    AddOddEvents(events, frames);
    EXPECT_EQ(clap.instance.Process(d.in, d.out, frames, &events), CLAP_PROCESS_CONTINUE);
    EXPECT_TRUE(d.OutputFinite(frames));
    EXPECT_EQ(clap.instance.Process(f.in, f.out, frames, &events), CLAP_PROCESS_CONTINUE);
    EXPECT_TRUE(f.OutputFinite(frames));
    ExpectValuesInRange(clap.instance);
  }
}

TEST(ClapTorture, CallsOutOfOrderAreSafe) {
  ClapSubject clap;
  ASSERT_EQ(clap.Load(), "");
  ClapInstance& plug = clap.instance;
  Buffers<double> d(600);
  // Before any activation, deactivation and reset without activation, stopping what never started.
  EXPECT_EQ(plug.Process(d.in, d.out, 600), CLAP_PROCESS_CONTINUE);
  EXPECT_TRUE(d.OutputFinite(600));
  plug.Deactivate();
  plug.Reset();
  plug.StopProcessing();
  // Refused activations change nothing; a second activation is a new rate and block size.
  EXPECT_FALSE(plug.Activate(0.0, 1, 512));
  EXPECT_FALSE(plug.Activate(-44100.0, 1, 512));
  EXPECT_FALSE(plug.Activate(kNaN, 1, 512));
  EXPECT_FALSE(plug.Activate(kInf, 1, 512));
  EXPECT_FALSE(plug.Activate(44100.0, 1, 0));
  EXPECT_TRUE(plug.Activate(44100.0, 1, 512));
  EXPECT_TRUE(plug.Activate(192000.0, 1, 0xFFFFFFFFu));
  EXPECT_TRUE(plug.StartProcessing());
  EXPECT_TRUE(plug.StartProcessing());
  EXPECT_EQ(plug.Process(d.in, d.out, 600), CLAP_PROCESS_CONTINUE);
  EXPECT_TRUE(d.OutputFinite(600));
  plug.Deactivate();
  plug.Deactivate();
  EXPECT_EQ(plug.Process(d.in, d.out, 600), CLAP_PROCESS_CONTINUE);
  EXPECT_TRUE(d.OutputFinite(600));

  // Blocks the plug-in cannot use: refused, and the parameter events in them still count.
  const clap_plugin_t* plugin = plug.Plugin();
  Buffers<float> f(64);
  ClapEventList change, restore;
  change.AddParamValue(3, 0, 5000.0);
  restore.AddParamValue(0, 0, 1000.0);
  clap_audio_buffer_t in{nullptr, d.in, 2, 0, 0}, out{nullptr, d.out, 2, 0, 0};
  clap_audio_buffer_t mono{nullptr, d.out, 1, 0, 0}, none{nullptr, nullptr, 2, 0, 0},
      narrow{f.out, nullptr, 2, 0, 0};
  double* holes[2] = {d.out[0], nullptr};
  clap_audio_buffer_t holed{nullptr, holes, 2, 0, 0};
  struct Bad {
    const clap_audio_buffer_t* input;
    clap_audio_buffer_t* output;
    uint32_t inputs, outputs;
  } bad[] = {{&in, &mono, 1, 1},    {&in, &none, 1, 1},   {&in, &out, 0, 1},    {&in, &out, 1, 0},
             {nullptr, &out, 1, 1}, {&in, nullptr, 1, 1}, {&in, &narrow, 1, 1}, {&in, &holed, 1, 1}};
  for (const Bad& b : bad) {
    clap_process_t process{};
    process.frames_count = 64;
    process.audio_inputs = b.input;
    process.audio_outputs = b.output;
    process.audio_inputs_count = b.inputs;
    process.audio_outputs_count = b.outputs;
    process.in_events = change.Input();
    EXPECT_EQ(plugin->process(plugin, &process), CLAP_PROCESS_ERROR);
    EXPECT_EQ(plug.ParamValue(0), 5000.0);
    plug.Flush(restore);
  }
  EXPECT_EQ(plugin->process(plugin, nullptr), CLAP_PROCESS_ERROR);
}

TEST(ClapTorture, ProcessAllocatesNothing) {
  for (uint32_t maxFrames : {64u, 512u, 4096u}) {
    SCOPED_TRACE(testing::Message() << maxFrames << " frames at most");
    ClapSubject clap;
    ASSERT_EQ(clap.Load(), "");
    ASSERT_TRUE(clap.instance.Start(48000.0, maxFrames));
    Buffers<double> d(3 * maxFrames);
    Buffers<float> f(3 * maxFrames);
    ClapEventList events;
    AddOddEvents(events, maxFrames);
    const uint32_t lengths[] = {maxFrames, 1, maxFrames - 1, 3 * maxFrames, 0};
    AllocationCount count;
    for (int round = 0; round < 4; ++round) {
      for (uint32_t frames : lengths) {
        clap.instance.Process(d.in, d.out, frames, round % 2 ? &events : nullptr);
        clap.instance.Process(f.in, f.out, frames, round % 2 ? nullptr : &events);
        clap.instance.Process(d.in, d.in, frames, &events);
      }
    }
    EXPECT_EQ(count.Stop(), 0);
  }
}

// A second thread reads, sets and saves parameters and state while blocks run; values stay in range, and what
// was saved loads back.
TEST(ClapTorture, ParametersAndStateFromTheMainThreadWhileProcessingOnTwoThreads) {
  ClapSubject clap;
  ASSERT_EQ(clap.Load(), "");
  ClapInstance& plug = clap.instance;
  ASSERT_TRUE(plug.Start(44100.0, 256));
  std::atomic<bool> running{true};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    Buffers<float> f(256);
    ClapEventList events;
    AddOddEvents(events, 256);
    while (running.load()) {
      plug.Process(f.in, f.out, 256, blocks.load() % 3 == 0 ? &events : nullptr);
      if (!f.OutputFinite(256)) ADD_FAILURE() << "non-finite output";
      ++blocks;
    }
  });
  long rounds = 0;
  while (rounds < 200 || blocks.load() < 200) {
    ClapEventList events;
    events.AddParamValue(0, rounds % kParams, 0.5 * static_cast<double>(rounds % 40) - 10.0);
    plug.Flush(events);
    std::string text;
    plug.ValueText(rounds % kParams, plug.ParamValue(rounds % kParams), &text);
    std::vector<uint8_t> state;
    EXPECT_TRUE(plug.SaveState(&state, 1 + rounds % 9));
    EXPECT_TRUE(plug.LoadState(state, 1 + rounds % 5));
    ++rounds;
  }
  running = false;
  audio.join();
  ExpectValuesInRange(plug);
}

}  // namespace
}  // namespace clap_test
