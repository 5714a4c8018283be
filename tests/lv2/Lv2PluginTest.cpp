// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the built LV2 bundle through lilv as LV2 hosts do and compares every output sample with the VST 2
// plug-in's 32-bit path given the same input, settings, lifecycle calls and block pieces.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/hosts/AllocationCounter.h"
#include "tests/hosts/Lv2Host.h"
#include "tests/lv2/Vst2Reference.h"

namespace {

constexpr const char kUri[] = "urn:quillmere:quillmere";
constexpr double kRate = 44100.0;
// The control port symbols in parameter order; hosts save sessions by these.
const char* const kSymbols[] = {"split", "low_q", "high_q", "low_angle", "high_angle"};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Stereo noise with a loud stretch in every 20000 frames, so the limiter works too.
const std::vector<float>& Input(int channel) {
  static const std::vector<std::vector<float>> signal = [] {
    std::mt19937 random(77);
    std::uniform_real_distribution<float> uniform(-0.8f, 0.8f);
    std::vector<std::vector<float>> channels(2, std::vector<float>(400000));
    for (size_t i = 0; i < channels[0].size(); ++i) {
      const float gain = i % 20000 < 3000 ? 2.5f : 1.0f;
      channels[0][i] = gain * uniform(random);
      channels[1][i] = gain * uniform(random);
    }
    return channels;
  }();
  return signal[static_cast<size_t>(channel)];
}

enum class EStep { kRun, kSet, kActivate, kDeactivate };

struct Step {
  EStep mKind;
  int mIndex;    // frames of a run, or the parameter of a set
  float mValue;  // the control value of a set
};

Step RunOf(int frames) { return {EStep::kRun, frames, 0.0f}; }
Step SetOf(int param, float value) { return {EStep::kSet, param, value}; }
Step Activate() { return {EStep::kActivate, 0, 0.0f}; }
Step Deactivate() { return {EStep::kDeactivate, 0, 0.0f}; }

std::vector<Step> Runs(int count, int frames) {
  return std::vector<Step>(static_cast<size_t>(count), RunOf(frames));
}

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Rendered {
  std::vector<float> mChannels[2];
};

// LV2 side: instantiate, activate, then the steps; each run reads the next frames of the input.
Rendered RenderLv2(const Lv2Host::Features& features, const std::vector<Step>& steps, bool inPlace) {
  Rendered result;
  Lv2Host host;
  EXPECT_TRUE(host.LoadBundle(QUILLMERE_LV2_BUNDLE)) << host.Error();
  EXPECT_TRUE(host.Instantiate(kUri, kRate, features)) << host.Error();
  if (!host.HasInstance()) return result;
  host.Activate();
  size_t cursor = 0;
  std::vector<float> in[2], out[2];
  for (const Step& step : steps) {
    switch (step.mKind) {
      case EStep::kRun: {
        const size_t n = static_cast<size_t>(step.mIndex);
        for (int c = 0; c < 2; ++c) {
          in[c].assign(Input(c).begin() + cursor, Input(c).begin() + cursor + n);
          in[c].push_back(0.0f);  // never an empty vector: its data() may be null
          out[c].assign(n + 1, 0.0f);
        }
        float* inputs[2] = {in[0].data(), in[1].data()};
        float* outputs[2] = {out[0].data(), out[1].data()};
        host.ConnectAudio(inputs, inPlace ? inputs : outputs);
        host.Run(static_cast<uint32_t>(n));
        for (int c = 0; c < 2; ++c) {
          const float* written = inPlace ? in[c].data() : out[c].data();
          result.mChannels[c].insert(result.mChannels[c].end(), written, written + n);
        }
        cursor += n;
        break;
      }
      case EStep::kSet:
        host.SetControl(kSymbols[step.mIndex], step.mValue);
        break;
      case EStep::kActivate:
        host.Activate();
        break;
      case EStep::kDeactivate:
        host.Deactivate();
        break;
    }
  }
  return result;
}

// VST 2 side: open with the block size, resume, then the same steps; a control value goes in as the text of
// its exact value, which the plug-in reads and clamps (a NaN is left out: the LV2 plug-in ignores it).
Rendered RenderVst2(int blockSize, const std::vector<Step>& steps) {
  Rendered result;
  Vst2Reference effect;
  if (!effect.Start(QUILLMERE_VST2_PATH, kRate, blockSize)) {
    ADD_FAILURE() << "cannot start the VST 2 plug-in " << QUILLMERE_VST2_PATH;
    return result;
  }
  size_t cursor = 0;
  std::vector<float> in[2], out[2];
  for (const Step& step : steps) {
    switch (step.mKind) {
      case EStep::kRun: {
        const size_t n = static_cast<size_t>(step.mIndex);
        for (int c = 0; c < 2; ++c) {
          in[c].assign(Input(c).begin() + cursor, Input(c).begin() + cursor + n);
          in[c].push_back(0.0f);
          out[c].assign(n + 1, 0.0f);
        }
        float* inputs[2] = {in[0].data(), in[1].data()};
        float* outputs[2] = {out[0].data(), out[1].data()};
        effect.ProcessFloat(inputs, outputs, static_cast<int>(n));
        for (int c = 0; c < 2; ++c)
          result.mChannels[c].insert(result.mChannels[c].end(), out[c].begin(), out[c].end() - 1);
        cursor += n;
        break;
      }
      case EStep::kSet:
        if (!std::isnan(step.mValue)) {
          char text[64];
          std::snprintf(text, sizeof text, "%.17g", static_cast<double>(step.mValue));
          EXPECT_TRUE(effect.SetParameterText(step.mIndex, text)) << text;
        }
        break;
      case EStep::kActivate:
        effect.Resume();
        break;
      case EStep::kDeactivate:
        effect.Suspend();
        break;
    }
  }
  return result;
}

struct ExactCase {
  const char* mName;
  Lv2Host::Features mFeatures;
  int mVst2BlockSize;  // the VST 2 block size whose pieces the LV2 plug-in must reproduce
  bool mInPlace;
  std::vector<Step> mSteps;
};

std::vector<ExactCase> ExactCases() {
  const Lv2Host::Features none = Lv2Host::NoFeatures();
  const Lv2Host::Features mapOnly = {true, 0};
  auto options = [](int maxBlock) { return Lv2Host::Features{true, maxBlock}; };
  return {
      // The host's maximum is the block size; settings land between runs.
      {"RunsOfTheHostsMaximum", options(512), 512, false,
       Join({{SetOf(0, 2000.0f), SetOf(1, 3.5f), SetOf(4, 1.25f)},
             Runs(30, 512),
             {SetOf(2, -12.0f)},
             Runs(30, 512)})},
      // Ardour runs in place: input and output ports on one buffer.
      {"InPlaceRuns", options(1024), 1024, true,
       Join({{SetOf(3, -2.5f), SetOf(0, 150.0f)}, Runs(40, 1024), {SetOf(0, 9000.0f)}, Runs(30, 700)})},
      // Longer runs than the host announced are processed in pieces of its maximum.
      {"RunsLongerThanTheMaximum", options(256), 256, false,
       Join({Runs(30, 1000), Runs(3, 3000), {RunOf(7)}})},
      // Without options (or without the map they need) a run is processed in pieces of the engine's chunk,
      // 4096 frames, which sounds as the whole run does at any length.
      {"NoFeaturesRunsWhole", none, 10000, false,
       Join({{SetOf(1, -40.0f)}, Runs(10, 2048), Runs(10, 4096), Runs(10, 10000), {RunOf(1), RunOf(8192)}})},
      {"MapWithoutOptions", mapOnly, 5000, false, Join({Runs(16, 5000), {RunOf(3000)}})},
      // A maximum above 8192 is cut to it; the pieces still fall on the engine's chunk boundaries.
      {"HugeMaximum", options(65536), 65536, false, Join({Runs(6, 20000), {RunOf(30000)}})},
      // Single frames and empty runs, as some command-line hosts run.
      {"RunsOf0And1Frames", none, 1, false,
       Join({Runs(100, 1), {RunOf(0), SetOf(0, 500.0f), RunOf(0)}, Runs(200, 1)})},
      {"RunsOf0And1FramesWithOptions", options(64), 64, false,
       Join({Runs(30, 1), {RunOf(0)}, Runs(40, 64), {RunOf(1), RunOf(0), RunOf(63)}, Runs(30, 64)})},
      // NaN is ignored; huge, infinite and tiny values are clamped into range.
      {"ControlValuesClampedNanIgnored", options(512), 512, false,
       Join({{SetOf(0, kNaN), SetOf(3, kNaN)},
             Runs(25, 512),
             {SetOf(0, 1e30f), SetOf(1, -kInf), SetOf(2, kInf), SetOf(3, 1e-45f), SetOf(4, -0.0f)},
             Runs(25, 512),
             {SetOf(0, kNaN), SetOf(1, 5.0f)},
             Runs(25, 512),
             {SetOf(0, -1e30f), SetOf(4, -3e38f)},
             Runs(25, 512)})},
      // deactivate resets the filters; the random placement goes on; values set while inactive count.
      {"ActivateDeactivateSequences", options(512), 512, false,
       Join({Runs(30, 512),
             {Deactivate(), Activate()},
             Runs(30, 512),
             {Deactivate(), SetOf(0, 3000.0f), Activate()},
             Runs(30, 400),
             {Deactivate(), Activate(), Deactivate(), Activate()},
             Runs(30, 512)})},
  };
}

size_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
  }
  return a.size() == b.size() ? std::string::npos : n;
}

