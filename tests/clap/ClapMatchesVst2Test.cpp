// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP plug-in sounds bit for bit like the VST 2 plug-in: the same input, settings and block pieces
// through both, in 64 and 32 bits, with the CLAP lifecycle calls mapped to their VST 2 counterparts, and
// parameter events inside a block matched by VST 2 calls that end where the events are.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "tests/clap/ClapTestSupport.h"

namespace clap_test {
namespace {

// One host step. CLAP: activate(rate, 1, frames) and start_processing; stop_processing and deactivate; reset;
// a block. VST 2: rate, block size and resume; suspend; suspend and resume; a block.
struct Step {
  enum Kind { kActivate, kDeactivate, kReset, kBlock } kind;
  double rate = 0.0;
  uint32_t frames = 0;
};

Step Activate(double rate, uint32_t maxFrames) { return {Step::kActivate, rate, maxFrames}; }
Step Block(uint32_t frames) { return {Step::kBlock, 0.0, frames}; }
const Step kDeactivate{Step::kDeactivate};
const Step kReset{Step::kReset};

// Blocks cycling through sizes until total frames are reached.
std::vector<Step> Blocks(std::vector<uint32_t> sizes, uint32_t total) {
  std::vector<Step> steps;
  for (uint32_t done = 0, i = 0; done < total; ++i) {
    steps.push_back(Block(sizes[i % sizes.size()]));
    done += sizes[i % sizes.size()];
  }
  return steps;
}

std::vector<Step> Join(std::vector<std::vector<Step>> parts) {
  std::vector<Step> steps;
  for (const auto& part : parts) steps.insert(steps.end(), part.begin(), part.end());
  return steps;
}

struct Scenario {
  const char* name;
  std::vector<Step> steps;
};

const std::vector<Setting> kSettings = {{0, 1733.25}, {1, -4.5}, {2, 7.75}, {3, 2.125}, {4, -6.0625}};

template <class Sample>
struct Stereo {
  std::vector<Sample> left, right;
};

size_t TotalFrames(const std::vector<Step>& steps) {
  size_t total = 0;
  for (const Step& s : steps) total += s.kind == Step::kBlock ? s.frames : 0;
  return total;
}

template <class Sample>
Stereo<Sample> InputFor(const Signal& signal) {
  return {std::vector<Sample>(signal.left.begin(), signal.left.end()),
          std::vector<Sample>(signal.right.begin(), signal.right.end())};
}

template <class Sample>
Stereo<Sample> RunClap(const std::vector<Step>& steps, const Signal& signal, bool inPlace) {
  ClapSubject clap;
  EXPECT_EQ(clap.Load(), "");
  ClapInstance& plug = clap.instance;
  ClapEventList settings;
  AddEvents(settings, kSettings);
  plug.Flush(settings);
  Stereo<Sample> in = InputFor<Sample>(signal), out;
  out.left.assign(in.left.size(), Sample(0));
  out.right.assign(in.right.size(), Sample(0));
  size_t done = 0;
  for (const Step& s : steps) {
    if (s.kind == Step::kActivate) {
      EXPECT_TRUE(plug.Activate(s.rate, 1, s.frames));
      EXPECT_TRUE(plug.StartProcessing());
    } else if (s.kind == Step::kDeactivate) {
      plug.StopProcessing();
      plug.Deactivate();
    } else if (s.kind == Step::kReset) {
      plug.Reset();
    } else {
      Sample* inputs[2] = {in.left.data() + done, in.right.data() + done};
      Sample* outputs[2] = {out.left.data() + done, out.right.data() + done};
      EXPECT_EQ(plug.Process(inputs, inPlace ? inputs : outputs, s.frames), CLAP_PROCESS_CONTINUE);
      done += s.frames;
    }
  }
  return inPlace ? in : out;
}

template <class Sample>
Stereo<Sample> RunVst2(const std::vector<Step>& steps, const Signal& signal) {
  Vst2Subject vst2;
  EXPECT_EQ(vst2.Load(), "");
  Vst2Instance& plug = vst2.instance;
  plug.Open();
  Apply(plug, kSettings);
  Stereo<Sample> in = InputFor<Sample>(signal), out;
  out.left.assign(in.left.size(), Sample(0));
  out.right.assign(in.right.size(), Sample(0));
  size_t done = 0;
  for (const Step& s : steps) {
    if (s.kind == Step::kActivate) {
      plug.SetSampleRate(s.rate);
      plug.SetBlockSize(static_cast<int>(s.frames));
      plug.Resume();
    } else if (s.kind == Step::kDeactivate) {
      plug.Suspend();
    } else if (s.kind == Step::kReset) {
      plug.Suspend();
      plug.Resume();
    } else {
      Sample* inputs[2] = {in.left.data() + done, in.right.data() + done};
      Sample* outputs[2] = {out.left.data() + done, out.right.data() + done};
      if constexpr (sizeof(Sample) == sizeof(double)) {
        plug.ProcessDouble(inputs, outputs, static_cast<int>(s.frames));
      } else {
        plug.ProcessFloat(inputs, outputs, static_cast<int>(s.frames));
      }
      done += s.frames;
    }
  }
  return out;
}

template <class Sample>
void ExpectSameBits(const Stereo<Sample>& clap, const Stereo<Sample>& vst2) {
  ASSERT_EQ(clap.left.size(), vst2.left.size());
  EXPECT_EQ(SameBitsUpTo(clap.left, vst2.left), vst2.left.size()) << "left channel: first differing frame";
  EXPECT_EQ(SameBitsUpTo(clap.right, vst2.right), vst2.right.size())
      << "right channel: first differing frame";
  double loudest = 0.0;
  for (Sample x : vst2.left) loudest = std::fmax(loudest, std::fabs(static_cast<double>(x)));
  EXPECT_GT(loudest, 0.01) << "the output is silent";
}

const Scenario kScenarios[] = {
    {"Blocks512At44100", Join({{Activate(44100.0, 512)}, Blocks({512}, 44100)})},
    {"OddBlocksAt48000", Join({{Activate(48000.0, 64)}, Blocks({64, 1, 63, 17, 5}, 30000)})},
    {"BlocksLongerThanTheMaximum", Join({{Activate(96000.0, 4096)}, Blocks({4096, 5000, 100}, 40000)})},
    {"MaximumBeyondTheLargestBlock", Join({{Activate(44100.0, 100000)}, Blocks({100000, 70001}, 170001)})},
    {"ProcessBeforeActivate", Join({Blocks({512}, 5120), {Activate(44100.0, 512)}, Blocks({512}, 5120)})},
    {"DeactivateThenActivateAtAnotherRate", Join({{Activate(44100.0, 512)},
                                                  Blocks({512}, 8192),
                                                  {kDeactivate, Activate(48000.0, 256)},
                                                  Blocks({300}, 9000)})},
    {"ResetMidStream",
     Join({{Activate(44100.0, 1024)}, Blocks({1024}, 8192), {kReset}, Blocks({1024}, 8192)})},
    {"ActivateTwice", Join({{Activate(44100.0, 512), Activate(88200.0, 128)}, Blocks({128, 200}, 9000)})},
};

struct Case {
  Scenario scenario;
  bool doubles;
  bool inPlace;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.scenario.name; }

class ClapMatchesVst2 : public testing::TestWithParam<Case> {};

TEST_P(ClapMatchesVst2, OutputHasTheSameBits) {
  const Case& c = GetParam();
  const Signal signal(TotalFrames(c.scenario.steps), 7);
  if (c.doubles) {
    ExpectSameBits(RunClap<double>(c.scenario.steps, signal, c.inPlace),
                   RunVst2<double>(c.scenario.steps, signal));
  } else {
    ExpectSameBits(RunClap<float>(c.scenario.steps, signal, c.inPlace),
                   RunVst2<float>(c.scenario.steps, signal));
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Scenario& s : kScenarios)
    for (bool doubles : {true, false})
      for (bool inPlace : {false, true}) cases.push_back({s, doubles, inPlace});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ClapMatchesVst2, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.scenario.name) +
                                  (info.param.doubles ? "_64bit" : "_32bit") +
                                  (info.param.inPlace ? "_InPlace" : "");
                         });

