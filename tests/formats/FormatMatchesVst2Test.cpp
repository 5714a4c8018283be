// SPDX-License-Identifier: GPL-3.0-or-later
// Every format sounds bit for bit like the VST 2 plug-in and keeps the same state: the same input, settings,
// lifecycle calls and block pieces through the VST 3, CLAP and LV2 plug-ins (each loaded through its entry
// point by its test host) and through the VST 2 plug-in, in 32 and, where the format has it, 64 bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/FormatDriver.h"
#if QUILLMERE_TEST_VST3
#include "tests/vst3/Vst3Driver.h"
#endif
#if QUILLMERE_TEST_CLAP
#include "tests/clap/ClapDriver.h"
#endif
#if QUILLMERE_TEST_LV2
#include "tests/lv2/Lv2Driver.h"
#endif

namespace test_support {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

enum FormatBit : unsigned { kVst3 = 1, kClap = 2, kLv2 = 4, kAll = 7 };

struct Format {
  const char* name;
  FormatBit bit;
  bool has64Bit, processesInPlace, keepsState;
  std::function<std::unique_ptr<FormatDriver>(bool doubles)> make;
};

void PrintTo(const Format* format, std::ostream* out) { *out << format->name; }

const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = {
#if QUILLMERE_TEST_VST3
    {"Vst3", kVst3, true, false, true,
     [](bool doubles) {
       return std::make_unique<Vst3Driver>(doubles ? Steinberg::Vst::kSample64 : Steinberg::Vst::kSample32);
     }},
#endif
#if QUILLMERE_TEST_CLAP
    {"Clap", kClap, true, true, true, [](bool) { return std::make_unique<ClapDriver>(); }},
#endif
#if QUILLMERE_TEST_LV2
    {"Lv2", kLv2, false, true, false, [](bool) { return std::make_unique<Lv2Driver>(); }},
#endif
  };
  return formats;
}

// Settings away from the defaults, as fractions of the parameters' ranges.
std::vector<Step> Settings() {
  return {Set(0, 0.31), Set(1, 0.82), Set(2, 0.17), Set(3, 0.71), Set(4, 0.09)};
}

// Block lengths a host sends: full blocks, short ones, single frames, and more than it announced.
std::vector<Step> BlockPattern(int maxBlock, int frames) {
  return Blocks({maxBlock, maxBlock / 2 + 1, 1, maxBlock, 3 * maxBlock + 5, 7, std::max(maxBlock - 1, 1)},
                frames);
}

std::vector<Step> Pattern(double rate, int maxBlock, int frames) {
  return Join({Settings(), {Start(rate, maxBlock)}, BlockPattern(maxBlock, frames)});
}

// Changes every 24 frames on two parameters over 40 blocks of 256 frames.
std::vector<Step> AutomationRamp() {
  const int blocks = 40, block = 256, every = 24;
  std::vector<Step> steps = Join({Settings(), {Start(48000.0, block)}});
  for (int b = 0; b < blocks; ++b) {
    std::vector<Change> changes;
    for (int offset = (every - (b * block) % every) % every; offset < block; offset += every) {
      const double value = static_cast<double>(b * block + offset) / (blocks * block);
      changes.push_back({0, offset, value});
      changes.push_back({3, offset, 1.0 - value});
    }
    steps.push_back(Block(block, changes));
  }
  return steps;
}

// A VST 3 block of 512 frames with points, and the pieces and setParameter calls of the VST 2 plug-in it
// equals, between a first block with the settings and one more block without points.
std::vector<Step> Points(std::vector<Change> points, std::vector<Step> pieces) {
  Step block = Block(512, std::move(points), true);
  for (Step& piece : pieces) piece.raw = true;
  block.referencePieces = std::move(pieces);
  return Join({Settings(), {Start(44100.0, 512), Block(512), block, Block(512)}});
}
// Events in host order, with plain values.
Step ClapEvents() {
  return Block(512,
               {{0, 0, 3000.0},
                {1, 100, -6.5},
                {3, 100, 2.25},
                {0, 301, 800.125},
                {2, 50, 4.5},
                {4, 511, -1.5},
                {1, 700, 1.0},
                {7, 400, 1.0},
                {2, 460, kNaN}},
               true);
}
Step P(int frames) { return Block(frames); }
Step S(int param, double value) { return SetRaw(param, value); }