TEST(Lv2Plugin, SoundsBitForBitLikeTheVst2FloatPath) {
  for (const ExactCase& c : ExactCases()) {
    SCOPED_TRACE(c.mName);
    const Rendered lv2 = RenderLv2(c.mFeatures, c.mSteps, c.mInPlace);
    const Rendered vst2 = RenderVst2(c.mVst2BlockSize, c.mSteps);
    for (int ch = 0; ch < 2; ++ch) {
      ASSERT_FALSE(lv2.mChannels[ch].empty());
      size_t nonFinite = 0;
      for (float v : lv2.mChannels[ch]) nonFinite += std::isfinite(v) ? 0 : 1;
      EXPECT_EQ(nonFinite, 0u) << "channel " << ch;
      const size_t at = FirstDifference(lv2.mChannels[ch], vst2.mChannels[ch]);
      EXPECT_EQ(at, std::string::npos)
          << "channel " << ch << " differs first at frame " << at << " of " << lv2.mChannels[ch].size();
    }
  }
}

// The comparison above must be able to fail: block pieces other than the VST 2 plug-in's change the output.
TEST(Lv2Plugin, OtherBlockPiecesSoundDifferent) {
  const std::vector<Step> steps = Runs(30, 1000);
  const Rendered lv2 = RenderLv2({true, 256}, steps, false);
  const Rendered vst2 = RenderVst2(1000, steps);
  EXPECT_NE(FirstDifference(lv2.mChannels[0], vst2.mChannels[0]), std::string::npos);
}

