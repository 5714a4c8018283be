// SPDX-License-Identifier: GPL-3.0-or-later
// The VST 3 bundle with its audio on one thread and a host's user interface on another: the controller, texts
// and state are used while blocks with points are processed. Under ThreadSanitizer this finds unguarded data.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/vst3/Vst3Driver.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

TEST(Vst3Threads, ControllerAndStateOnASecondThreadWhileProcessing) {
  Vst3Driver vst3;
  ASSERT_TRUE(vst3.Ok()) << vst3.Error();
  ASSERT_EQ(vst3.Instance().Start(44100.0, 256, kSample32), kResultOk);
  const std::vector<uint8_t> saved = vst3.Instance().GetState();
  std::atomic<bool> audioDone{false};
  std::atomic<long> uiRounds{0};

  std::thread ui([&] {
    IEditController* controller = vst3.Instance().Controller();
    IComponent* component = vst3.Instance().Component();
    // At least a few rounds, however soon the audio thread is done.
    for (long round = 0; round < 40 || !audioDone.load(); ++round) {
      const ParamID id = static_cast<ParamID>(round % 5);
      controller->setParamNormalized(id, (round % 11) / 10.0);
      controller->getParamNormalized(id);
      String128 text;
      controller->getParamStringByValue(id, 0.25, text);
      ParamValue value;
      controller->getParamValueByString(id, text, value);
      Vst3MemoryStream state;
      component->getState(&state);
      Vst3MemoryStream load(round % 3 == 0 ? saved : state.Bytes(), 7);
      component->setState(&load);
      Vst3MemoryStream view(state.Bytes());
      controller->setComponentState(&view);
      ++uiRounds;
    }
  });

  test_support::Stereo<float> in = test_support::Converted<float>(test_support::TestSignal(256));
  std::vector<float> out[2] = {std::vector<float>(256), std::vector<float>(256)};
  float* inputs[2] = {in[0].data(), in[1].data()};
  float* outputs[2] = {out[0].data(), out[1].data()};
  Vst3ParameterChanges changes;
  bool finite = true;
  // The audio runs until the other thread has made its rounds, so the two overlap.
  for (int block = 0; block < 400 || uiRounds.load() < 40; ++block) {
    changes.Clear();
    changes.Add(block % 5, (block * 37) % 256, (block % 7) / 6.0);
    changes.Add((block + 2) % 5, (block * 91) % 300, 0.5);
    vst3.Instance().ProcessFloat(inputs, outputs, 256, &changes);
    for (int c = 0; c < 2; ++c)
      for (float v : out[c]) finite = finite && std::isfinite(v);
  }
  audioDone = true;
  ui.join();
  EXPECT_TRUE(finite);
  EXPECT_GE(uiRounds.load(), 40);
}

}  // namespace
