// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the built plug-in library the way a host does: through its entry points and the descriptor only.
#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <thread>

#include "TestHost.h"
#include "effect/ParameterTable.h"

namespace {

using test_support::Converted;
using test_support::ProcessInBlocks;
using test_support::Stereo;
using test_support::TestSignal;

// The input through processReplacing in one block.
Stereo<float> Block(Vst2Instance& plug, const Stereo<double>& input) {
  return ProcessInBlocks(plug, Converted<float>(input), static_cast<int>(input[0].size()));
}

TEST(PluginLibrary, DescriptorHoldsTheEffectsDescription) {
  TestPlugin plug;
  EXPECT_EQ(plug->magic, 0x56737450);
  EXPECT_EQ(plug->numPrograms, 1);
  EXPECT_EQ(plug->numParams, kNumParams);
  EXPECT_EQ(plug->numInputs, 2);
  EXPECT_EQ(plug->numOutputs, 2);
  EXPECT_EQ(plug->flags, 0x1010);
  EXPECT_EQ(plug->initialDelay, 0);
  EXPECT_EQ(plug->ioRatio, 1.0f);
  EXPECT_EQ(plug->uniqueID, 0x4B717A72);
  EXPECT_EQ(plug->version, 100);
  EXPECT_EQ(plug->resvd1, 0);
  EXPECT_EQ(plug->resvd2, 0);
  EXPECT_EQ(plug->realQualities, 0);
  EXPECT_EQ(plug->offQualities, 0);
  EXPECT_EQ(plug->user, nullptr);
  EXPECT_NE(plug->object, nullptr);
  for (char c : plug->future) EXPECT_EQ(c, 0);
  EXPECT_NE(plug->dispatcher, nullptr);
  EXPECT_NE(plug->process, nullptr);
  EXPECT_NE(plug->processReplacing, nullptr);
  EXPECT_NE(plug->processDoubleReplacing, nullptr);
  EXPECT_NE(plug->setParameter, nullptr);
  EXPECT_NE(plug->getParameter, nullptr);
  // The constructor asks nothing of the host.
  EXPECT_TRUE(plug.Host().Requests().empty());
}

TEST(PluginLibrary, BothEntriesMakeIndependentInstancesWithAFullWidthCallback) {
  TestPlugin first;
  TestPlugin second(Vst2EntryName::kMain);
  EXPECT_NE(first.Effect(), second.Effect());
  EXPECT_NE(first->object, second->object);
  EXPECT_EQ(second->flags, 0x1010);
  EXPECT_EQ(second->numPrograms, 1);
  // The test program is position-independent, so its callback lies above 2 GiB; the requests still reach it.
  ASSERT_GT(reinterpret_cast<uintptr_t>(&Vst2HostCallback::Callback), uintptr_t{0x7FFFFFFF});
  second.Dispatch(effOpen);
  EXPECT_EQ(second.Host().Count(audioMasterGetProductString), 1);
}

TEST(PluginLibrary, OpenAsksTheHostOnceAndTheVersionOnlyAfterAProductString) {
  TestPlugin named;
  named.Dispatch(effOpen);
  named.Dispatch(effOpen);
  EXPECT_EQ(named.Host().Count(audioMasterGetProductString), 1);
  EXPECT_EQ(named.Host().Count(audioMasterGetVendorVersion), 1);
  const std::vector<Vst2Request> requests = named.Host().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].mOpcode, audioMasterGetProductString);
  EXPECT_EQ(requests[1].mOpcode, audioMasterGetVendorVersion);

  TestPlugin unnamed(Vst2EntryName::kVstPluginMain, "");
  unnamed.Dispatch(effOpen);
  unnamed.Dispatch(effOpen);
  EXPECT_EQ(unnamed.Host().Count(audioMasterGetProductString), 1);
  EXPECT_EQ(unnamed.Host().Count(audioMasterGetVendorVersion), 0);
}

