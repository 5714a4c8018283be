// SPDX-License-Identifier: GPL-3.0-or-later
// What the host cannot see from outside: the descriptor for other descriptions, host requests, bounded texts
// and the effect's hand-over to its engine.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effect/ZvAudioPlugin.h"
#include "vst/IPlugVST.h"

namespace {

// A host whose answers each test sets.
struct FakeHost {
  std::vector<VstInt32> opcodes;
  std::string product = "Test Host";
  VstIntPtr vendorVersion = 0;
  VstTimeInfo time{};
  bool hasTime = true;
  VstIntPtr eventsAnswer = 1;
  VstMidiSysexEvent lastSysex{};
};
FakeHost gHost;

VstIntPtr VSTCALLBACK FakeCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
  gHost.opcodes.push_back(opcode);
  switch (opcode) {
    case audioMasterGetProductString:
      std::strcpy(static_cast<char*>(ptr), gHost.product.c_str());
      return 1;
    case audioMasterGetVendorVersion:
      return gHost.vendorVersion;
    case audioMasterGetTime:
      return gHost.hasTime ? reinterpret_cast<VstIntPtr>(&gHost.time) : 0;
    case audioMasterProcessEvents: {
      const VstEvents* events = static_cast<const VstEvents*>(ptr);
      if (events->numEvents == 1 && events->events[0]->type == kVstSysExType) {
        std::memcpy(&gHost.lastSysex, events->events[0], sizeof(VstMidiSysexEvent));
      }
      return gHost.eventsAnswer;
    }
    default:
      return 0;
  }
}

class ProbePlug : public IPlugVST {
 public:
  ProbePlug(const char* channelIO = "2-2", int nPresets = 0, bool chunks = false, bool instrument = false,
            int version = 0x100, bool midi = false, const char* name = "Probe", const char* vendor = "")
      : IPlugVST(FakeCallback, 2, channelIO, nPresets, name, name, vendor, version, 0x4B717A72, 0x5A5156, 0,
                 midi, chunks, instrument, 0) {
    Param(0)->DefineContinuous("Gain", 0.0, -1e40, 1e40, 0.001, "dB", 1.0);
    Param(1)->DefineContinuous("Mode", 0.0, 0.0, 2.0, 1.0, "", 1.0);
    Param(1)->SetKind(kKindEnum);
    Param(1)->AddValueText(0, "Off");
    Param(1)->AddValueText(2, "Twice");
  }
  void ResetProcessing() override { mLog.push_back("reset"); }
  void ParamChanged(int index) override { mLog.push_back("changed " + std::to_string(index)); }
  void HostIdentifiedHook() override { mLog.push_back("identified " + std::to_string(gHost.opcodes.size())); }

  std::vector<std::string> mLog;

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
    return VSTDispatcher(Descriptor(), opcode, index, value, ptr, 0.0f);
  }
};

class IPlugVSTTest : public ::testing::Test {
 protected:
  void SetUp() override { gHost = FakeHost(); }
};

TEST_F(IPlugVSTTest, DescriptorFollowsTheDescription) {
  struct Case {
    const char* channelIO;
    int presets;
    bool chunks;
    bool instrument;
    int version;
    VstInt32 flags;
    VstInt32 inputs;
    VstInt32 outputs;
    VstInt32 versionField;
    VstIntPtr category;
  };
  const Case cases[] = {{"2-2", 0, false, false, 0x100, 0x1010, 2, 2, 100, 1},
                        {"1-1 2-2", 3, false, false, 0x00010203, 0x1018, 2, 2, 10203, 1},
                        {"2-2", 0, true, false, 0x100, 0x1030, 2, 2, 100, 1},
                        {"0-2", 0, false, true, 0x100, 0x1110, 0, 2, 100, 2}};
  for (const Case& c : cases) {
    ProbePlug plug(c.channelIO, c.presets, c.chunks, c.instrument, c.version);
    const AEffect* d = plug.Descriptor();
    EXPECT_EQ(d->flags, c.flags) << c.channelIO;
    EXPECT_EQ(d->numPrograms, c.presets);
    EXPECT_EQ(d->numInputs, c.inputs);
    EXPECT_EQ(d->numOutputs, c.outputs);
    EXPECT_EQ(d->version, c.versionField);
    EXPECT_EQ(d->object, &plug);
    EXPECT_EQ(plug.Dispatch(effGetPlugCategory), c.category);
    EXPECT_EQ(plug.BlockSize(), 1024);
  }
  EXPECT_TRUE(gHost.opcodes.empty());
}