// Parameter events inside a 512-frame block, with the VST 2 plug-in given the same changes between calls that
// end at the events' times. Out of order events take effect at the last piece's end, those past the block at
// its end; events of other types, spaces and sizes, bad ids and NaN values split nothing.
template <class Sample>
void EventsSplitTheBlockWhereTheyAre() {
  constexpr uint32_t kFrames = 512;
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Change {
    uint32_t time;
    Setting setting;
  };
  const std::vector<Change> changes = {{0, {0, 3000.0}},    {100, {1, -6.5}}, {100, {3, 2.25}},
                                       {301, {0, 800.125}}, {50, {2, 4.5}},   {511, {4, -1.5}},
                                       {700, {1, 1.0}}};
  const Signal signal(4 * kFrames, 3);

  ClapSubject clap;
  ASSERT_EQ(clap.Load(), "");
  ASSERT_TRUE(clap.instance.Start(44100.0, kFrames));
  ClapEventList events;
  for (const Change& c : changes) events.AddParamValue(c.time, c.setting.id, c.setting.value);
  clap_event_note_t note{};
  note.header = {sizeof note, 200, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
  note.key = 60;
  note.velocity = 1.0;
  events.AddRecord(note.header);
  clap_event_param_gesture_t gesture{
      {sizeof gesture, 220, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_GESTURE_BEGIN, 0}, 0};
  events.AddRecord(gesture.header);
  events.AddParamValue(400, 7, 1.0);
  events.AddParamValue(460, 2, kNaN);
  clap_event_param_value_t foreign{};
  foreign.header = {sizeof foreign, 420, 5, CLAP_EVENT_PARAM_VALUE, 0};
  foreign.value = 9000.0;
  events.AddRecord(foreign.header);

  Vst2Subject vst2;
  ASSERT_EQ(vst2.Load(), "");
  vst2.instance.Start(44100.0, kFrames);

  Stereo<Sample> in = InputFor<Sample>(signal), clapOut = in, vst2Out = in;
  for (uint32_t block = 0; block < 4; ++block) {
    const uint32_t first = block * kFrames;
    Sample* inputs[2] = {in.left.data() + first, in.right.data() + first};
    Sample* clapOutputs[2] = {clapOut.left.data() + first, clapOut.right.data() + first};
    // Events in the first and the third block; the others show that the changes stay.
    EXPECT_EQ(clap.instance.Process(inputs, clapOutputs, kFrames, block % 2 == 0 ? &events : nullptr),
              CLAP_PROCESS_CONTINUE);
    uint32_t done = 0;
    auto processUpTo = [&](uint32_t end) {
      if (end <= done) return;
      Sample* pieceIn[2] = {inputs[0] + done, inputs[1] + done};
      Sample* pieceOut[2] = {vst2Out.left.data() + first + done, vst2Out.right.data() + first + done};
      if constexpr (sizeof(Sample) == sizeof(double)) {
        vst2.instance.ProcessDouble(pieceIn, pieceOut, static_cast<int>(end - done));
      } else {
        vst2.instance.ProcessFloat(pieceIn, pieceOut, static_cast<int>(end - done));
      }
      done = end;
    };
    if (block % 2 == 0) {
      for (const Change& c : changes) {
        processUpTo(c.time < kFrames ? c.time : kFrames);
        Apply(vst2.instance, {c.setting});
      }
    }
    processUpTo(kFrames);
  }
  ExpectSameBits(clapOut, vst2Out);
  for (clap_id id : {0u, 1u, 2u, 3u, 4u}) {
    double expected = 0.0;
    for (const Change& c : changes)
      if (c.setting.id == id) expected = c.setting.value;
    EXPECT_EQ(clap.instance.ParamValue(id), expected) << "parameter " << id;
  }
  EXPECT_EQ(clap.instance.OutputEventCount(), 0);
}

TEST(ClapEvents, SplitTheBlockWhereTheyAre64Bit) { EventsSplitTheBlockWhereTheyAre<double>(); }
TEST(ClapEvents, SplitTheBlockWhereTheyAre32Bit) { EventsSplitTheBlockWhereTheyAre<float>(); }

}  // namespace
}  // namespace clap_test
