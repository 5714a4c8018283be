// SPDX-License-Identifier: GPL-3.0-or-later
// The built VST 3 bundle, driven through GetPluginFactory as a host drives it, against the built VST 2
// plug-in driven the same way: same texts, same state bytes, same output bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "tests/vst3/Vst3TestSupport.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace vst3test;

namespace {

constexpr int kParams = 5;
// Settings away from the defaults, as normalised values.
constexpr float kSettings[kParams] = {0.31f, 0.82f, 0.17f, 0.71f, 0.09f};

#define ASSERT_SIDES_OK(vst3, vst2)           \
  ASSERT_TRUE((vst3).Ok()) << (vst3).Error(); \
  ASSERT_TRUE((vst2).Ok()) << (vst2).Error()

TEST(Vst3Factory, DescribesOneStereoEffectClass) {
  Vst3Module module;
  ASSERT_EQ(module.Open(QUILLMERE_VST3_BUNDLE), HostStatus::kOk) << module.Error();
  PFactoryInfo factoryInfo;
  ASSERT_EQ(module.Factory()->getFactoryInfo(&factoryInfo), kResultOk);
  EXPECT_STREQ(factoryInfo.vendor, "Quillmere");
  EXPECT_EQ(factoryInfo.flags & PFactoryInfo::kUnicode, PFactoryInfo::kUnicode);
  ASSERT_EQ(module.Factory()->countClasses(), 1);

  const TUID expectedId = INLINE_UID(0x324D7D68, 0x797B5D63, 0x47B28233, 0xF53FC2B5);
  PClassInfo info;
  ASSERT_EQ(module.Factory()->getClassInfo(0, &info), kResultOk);
  EXPECT_TRUE(Vst3SameId(info.cid, expectedId));
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_STREQ(info.name, "Quillmere");
  EXPECT_EQ(info.cardinality, PClassInfo::kManyInstances);
  EXPECT_NE(module.Factory()->getClassInfo(1, &info), kResultOk);

  ASSERT_NE(module.Factory2(), nullptr);
  PClassInfo2 info2;
  ASSERT_EQ(module.Factory2()->getClassInfo2(0, &info2), kResultOk);
  EXPECT_TRUE(Vst3SameId(info2.cid, expectedId));
  EXPECT_STREQ(info2.subCategories, "Fx|Spatial");
  EXPECT_STREQ(info2.vendor, "Quillmere");
  EXPECT_STREQ(info2.version, QUILLMERE_VERSION);
  EXPECT_STREQ(info2.sdkVersion, kVstVersionString);

  ASSERT_NE(module.Factory3(), nullptr);
  PClassInfoW infoW;
  ASSERT_EQ(module.Factory3()->getClassInfoUnicode(0, &infoW), kResultOk);
  EXPECT_TRUE(Vst3SameId(infoW.cid, expectedId));
  EXPECT_EQ(Vst3Utf8(infoW.name, PClassInfo::kNameSize), "Quillmere");
  EXPECT_EQ(Vst3Utf8(infoW.vendor, PClassInfoW::kVendorSize), "Quillmere");
  EXPECT_EQ(Vst3Utf8(infoW.version, PClassInfoW::kVersionSize), QUILLMERE_VERSION);
  EXPECT_STREQ(infoW.subCategories, "Fx|Spatial");

  // Another class ID makes nothing.
  const TUID otherId = INLINE_UID(1, 2, 3, 4);
  void* object = &info;
  EXPECT_NE(module.Factory()->createInstance(otherId, IComponent_iid, &object), kResultOk);
  EXPECT_EQ(object, nullptr);
}

TEST(Vst3Effect, OffersOneStereoBusEachWayAndRefusesOtherArrangements) {
  Vst3Side vst3;
  ASSERT_TRUE(vst3.Ok()) << vst3.Error();
  IComponent* component = vst3.Instance().Component();
  IAudioProcessor* processor = vst3.Instance().Processor();
  EXPECT_TRUE(vst3.Instance().OneObject());
  TUID controllerId;
  EXPECT_NE(component->getControllerClassId(controllerId), kResultTrue);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(component->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(component->getBusCount(kEvent, kInput), 0);
  EXPECT_EQ(component->getBusCount(kEvent, kOutput), 0);
  for (BusDirection dir : {kInput, kOutput}) {
    BusInfo bus{};
    ASSERT_EQ(component->getBusInfo(kAudio, dir, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_EQ(bus.flags & BusInfo::kDefaultActive, static_cast<uint32>(BusInfo::kDefaultActive));
    EXPECT_NE(component->getBusInfo(kAudio, dir, 1, bus), kResultOk);
    EXPECT_NE(component->getBusInfo(kEvent, dir, 0, bus), kResultOk);
    SpeakerArrangement arrangement = 0;
    EXPECT_EQ(processor->getBusArrangement(dir, 0, arrangement), kResultOk);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);
  }

  struct Case {
    std::vector<SpeakerArrangement> inputs, outputs;
    bool accepted;
  } cases[] = {
      {{SpeakerArr::kStereo}, {SpeakerArr::kStereo}, true},
      {{SpeakerArr::kMono}, {SpeakerArr::kMono}, false},
      {{SpeakerArr::kMono}, {SpeakerArr::kStereo}, false},
      {{SpeakerArr::kStereo}, {SpeakerArr::k51}, false},
      {{SpeakerArr::kStereo, SpeakerArr::kStereo}, {SpeakerArr::kStereo}, false},
      {{}, {SpeakerArr::kStereo}, false},
  };
  for (Case& c : cases) {
    const tresult result =
        processor->setBusArrangements(c.inputs.data(), static_cast<int32>(c.inputs.size()), c.outputs.data(),
                                      static_cast<int32>(c.outputs.size()));
    EXPECT_EQ(result == kResultTrue, c.accepted)
        << c.inputs.size() << " inputs, " << c.outputs.size() << " outputs";
  }
  EXPECT_EQ(processor->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_NE(processor->canProcessSampleSize(7), kResultTrue);
  EXPECT_EQ(processor->getLatencySamples(), 0u);
  // The tail covers the filters' ring-out: at least the slowest pre-filter section's 8700 frames.
  ASSERT_EQ(vst3.Instance().Setup(44100.0, 512, kSample32), kResultOk);
  EXPECT_GT(processor->getTailSamples(), 8700u);
  EXPECT_LT(processor->getTailSamples(), 44100u);
}

TEST(Vst3Effect, ParametersShowTheVst2PluginsNamesUnitsAndDefaults) {
  Vst3Side vst3;
  Vst2Side vst2;
  ASSERT_SIDES_OK(vst3, vst2);
  vst2.Instance().Open();
  ASSERT_EQ(vst3.Instance().ParameterCount(), kParams);
  ASSERT_EQ(vst2.Instance().ParameterCount(), kParams);
  for (int i = 0; i < kParams; ++i) {
    ParameterInfo info{};
    ASSERT_TRUE(vst3.Instance().ParameterInfo(i, &info));
    EXPECT_EQ(info.id, static_cast<ParamID>(i));
    EXPECT_EQ(Vst3Utf8(info.title), vst2.Instance().ParameterName(i));
    EXPECT_EQ(Vst3Utf8(info.units), vst2.Instance().ParameterLabel(i));
    EXPECT_EQ(info.stepCount, 0);
    EXPECT_EQ(info.flags & ParameterInfo::kCanAutomate, ParameterInfo::kCanAutomate);
    const double vst2Default = vst2.Instance().GetParameter(i);
    EXPECT_EQ(info.defaultNormalizedValue, vst2Default) << "parameter " << i;
    EXPECT_EQ(vst3.Instance().Controller()->getParamNormalized(i), vst2Default) << "parameter " << i;
  }
  ParameterInfo info{};
  EXPECT_FALSE(vst3.Instance().ParameterInfo(kParams, &info));
  EXPECT_FALSE(vst3.Instance().ParameterInfo(-1, &info));
}

TEST(Vst3Effect, ValueTextsAreTheVst2PluginsTexts) {
  Vst3Side vst3;
  Vst2Side vst2;
  ASSERT_SIDES_OK(vst3, vst2);
  vst2.Instance().Open();
  const double values[] = {0.0, 1e-7, 0.1, 0.25, 1.0 / 3.0, 0.5, 0.7777777, 0.999, 1.0};
  for (int i = 0; i < kParams; ++i) {
    for (double v : values) {
      vst2.Instance().SetParameter(i, static_cast<float>(v));
      EXPECT_EQ(vst3.Instance().ValueText(i, v), vst2.Instance().ParameterDisplay(i))
          << "parameter " << i << " at " << v;
    }
    // Values outside 0 ... 1 show as the nearest end.
    EXPECT_EQ(vst3.Instance().ValueText(i, -0.5), vst3.Instance().ValueText(i, 0.0));
    EXPECT_EQ(vst3.Instance().ValueText(i, 7.0), vst3.Instance().ValueText(i, 1.0));
    EXPECT_EQ(vst3.Instance().ValueText(i, std::numeric_limits<double>::quiet_NaN()), "");
  }
  EXPECT_EQ(vst3.Instance().ValueText(kParams, 0.5), "");

  // Typed values read as the VST 2 text entry reads them, then set through the normalised value.
  const char* texts[] = {"1234.5", "20000", "0.001", "-1e9", "1e300", "abc", " 42", "3.5 Hz", "-7.25"};
  for (int i = 0; i < kParams; ++i) {
    for (const char* text : texts) {
      ASSERT_EQ(vst2.Instance().SetParameterText(i, text), 1);
      double normalized = -1.0;
      ASSERT_TRUE(vst3.Instance().ValueOfText(i, text, &normalized)) << text;
      EXPECT_EQ(normalized, static_cast<double>(vst2.Instance().GetParameter(i)))
          << "parameter " << i << ": " << text;
      EXPECT_EQ(vst3.Instance().ValueText(i, normalized), vst2.Instance().ParameterDisplay(i)) << text;
    }
  }
  double normalized;
  EXPECT_FALSE(vst3.Instance().ValueOfText(kParams, "1", &normalized));
}

TEST(Vst3Effect, PlainAndNormalisedValuesFollowTheParametersCurves) {
  Vst3Side vst3;
  Vst2Side vst2;
  ASSERT_SIDES_OK(vst3, vst2);
  vst2.Instance().Open();
  IEditController* controller = vst3.Instance().Controller();
  // The split frequency's curve is exponential: 100 Hz to 20 kHz.
  EXPECT_EQ(controller->normalizedParamToPlain(0, 0.0), 100.0);
  EXPECT_EQ(controller->normalizedParamToPlain(0, 1.0), 20000.0);
  EXPECT_NEAR(controller->normalizedParamToPlain(0, 0.5), std::sqrt(100.0 * 20000.0), 1e-3);
  EXPECT_EQ(controller->normalizedParamToPlain(1, 0.5), -14.0);  // -40 ... 12 dB, linear
  for (int i = 0; i < kParams; ++i) {
    // The plain value of a parameter's default gives the normalised default.
    ParameterInfo info{};
    ASSERT_TRUE(vst3.Instance().ParameterInfo(i, &info));
    const double plainDefault = controller->normalizedParamToPlain(i, info.defaultNormalizedValue);
    EXPECT_EQ(controller->plainParamToNormalized(i, plainDefault), info.defaultNormalizedValue);
    for (float v : kSettings) {
      vst2.Instance().SetParameter(i, v);
      const double plain = controller->normalizedParamToPlain(i, v);
      EXPECT_EQ(controller->plainParamToNormalized(i, plain),
                static_cast<double>(vst2.Instance().GetParameter(i)));
    }
  }
}

// A fresh pair, started alike, with kSettings applied: to the VST 2 plug-in by setParameter, to the VST 3 one
// as points at offset 0 of the first block (returned for the first call).
struct StartedPair {
  Vst3Side vst3;
  Vst2Side vst2;
  Vst3ParameterChanges firstChanges;
  StartedPair(double rate, int maxBlock, int32 sampleSize) {
    if (!vst3.Ok() || !vst2.Ok()) return;
    vst2.Instance().Start(rate, maxBlock);
    vst3.Instance().Start(rate, maxBlock, sampleSize);
    for (int i = 0; i < kParams; ++i) {
      vst2.Instance().SetParameter(i, kSettings[i]);
      firstChanges.Add(i, 0, kSettings[i]);
    }
  }
};

template <class Sample>
void ExpectSameOutputAsVst2(double rate, int maxBlock, const std::vector<int>& blocks) {
  const int32 sampleSize = sizeof(Sample) == sizeof(float) ? kSample32 : kSample64;
  StartedPair pair(rate, maxBlock, sampleSize);
  ASSERT_SIDES_OK(pair.vst3, pair.vst2);
  int total = 0;
  for (int b : blocks) total += b;
  const Signal signal(total);
  Stereo<Sample> out2, out3;
  int position2 = 0, position3 = 0;
  for (size_t k = 0; k < blocks.size(); ++k) {
    PlayVst2(pair.vst2.Instance(), signal, {Process(blocks[k])}, position2, out2);
    ASSERT_EQ(ProcessVst3(pair.vst3.Instance(), signal, position3, blocks[k],
                          k == 0 ? &pair.firstChanges : nullptr, out3),
              kResultOk);
  }
  EXPECT_EQ(Difference(out3, out2), "")
      << sizeof(Sample) * 8 << "-bit, " << rate << " Hz, maximum block " << maxBlock;
}

// Block lengths a host sends: full blocks, short ones, single frames, and more than it announced.
std::vector<int> BlockPattern(int maxBlock, int frames) {
  const int pattern[] = {maxBlock, maxBlock / 2 + 1, 1, maxBlock, 3 * maxBlock + 5, 7, maxBlock - 1};
  std::vector<int> blocks;
  for (int k = 0, total = 0; total < frames; ++k) {
    const int b = pattern[k % 7] > 0 ? pattern[k % 7] : 1;
    blocks.push_back(b);
    total += b;
  }
  return blocks;
}

TEST(Vst3Effect, OutputIsTheVst2PluginsBitForBit) {
  struct Case {
    double rate;
    int maxBlock;
  } cases[] = {{44100.0, 64}, {44100.0, 512}, {96000.0, 4096}, {48000.0, 1000}, {22050.0, 1}};
  for (const Case& c : cases) {
    const std::vector<int> blocks = BlockPattern(c.maxBlock, c.maxBlock == 1 ? 600 : 40000);
    ExpectSameOutputAsVst2<float>(c.rate, c.maxBlock, blocks);
    ExpectSameOutputAsVst2<double>(c.rate, c.maxBlock, blocks);
  }
}

// Points inside one block against the VST 2 plug-in driven in the pieces they should make.
struct PointCase {
  const char* name;
  // Queues in host order: (parameter id, offset, value) points; a new queue starts at each entry with
  // newQueue set, else the point goes to its parameter's queue.
  struct Point {
    ParamID id;
    int32 offset;
    double value;
    bool newQueue;
  };
  std::vector<Point> points;
  std::vector<Step> expected;  // for a block of kPointBlock frames, then one more block without points
};
constexpr int kPointBlock = 512;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::vector<PointCase>& PointCases() {
  static const std::vector<PointCase> cases = {
      {"offset 0 applies before the block", {{0, 0, 0.2, false}}, {Set(0, 0.2f), Process(512)}},
      {"one point inside", {{1, 100, 0.9, false}}, {Process(100), Set(1, 0.9f), Process(412)}},
      {"three parameters, ramp on one",
       {{0, 50, 0.25, false},
        {0, 300, 0.5, false},
        {0, 400, 0.75, false},
        {3, 120, 0.1, false},
        {4, 300, 0.6, false}},
       {Process(50), Set(0, 0.25f), Process(70), Set(3, 0.1f), Process(180), Set(0, 0.5f), Set(4, 0.6f),
        Process(100), Set(0, 0.75f), Process(112)}},
      {"two points at one offset apply in order",
       {{2, 200, 0.3, false}, {2, 200, 0.6, false}},
       {Process(200), Set(2, 0.3f), Set(2, 0.6f), Process(312)}},
      {"a point before the one before it takes effect at once",
       {{0, 300, 0.8, false}, {0, 100, 0.1, false}},
       {Process(300), Set(0, 0.8f), Set(0, 0.1f), Process(212)}},
      {"negative offset at the start, beyond the block at its end",
       {{1, -5, 0.4, false}, {1, 600, 0.95, false}},
       {Set(1, 0.4f), Process(512), Set(1, 0.95f)}},
      {"last frame and block end",
       {{3, 511, 0.05, false}, {4, 512, 0.99, false}},
       {Process(511), Set(3, 0.05f), Process(1), Set(4, 0.99f)}},
      {"NaN ignored, outside 0 to 1 held to the ends",
       {{0, 64, kNaN, false}, {0, 128, 1.5, false}, {1, 256, -0.5, false}},
       {Process(128), Set(0, 1.0f), Process(128), Set(1, 0.0f), Process(256)}},
      {"unknown parameter ignored",
       {{99, 10, 0.5, false}, {2, 20, 0.5, false}},
       {Process(20), Set(2, 0.5f), Process(492)}},
      {"two queues for one parameter, in host order",
       {{0, 100, 0.2, true}, {0, 100, 0.9, true}},
       {Process(100), Set(0, 0.2f), Set(0, 0.9f), Process(412)}},
      {"values not exact in float pass through float",
       {{0, 33, 0.1234567890123, false}},
       {Process(33), Set(0, static_cast<float>(0.1234567890123)), Process(479)}},
  };
  return cases;
}

template <class Sample>
void ExpectPointsMatchPieces(const PointCase& c) {
  const int32 sampleSize = sizeof(Sample) == sizeof(float) ? kSample32 : kSample64;
  StartedPair pair(44100.0, kPointBlock, sampleSize);
  ASSERT_SIDES_OK(pair.vst3, pair.vst2);
  const Signal signal(4 * kPointBlock);
  Stereo<Sample> out2, out3;
  int position2 = 0, position3 = 0;
  // A first block with the settings, then the case's block, then one more without points.
  PlayVst2(pair.vst2.Instance(), signal, {Process(kPointBlock)}, position2, out2);
  ProcessVst3(pair.vst3.Instance(), signal, position3, kPointBlock, &pair.firstChanges, out3);

  Vst3ParameterChanges changes;
  for (const PointCase::Point& p : c.points) {
    if (p.newQueue) {
      int32 index;
      changes.AddSeparateQueue(p.id).addPoint(p.offset, p.value, index);
    } else {
      changes.Add(p.id, p.offset, p.value);
    }
  }
  std::vector<Step> steps = c.expected;
  steps.push_back(Process(kPointBlock));
  PlayVst2(pair.vst2.Instance(), signal, steps, position2, out2);
  ASSERT_EQ(ProcessVst3(pair.vst3.Instance(), signal, position3, kPointBlock, &changes, out3), kResultOk);
  ProcessVst3(pair.vst3.Instance(), signal, position3, kPointBlock, nullptr, out3);
  EXPECT_EQ(Difference(out3, out2), "") << c.name << ", " << sizeof(Sample) * 8 << "-bit";
  // The settings reached the state as they reached the VST 2 plug-in.
  EXPECT_EQ(pair.vst3.Instance().GetState(), pair.vst2.Instance().GetChunk(Vst2Chunk::kProgram)) << c.name;
}

TEST(Vst3Effect, PointsInsideABlockEqualTheVst2PluginDrivenInPieces) {
  for (const PointCase& c : PointCases()) {
    ExpectPointsMatchPieces<float>(c);
    ExpectPointsMatchPieces<double>(c);
  }
}

TEST(Vst3Effect, AutomationRampOverManyBlocksEqualsVst2InPieces) {
  for (int32 sampleSize : {kSample32, kSample64}) {
    StartedPair pair(48000.0, 256, sampleSize);
    ASSERT_SIDES_OK(pair.vst3, pair.vst2);
    const int blocks = 40, block = 256, every = 24;
    const Signal signal(blocks * block);
    Stereo<float> out2f, out3f;
    Stereo<double> out2d, out3d;
    int position2 = 0, position3 = 0;
    Vst3ParameterChanges changes;
    for (int b = 0; b < blocks; ++b) {
      changes.Clear();
      std::vector<Step> steps;
      if (b == 0) {
        for (int i = 0; i < kParams; ++i) changes.Add(i, 0, kSettings[i]);
      }
      int done = 0;
      for (int offset = (every - (b * block) % every) % every; offset < block; offset += every) {
        const double value = static_cast<double>(b * block + offset) / (blocks * block);
        changes.Add(0, offset, value);
        changes.Add(3, offset, 1.0 - value);
        if (offset > done) steps.push_back(Process(offset - done));
        steps.push_back(Set(0, static_cast<float>(value)));
        steps.push_back(Set(3, static_cast<float>(1.0 - value)));
        done = offset;
      }
      steps.push_back(Process(block - done));
      if (sampleSize == kSample32) {
        PlayVst2(pair.vst2.Instance(), signal, steps, position2, out2f);
        ProcessVst3(pair.vst3.Instance(), signal, position3, block, &changes, out3f);
      } else {
        PlayVst2(pair.vst2.Instance(), signal, steps, position2, out2d);
        ProcessVst3(pair.vst3.Instance(), signal, position3, block, &changes, out3d);
      }
    }
    EXPECT_EQ(Difference(out3f, out2f), "");
    EXPECT_EQ(Difference(out3d, out2d), "");
  }
}

TEST(Vst3Effect, SuspendResumeAndNewSetupsResetAsVst2Does) {
  StartedPair pair(44100.0, 512, kSample32);
  ASSERT_SIDES_OK(pair.vst3, pair.vst2);
  const Signal signal(8 * 512 + 4 * 300);
  Stereo<float> out2, out3;
  int position2 = 0, position3 = 0;
  auto both = [&](int frames, IParameterChanges* changes) {
    PlayVst2(pair.vst2.Instance(), signal, {Process(frames)}, position2, out2);
    ProcessVst3(pair.vst3.Instance(), signal, position3, frames, changes, out3);
  };
  both(512, &pair.firstChanges);
  both(512, nullptr);
  // Suspend and resume: the filters start afresh, the random placement goes on.
  pair.vst2.Instance().Suspend();
  pair.vst2.Instance().Resume();
  pair.vst3.Instance().SetActive(false);
  pair.vst3.Instance().SetActive(true);
  both(512, nullptr);
  both(512, nullptr);
  // A new rate and block size while suspended.
  pair.vst2.Instance().Suspend();
  pair.vst2.Instance().SetSampleRate(96000.0);
  pair.vst2.Instance().SetBlockSize(300);
  pair.vst2.Instance().Resume();
  pair.vst3.Instance().SetProcessing(false);
  pair.vst3.Instance().SetActive(false);
  ASSERT_EQ(pair.vst3.Instance().Setup(96000.0, 300, kSample32), kResultOk);
  pair.vst3.Instance().SetActive(true);
  pair.vst3.Instance().SetProcessing(true);
  for (int k = 0; k < 4; ++k) both(300, nullptr);
  both(512, nullptr);  // more than announced: in pieces of 300
  EXPECT_EQ(Difference(out3, out2), "");

  // Setups that cannot run are refused and change nothing.
  EXPECT_NE(pair.vst3.Instance().Setup(0.0, 512, kSample32), kResultOk);
  EXPECT_NE(pair.vst3.Instance().Setup(std::numeric_limits<double>::infinity(), 512, kSample32), kResultOk);
  EXPECT_NE(pair.vst3.Instance().Setup(44100.0, 0, kSample32), kResultOk);
  EXPECT_NE(pair.vst3.Instance().Setup(44100.0, 512, 3), kResultOk);
  both(300, nullptr);
  EXPECT_EQ(Difference(out3, out2), "");
}

TEST(Vst3Effect, StateIsTheVst2ProgramChunk) {
  StartedPair pair(44100.0, 512, kSample64);
  ASSERT_SIDES_OK(pair.vst3, pair.vst2);
  const Signal signal(512);
  Stereo<double> out;
  int position = 0;
  ProcessVst3(pair.vst3.Instance(), signal, position, 512, &pair.firstChanges, out);
  const std::vector<uint8_t> chunk = pair.vst2.Instance().GetChunk(Vst2Chunk::kProgram);
  ASSERT_EQ(chunk.size(), 48u);
  EXPECT_EQ(pair.vst3.Instance().GetState(), chunk);

  // Another instance takes the VST 2 chunk, also from a stream that gives one byte a read.
  for (int perRead : {0, 1, 5}) {
    Vst3Side other;
    ASSERT_TRUE(other.Ok()) << other.Error();
    EXPECT_NE(other.Instance().GetState(), chunk);
    ASSERT_EQ(other.Instance().SetState(chunk, perRead), kResultOk);
    EXPECT_EQ(other.Instance().GetState(), chunk);
    // The controller side of the object follows the state it was given.
    for (int i = 0; i < kParams; ++i) {
      EXPECT_EQ(other.Instance().Controller()->getParamNormalized(i),
                static_cast<double>(pair.vst2.Instance().GetParameter(i)));
    }
  }
}

// Chunks of every kind load into both formats alike: the VST 3 plug-in takes what the VST 2 one takes whole
// and keeps its state where the VST 2 one fails.
TEST(Vst3Effect, SetStateTakesWhatVst2TakesWholeAndOtherwiseChangesNothing) {
  Vst2Side source;
  ASSERT_TRUE(source.Ok());
  source.Instance().Open();
  for (int i = 0; i < kParams; ++i) source.Instance().SetParameter(i, 1.0f - kSettings[i]);
  const std::vector<uint8_t> good = source.Instance().GetChunk(Vst2Chunk::kProgram);
  ASSERT_EQ(good.size(), 48u);
  std::vector<uint8_t> headerless(good.begin() + 8, good.end());
  std::vector<uint8_t> outOfRange = good;
  const double huge = 1e300;
  std::memcpy(outOfRange.data() + 8, &huge, sizeof huge);
  std::vector<uint8_t> longer = good;
  longer.insert(longer.end(), 100, 0xAB);
  std::vector<uint8_t> random(64);
  for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<uint8_t>(i * 37 + 11);

  const std::vector<std::vector<uint8_t>> chunks = {good,
                                                    headerless,
                                                    outOfRange,
                                                    longer,
                                                    random,
                                                    {},
                                                    {1, 2, 3},
                                                    std::vector<uint8_t>(good.begin(), good.end() - 1),
                                                    std::vector<uint8_t>(good.begin(), good.begin() + 8),
                                                    std::vector<uint8_t>(40, 0xFF)};
  for (size_t k = 0; k < chunks.size(); ++k) {
    StartedPair pair(44100.0, 512, kSample32);
    ASSERT_SIDES_OK(pair.vst3, pair.vst2);
    const Signal signal(1024);
    Stereo<float> out2, out3;
    int position2 = 0, position3 = 0;
    PlayVst2(pair.vst2.Instance(), signal, {Process(512)}, position2, out2);
    ProcessVst3(pair.vst3.Instance(), signal, position3, 512, &pair.firstChanges, out3);
    const std::vector<uint8_t> before = pair.vst3.Instance().GetState();

    const bool vst2Took = pair.vst2.Instance().SetChunk(Vst2Chunk::kProgram, chunks[k]) == 1;
    const bool vst3Took = pair.vst3.Instance().SetState(chunks[k], 3) == kResultOk;
    EXPECT_EQ(vst3Took, vst2Took) << "chunk " << k;
    if (vst3Took) {
      EXPECT_EQ(pair.vst3.Instance().GetState(), pair.vst2.Instance().GetChunk(Vst2Chunk::kProgram))
          << "chunk " << k;
      PlayVst2(pair.vst2.Instance(), signal, {Process(512)}, position2, out2);
      ProcessVst3(pair.vst3.Instance(), signal, position3, 512, nullptr, out3);
      EXPECT_EQ(Difference(out3, out2), "") << "chunk " << k;
    } else {
      EXPECT_EQ(pair.vst3.Instance().GetState(), before) << "chunk " << k;
    }
  }
}

// The renderer saves the VST 2 plug-in's program chunk; the VST 3 plug-in loads it and shows its values.
TEST(Vst3Effect, LoadsTheStateTheRendererSaves) {
  const std::string path = ::testing::TempDir() + "vst3-renderer-state.bin";
  std::remove(path.c_str());
  const std::string command = std::string(QUILLMERE_RENDER) + " --plugin " + QUILLMERE_PLUGIN_PATH +
                              " --set-normalized 0=0.3 --set LowFreqzQ=-7.5 --save-state " + path +
                              " --list-params > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<uint8_t> saved;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(file)) != EOF) saved.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
  }
  ASSERT_EQ(saved.size(), 48u);
  Vst3Side vst3;
  ASSERT_TRUE(vst3.Ok()) << vst3.Error();
  ASSERT_EQ(vst3.Instance().SetState(saved, 7), kResultOk);
  EXPECT_EQ(vst3.Instance().GetState(), saved);
  IEditController* controller = vst3.Instance().Controller();
  EXPECT_EQ(controller->getParamNormalized(0), static_cast<double>(0.3f));
  EXPECT_EQ(vst3.Instance().ValueText(0, controller->getParamNormalized(0)), "490.127");
  EXPECT_EQ(vst3.Instance().ValueText(1, controller->getParamNormalized(1)), "-7.500");
  std::remove(path.c_str());
}

TEST(Vst3Effect, ControllerViewFollowsComponentStateAndLeavesTheAudioAlone) {
  StartedPair pair(44100.0, 512, kSample32);
  ASSERT_SIDES_OK(pair.vst3, pair.vst2);
  const Signal signal(2048);
  Stereo<float> out2, out3;
  int position2 = 0, position3 = 0;
  PlayVst2(pair.vst2.Instance(), signal, {Process(512)}, position2, out2);
  ProcessVst3(pair.vst3.Instance(), signal, position3, 512, &pair.firstChanges, out3);
  const std::vector<uint8_t> running = pair.vst3.Instance().GetState();
  IEditController* controller = pair.vst3.Instance().Controller();

  // setComponentState moves the controller's values only.
  Vst2Side other;
  ASSERT_TRUE(other.Ok());
  other.Instance().Open();
  for (int i = 0; i < kParams; ++i) other.Instance().SetParameter(i, 0.5f * kSettings[i]);
  ASSERT_EQ(pair.vst3.Instance().SetComponentState(other.Instance().GetChunk(Vst2Chunk::kProgram)),
            kResultOk);
  for (int i = 0; i < kParams; ++i) {
    EXPECT_EQ(controller->getParamNormalized(i), static_cast<double>(other.Instance().GetParameter(i)));
  }
  EXPECT_EQ(pair.vst3.Instance().GetState(), running);
  EXPECT_NE(pair.vst3.Instance().SetComponentState({1, 2, 3}), kResultOk);

  // setParamNormalized moves the controller's value only; the audio changes through points alone.
  ASSERT_EQ(controller->setParamNormalized(2, 0.625), kResultOk);
  EXPECT_EQ(controller->getParamNormalized(2), 0.625);
  EXPECT_NE(controller->setParamNormalized(kParams, 0.5), kResultOk);
  EXPECT_EQ(pair.vst3.Instance().GetState(), running);
  PlayVst2(pair.vst2.Instance(), signal, {Process(512)}, position2, out2);
  ProcessVst3(pair.vst3.Instance(), signal, position3, 512, nullptr, out3);
  EXPECT_EQ(Difference(out3, out2), "");
}

TEST(Vst3Effect, HostLearnsNothingBadFromLifecycleAndReleasesEverything) {
  Vst3HostApplication application;
  Vst3ComponentHandler handler;
  {
    Vst3Module module;
    ASSERT_EQ(module.Open(QUILLMERE_VST3_BUNDLE), HostStatus::kOk) << module.Error();
    TUID cid;
    ASSERT_TRUE(module.FindAudioEffect(cid));
    Vst3Instance instance;
    ASSERT_EQ(instance.Create(module, cid, application, handler), HostStatus::kOk) << instance.Error();
    EXPECT_GT(application.References(), 0);
    EXPECT_GT(handler.References(), 0);
    // Interfaces the effect does not have are refused; those it has come back as the same object.
    void* object = &cid;
    EXPECT_EQ(instance.Component()->queryInterface(IPlugView_iid, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(instance.Controller()->createView("editor"), nullptr);
    instance.Close();
  }
  EXPECT_EQ(application.References(), 0);
  EXPECT_EQ(handler.References(), 0);
}

TEST(Vst3Module, ExportsOnlyItsThreeEntryPoints) {
  const std::string command =
      std::string(QUILLMERE_NM) + " -D --defined-only \"" + Vst3ModulePath(QUILLMERE_VST3_BUNDLE) + "\"";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof(line), pipe)) {
    char address[64], kind[8], name[256];
    if (std::sscanf(line, "%63s %7s %255s", address, kind, name) == 3) names.insert(name);
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
}

}  // namespace