struct Scenario {
  const char* name;
  unsigned formats;
  std::vector<Step> steps;
  bool soundsDifferent = false;  // the VST 2 plug-in plays other block pieces: the comparison must fail
};

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios = {
      // Rates, announced maxima and block patterns.
      {"Pattern64At44100", kAll, Pattern(44100.0, 64, 40000)},
      {"Pattern512At44100", kAll, Pattern(44100.0, 512, 40000)},
      {"Pattern4096At96000", kAll, Pattern(96000.0, 4096, 40000)},
      {"Pattern1000At48000", kAll, Pattern(48000.0, 1000, 40000)},
      {"SingleFramesAt22050", kAll, Pattern(22050.0, 1, 600)},
      {"Blocks512At44100", kAll, Join({Settings(), {Start(44100.0, 512)}, Blocks({512}, 44100)})},
      {"OddBlocksAt48000", kAll, Join({Settings(), {Start(48000.0, 64)}, Blocks({64, 1, 63, 17, 5}, 30000)})},
      {"BlocksLongerThanTheMaximum", kAll,
       Join({Settings(), {Start(96000.0, 4096)}, Blocks({4096, 5000, 100}, 40000)})},
      {"RunsLongerThanTheMaximum", kAll,
       Join({{Start(44100.0, 256)}, Blocks({1000}, 30000), Blocks({3000}, 9000), {Block(7)}})},
      {"MaximumBeyondTheLargestBlock", kAll,
       Join({Settings(), {Start(44100.0, 100000)}, Blocks({100000, 70001}, 170001)})},
      // Above 8192 frames the LV2 plug-in takes pieces of 8192, which still fall on the engine's chunks.
      {"HugeMaximum", kAll, Join({{Start(44100.0, 65536)}, Blocks({20000}, 120000), {Block(30000)}})},
      {"EmptyAndSingleFrameBlocks", kAll,
       Join({{Start(44100.0, 64)},
             Blocks({1}, 30),
             {Block(0)},
             Blocks({64}, 40 * 64),
             {Block(1), Block(0), Block(63)},
             Blocks({64}, 30 * 64)})},
      // Settings between blocks, and values beyond the ranges (held to them) or NaN (ignored).
      {"SettingsBetweenBlocks", kAll,
       Join({{Start(44100.0, 512), Set(0, 0.0955), Set(1, 0.8365), Set(4, 0.5625)},
             Blocks({512}, 30 * 512),
             {Set(2, 0.5385)},
             Blocks({512}, 30 * 512)})},
      {"SettingsBetweenLongAndShortBlocks", kAll,
       Join({{Start(44100.0, 1024), Set(3, 0.375), Set(0, 0.00251)},
             Blocks({1024}, 40 * 1024),
             {Set(0, 0.4472)},
             Blocks({700}, 30 * 700)})},
      {"ValuesBeyondTheRangesHeldNaNIgnored", kAll,
       Join({{Start(44100.0, 512), SetRaw(0, kNaN), SetRaw(3, kNaN)},
             Blocks({512}, 25 * 512),
             {SetRaw(0, 1e30), SetRaw(1, -kInf), SetRaw(2, kInf), SetRaw(3, 1e-45), SetRaw(4, -0.0)},
             Blocks({512}, 25 * 512),
             {SetRaw(0, kNaN), Set(1, 0.866)},
             Blocks({512}, 25 * 512),
             {SetRaw(0, -1e30), SetRaw(4, -3e38)},
             Blocks({512}, 25 * 512)})},
      // Lifecycles: a stop and a start reset the filters while the random placement goes on; values set
      // while stopped count.
      {"StopAndStartAgain", kAll,
       Join({{Start(44100.0, 512)},
             Blocks({512}, 30 * 512),
             {Stop(), Start(44100.0, 512)},
             Blocks({512}, 30 * 512),
             {Stop(), Set(0, 0.146), Start(44100.0, 512)},
             Blocks({400}, 30 * 400),
             {Stop(), Start(44100.0, 512), Stop(), Start(44100.0, 512)},
             Blocks({512}, 30 * 512)})},
      {"ResetMidStream", kAll,
       Join({Settings(), {Start(44100.0, 1024)}, Blocks({1024}, 8192), {Reset()}, Blocks({1024}, 8192)})},
      // LV2 fixes the rate at instantiation.
      {"StopThenStartAtAnotherRate", kVst3 | kClap,
       Join({Settings(),
             {Start(44100.0, 512)},
             Blocks({512}, 8192),
             {Stop(), Start(48000.0, 256)},
             Blocks({300}, 9000)})},
      {"ResetsAndANewSetup", kVst3 | kClap,
       Join({Settings(),
             {Start(44100.0, 512)},
             Blocks({512}, 1024),
             {Reset()},
             Blocks({512}, 1024),
             {Stop(), Start(96000.0, 300)},
             Blocks({300}, 1200),
             {Block(512)}})},
      // CLAP hosts may process before activating, and activate again without deactivating.
      {"ProcessBeforeStart", kClap,
       Join({Settings(), Blocks({512}, 5120), {Start(44100.0, 512)}, Blocks({512}, 5120)})},
      {"StartTwice", kClap,
       Join({Settings(), {Start(44100.0, 512), Start(88200.0, 128)}, Blocks({128, 200}, 9000)})},
      // Hosts that announce no maximum: the LV2 plug-in takes runs in pieces of the engine's chunk, 4096 frames,
      // which sounds as the whole run does at any length.
      {"NoFeaturesRunsWhole", kLv2,
       Join({{Start(44100.0, kHostWithoutFeatures, 10000), Set(1, 0.0)},
             Blocks({2048}, 10 * 2048),
             Blocks({4096}, 10 * 4096),
             Blocks({10000}, 10 * 10000),
             {Block(1), Block(8192)}})},
      {"MapWithoutOptions", kLv2,
       Join({{Start(44100.0, kHostWithoutBlockLengths, 5000)}, Blocks({5000}, 16 * 5000), {Block(3000)}})},
      {"NoFeaturesEmptyAndSingleFrameRuns", kLv2,
       Join({{Start(44100.0, kHostWithoutFeatures, 1)},
             Blocks({1}, 100),
             {Block(0), Set(0, 0.0201), Block(0)},
             Blocks({1}, 200)})},
      // Changes inside blocks (LV2 controls change between runs only).
      {"AutomationRampOverManyBlocks", kVst3 | kClap, AutomationRamp()},
      {"ChangesInsideABlock", kVst3 | kClap,
       Join({Settings(),
             {Start(44100.0, 512), Block(512),
              Block(512, {{0, 0, 0.2},
                          {1, 100, 0.9},
                          {3, 120, 0.1},
                          {0, 300, 0.5},
                          {4, 300, 0.6},
                          {2, 511, 0.05},
                          {4, 512, 0.99},
                          {1, 600, 0.95}}),
              Block(512)}})},
      // CLAP events in host order: one before the one before it takes effect at once, those past the block at
      // its end; unknown ids and NaN values split nothing. The blocks between show that the changes stay.
      {"EventsSplitTheBlockWhereTheyAre", kClap,
       Join({{Start(44100.0, 512)}, {ClapEvents(), Block(512), ClapEvents(), Block(512)}})},
      // VST 3 points: queues per parameter, read in offset order across the queues.
      {"PointAtOffset0", kVst3, Points({{0, 0, 0.2}}, {S(0, 0.2), P(512)})},
      {"OnePointInside", kVst3, Points({{1, 100, 0.9}}, {P(100), S(1, 0.9), P(412)})},
      {"ThreeParametersRampOnOne", kVst3,
       Points(
           {{0, 50, 0.25}, {0, 300, 0.5}, {0, 400, 0.75}, {3, 120, 0.1}, {4, 300, 0.6}},
           {P(50), S(0, 0.25), P(70), S(3, 0.1), P(180), S(0, 0.5), S(4, 0.6), P(100), S(0, 0.75), P(112)})},
      {"TwoPointsAtOneOffsetInOrder", kVst3,
       Points({{2, 200, 0.3}, {2, 200, 0.6}}, {P(200), S(2, 0.3), S(2, 0.6), P(312)})},
      {"PointBeforeTheOneBeforeItAtOnce", kVst3,
       Points({{0, 300, 0.8}, {0, 100, 0.1}}, {P(300), S(0, 0.8), S(0, 0.1), P(212)})},
      {"NegativeOffsetAtStartBeyondTheBlockAtEnd", kVst3,
       Points({{1, -5, 0.4}, {1, 600, 0.95}}, {S(1, 0.4), P(512), S(1, 0.95)})},
      {"LastFrameAndBlockEnd", kVst3,
       Points({{3, 511, 0.05}, {4, 512, 0.99}}, {P(511), S(3, 0.05), P(1), S(4, 0.99)})},
      {"NaNIgnoredOutsideHeldToTheEnds", kVst3,
       Points({{0, 64, kNaN}, {0, 128, 1.5}, {1, 256, -0.5}},
              {P(128), S(0, 1.0), P(128), S(1, 0.0), P(256)})},
      {"UnknownParameterIgnored", kVst3, Points({{99, 10, 0.5}, {2, 20, 0.5}}, {P(20), S(2, 0.5), P(492)})},
      {"TwoQueuesForOneParameterInHostOrder", kVst3,
       Points({{0, 100, 0.2, true}, {0, 100, 0.9, true}}, {P(100), S(0, 0.2), S(0, 0.9), P(412)})},
      {"ValuesNotExactInFloatPassThroughFloat", kVst3,
       Points({{0, 33, 0.1234567890123}}, {P(33), S(0, 0.1234567890123), P(479)})},
      // The comparison can fail: other block pieces sound different.
      {"OtherBlockPiecesSoundDifferent", kAll, Join({{Start(44100.0, 256, 1000)}, Blocks({1000}, 30000)}),
       true},
  };
  return scenarios;
}