TEST_F(IPlugVSTTest, SpeakerArrangementTypesFollowTheChannelCount) {
  const int counts[] = {0, 1, 2, 3, 6};
  const VstInt32 types[] = {-1, 0, 1, -2, -2};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ArrangementTypeFor(counts[i]), types[i]) << counts[i];

  ProbePlug plug("6-6");
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
  EXPECT_EQ(in->type, -2);
  EXPECT_EQ(in->numChannels, 6);
  EXPECT_EQ(out->numChannels, 6);
  VstPinProperties pin{};
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 4, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 3);
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 5, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 1);
}

TEST_F(IPlugVSTTest, HostVersionIsAskedOnceAndPacked) {
  struct Case {
    const char* product;
    VstIntPtr version;
    int packed;
    size_t requests;
  };
  const Case cases[] = {{"Test Host", 5983, 0x00003B53, 2},
                        {"Test Host", 60102, 0x00060102, 2},
                        {"Test Host", 2010, 0x0000140A, 2},
                        {"", 2010, 0, 1}};
  for (const Case& c : cases) {
    gHost = FakeHost();
    gHost.product = c.product;
    gHost.vendorVersion = c.version;
    ProbePlug plug;
    plug.Dispatch(effOpen);
    plug.Dispatch(effOpen);
    EXPECT_EQ(plug.HostVersionPacked(), c.packed) << c.version;
    EXPECT_EQ(gHost.opcodes.size(), c.requests);
    EXPECT_EQ(gHost.opcodes[0], audioMasterGetProductString);
    EXPECT_NE(plug.HostId(), kAppNotAsked);
    EXPECT_EQ(gHost.opcodes.size(), c.requests);
  }
}

TEST_F(IPlugVSTTest, TimeQueriesFollowTheValidityFlags) {
  ProbePlug plug;
  gHost.time.samplePos = 1000.5;
  EXPECT_EQ(plug.HostSamplePosition(), 1001);
  gHost.time.samplePos = -3.0;
  EXPECT_EQ(plug.HostSamplePosition(), 0);
  gHost.hasTime = false;
  EXPECT_EQ(plug.HostSamplePosition(), 0);
  gHost.hasTime = true;

  gHost.time.tempo = 0.0;
  gHost.time.flags = kVstTempoValid;
  EXPECT_EQ(plug.HostTempo(), 0.0);
  ITransportInfo info;
  info.mBeatsPerMinute = 99.0;
  plug.HostTransport(&info);
  EXPECT_EQ(info.mBeatsPerMinute, 99.0);
  gHost.time.tempo = 120.0;
  gHost.time.flags = kVstPpqPosValid;
  EXPECT_EQ(plug.HostTempo(), 0.0);
  gHost.time.flags = kVstTempoValid;
  EXPECT_EQ(plug.HostTempo(), 120.0);

  ITransportInfo untouched;
  untouched.mSamplePosition = -1.0;
  gHost.time.flags = kVstTransportPlaying;
  plug.HostTransport(&untouched);
  EXPECT_EQ(untouched.mSamplePosition, -1.0);
  EXPECT_FALSE(untouched.mIsPlaying);

  gHost.time = VstTimeInfo{};
  gHost.time.samplePos = 48000.0;
  gHost.time.ppqPos = 4.0;
  gHost.time.tempo = 90.0;
  gHost.time.barStartPos = 3.0;
  gHost.time.cycleStartPos = 1.0;
  gHost.time.cycleEndPos = 9.0;
  gHost.time.timeSigNumerator = 7;
  gHost.time.timeSigDenominator = 8;
  gHost.time.flags = 0x3E00 | kVstTransportPlaying | kVstTransportCycleActive;
  ITransportInfo full;
  plug.HostTransport(&full);
  EXPECT_EQ(full.mSamplePosition, 48000.0);
  EXPECT_EQ(full.mQuarterNotePosition, 4.0);
  EXPECT_EQ(full.mBeatsPerMinute, 90.0);
  EXPECT_EQ(full.mBarStartPosition, 3.0);
  EXPECT_EQ(full.mLoopStart, 1.0);
  EXPECT_EQ(full.mLoopEnd, 9.0);
  EXPECT_EQ(full.mTimeSigTop, 7);
  EXPECT_EQ(full.mTimeSigBottom, 8);
  EXPECT_TRUE(full.mIsPlaying);
  EXPECT_TRUE(full.mIsLooping);
  int numerator = -1;
  int denominator = -1;
  plug.HostTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 7);
  EXPECT_EQ(denominator, 8);
  gHost.time.flags = kVstTempoValid;
  plug.HostTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 0);
  EXPECT_EQ(denominator, 0);
}

