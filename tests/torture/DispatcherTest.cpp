// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/torture/BlockRunner.h"

namespace torture {
namespace {

// Opcodes whose value argument carries a pointer: only null or valid memory may go there.
bool ValueIsPointer(int opcode) {
  return opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement;
}

void ExpectCleanProcessing(Instance& plug) {
  plug.SetSampleRate(44100.0f);
  plug.SetBlockSize(512);
  plug.Resume();
  BlockRunner runner(plug, Path::kFloat, false, 512);
  Noise noise(4);
  std::vector<double> samples(512);
  for (int b = 0; b < 8; ++b) {
    for (double& x : samples) x = 0.5 * noise.Signed();
    const double* in[2] = {samples.data(), samples.data()};
    ASSERT_EQ(runner.Process(in, nullptr, 512), -1) << "block " << b;
  }
}

// Every opcode from -10 to 100 with null pointers, and index, value and opt at -1, 0 and out-of-range
// numbers, on an instance never opened and on one opened and resumed. Afterwards the instance still processes
// cleanly.
TEST(Dispatcher, EveryOpcodeWithNullPointersAndOddNumbersIsHarmless) {
  const VstInt32 indices[] = {-1, 0, 1, 5, 7, 8, 1000, INT_MAX, INT_MIN};
  const VstIntPtr values[] = {-1, 0, 1, 3, 65536, INT_MIN, static_cast<VstIntPtr>(1) << 32};
  const float opts[] = {
      0.0f, -1.0f, 44100.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
      1e30f};
  for (bool opened : {false, true}) {
    SCOPED_TRACE(opened ? "opened and resumed" : "never opened");
    Instance plug;
    ASSERT_TRUE(plug.IsValid());
    if (opened) plug.Start(44100.0f, 256);
    for (int opcode = -10; opcode <= 100; ++opcode) {
      if (opcode == effClose) continue;
      for (VstInt32 index : indices) {
        for (VstIntPtr value : values) {
          if (ValueIsPointer(opcode) && value != 0) continue;
          for (float opt : opts) {
            const VstIntPtr answer = plug.Dispatch(opcode, index, value, nullptr, opt);
            if (opcode < 0 || opcode > 79) {
              ASSERT_EQ(answer, 0) << "opcode " << opcode;
            }
          }
        }
      }
    }
    ExpectCleanProcessing(plug);
  }
}

TEST(Dispatcher, SpeakerArrangementsWithAnyChannelCountAreHarmless) {
  Instance plug;
  plug.Start(44100.0f, 256);
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->numChannels, 2);
  StereoBuffers<float> io(256);
  for (int channels : {-5, INT_MIN, 0, 1, 2, 3, 8, 1000, INT_MAX}) {
    SCOPED_TRACE(::testing::Message() << channels << " channels");
    VstSpeakerArrangement hostIn = {}, hostOut = {};
    hostIn.numChannels = channels;
    hostOut.numChannels = channels;
    plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&hostIn), &hostOut);
    plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&hostIn), nullptr);
    plug.Dispatch(effSetSpeakerArrangement, 0, 0, &hostOut);
    for (int c = 0; c < 2; ++c) std::fill(io.out[c].begin(), io.out[c].end(), 0.0f);
    plug.ProcessFloat(io.inPtr, io.outPtr, 256);
    plug.ProcessAccumulating(io.inPtr, io.outPtr, 256);
    ASSERT_EQ(FirstBadSample(io.outPtr, 256), -1);
  }
  VstSpeakerArrangement stereo = {};
  stereo.type = kSpeakerArrStereo;
  stereo.numChannels = 2;
  plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&stereo), &stereo);
  ExpectCleanProcessing(plug);
}

// A text request gets a buffer exactly as long as promised, followed by guard bytes that must stay untouched;
// the text must be terminated inside the promised length.
constexpr int kGuardBytes = 64;
constexpr unsigned char kGuard = 0xA5;

struct TextRequest {
  const char* what;
  VstInt32 opcode;
  int bytes;
};