TEST(PluginLibrary, SampleRateBlockSizeAndSuspendResetTheEffect) {
  struct Case {
    VstInt32 opcode;
    VstIntPtr value;
    float opt;
    bool resets;
  };
  const Case cases[] = {{effSetSampleRate, 0, 44100.0f, true},
                        {effSetBlockSize, 512, 0.0f, true},
                        {effMainsChanged, 0, 0.0f, true},
                        {effMainsChanged, 1, 0.0f, false}};
  const auto input = TestSignal(512);
  for (const Case& c : cases) {
    TestPlugin plug;
    plug.Start(44100.0f, 512);
    const auto first = Block(plug, input);
    Block(plug, input);
    plug.Dispatch(c.opcode, 0, c.value, nullptr, c.opt);
    const auto third = Block(plug, input);
    EXPECT_EQ(third == first, c.resets) << "opcode " << c.opcode << " value " << c.value;
  }
}

TEST(PluginLibrary, ChunksAreFortyEightAndEightBytesAndRestoreExactly) {
  TestPlugin plug;
  plug.Start(44100.0, 1024);
  const float values[kNumParams] = {0.25f, 0.75f, 0.1f, 0.9f, 0.6f};
  for (int i = 0; i < kNumParams; ++i) plug.SetParameter(i, values[i]);

  void* data = nullptr;
  ASSERT_EQ(plug.Dispatch(effGetChunk, 1, 0, &data), 48);
  const std::vector<uint8_t> program(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + 48);
  const uint8_t header[8] = {'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(std::memcmp(program.data(), header, 8), 0);
  ASSERT_EQ(plug.Dispatch(effGetChunk, 0, 0, &data), 8);
  EXPECT_EQ(std::memcmp(data, header, 8), 0);
  EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, nullptr), 0);

  for (int i = 0; i < kNumParams; ++i) plug.SetParameter(i, 0.5f);
  std::vector<uint8_t> copy = program;
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, -48, copy.data()), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 48, nullptr), 0);
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(plug.GetParameter(i), 0.5f);

  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 48, copy.data()), 1);
  for (int i = 0; i < kNumParams; ++i) EXPECT_NEAR(plug.GetParameter(i), values[i], 1e-6f);
  ASSERT_EQ(plug.Dispatch(effGetChunk, 1, 0, &data), 48);
  EXPECT_EQ(std::memcmp(data, program.data(), 48), 0);

  uint8_t bank[8];
  std::memcpy(bank, header, 8);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, 8, bank), 1);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 7, copy.data()), 0);
}

TEST(PluginLibrary, TextSetsTheParameterInItsOwnUnits) {
  struct Case {
    int index;
    const char* text;
    VstIntPtr answer;
    const char* display;  // of parameter index afterwards, or none
  };
  const Case cases[] = {
      {0, "250", 1, "250.000"},       {0, "5", 1, "100.000"},      {0, "abc", 1, "100.000"},
      {0, " 1.5e3Hz", 1, "1500.000"}, {0, nullptr, 1, "1500.000"}, {kNumParams, "250", 0, nullptr},
      {-1, "250", 0, nullptr},        {3, "-2.25", 1, "-2.250"},   {1, "99", 1, "12.000"},
  };
  TestPlugin plug;
  plug.Start(44100.0, 1024);
  for (const Case& c : cases) {
    EXPECT_EQ(plug.Dispatch(effString2Parameter, c.index, 0, const_cast<char*>(c.text)), c.answer) << c.index;
    if (c.display) {
      EXPECT_EQ(WrittenText(plug, effGetParamDisplay, c.index), c.display) << (c.text ? c.text : "null");
    }
  }
}