struct Case {
  const Format* format;
  const Scenario* scenario;
  bool doubles, inPlace;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.format->name << " " << c.scenario->name; }

class FormatMatchesVst2 : public testing::TestWithParam<Case> {
 protected:
  template <class Sample>
  void Check() {
    const Case& c = GetParam();
    std::unique_ptr<FormatDriver> format = c.format->make(c.doubles);
    ASSERT_EQ(format->Load(), "");
    Vst2Reference reference(QUILLMERE_VST2_PATH);
    ASSERT_TRUE(reference.Ok()) << reference.Problem();
    const Stereo<double> signal = TestSignal(static_cast<size_t>(TotalFrames(c.scenario->steps)), 7);
    SideBySide<Sample> run(*format, reference, signal, c.inPlace);
    run.Play(c.scenario->steps);
    ASSERT_EQ(run.Problem(), "");
    if (c.scenario->soundsDifferent) {
      EXPECT_NE(run.Difference(), "");
      return;
    }
    EXPECT_EQ(run.Difference(), "");
    EXPECT_TRUE(AllFinite(run.FormatOutput()));
    EXPECT_GT(Loudest(run.FormatOutput()), 0.01) << "the output is silent";
    if (c.format->keepsState) {
      std::vector<uint8_t> state;
      EXPECT_TRUE(format->SaveState(&state));
      EXPECT_EQ(state, reference.GetChunk(Vst2Chunk::kProgram)) << "the settings reached the state alike";
    }
  }
};

