// SPDX-License-Identifier: GPL-3.0-or-later
// The built VST 3 bundle, driven through GetPluginFactory as a host drives it, against the built VST 2
// plug-in driven the same way: same texts, same state bytes, same output bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "tests/ExportedSymbols.h"
#include "tests/vst3/Vst3Driver.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using test_support::Stereo;
using test_support::Vst2Reference;

namespace {

constexpr int kParams = 5;
// Settings away from the defaults, as normalised values.
constexpr float kSettings[kParams] = {0.31f, 0.82f, 0.17f, 0.71f, 0.09f};

#define ASSERT_SIDES_OK(vst3, vst2)           \
  ASSERT_TRUE((vst3).Ok()) << (vst3).Error(); \
  ASSERT_TRUE((vst2).Ok()) << (vst2).Problem()

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
  Vst3Driver vst3;
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
  Vst3Driver vst3;
  Vst2Reference vst2(QUILLMERE_VST2_PATH);
  ASSERT_SIDES_OK(vst3, vst2);
  vst2.Open();
  ASSERT_EQ(vst3.Instance().ParameterCount(), kParams);
  ASSERT_EQ(vst2.ParameterCount(), kParams);
  for (int i = 0; i < kParams; ++i) {
    ParameterInfo info{};
    ASSERT_TRUE(vst3.Instance().ParameterInfo(i, &info));
    EXPECT_EQ(info.id, static_cast<ParamID>(i));
    EXPECT_EQ(Vst3Utf8(info.title), vst2.ParameterName(i));
    EXPECT_EQ(Vst3Utf8(info.units), vst2.ParameterLabel(i));
    EXPECT_EQ(info.stepCount, 0);
    EXPECT_EQ(info.flags & ParameterInfo::kCanAutomate, ParameterInfo::kCanAutomate);
    const double vst2Default = vst2.GetParameter(i);
    EXPECT_EQ(info.defaultNormalizedValue, vst2Default) << "parameter " << i;
    EXPECT_EQ(vst3.Instance().Controller()->getParamNormalized(i), vst2Default) << "parameter " << i;
  }
  ParameterInfo info{};
  EXPECT_FALSE(vst3.Instance().ParameterInfo(kParams, &info));
  EXPECT_FALSE(vst3.Instance().ParameterInfo(-1, &info));
}

TEST(Vst3Effect, ValueTextsAreTheVst2PluginsTexts) {
  Vst3Driver vst3;
  Vst2Reference vst2(QUILLMERE_VST2_PATH);
  ASSERT_SIDES_OK(vst3, vst2);
  vst2.Open();
  const double values[] = {0.0, 1e-7, 0.1, 0.25, 1.0 / 3.0, 0.5, 0.7777777, 0.999, 1.0};
  for (int i = 0; i < kParams; ++i) {
    for (double v : values) {
      vst2.SetParameter(i, static_cast<float>(v));
      EXPECT_EQ(vst3.Instance().ValueText(i, v), vst2.ParameterDisplay(i))
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
      ASSERT_EQ(vst2.SetParameterText(i, text), 1);
      double normalized = -1.0;
      ASSERT_TRUE(vst3.Instance().ValueOfText(i, text, &normalized)) << text;
      EXPECT_EQ(normalized, static_cast<double>(vst2.GetParameter(i))) << "parameter " << i << ": " << text;
      EXPECT_EQ(vst3.Instance().ValueText(i, normalized), vst2.ParameterDisplay(i)) << text;
    }
  }
  double normalized;
  EXPECT_FALSE(vst3.Instance().ValueOfText(kParams, "1", &normalized));
}

TEST(Vst3Effect, PlainAndNormalisedValuesFollowTheParametersCurves) {
  Vst3Driver vst3;
  Vst2Reference vst2(QUILLMERE_VST2_PATH);
  ASSERT_SIDES_OK(vst3, vst2);
  vst2.Open();
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
      vst2.SetParameter(i, v);
      const double plain = controller->normalizedParamToPlain(i, v);
      EXPECT_EQ(controller->plainParamToNormalized(i, plain), static_cast<double>(vst2.GetParameter(i)));
    }
  }
}