TEST(PluginLibrary, TextIsReadAndShownWithAPointWhateverTheLocale) {
  const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE", "German"};
  const char* chosen = nullptr;
  for (const char* name : commaLocales) {
    if (std::setlocale(LC_NUMERIC, name) && std::localeconv()->decimal_point[0] == ',') {
      chosen = name;
      break;
    }
  }
  if (!chosen) GTEST_SKIP() << "no locale with a decimal comma installed";
  TestPlugin plug;
  plug.Start(44100.0, 1024);
  plug.Dispatch(effString2Parameter, 0, 0, const_cast<char*>("1234.5"));
  const std::string shownInCommaLocale = WrittenText(plug, effGetParamDisplay, 0);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(shownInCommaLocale, "1234.500");
  EXPECT_EQ(WrittenText(plug, effGetParamDisplay, 0), "1234.500");
}

TEST(PluginLibrary, ParameterTextsNamesAndLabels) {
  const char* defaultDisplays[kNumParams] = {"1000.000", "0.000", "0.000", "0.000", "0.000"};
  TestPlugin plug;
  for (const ParameterDefinition& row : kParameterTable) {
    EXPECT_EQ(WrittenText(plug, effGetParamName, row.mIndex), row.mName);
    EXPECT_EQ(WrittenText(plug, effGetParamDisplay, row.mIndex), defaultDisplays[row.mIndex]);
    EXPECT_EQ(WrittenText(plug, effGetParamLabel, row.mIndex), row.mUnitLabel);
  }
  char untouched[8] = "keep";
  EXPECT_EQ(plug.Dispatch(effGetParamName, kNumParams, 0, untouched), 0);
  EXPECT_STREQ(untouched, "keep");
  EXPECT_NEAR(plug.GetParameter(0), 0.4346, 1e-4);
}

TEST(PluginLibrary, NormalisedParametersRoundTripAndIgnoreOutsideIndexes) {
  TestPlugin plug;
  for (int i = 0; i < kNumParams; ++i) {
    plug.SetParameter(i, 0.5f);
    EXPECT_NEAR(plug.GetParameter(i), 0.5f, 1e-6f);
  }
  plug.SetParameter(kNumParams, 0.1f);
  plug.SetParameter(-1, 0.1f);
  EXPECT_EQ(plug.GetParameter(kNumParams), 0.0f);
  EXPECT_EQ(plug.GetParameter(-1), 0.0f);
  EXPECT_EQ(WrittenText(plug, effGetParamDisplay, 0), "1414.214");
}

TEST(PluginLibrary, FixedAnswersAndNames) {
  TestPlugin plug;
  struct Case {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr answer;
  };
  const Case cases[] = {
      {effIdentify, 0, 0x4E764566}, {effGetVstVersion, 0, 2400},     {effGetVendorVersion, 0, 100},
      {effGetPlugCategory, 0, 1},   {effCanBeAutomated, 99, 1},      {effProcessVarIo, 0, 0},
      {effGetProgram, 0, 0},        {effGetEffectName, 0, 0},        {effGetVendorString, 0, 0},
      {effGetProductString, 0, 0},  {effProcessEvents, 0, 0},        {effCanDo, 0, 0},
      {effGetMidiKeyName, 0, 0},    {effGetProgramNameIndexed, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(plug.Dispatch(c.opcode, c.index), c.answer) << c.opcode;
  EXPECT_EQ(WrittenText(plug, effGetEffectName), "Quillmere");
  EXPECT_EQ(WrittenText(plug, effGetVendorString), "");
  EXPECT_EQ(WrittenText(plug, effGetProductString), "Quillmere");
  EXPECT_EQ(WrittenText(plug, effGetProgramName), "");
  char name[24] = "x";
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 0, 0, name), 0);
  EXPECT_STREQ(name, "");
  MidiKeyName key{};
  key.keyName[0] = 'x';
  EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_EQ(key.keyName[0], 0);
  plug.Dispatch(effSetProgram, 0, 3);
  plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("renamed"));
  EXPECT_EQ(plug.Dispatch(effGetProgram), 0);
  EXPECT_EQ(WrittenText(plug, effGetProgramName), "");
}