TEST_P(FormatMatchesVst2, OutputHasTheSameBits) {
  if (GetParam().doubles) {
    Check<double>();
  } else {
    Check<float>();
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Format& f : Formats()) {
    for (const Scenario& s : Scenarios()) {
      if (!(s.formats & f.bit)) continue;
      for (bool doubles : {false, true}) {
        if (doubles && !f.has64Bit) continue;
        for (bool inPlace : {false, true}) {
          if (inPlace && !f.processesInPlace) continue;
          cases.push_back({&f, &s, doubles, inPlace});
        }
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FormatMatchesVst2, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.format->name) + "_" + info.param.scenario->name +
                                  (info.param.doubles ? "_64bit" : "_32bit") +
                                  (info.param.inPlace ? "_InPlace" : "");
                         });

// The state, for the formats that keep one, is the VST 2 program chunk.
class FormatStateIsTheVst2Chunk : public testing::TestWithParam<const Format*> {
 protected:
  void SetUp() override {
    ASSERT_EQ(format->Load(), "");
    ASSERT_TRUE(reference.Ok()) << reference.Problem();
  }
  std::vector<uint8_t> State(size_t bytesPerCall = 0) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(format->SaveState(&bytes, bytesPerCall));
    return bytes;
  }

  std::unique_ptr<FormatDriver> format = GetParam()->make(false);
  Vst2Reference reference{QUILLMERE_VST2_PATH};
};

