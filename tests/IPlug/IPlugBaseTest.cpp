// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "IPlug/IPlugBase.h"
#include "TestPlug.h"

namespace {

using Configs = std::vector<std::pair<int, int>>;

Configs ConfigsOf(const IPlugBase& plug) {
  Configs configs;
  for (int i = 0; i < plug.ChannelConfigCount(); ++i) {
    configs.emplace_back(plug.ChannelConfig(i)->mInCount, plug.ChannelConfig(i)->mOutCount);
  }
  return configs;
}

TEST(IPlugBase, FreshObjectStartsUnconnectedWithDefaults) {
  TestPlug plug;
  EXPECT_EQ(plug.SampleRate(), 44100.0);
  EXPECT_EQ(plug.BlockSize(), 0);
  EXPECT_EQ(plug.HostId(), kAppNotAsked);
  EXPECT_EQ(plug.HostVersionPacked(), 0);
  EXPECT_EQ(plug.CurrentPresetIndex(), 0);
  EXPECT_EQ(plug.PresetCount(), 0);
  EXPECT_EQ(plug.ParamCount(), 5);
  EXPECT_STREQ(plug.EffectName(), "Quillmere");
  EXPECT_STREQ(plug.ProductTitle(), "Quillmere");
  EXPECT_STREQ(plug.VendorName(), "");
  EXPECT_EQ(plug.UniqueId(), 0x4B717A72);
  EXPECT_EQ(plug.PluginApi(), kApiVst2);
  EXPECT_FALSE(plug.WantsMidi());
  EXPECT_FALSE(plug.IsInstrument());
  EXPECT_FALSE(plug.KeepsStateChunks());
  EXPECT_EQ(plug.AttachedEditor(), nullptr);
  ASSERT_EQ(plug.InChannelCount(), 2);
  ASSERT_EQ(plug.OutChannelCount(), 2);
  for (int i = 0; i < 2; ++i) {
    const IInputConnection* input = plug.InputConnection(i);
    EXPECT_FALSE(input->mIsConnected);
    EXPECT_EQ(*input->mSlot, nullptr);
    EXPECT_EQ(input->mScratch.Count(), 0);
    EXPECT_STREQ(input->mPinLabel.Get(), "");
    const IOutputConnection* output = plug.OutputConnection(i);
    EXPECT_FALSE(output->mIsConnected);
    EXPECT_EQ(*output->mSlot, nullptr);
    EXPECT_EQ(output->mFloatTarget, nullptr);
    EXPECT_EQ(output->mScratch.Count(), 0);
    EXPECT_STREQ(output->mPinLabel.Get(), "");
  }
  EXPECT_EQ(plug.InputConnection(2), nullptr);
  EXPECT_EQ(plug.OutputConnection(-1), nullptr);
}

TEST(IPlugBase, EffectVersionIsPackedOrDecimal) {
  const struct {
    int packed;
    int decimal;
  } cases[] = {{0x100, 100}, {0x00010203, 10203}, {0x00003B53, 5983}, {0, 0}};
  for (const auto& c : cases) {
    TestPlug plug("2-2", 0, 5, c.packed);
    EXPECT_EQ(plug.EffectVersion(false), c.packed);
    EXPECT_EQ(plug.EffectVersion(true), c.decimal);
  }
}

TEST(IPlugBase, ChannelIOTextParsesLikeScanfEntries) {
  const struct {
    const char* text;
    Configs configs;
    int nIn, nOut;
  } cases[] = {
      {"2-2", {{2, 2}}, 2, 2},
      {"1-1 2-2", {{1, 1}, {2, 2}}, 2, 2},
      {"1-2 2-1", {{1, 2}, {2, 1}}, 2, 2},
      {"2-2  1-1", {{2, 2}, {1, 1}, {1, 1}}, 2, 2},
      {" 2-2", {{2, 2}, {2, 2}}, 2, 2},
      {"2-2\t1-1", {{2, 2}}, 2, 2},
      {"2-2abc", {{2, 2}}, 2, 2},
      {"-1-2", {{-1, 2}}, 0, 2},
      {"-1-2 1-1", {{-1, 2}, {1, 1}}, 1, 2},
      {"0-1", {{0, 1}}, 0, 1},
      {nullptr, {}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(none)");
    TestPlug plug(c.text);
    EXPECT_EQ(ConfigsOf(plug), c.configs);
    EXPECT_EQ(plug.InChannelCount(), c.nIn);
    EXPECT_EQ(plug.OutChannelCount(), c.nOut);
  }
}

#ifdef NDEBUG
// Without assertions a malformed entry still becomes a configuration, holding what scanf read and 0 for the
// rest.
TEST(IPlugBase, MalformedChannelIOEntriesKeepWhatScanfRead) {
  const struct {
    const char* text;
    Configs configs;
    int nIn, nOut;
  } cases[] = {
      {"", {{0, 0}}, 0, 0},
      {"2-", {{2, 0}}, 2, 0},
      {"x", {{0, 0}}, 0, 0},
      {"2-2 ", {{2, 2}, {0, 0}}, 2, 2},
      {"1-1 -3", {{1, 1}, {-3, 0}}, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TestPlug plug(c.text);
    EXPECT_EQ(ConfigsOf(plug), c.configs);
    EXPECT_EQ(plug.InChannelCount(), c.nIn);
    EXPECT_EQ(plug.OutChannelCount(), c.nOut);
  }
}
#else
TEST(IPlugBase, MalformedChannelIOTextFailsItsAssertion) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const char* text : {"", "2-", "x", "2-2 "}) {
    SCOPED_TRACE(text);
    EXPECT_DEATH({ TestPlug plug(text); }, "channelIOStrValid");
  }
}
#endif

TEST(IPlugBase, LegalIOMatchesAnyConfigurationWithNegativeAsAny) {
  const struct {
    const char* text;
    int nIn, nOut;
    bool legal;
  } cases[] = {
      {"2-2", 2, 2, true},      {"2-2", -1, 2, true},     {"2-2", 2, -1, true},    {"2-2", -1, -1, true},
      {"2-2", 1, -1, false},    {"2-2", 1, 1, false},     {"2-2", 2, 1, false},    {"1-1 2-2", 1, -1, true},
      {"1-1 2-2", 1, 2, false}, {"1-2 2-1", 2, 2, false}, {"1-2 2-1", 1, 2, true}, {"1-2 2-1", 2, 1, true},
      {nullptr, -1, -1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text ? c.text : "(none)") + " " + std::to_string(c.nIn) + " " +
                 std::to_string(c.nOut));
    EXPECT_EQ(TestPlug(c.text).LegalIO(c.nIn, c.nOut), c.legal);
  }
}