// The VST 3 and the VST 2 plug-in side by side over a test signal of the given length, both given the
// settings away from the defaults, as normalised values, then a start at 44.1 kHz and one block of 512; then
// then(vst3, run).
template <class Then>
void AfterSettingsAndABlock(size_t frames, Then then) {
  Vst3Driver vst3;
  Vst2Reference vst2(QUILLMERE_VST2_PATH);
  ASSERT_SIDES_OK(vst3, vst2);
  const Stereo<double> signal = test_support::TestSignal(frames);
  test_support::SideBySide<float> run(vst3, vst2, signal);
  std::vector<test_support::Step> steps;
  for (int i = 0; i < kParams; ++i) steps.push_back(test_support::SetRaw(i, kSettings[i]));
  steps.push_back(test_support::Start(44100.0, 512));
  steps.push_back(test_support::Block(512));
  run.Play(steps);
  then(vst3, run);
}

// Setups that cannot run are refused and change nothing.
TEST(Vst3Effect, SetupsThatCannotRunAreRefusedAndChangeNothing) {
  AfterSettingsAndABlock(812, [](Vst3Driver& vst3, test_support::SideBySide<float>& run) {
    EXPECT_NE(vst3.Instance().Setup(0.0, 512, kSample32), kResultOk);
    EXPECT_NE(vst3.Instance().Setup(std::numeric_limits<double>::infinity(), 512, kSample32), kResultOk);
    EXPECT_NE(vst3.Instance().Setup(44100.0, 0, kSample32), kResultOk);
    EXPECT_NE(vst3.Instance().Setup(44100.0, 512, 3), kResultOk);
    run.Play({test_support::Block(300)});
    ASSERT_EQ(run.Problem(), "");
    EXPECT_EQ(run.Difference(), "");
  });
}

// The controller side of the object follows the state it is given, from streams of any step.
TEST(Vst3Effect, ControllerFollowsTheStateItIsGiven) {
  Vst2Reference vst2(QUILLMERE_VST2_PATH);
  ASSERT_TRUE(vst2.Ok()) << vst2.Problem();
  vst2.Open();
  for (int i = 0; i < kParams; ++i) vst2.SetParameter(i, kSettings[i]);
  const std::vector<uint8_t> chunk = vst2.GetChunk(Vst2Chunk::kProgram);
  for (int perRead : {0, 1, 5}) {
    Vst3Driver other;
    ASSERT_TRUE(other.Ok()) << other.Error();
    ASSERT_EQ(other.Instance().SetState(chunk, perRead), kResultOk);
    for (int i = 0; i < kParams; ++i) {
      EXPECT_EQ(other.Instance().Controller()->getParamNormalized(i),
                static_cast<double>(vst2.GetParameter(i)))
          << "parameter " << i << ", " << perRead << " bytes a read";
    }
  }
}

TEST(Vst3Effect, ControllerViewFollowsComponentStateAndLeavesTheAudioAlone) {
  AfterSettingsAndABlock(2048, [](Vst3Driver& vst3, test_support::SideBySide<float>& run) {
    const std::vector<uint8_t> running = vst3.Instance().GetState();
    IEditController* controller = vst3.Instance().Controller();

    // setComponentState moves the controller's values only.
    Vst2Reference other(QUILLMERE_VST2_PATH);
    ASSERT_TRUE(other.Ok()) << other.Problem();
    other.Open();
    for (int i = 0; i < kParams; ++i) other.SetParameter(i, 0.5f * kSettings[i]);
    ASSERT_EQ(vst3.Instance().SetComponentState(other.GetChunk(Vst2Chunk::kProgram)), kResultOk);
    for (int i = 0; i < kParams; ++i) {
      EXPECT_EQ(controller->getParamNormalized(i), static_cast<double>(other.GetParameter(i)));
    }
    EXPECT_EQ(vst3.Instance().GetState(), running);
    EXPECT_NE(vst3.Instance().SetComponentState({1, 2, 3}), kResultOk);

    // setParamNormalized moves the controller's value only; the audio changes through points alone.
    ASSERT_EQ(controller->setParamNormalized(2, 0.625), kResultOk);
    EXPECT_EQ(controller->getParamNormalized(2), 0.625);
    EXPECT_NE(controller->setParamNormalized(kParams, 0.5), kResultOk);
    EXPECT_EQ(vst3.Instance().GetState(), running);
    run.Play({test_support::Block(512)});
    EXPECT_EQ(run.Difference(), "");
  });
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
  std::set<std::string> names;
  ASSERT_NO_FATAL_FAILURE(
      test_support::ListExportedSymbols(QUILLMERE_NM, Vst3ModulePath(QUILLMERE_VST3_BUNDLE), &names));
  EXPECT_EQ(names, (std::set<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
}

}  // namespace
