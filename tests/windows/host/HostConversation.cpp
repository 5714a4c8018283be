// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostConversation.h"

#include <cstdint>
#include <type_traits>

#include "effect/ParameterTable.h"

namespace {

const int kBlockPattern[] = {512, 333, 512, 64, 1, 500, 512, 200};
constexpr int kPatternLength = sizeof kBlockPattern / sizeof kBlockPattern[0];

test_support::Vst2ReferenceOptions CheckHostOptions() {
  test_support::Vst2ReferenceOptions options;
  options.answers.mVendor = "Quillmere";
  options.answers.mProduct = "QuillmereCheck";
  options.answers.mVendorVersion = 0x10000;
  return options;
}

int BlockFrames(int block) { return kBlockPattern[block % kPatternLength]; }

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
  const test_support::Stereo<double> signal = test_support::TestSignal(static_cast<size_t>(frames));
  const std::vector<double>& left = signal[0];
  const std::vector<double>& right = signal[1];
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

CheckInstance::CheckInstance(VstPluginMainProc entry) : plug(entry, CheckHostOptions()) {}

std::string CheckInstance::Problem() const {
  const HostStatus status = plug.Status();
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