TEST(PluginLibrary, UnlistedOpcodesAnswerZeroAndANullObjectAnswersNothing) {
  TestPlugin plug;
  plug.Start(44100.0, 1024);
  void* rect = &plug;
  EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, &plug);
  const VstInt32 unlisted[] = {9,  14, 15, 16, 17, 18, 19, 20, 21, 28, 30, 31, 32, 36, 37,  38, 39,
                               40, 43, 44, 46, 52, 53, 54, 55, 56, 57, 59, 60, 61, 62, 63,  64, 65,
                               67, 68, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, -1, 1000};
  for (VstInt32 opcode : unlisted) {
    char buffer[256] = {};
    EXPECT_EQ(plug.Dispatch(opcode, 1, 1, buffer, 1.0f), 0) << opcode;
  }
  EXPECT_NEAR(plug.GetParameter(0), 0.4346, 1e-4);

  void* object = plug->object;
  plug->object = nullptr;
  EXPECT_EQ(plug.Dispatch(effGetVstVersion), 0);
  // Past the instance class, which would take the instance for closed.
  EXPECT_EQ(plug->dispatcher(plug.Effect(), effClose, 0, 0, nullptr, 0.0f), 0);
  plug->object = object;
}

TEST(PluginLibrary, PinPropertiesPairTheChannels) {
  struct Case {
    VstInt32 opcode;
    int index;
    VstIntPtr answer;
    const char* label;
    VstInt32 flags;
  };
  const Case cases[] = {
      {effGetInputProperties, 0, 1, "Input 1", 3},   {effGetInputProperties, 1, 1, "Input 2", 1},
      {effGetInputProperties, 2, 0, "", 0},          {effGetInputProperties, -1, 0, "", 0},
      {effGetOutputProperties, 0, 1, "Output 1", 3}, {effGetOutputProperties, 1, 1, "Output 2", 1},
      {effGetOutputProperties, 2, 0, "", 0}};
  TestPlugin plug;
  for (const Case& c : cases) {
    VstPinProperties pin{};
    std::strcpy(pin.shortLabel, "host");
    pin.arrangementType = 7;
    EXPECT_EQ(plug.Dispatch(c.opcode, c.index, 0, &pin), c.answer);
    EXPECT_STREQ(pin.label, c.label);
    EXPECT_EQ(pin.flags, c.flags);
    EXPECT_STREQ(pin.shortLabel, "host");
    EXPECT_EQ(pin.arrangementType, 7);
  }
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 0, 0, nullptr), 0);
}

TEST(PluginLibrary, CanDoAnswers) {
  struct Case {
    const char* question;
    VstIntPtr answer;
  };
  const Case cases[] = {{"receiveVstTimeInfo", 1},
                        {"ReceiveVstTimeInfo", 0},
                        {"receiveVstEvents", 0},
                        {"receiveVstMidiEvent", 0},
                        {"sendVstEvents", 0},
                        {"sendVstMidiEvent", 0},
                        {"hasCockosExtensions", 0xBEEF0000},
                        {"hasCockosViewAsConfig", 0xBEEF0000},
                        {"bypass", 0},
                        {"", 0}};
  TestPlugin plug;
  for (const Case& c : cases) {
    EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, const_cast<char*>(c.question)), c.answer) << c.question;
  }
}

TEST(PluginLibrary, VendorSpecificFormatsNormalisedValues) {
  TestPlugin plug;
  char text[64] = "keep";
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamDisplay, 5, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, "keep");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamDisplay, 0, text, 1.0f), 0xBEEF);
  EXPECT_STREQ(text, "20000.000");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamDisplay, 0, nullptr, 1.0f), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamName, 0, text), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 3, 0, text), 0);
}

