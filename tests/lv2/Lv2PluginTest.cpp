// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 plug-in through lilv as LV2 hosts drive it, where LV2 differs from the other formats: rates refused
// at instantiation, ports left unconnected, runs that allocate nothing. The comparison with the VST 2 plug-in
// is in the cross-format suite.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/hosts/Lv2Host.h"
#include "tests/support/TestSignal.h"
#include "tests/hosts/AllocationCounter.h"

namespace {

constexpr const char kUri[] = "urn:quillmere:quillmere";
constexpr double kRate = 44100.0;
const char* const kSymbols[] = {"split", "low_q", "high_q", "low_angle", "high_angle"};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

const std::vector<float>& Input(int channel) {
  static const test_support::Stereo<float> signal =
      test_support::Converted<float>(test_support::TestSignal(20000, 77));
  return signal[static_cast<size_t>(channel)];
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