TEST_P(FormatStateIsTheVst2Chunk, WhateverTheStreamStepBothWays) {
  const Stereo<double> signal = TestSignal(512);
  SideBySide<float> run(*format, reference, signal);
  EXPECT_EQ(State(), reference.GetChunk(Vst2Chunk::kProgram)) << "the defaults";
  run.Play(Join({Settings(), {Start(44100.0, 512), Block(512)}}));
  const std::vector<uint8_t> chunk = reference.GetChunk(Vst2Chunk::kProgram);
  ASSERT_EQ(chunk.size(), 48u);
  for (size_t step : {0, 1, 5, 7, 47}) EXPECT_EQ(State(step), chunk) << step << " bytes a write";

  // Fresh instances load the chunk from streams of any step, and the VST 2 plug-in loads theirs.
  for (size_t step : {0, 1, 3, 5, 48}) {
    std::unique_ptr<FormatDriver> other = GetParam()->make(false);
    ASSERT_EQ(other->Load(), "");
    std::vector<uint8_t> before;
    ASSERT_TRUE(other->SaveState(&before));
    EXPECT_NE(before, chunk);
    ASSERT_TRUE(other->LoadState(chunk, step)) << step << " bytes a read";
    std::vector<uint8_t> after;
    ASSERT_TRUE(other->SaveState(&after));
    EXPECT_EQ(after, chunk);
    Vst2Reference vst2(QUILLMERE_VST2_PATH);
    vst2.Open();
    EXPECT_EQ(vst2.SetChunk(Vst2Chunk::kProgram, after), 1);
    EXPECT_EQ(vst2.GetChunk(Vst2Chunk::kProgram), chunk);
  }
}