// Each base hook takes the instance lock: it runs at once on the thread that holds the lock and waits on any
// other.
TEST(IPlugBase, BaseHooksTakeTheInstanceLock) {
  const struct {
    const char* name;
    std::function<void(TestPlug&)> call;
  } hooks[] = {
      {"ResetProcessing", [](TestPlug& plug) { plug.ResetProcessing(); }},
      {"ParamChanged", [](TestPlug& plug) { plug.IPlugBase::ParamChanged(0); }},
      {"ActivationChanged", [](TestPlug& plug) { plug.ActivationChanged(true); }},
  };
  for (const auto& hook : hooks) {
    SCOPED_TRACE(hook.name);
    TestPlug plug;
    IPlugMutexLock lock(&plug);
    hook.call(plug);
    std::atomic<bool> returned{false};
    std::thread other([&] {
      hook.call(plug);
      returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    lock.Release();
    other.join();
    EXPECT_TRUE(returned);
  }
}

TEST(IPlugBase, ReceivedMidiIsSentBackUnchanged) {
  TestPlug plug;
  IMidiMessage message;
  message.mOffset = 17;
  message.mStatus = 0x90;
  message.mData1 = 60;
  message.mData2 = 100;
  plug.ReceiveMidiMessage(&message);
  ASSERT_EQ(plug.mSentMidi.size(), 1u);
  EXPECT_EQ(plug.mSentMidi[0], &message);
  ISysExMessage sysEx;
  plug.ReceiveSysExMessage(&sysEx);
  EXPECT_EQ(plug.mSentMidi.size(), 1u);
  EXPECT_FALSE(plug.SendSysExMessage(&sysEx));
}

TEST(IPlugBase, NoteNameForAnswersFalseWithAnEmptyText) {
  TestPlug plug;
  char text[8] = "note";
  EXPECT_FALSE(plug.NoteNameFor(60, text));
  EXPECT_STREQ(text, "");
}

TEST(IPlugBase, ChangeSampleRateKeepsOnlyPositiveFiniteRates) {
  const struct {
    double rate;
    double expected;
  } cases[] = {
      {48000.0, 48000.0},
      {0.0, 44100.0},
      {-48000.0, 44100.0},
      {std::numeric_limits<double>::quiet_NaN(), 44100.0},
      {std::numeric_limits<double>::infinity(), 44100.0},
      {-std::numeric_limits<double>::infinity(), 44100.0},
      {1e-300, 1e-300},
  };
  for (const auto& c : cases) {
    TestPlug plug;
    plug.ChangeSampleRate(c.rate);
    EXPECT_EQ(plug.SampleRate(), c.expected) << c.rate;
  }
  TestPlug plug;
  plug.ChangeSampleRate(96000.0);
  plug.ChangeSampleRate(std::nan(""));
  EXPECT_EQ(plug.SampleRate(), 96000.0);
}

TEST(IPlugBase, SetHostStoresIdentityAndVersion) {
  TestPlug plug;
  plug.SetHost("REAPER", 0x00060512);
  EXPECT_EQ(plug.HostId(), kAppReaper);
  EXPECT_EQ(plug.HostVersionPacked(), 0x00060512);
  plug.SetHost("", 0);
  EXPECT_EQ(plug.HostId(), kAppUnknown);
  EXPECT_EQ(plug.HostVersionPacked(), 0);
}

TEST(IPlugBase, ParameterFromTheUserSideTellsTheHostBeforeTheEffect) {
  TestPlug plug;
  plug.SetParameterFromGUI(3, 0.75);
  EXPECT_DOUBLE_EQ(plug.Param(3)->Value(), 5.0);
  EXPECT_EQ(plug.mEvents, (std::vector<std::string>{"automate 3 0.750000", "changed 3"}));
}

TEST(IPlugBase, StateMatchesComparesAsFloatsWithinTolerance) {
  TestPlug plug;
  IStateChunk state;
  ASSERT_TRUE(plug.SaveState(&state));
  EXPECT_TRUE(plug.StateMatches(&state, 0));
  plug.Param(1)->SetClamped(5e-6);
  EXPECT_TRUE(plug.StateMatches(&state, 0));
  plug.Param(1)->SetClamped(1e-3);
  EXPECT_FALSE(plug.StateMatches(&state, 0));
  plug.Param(1)->SetClamped(0.0);
  IStateChunk shortState;
  shortState.AppendDouble(1000.0);
  EXPECT_FALSE(plug.StateMatches(&shortState, 0));
  IStateChunk offsetState;
  offsetState.AppendInt32(7);
  offsetState.AppendChunk(state);
  EXPECT_TRUE(plug.StateMatches(&offsetState, 4));
}

class CountingEditor : public IPlugEditor {
 public:
  explicit CountingEditor(int* destroyed) : mDestroyed(destroyed) {}
  ~CountingEditor() override { ++*mDestroyed; }
  void SetParameterFromPlug(int paramIndex, double normalizedValue) override {
    mValues.emplace_back(paramIndex, normalizedValue);
  }
  std::vector<std::pair<int, double>> mValues;
  int* mDestroyed;
};

TEST(IPlugBase, AttachedEditorReceivesEveryValueAndDiesWithThePlugIn) {
  int destroyed = 0;
  {
    TestPlug plug;
    plug.RefreshEditorParams();  // no editor: nothing happens
    auto* editor = new CountingEditor(&destroyed);
    plug.AttachEditor(editor);
    EXPECT_EQ(plug.AttachedEditor(), editor);
    ASSERT_EQ(editor->mValues.size(), 5u);
    EXPECT_DOUBLE_EQ(editor->mValues[3].second, 0.5);
    plug.RefreshEditorParams();
    EXPECT_EQ(editor->mValues.size(), 10u);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(IPlugBase, PresetListHoldsUnsetPresetsNamedEmpty) {
  TestPlug plug("2-2", 3);
  ASSERT_EQ(plug.PresetCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_STREQ(plug.PresetName(i), "empty");
  EXPECT_NE(plug.FirstUnsetPreset(), nullptr);
}

}  // namespace