TEST(PluginLibrary, MidiEventsAreEchoedOneRequestEachInOrder) {
  TestPlugin plug;
  plug.Start(44100.0, 1024);
  VstMidiEvent notes[3] = {};
  const uint8_t bytes[3][3] = {{0x90, 60, 100}, {0xB0, 7, 64}, {0x80, 60, 0}};
  for (int i = 0; i < 3; ++i) {
    notes[i].type = kVstMidiType;
    notes[i].byteSize = sizeof(VstMidiEvent);
    notes[i].deltaFrames = 10 * i + 3;
    notes[i].noteLength = 99;
    for (int b = 0; b < 3; ++b) notes[i].midiData[b] = static_cast<char>(bytes[i][b]);
  }
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof(sysex);
  // Room for four entries: the host's list is as long as numEvents.
  struct {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[5];
  } list = {5,
            0,
            {reinterpret_cast<VstEvent*>(&notes[0]), nullptr, reinterpret_cast<VstEvent*>(&sysex),
             reinterpret_cast<VstEvent*>(&notes[1]), reinterpret_cast<VstEvent*>(&notes[2])}};
  const size_t before = plug.Host().Requests().size();
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &list), 1);
  const std::vector<Vst2Request> all = plug.Host().Requests();
  const std::vector<Vst2Request> echoed(all.begin() + before, all.end());
  ASSERT_EQ(echoed.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(echoed[i].mOpcode, audioMasterProcessEvents);
    ASSERT_EQ(echoed[i].mMidiEvents.size(), 1u);
    const VstMidiEvent& e = echoed[i].mMidiEvents[0];
    EXPECT_EQ(e.type, kVstMidiType);
    EXPECT_EQ(e.byteSize, 32);
    EXPECT_EQ(e.deltaFrames, 10 * i + 3);
    EXPECT_EQ(e.noteLength, 0);
    for (int b = 0; b < 3; ++b) EXPECT_EQ(static_cast<uint8_t>(e.midiData[b]), bytes[i][b]);
    EXPECT_EQ(e.midiData[3], 0);
  }
}

TEST(PluginLibrary, FloatAndDoubleCallbacksAgree) {
  const auto input = TestSignal(20000);
  auto rounded = input;
  for (auto& channel : rounded) {
    for (double& s : channel) s = static_cast<float>(s);
  }
  TestPlugin single;
  TestPlugin twice;
  single.Start(48000.0f, 1000);
  twice.Start(48000.0f, 1000);
  single.SetParameter(2, 0.8f);
  twice.SetParameter(2, 0.8f);
  const auto f = ProcessInBlocks(single, Converted<float>(rounded), 1000);
  const auto d = ProcessInBlocks(twice, rounded, 1000);
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < f[c].size(); ++i) ASSERT_EQ(f[c][i], static_cast<float>(d[c][i])) << c << " " << i;
  }
  // No request reaches the host from the audio callbacks.
  EXPECT_EQ(single.Host().Count(audioMasterWantMidi), 0);
}

TEST(PluginLibrary, AccumulatingCallbackAddsToTheOutputs) {
  const int n = 700;
  const auto input = TestSignal(n, 7);
  TestPlugin replacing;
  TestPlugin adding;
  replacing.Start(44100.0f, 1024);
  adding.Start(44100.0f, 1024);
  const auto replaced = Block(replacing, input);

  std::vector<std::vector<float>> in(2, std::vector<float>(n));
  std::vector<std::vector<float>> out(2, std::vector<float>(n));
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < n; ++i) {
      in[c][i] = static_cast<float>(input[c][i]);
      out[c][i] = 0.25f * c - 0.125f + 0.001f * i;
    }
  }
  const auto held = out;
  float* inputs[2] = {in[0].data(), in[1].data()};
  float* outputs[2] = {out[0].data(), out[1].data()};
  adding.ProcessAccumulating(inputs, outputs, n);
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < n; ++i) ASSERT_EQ(out[c][i], held[c][i] + replaced[c][i]) << c << " " << i;
  }
}

