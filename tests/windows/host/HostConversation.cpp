// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostConversation.h"

#include <cstdint>
#include <type_traits>

#include "effect/ParameterTable.h"

namespace {

const int kBlockPattern[] = {512, 333, 512, 64, 1, 500, 512, 200};
constexpr int kPatternLength = sizeof kBlockPattern / sizeof kBlockPattern[0];

Vst2HostAnswers CheckHostAnswers() {
  Vst2HostAnswers answers;
  answers.mVendor = "Quillmere";
  answers.mProduct = "QuillmereCheck";
  answers.mVendorVersion = 0x10000;
  return answers;
}

int BlockFrames(int block) { return kBlockPattern[block % kPatternLength]; }

// A unit phasor turned by a fixed angle per frame: (cos, sin) of 2 pi f / 44100 written out as numbers.
struct Rotor {
  double c, s, x = 1.0, y = 0.0;
  void Step() {
    const double nx = c * x - s * y;
    y = s * x + c * y;
    x = nx;
  }
};

// The host's own changes, keyed by the block before which they happen.
void ChangeParameters(Vst2Instance& plug, int block) {
  switch (block) {
    case 0:
      plug.SetParameterText(kSplitHz, "2500");
      plug.SetParameter(kLowQDb, 0.75f);
      plug.SetParameter(kHighQDb, 0.6f);
      plug.SetParameterText(kLowAngle, "-1.25");
      plug.SetParameter(kHighAngle, 0.35f);
      break;
    case 60:
      plug.SetParameter(kSplitHz, 0.2f);
      break;
    case 120:
      plug.SetParameterText(kHighQDb, "3.5");
      break;
    case 180:
      plug.SetParameter(kLowAngle, 0.9f);
      plug.SetParameterText(kHighAngle, "7");
      break;
    default:
      break;
  }
}

template <typename Sample>
void Render(Vst2Instance& plug, int blocks, std::vector<double>& samples) {
  const int frames = ConversationFrames(blocks);
  std::vector<double> left, right;
  MakeTestSignal(frames, left, right);
  std::vector<Sample> inL(kCheckBlockSize), inR(kCheckBlockSize), outL(kCheckBlockSize),
      outR(kCheckBlockSize);
  Sample* inputs[2] = {inL.data(), inR.data()};
  Sample* outputs[2] = {outL.data(), outR.data()};
  samples.assign(2 * static_cast<size_t>(frames), 0.0);
  int at = 0;
  for (int block = 0; block < blocks; ++block) {
    ChangeParameters(plug, block);
    const int n = BlockFrames(block);
    for (int i = 0; i < n; ++i) {
      inL[i] = static_cast<Sample>(left[at + i]);
      inR[i] = static_cast<Sample>(right[at + i]);
      outL[i] = outR[i] = static_cast<Sample>(1234.5);  // must all be replaced
    }
    if constexpr (std::is_same_v<Sample, float>)
      plug.ProcessFloat(inputs, outputs, n);
    else
      plug.ProcessDouble(inputs, outputs, n);
    for (int i = 0; i < n; ++i) {
      samples[2 * (at + i)] = outL[i];
      samples[2 * (at + i) + 1] = outR[i];
    }
    at += n;
  }
}

}  // namespace

CheckInstance::CheckInstance(VstPluginMainProc entry) : host(CheckHostAnswers()) {
  status = plug.Create(entry, host);
}

std::string CheckInstance::Problem() const {
  if (status == HostStatus::kNoEntryPoint || status == HostStatus::kNoInstance)
    return "the entry point made no instance";
  if (status != HostStatus::kOk) return "the descriptor is unusable: " + plug.Error();
  const AEffect* effect = plug.Effect();
  if (!effect->processReplacing || !effect->processDoubleReplacing || !effect->setParameter ||
      !effect->getParameter)
    return "the descriptor lacks a callback";
  if (effect->numInputs != 2 || effect->numOutputs != 2) return "the plug-in is not stereo in and out";
  if (effect->numParams < kNumParams) return "the plug-in has fewer parameters than Quillmere";
  return "";
}

int ConversationFrames(int blocks) {
  int frames = 0;
  for (int block = 0; block < blocks; ++block) frames += BlockFrames(block);
  return frames;
}

void MakeTestSignal(int frames, std::vector<double>& left, std::vector<double>& right) {
  Rotor low{0.9995087954669746, 0.03133955622145082};  // 220 Hz
  Rotor mid{0.9988848356101576, 0.04721318870896634};  // 331.5 Hz
  Rotor high{0.8090169943749475, 0.5877852522924731};  // 4410 Hz
  uint32_t noise = 0x2545F491u;
  left.resize(frames);
  right.resize(frames);
  for (int i = 0; i < frames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double white = static_cast<double>(static_cast<int32_t>(noise)) / 2147483648.0;
    // A slow swell every 16384 frames keeps the level moving.
    const double swell = 0.5 + 0.5 * static_cast<double>(i % 16384) / 16384.0;
    left[i] = static_cast<float>(swell * (0.30 * low.y + 0.12 * high.x) + 0.05 * white);
    right[i] = static_cast<float>(swell * (0.25 * mid.y + 0.10 * high.y) - 0.04 * white);
    low.Step();
    mid.Step();
    high.Step();
  }
}

std::vector<float> ReadParameters(Vst2Instance& plug) {
  std::vector<float> values;
  for (int i = 0; i < plug.ParameterCount(); ++i) values.push_back(plug.GetParameter(i));
  return values;
}

std::string DescribeParameters(Vst2Instance& plug) {
  std::string text;
  for (int i = 0; i < plug.ParameterCount(); ++i) {
    text += std::to_string(i) + "\t" + plug.ParameterName(i) + "\t" + plug.ParameterDisplay(i) + "\t" +
            plug.ParameterLabel(i) + "\n";
  }
  return text;
}

ConversationResult RunConversation(Vst2Instance& plug, SampleWidth width, int blocks) {
  ConversationResult result;
  plug.Start(kCheckSampleRate, kCheckBlockSize);
  if (width == SampleWidth::kFloat)
    Render<float>(plug, blocks, result.samples);
  else
    Render<double>(plug, blocks, result.samples);
  result.parameters = ReadParameters(plug);
  result.parameterTexts = DescribeParameters(plug);
  result.programChunk = plug.GetChunk(Vst2Chunk::kProgram);
  result.bankChunk = plug.GetChunk(Vst2Chunk::kBank);
  return result;
}