// Chunks of every kind: the format takes what the VST 2 plug-in takes, whole, and then sounds like it; what
// the VST 2 plug-in refuses changes nothing. (More than 64 KiB, which the VST 2 plug-in reads, the CLAP and
// VST 3 plug-ins refuse.)
TEST_P(FormatStateIsTheVst2Chunk, LoadsWhatVst2LoadsWholeAndOtherwiseNothing) {
  Vst2Reference source(QUILLMERE_VST2_PATH);
  source.Open();
  for (int i = 0; i < source.ParameterCount(); ++i)
    source.SetParameter(i, 1.0f - 0.1f * static_cast<float>(i + 1));
  const std::vector<uint8_t> good = source.GetChunk(Vst2Chunk::kProgram);
  ASSERT_EQ(good.size(), 48u);
  std::vector<uint8_t> outOfRange = good;
  const double huge = 1e300;
  std::memcpy(outOfRange.data() + 8, &huge, sizeof huge);
  std::vector<uint8_t> longer = good;
  longer.insert(longer.end(), 100, 0xAB);
  std::vector<uint8_t> random(64);
  for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<uint8_t>(i * 37 + 11);
  const std::vector<std::vector<uint8_t>> chunks = {good,
                                                    std::vector<uint8_t>(good.begin() + 8, good.end()),
                                                    outOfRange,
                                                    longer,
                                                    random,
                                                    {},
                                                    {1, 2, 3},
                                                    std::vector<uint8_t>(good.begin(), good.end() - 1),
                                                    std::vector<uint8_t>(good.begin(), good.begin() + 8),
                                                    std::vector<uint8_t>(40, 0xFF),
                                                    std::vector<uint8_t>(48, 0)};
  for (size_t k = 0; k < chunks.size(); ++k) {
    SCOPED_TRACE("chunk " + std::to_string(k));
    std::unique_ptr<FormatDriver> driver = GetParam()->make(false);
    ASSERT_EQ(driver->Load(), "");
    Vst2Reference vst2(QUILLMERE_VST2_PATH);
    const Stereo<double> signal = TestSignal(1024);
    SideBySide<float> run(*driver, vst2, signal);
    run.Play(Join({Settings(), {Start(44100.0, 512), Block(512)}}));
    std::vector<uint8_t> before;
    ASSERT_TRUE(driver->SaveState(&before));

    const bool vst2Took = vst2.SetChunk(Vst2Chunk::kProgram, chunks[k]) == 1;
    EXPECT_EQ(driver->LoadState(chunks[k], 3), vst2Took);
    std::vector<uint8_t> after;
    ASSERT_TRUE(driver->SaveState(&after));
    EXPECT_EQ(after, vst2Took ? vst2.GetChunk(Vst2Chunk::kProgram) : before);
    // A chunk the VST 2 plug-in refuses may still have set the values read before the fault.
    if (vst2Took) {
      run.Play({Block(512)});
      EXPECT_EQ(run.Difference(), "");
    }
  }
}

// The renderer saves the VST 2 plug-in's program chunk; each format loads it and sounds like the VST 2
// plug-in that loaded it, which holds the values the renderer was given.
TEST_P(FormatStateIsTheVst2Chunk, LoadsTheStateTheRendererSaves) {
  const std::string path = testing::TempDir() + "renderer-state-" + GetParam()->name + ".bin";
  std::remove(path.c_str());
  const std::string command =
      std::string("\"") + QUILLMERE_RENDER_PATH + "\" --plugin \"" + QUILLMERE_VST2_PATH +
      "\" --set-normalized 0=0.3 --set LowFreqzQ=-7.5 --set \"LR to HighFreqz=-2.5\"" + " --save-state \"" +
      path + "\" --list-params > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> saved((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  ASSERT_EQ(saved.size(), 48u);

  const Stereo<double> signal = TestSignal(4096);
  SideBySide<float> run(*format, reference, signal);
  ASSERT_EQ(reference.SetChunk(Vst2Chunk::kProgram, saved), 1);
  EXPECT_EQ(reference.GetParameter(0), 0.3f);
  EXPECT_EQ(reference.ParameterDisplay(0), "490.127");
  EXPECT_EQ(reference.ParameterDisplay(1), "-7.500");
  EXPECT_EQ(reference.ParameterDisplay(4), "-2.500");
  ASSERT_TRUE(format->LoadState(saved, 5));
  EXPECT_EQ(State(), saved);
  run.Play(Join({{Start(44100.0, 512)}, Blocks({512}, 4096)}));
  EXPECT_EQ(run.Difference(), "");
}

std::vector<const Format*> FormatsWithState() {
  std::vector<const Format*> formats;
  for (const Format& f : Formats())
    if (f.keepsState) formats.push_back(&f);
  return formats;
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatStateIsTheVst2Chunk, testing::ValuesIn(FormatsWithState()),
                         [](const testing::TestParamInfo<const Format*>& info) { return info.param->name; });

}  // namespace
}  // namespace test_support