::testing::AssertionResult TextStaysInside(Instance& plug, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           float opt, int bytes) {
  std::vector<unsigned char> buffer(static_cast<size_t>(bytes + kGuardBytes), kGuard);
  plug.Dispatch(opcode, index, value, buffer.data(), opt);
  for (int i = bytes; i < bytes + kGuardBytes; ++i)
    if (buffer[i] != kGuard)
      return ::testing::AssertionFailure() << "byte " << i << " past a buffer of " << bytes << " was written";
  bool touched = false;
  for (int i = 0; i < bytes; ++i) touched |= buffer[i] != kGuard;
  if (touched && std::memchr(buffer.data(), 0, static_cast<size_t>(bytes)) == nullptr)
    return ::testing::AssertionFailure() << "no terminator inside " << bytes << " bytes";
  return ::testing::AssertionSuccess();
}

TEST(Dispatcher, TextRequestsStayInsideTheBuffersTheyArePromised) {
  const TextRequest perParameter[] = {
      {"parameter name", effGetParamName, 32},
      {"parameter label", effGetParamLabel, 32},
      {"parameter display", effGetParamDisplay, 32},
  };
  const TextRequest whole[] = {
      {"effect name", effGetEffectName, kVstMaxEffectNameLen},
      {"vendor string", effGetVendorString, kVstMaxVendorStrLen},
      {"product string", effGetProductString, kVstMaxProductStrLen},
      {"program name", effGetProgramName, kVstMaxProgNameLen},
  };
  // Normalised values set through the parameter callback; outside 0..1 only the top is limited.
  const float settings[] = {0.0f,
                            1.0f,
                            0.5f,
                            -1.0f,
                            -1e30f,
                            1e30f,
                            std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::infinity()};
  Instance plug;
  plug.Start(44100.0f, 512);
  const int params = plug.Effect()->numParams;
  for (float setting : settings) {
    for (int p = -1; p <= params; ++p) {
      if (p >= 0 && p < params) plug.SetParameter(p, setting);
      for (const TextRequest& r : perParameter)
        EXPECT_TRUE(TextStaysInside(plug, r.opcode, p, 0, 0.0f, r.bytes))
            << r.what << " of parameter " << p << " after setting " << setting;
    }
  }
  for (const char* text : {"1e300", "-1e300", "123456789012345678901234567890", "-99999999999999999999"}) {
    for (int p = 0; p < params; ++p) {
      plug.Dispatch(effString2Parameter, p, 0, const_cast<char*>(text));
      EXPECT_TRUE(TextStaysInside(plug, effGetParamDisplay, p, 0, 0.0f, 32))
          << "parameter " << p << " = " << text;
    }
  }
  // The display of a normalised value that the host chooses, through the vendor-specific request.
  for (float opt : {0.0f, 1.0f, -1e30f, 1e30f, 1e-30f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
    for (int p = -1; p <= params; ++p)
      EXPECT_TRUE(TextStaysInside(plug, effVendorSpecific, effGetParamDisplay, p, opt, 32))
          << "host display of parameter " << p << " at " << opt;
  }
  for (const TextRequest& r : whole)
    EXPECT_TRUE(TextStaysInside(plug, r.opcode, 0, 0, 0.0f, r.bytes)) << r.what;
  for (int index : {-1, 0, 1, 2, 1000})
    EXPECT_TRUE(TextStaysInside(plug, effGetProgramNameIndexed, index, 0, 0.0f, kVstMaxProgNameLen))
        << "program name " << index;

  // A long program name from the host must not come back longer than the program-name buffer.
  std::string longName(300, 'n');
  plug.Dispatch(effSetProgramName, 0, 0, &longName[0]);
  EXPECT_TRUE(TextStaysInside(plug, effGetProgramName, 0, 0, 0.0f, kVstMaxProgNameLen));
  EXPECT_TRUE(TextStaysInside(plug, effGetProgramNameIndexed, 0, 0, 0.0f, kVstMaxProgNameLen));
}

TEST(Dispatcher, RecordRequestsWriteOnlyInsideTheirRecords) {
  Instance plug;
  plug.Start(44100.0f, 512);
  for (VstInt32 opcode : {effGetInputProperties, effGetOutputProperties}) {
    for (int index : {-1, 0, 1, 2, 100}) {
      SCOPED_TRACE(::testing::Message() << "opcode " << opcode << ", pin " << index);
      EXPECT_TRUE(TextStaysInside(plug, opcode, index, 0, 0.0f, sizeof(VstPinProperties)));
      VstPinProperties pin;
      std::memset(&pin, kGuard, sizeof pin);
      if (plug.Dispatch(opcode, index, 0, &pin) != 0) {
        EXPECT_NE(std::memchr(pin.label, 0, sizeof pin.label), nullptr) << "pin label not terminated";
      }
    }
  }
  for (int key : {-1, 0, 60, 127, 128, INT_MAX}) {
    std::vector<unsigned char> buffer(sizeof(MidiKeyName) + kGuardBytes, kGuard);
    MidiKeyName* name = reinterpret_cast<MidiKeyName*>(buffer.data());
    name->thisProgramIndex = 0;
    name->thisKeyNumber = key;
    plug.Dispatch(effGetMidiKeyName, 0, 0, name);
    for (size_t i = sizeof(MidiKeyName); i < buffer.size(); ++i)
      ASSERT_EQ(buffer[i], kGuard) << "key " << key;
  }
  // No editor: the rectangle pointer stays as the host left it.
  void* rect = &rect;
  plug.Dispatch(effEditGetRect, 0, 0, &rect);
  EXPECT_EQ(rect, &rect);
  // Capability questions with texts of any length.
  std::string longQuestion(5000, 'q');
  for (const char* question : {"", "receiveVstTimeInfo", "RECEIVEVSTTIMEINFO", "hasCockosExtensions",
                               "sendVstEvents", longQuestion.c_str()})
    plug.Dispatch(effCanDo, 0, 0, const_cast<char*>(question));
  ExpectCleanProcessing(plug);
}

TEST(Dispatcher, EventListsOfAnyShapeAreHarmless) {
  Instance plug;
  plug.Start(44100.0f, 256);
  VstMidiEvent notes[3] = {};
  for (int i = 0; i < 3; ++i) {
    notes[i].type = kVstMidiType;
    notes[i].byteSize = sizeof(VstMidiEvent);
    notes[i].deltaFrames = i == 2 ? -1 : i * 100;
    notes[i].midiData[0] = static_cast<char>(0x90);
    notes[i].midiData[1] = 60;
    notes[i].midiData[2] = 100;
  }
  char dump[4] = {static_cast<char>(0xF0), 1, 2, static_cast<char>(0xF7)};
  VstMidiSysexEvent sysex = {};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof sysex;
  sysex.dumpBytes = 4;
  sysex.sysexDump = dump;
  VstEvent odd = {};
  odd.type = 99;
  struct {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[6];
  } list = {6,
            0,
            {reinterpret_cast<VstEvent*>(&notes[0]), nullptr, reinterpret_cast<VstEvent*>(&sysex), &odd,
             reinterpret_cast<VstEvent*>(&notes[1]), reinterpret_cast<VstEvent*>(&notes[2])}};
  for (VstInt32 count : {0, -1, 1, 6}) {
    list.numEvents = count;
    plug.Dispatch(effProcessEvents, 0, 0, &list);
  }
  ExpectCleanProcessing(plug);
}

TEST(Dispatcher, TextToParameterWithAnyTextLeavesParametersUsable) {
  const std::string longDigits(10000, '7');
  const char* texts[] = {"",       " ",      "abc",    "nan",          "NAN",
                         "-nan",   "inf",    "-inf",   "infinity",     "1e999",
                         "-1e999", "0x1p10", "1e-320", "   250 Hz",    "+",
                         "-",      ".",      "1e",     "9e9999999999", longDigits.c_str()};
  Instance plug;
  plug.Start(44100.0f, 512);
  const int params = plug.Effect()->numParams;
  for (const char* text : texts) {
    for (int p = -1; p <= params; ++p) {
      SCOPED_TRACE(::testing::Message()
                   << "parameter " << p << " from \"" << std::string(text).substr(0, 20) << "\"");
      plug.Dispatch(effString2Parameter, p, 0, const_cast<char*>(text));
      if (p < 0 || p >= params) continue;
      const float normalised = plug.GetParameter(p);
      EXPECT_TRUE(normalised >= 0.0f && normalised <= 1.0f) << "normalised value " << normalised;
    }
    BlockRunner runner(plug, Path::kDouble, false, 512);
    EXPECT_EQ(runner.ProcessConstant(0.25, 512), -1)
        << "output after the text \"" << std::string(text).substr(0, 20) << "\"";
  }
}

}  // namespace
}  // namespace torture