TEST_F(IPlugVSTTest, OutgoingEventsTravelOneAtATime) {
  ProbePlug plug;
  const uint8_t bytes[10] = {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 0xF7};
  ISysExMessage sysex;
  sysex.mOffset = 12;
  sysex.mSize = 10;
  sysex.mData = bytes;
  EXPECT_TRUE(plug.SendSysExMessage(&sysex));
  EXPECT_EQ(gHost.lastSysex.type, kVstSysExType);
  EXPECT_EQ(gHost.lastSysex.byteSize, 48);
  EXPECT_EQ(gHost.lastSysex.dumpBytes, 10);
  EXPECT_EQ(gHost.lastSysex.deltaFrames, 12);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(gHost.lastSysex.sysexDump), bytes);
  gHost.eventsAnswer = 2;
  IMidiMessage note;
  EXPECT_FALSE(plug.SendMidiMessage(&note));
  EXPECT_FALSE(plug.IsOfflineRender());
}

TEST_F(IPlugVSTTest, TextsCopiedToTheHostAreBounded) {
  const std::string longName(100, 'n');
  ProbePlug plug("2-2", 1, false, false, 0x100, false, longName.c_str(), longName.c_str());
  plug.Param(0)->SetClamped(-1e39);
  plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
  plug.InputConnection(0)->mPinLabel.Set(longName.c_str());
  struct Case {
    VstInt32 opcode;
    size_t length;
  };
  const Case cases[] = {{effGetEffectName, 31},     {effGetVendorString, 63},       {effGetProductString, 63},
                        {effGetProgramName, 23},    {effGetProgramNameIndexed, 23}, {effGetParamDisplay, 31},
                        {effGetInputProperties, 63}};
  for (const Case& c : cases) {
    unsigned char buffer[256];
    std::memset(buffer, 0x55, sizeof(buffer));
    plug.Dispatch(c.opcode, 0, 0, buffer);
    EXPECT_EQ(strnlen(reinterpret_cast<char*>(buffer), sizeof(buffer)), c.length) << c.opcode;
    // A pin record goes on with its flags right after the label.
    if (c.opcode != effGetInputProperties) {
      EXPECT_EQ(buffer[c.length + 1], 0x55) << c.opcode;
    }
  }
}

TEST_F(IPlugVSTTest, MidiPlugInAsksForEventsEveryBlock) {
  ProbePlug plug("2-2", 0, false, false, 0x100, true);
  EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstEvents")), 1);
  EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, const_cast<char*>("sendVstMidiEvent")), 1);
  float samples[2][16] = {};
  float* channels[2] = {samples[0], samples[1]};
  AEffect* d = plug.Descriptor();
  d->processReplacing(d, channels, channels, 16);
  d->process(d, channels, channels, 16);
  double wide[2][16] = {};
  double* wideChannels[2] = {wide[0], wide[1]};
  d->processDoubleReplacing(d, wideChannels, wideChannels, 16);
  EXPECT_EQ(gHost.opcodes,
            (std::vector<VstInt32>{audioMasterWantMidi, audioMasterWantMidi, audioMasterWantMidi}));
}

TEST_F(IPlugVSTTest, OpenPreparesOnceThenPushesEveryParameterEachTime) {
  ProbePlug plug;
  plug.Dispatch(effOpen);
  plug.Dispatch(effOpen);
  EXPECT_EQ(plug.mLog,
            (std::vector<std::string>{"identified 2", "changed 0", "changed 1", "changed 0", "changed 1"}));
  EXPECT_TRUE(plug.HostPrepared());
}