TEST(Lv2Plugin, RefusesSampleRatesThatAreNotPositiveAndFinite) {
  const struct {
    double mRate;
    bool mAccepted;
  } cases[] = {{0.0, false},      {-44100.0, false}, {std::nan(""), false},
               {HUGE_VAL, false}, {1.0, true},       {192000.0, true}};
  for (const auto& c : cases) {
    Lv2Host host;
    ASSERT_TRUE(host.LoadBundle(QUILLMERE_LV2_BUNDLE)) << host.Error();
    EXPECT_EQ(host.Instantiate(kUri, c.mRate, {true, 512}), c.mAccepted) << "rate " << c.mRate;
  }
}

// A port left unconnected (null) skips the processing; connected outputs get silence, a missing control keeps
// its last value.
TEST(Lv2Plugin, UnconnectedPortsAreSafe) {
  for (uint32_t missing = 0; missing < 9; ++missing) {
    SCOPED_TRACE("port " + std::to_string(missing));
    Lv2Host host;
    ASSERT_TRUE(host.LoadBundle(QUILLMERE_LV2_BUNDLE)) << host.Error();
    ASSERT_TRUE(host.Instantiate(kUri, kRate, {true, 256}));
    host.Activate();
    std::vector<float> in[2], out[2];
    for (int c = 0; c < 2; ++c) {
      in[c].assign(Input(c).begin(), Input(c).begin() + 300);
      out[c].assign(300, 7.0f);
    }
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    host.ConnectAudio(inputs, outputs);
    host.ConnectPort(missing, nullptr);
    host.Run(300);
    for (int c = 0; c < 2; ++c) {
      if (host.AudioOutputs()[static_cast<size_t>(c)] == missing) continue;
      for (float v : out[c]) {
        ASSERT_TRUE(std::isfinite(v));
        if (missing < 4) {
          ASSERT_EQ(v, 0.0f);
        }
      }
    }
    if (missing >= 4) {
      EXPECT_NE(out[0], std::vector<float>(300, 0.0f));
    }
  }
}

TEST(Lv2Plugin, RunAllocatesNothing) {
  for (const Lv2Host::Features& features : {Lv2Host::NoFeatures(), Lv2Host::Features{true, 512}}) {
    Lv2Host host;
    ASSERT_TRUE(host.LoadBundle(QUILLMERE_LV2_BUNDLE)) << host.Error();
    ASSERT_TRUE(host.Instantiate(kUri, kRate, features));
    std::vector<float> buffers[2];
    for (int c = 0; c < 2; ++c) buffers[c].assign(Input(c).begin(), Input(c).begin() + 20000);
    float* audio[2] = {buffers[0].data(), buffers[1].data()};
    host.ConnectAudio(audio, audio);
    host.Activate();
    uint32_t controls[5];
    for (int i = 0; i < 5; ++i) controls[i] = static_cast<uint32_t>(host.FindPort(kSymbols[i]));
    long allocations = 0;
    {
      AllocationCount count;
      for (int i = 0; i < 50; ++i) {
        host.SetControl(controls[i % 5], i % 3 == 0 ? kNaN : static_cast<float>(i * 97 % 4000));
        host.Run(static_cast<uint32_t>(i * 397 % 20000));
      }
      host.Run(1);
      host.Run(0);
      allocations = count.Stop();
    }
    EXPECT_EQ(allocations, 0) << "with " << (features.mMaxBlockLength > 0 ? "options" : "no features");
  }
}

}  // namespace