TEST(PluginLibrary, SpeakerArrangementsConnectTheFirstChannels) {
  const int n = 512;
  auto input = TestSignal(n);
  TestPlugin plug;
  plug.Start(44100.0f, n);
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->type, 1);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->numChannels, 2);

  VstSpeakerArrangement mono{};
  mono.numChannels = 1;
  VstSpeakerArrangement stereo{};
  stereo.numChannels = 2;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &stereo), 1);
  EXPECT_EQ(in->numChannels, 2);
  std::vector<float> left(input[0].begin(), input[0].end());
  Stereo<float> result{std::vector<float>(n), std::vector<float>(n)};
  float* inputs[1] = {left.data()};
  float* outputs[2] = {result[0].data(), result[1].data()};
  plug.ProcessFloat(inputs, outputs, n);

  TestPlugin reference;
  reference.Start(44100.0f, n);
  std::fill(input[1].begin(), input[1].end(), 0.0);
  EXPECT_EQ(Block(reference, input), result);

  TestPlugin none;
  none.Start(44100.0f, n);
  VstSpeakerArrangement negative{};
  negative.numChannels = -3;
  EXPECT_EQ(none.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&negative), nullptr), 1);
  none.ProcessFloat(nullptr, outputs, n);
  TestPlugin silent;
  silent.Start(44100.0f, n);
  std::fill(input[0].begin(), input[0].end(), 0.0);
  EXPECT_EQ(Block(silent, input), result);
}

TEST(PluginLibrary, ParameterSetDuringProcessingLandsBetweenBlocks) {
  // Blocks of two engine chunks: a change inside a block would show as a mix.
  const int block = 8192;
  const int nBlocks = 6;
  const auto input = TestSignal(block * nBlocks);
  std::vector<Stereo<float>> references;
  for (int k = 0; k <= nBlocks; ++k) {
    TestPlugin plug;
    plug.Start(44100.0f, block);
    Stereo<float> out;
    for (int b = 0; b < nBlocks; ++b) {
      if (b == k) plug.SetParameter(0, 0.8f);
      Stereo<double> piece;
      for (int c = 0; c < 2; ++c)
        piece[c].assign(input[c].begin() + b * block, input[c].begin() + (b + 1) * block);
      const auto y = Block(plug, piece);
      for (int c = 0; c < 2; ++c) out[c].insert(out[c].end(), y[c].begin(), y[c].end());
    }
    references.push_back(out);
  }
  for (int trial = 0; trial < 4; ++trial) {
    TestPlugin plug;
    plug.Start(44100.0f, block);
    std::atomic<bool> started{false};
    std::thread setter([&] {
      while (!started.load()) std::this_thread::yield();
      for (volatile int spin = 0; spin < trial * 20000; ++spin) {
      }
      plug.SetParameter(0, 0.8f);
    });
    Stereo<float> out;
    for (int b = 0; b < nBlocks; ++b) {
      Stereo<double> piece;
      for (int c = 0; c < 2; ++c)
        piece[c].assign(input[c].begin() + b * block, input[c].begin() + (b + 1) * block);
      started.store(true);
      const auto y = Block(plug, piece);
      for (int c = 0; c < 2; ++c) out[c].insert(out[c].end(), y[c].begin(), y[c].end());
    }
    setter.join();
    bool matches = false;
    for (const auto& reference : references) matches = matches || reference == out;
    EXPECT_TRUE(matches) << "trial " << trial;
  }
}

TEST(PluginLibrary, InstancesOnTwoThreadsShareNothing) {
  // Long enough for several random draws of both bands.
  const auto input = TestSignal(512 * 120, 3);
  TestPlugin alone;
  alone.Start(44100.0f, 512);
  const auto expected = ProcessInBlocks(alone, Converted<float>(input), 512);

  TestPlugin a;
  TestPlugin b;
  a.Start(44100.0f, 512);
  b.Start(44100.0f, 512);
  Stereo<float> outA, outB;
  std::thread first([&] { outA = ProcessInBlocks(a, Converted<float>(input), 512); });
  std::thread second([&] { outB = ProcessInBlocks(b, Converted<float>(input), 512); });
  first.join();
  second.join();
  EXPECT_EQ(outA, expected);
  EXPECT_EQ(outB, expected);
}

}  // namespace