TEST_F(IPlugVSTTest, RateBlockSizeAndSuspendResetButResumeDoesNot) {
  struct Case {
    VstInt32 opcode;
    VstIntPtr value;
    float opt;
    size_t resets;
  };
  const Case cases[] = {{effSetSampleRate, 0, 48000.0f, 1},
                        {effSetBlockSize, 256, 0.0f, 1},
                        {effMainsChanged, 0, 0.0f, 1},
                        {effMainsChanged, 1, 0.0f, 0},
                        {effMainsChanged, VstIntPtr(1) << 40, 0.0f, 0}};
  for (const Case& c : cases) {
    ProbePlug plug;
    IPlugVST::VSTDispatcher(plug.Descriptor(), c.opcode, 0, c.value, nullptr, c.opt);
    EXPECT_EQ(plug.mLog.size(), c.resets) << c.opcode;
  }
  ProbePlug plug;
  IPlugVST::VSTDispatcher(plug.Descriptor(), effSetSampleRate, 0, 0, nullptr, 48000.0f);
  plug.Dispatch(effSetBlockSize, 0, 256);
  EXPECT_EQ(plug.SampleRate(), 48000.0);
  EXPECT_EQ(plug.BlockSize(), 256);
}

TEST_F(IPlugVSTTest, TextsOfParametersWithValueTextsAreLookedUp) {
  struct Case {
    const char* text;
    VstIntPtr answer;
    double value;
  };
  const Case cases[] = {{"Twice", 1, 2.0}, {"Maybe", 0, 2.0}, {"Off", 1, 0.0}, {"2", 0, 0.0}};
  ProbePlug plug;
  for (const Case& c : cases) {
    EXPECT_EQ(plug.Dispatch(effString2Parameter, 1, 0, const_cast<char*>(c.text)), c.answer) << c.text;
    EXPECT_EQ(plug.Param(1)->Value(), c.value) << c.text;
  }
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamName, 1), 0xBEEF);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamName, 0), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamName, 2), 0);
}

TEST_F(IPlugVSTTest, ExtensionQuestionsSetTheirBits) {
  ProbePlug plug;
  EXPECT_EQ(plug.HostExtensionFlags(), 0);
  plug.Dispatch(effCanDo, 0, 0, const_cast<char*>("hasCockosViewAsConfig"));
  EXPECT_EQ(plug.HostExtensionFlags(), 2);
  plug.Dispatch(effCanDo, 0, 0, const_cast<char*>("hasCockosExtensions"));
  EXPECT_EQ(plug.HostExtensionFlags(), 3);
}

TEST_F(IPlugVSTTest, LatencyChangeIsWrittenToTheDescriptor) {
  ProbePlug plug;
  plug.ChangeLatency(64);
  EXPECT_EQ(plug.Descriptor()->initialDelay, 64);
  EXPECT_EQ(plug.LatencySamples(), 64);
  EXPECT_TRUE(gHost.opcodes.empty());
}

TEST_F(IPlugVSTTest, EffectDefinesItsParametersAndFeedsTheEngineInOwnUnits) {
  std::unique_ptr<IPlugVST> made(MakePlug(FakeCallback));
  ZvAudioPlugin& plug = static_cast<ZvAudioPlugin&>(*made);
  const double values[5] = {1000.0, 0.0, 0.0, 0.0, 0.0};
  const char* labels[5] = {"Hz", "", "", "angular", "angular"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(plug.Param(i)->Value(), values[i]);
    EXPECT_STREQ(plug.Param(i)->UnitLabel(), labels[i]);
    EXPECT_EQ(plug.Param(i)->Kind(), kKindDouble);
    EXPECT_EQ(plug.Param(i)->Decimals(), 3);
  }
  EXPECT_NEAR(plug.Param(0)->Normalized(), 0.4346, 1e-4);
  EXPECT_EQ(plug.Descriptor()->numPrograms, 0);

  AEffect* d = plug.Descriptor();
  d->dispatcher(d, effOpen, 0, 0, nullptr, 0.0f);
  EXPECT_TRUE(plug.Engine().CoefficientsStale());
  d->setParameter(d, 0, 1.0f);
  EXPECT_DOUBLE_EQ(plug.Engine().SplitHz(), 20000.0);
  d->dispatcher(d, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plug.Engine().SampleRate(), 48000.0);
  d->dispatcher(d, effSetSampleRate, 0, 0, nullptr, 96000.0f);
  EXPECT_EQ(plug.Engine().SampleRate(), 96000.0);
}

}  // namespace
